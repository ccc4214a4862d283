#include "status/text_arena.h"

#include <cstdlib>
#include <cstring>

#include "support/fatal.h"

namespace {

// Blocks grow from small (a site of a few hosts stays small) to a size at
// which the per-block cost no longer shows.
const size_t first_block_size = 4096;
const size_t largest_block_size = size_t{1} << 20;

// What each block begins with.
struct block_header {
  char *previous;
  size_t size;
};
const size_t header_size = sizeof(block_header);

block_header header_of(const char *block) {
  block_header header;
  memcpy(&header, block, header_size);
  return header;
}

void link_block(char *block, char *previous, size_t size) {
  block_header header = {previous, size};
  memcpy(block, &header, header_size);
}

void free_blocks(char *block) {
  while (block != nullptr) {
    char *previous = header_of(block).previous;
    free(block);
    block = previous;
  }
}

// Starts a block that holds at least `needed` bytes after its header: the
// next kept block when it has room, else a fresh one.
void start_block(text_arena *arena, const char *text, size_t needed) {
  char *block = arena->spare;
  size_t size = block != nullptr ? header_of(block).size : 0;
  if (block != nullptr && size - header_size >= needed) {
    arena->spare = header_of(block).previous;
  } else {
    size = arena->size == 0 ? first_block_size : arena->size * 2;
    if (size > largest_block_size) size = largest_block_size;
    if (size - header_size < needed) size = header_size + needed;
    block = static_cast<char *>(malloc(size));
    if (block == nullptr) fatal("failed to copy string '%s': out of memory?\n", text);
  }
  link_block(block, arena->block, size);
  arena->block = block;
  arena->size = size;
  arena->used = header_size;
}

}  // namespace

char *arena_copy_to_new_block(text_arena *arena, const char *text, size_t length) {
  size_t needed = length + 1;
  start_block(arena, text, needed);
  char *copy = arena->block + arena->used;
  memcpy(copy, text, length);
  copy[length] = '\0';
  arena->used += needed;
  return copy;
}

// Pushed back newest first, the blocks are taken again in the order they
// were started.
void rewind_text_arena(text_arena *arena) {
  for (char *block = arena->block; block != nullptr;) {
    char *previous = header_of(block).previous;
    link_block(block, arena->spare, header_of(block).size);
    arena->spare = block;
    block = previous;
  }
  *arena = text_arena{nullptr, 0, 0, arena->spare};
}

void release_text_arena(text_arena *arena) {
  free_blocks(arena->block);
  free_blocks(arena->spare);
  *arena = text_arena{};
}
