#include "status/text_arena.h"

#include <cstdlib>
#include <cstring>

#include "support/fatal.h"

namespace {

// Blocks grow from small (a site of a few hosts stays small) to a size at
// which the per-block cost no longer shows.
const size_t first_block_size = 4096;
const size_t largest_block_size = size_t{1} << 20;
const size_t link_size = sizeof(char *);

// Starts a block that holds at least `needed` bytes after its link.
void start_block(text_arena *arena, const char *text, size_t needed) {
  size_t size = arena->size == 0 ? first_block_size : arena->size * 2;
  if (size > largest_block_size) size = largest_block_size;
  if (size - link_size < needed) size = link_size + needed;
  char *block = static_cast<char *>(malloc(size));
  if (block == nullptr) fatal("failed to copy string '%s': out of memory?\n", text);
  memcpy(block, &arena->block, link_size);
  arena->block = block;
  arena->size = size;
  arena->used = link_size;
}

}  // namespace

char *arena_copy(text_arena *arena, const char *text, size_t length) {
  size_t needed = length + 1;
  if (arena->block == nullptr || arena->size - arena->used < needed)
    start_block(arena, text, needed);
  char *copy = arena->block + arena->used;
  memcpy(copy, text, length);
  copy[length] = '\0';
  arena->used += needed;
  return copy;
}

void release_text_arena(text_arena *arena) {
  char *block = arena->block;
  while (block != nullptr) {
    char *previous;
    memcpy(&previous, block, link_size);
    free(block);
    block = previous;
  }
  *arena = text_arena{};
}
