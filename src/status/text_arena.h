// The texts of one stats array, packed into a few large blocks that are
// released together with the array instead of one allocation per text.
#ifndef SENTREL_STATUS_TEXT_ARENA_H
#define SENTREL_STATUS_TEXT_ARENA_H

#include <cstddef>
#include <cstring>

struct text_arena {
  char *block = nullptr;  // the newest block; each begins with a link to the one before
  size_t used = 0;        // bytes taken in the newest block, its header included
  size_t size = 0;        // bytes in the newest block
  char *spare = nullptr;  // blocks kept by a rewind, linked alike
};

// A NUL-terminated copy of the `length` bytes at `text`, which lives until
// the arena is rewound or released. Running out of memory ends the process
// as a failed copy of that text.
inline char *arena_copy(text_arena *arena, const char *text, size_t length);

// arena_copy once the newest block has no room left for the copy.
char *arena_copy_to_new_block(text_arena *arena, const char *text, size_t length);

// Drops every text but keeps the blocks for the next ones: a large site
// would otherwise map and fault them in afresh on every poll.
void rewind_text_arena(text_arena *arena);

// Frees every block, kept ones included; the arena is then empty.
void release_text_arena(text_arena *arena);

// Inline, as the parsers copy a million texts a poll: most fit the block.
char *arena_copy(text_arena *arena, const char *text, size_t length) {
  if (arena->block == nullptr || arena->size - arena->used <= length)
    return arena_copy_to_new_block(arena, text, length);
  char *copy = arena->block + arena->used;
  memcpy(copy, text, length);
  copy[length] = '\0';
  arena->used += length + 1;
  return copy;
}

#endif
