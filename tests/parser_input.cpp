#include "parser_input.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace {

// An unlinked temporary file holding `text`, rewound.
int32_t file_holding(const std::string &text) {
  FILE *file = tmpfile();
  EXPECT_EQ(text.size(), fwrite(text.data(), 1, text.size(), file));
  int fd = dup(fileno(file));
  fclose(file);
  lseek(fd, 0, SEEK_SET);
  return fd;
}

// The read end of a pipe that a child process fills with `text` and closes.
int32_t pipe_holding(const std::string &text, pid_t *writer) {
  int ends[2];
  EXPECT_EQ(0, pipe(ends));
  *writer = fork();
  if (*writer == 0) {
    close(ends[0]);
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = write(ends[1], text.data() + done, text.size() - done);
      if (n <= 0) _exit(1);
      done += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(ends[1]);
  return ends[0];
}

}  // namespace

void parse_text(const status_parser &parser, const std::string &text, parsed_status *result,
                bool through_pipe) {
  pid_t writer = -1;
  int32_t fd = through_pipe ? pipe_holding(text, &writer) : file_holding(text);
  result->out = captured_stdout([&] { parser(fd, &result->array); });
  // The parser leaves the descriptor open: closing it must still succeed.
  EXPECT_EQ(0, close(fd));
  if (writer > 0) {
    int status = 0;
    waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}
