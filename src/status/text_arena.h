// The texts of one stats array, packed into a few large blocks that are
// released together with the array instead of one allocation per text.
#ifndef SENTREL_STATUS_TEXT_ARENA_H
#define SENTREL_STATUS_TEXT_ARENA_H

#include <cstddef>

struct text_arena {
  char *block = nullptr;  // the newest block; each begins with a link to the one before
  size_t used = 0;        // bytes taken in the newest block, its header included
  size_t size = 0;        // bytes in the newest block
};

// A NUL-terminated copy of the `length` bytes at `text`, which lives until
// the arena is released. Running out of memory ends the process as a failed
// copy of that text.
char *arena_copy(text_arena *arena, const char *text, size_t length);

// Releases every block (the largest are kept for the next arena, in place
// of those kept before); the arena is then empty and can be used again.
void release_text_arena(text_arena *arena);

#endif
