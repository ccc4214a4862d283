// Hands each fuzz input to the code under test as a readable descriptor:
// one unlinked temporary file, refilled and rewound for every input.
#ifndef SENTREL_FUZZ_FUZZ_INPUT_H
#define SENTREL_FUZZ_FUZZ_INPUT_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// A descriptor positioned at the start of exactly `size` bytes of `data`.
inline int32_t descriptor_holding(const uint8_t *data, size_t size) {
  static int32_t fd = -1;
  if (fd < 0) {
    const char *base = getenv("TMPDIR");
    char path[4096];
    snprintf(path, sizeof path, "%s/sentrel-fuzz-XXXXXX", base ? base : "/tmp");
    fd = mkstemp(path);
    if (fd < 0) abort();
    unlink(path);
  }
  if (ftruncate(fd, 0) != 0) abort();
  size_t done = 0;
  while (done < size) {
    ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) abort();
    done += static_cast<size_t>(n);
  }
  if (lseek(fd, 0, SEEK_SET) != 0) abort();
  return fd;
}

// The parsers report unknown keys on standard output; keep the fuzzer's
// own output readable.
inline void silence_standard_output() {
  if (freopen("/dev/null", "w", stdout) == nullptr) abort();
}

#endif
