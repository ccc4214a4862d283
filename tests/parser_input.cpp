#include "parser_input.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "run_program.h"

namespace {

// An unlinked temporary file holding `text`, rewound.
int32_t file_holding(const std::string &text, const std::string &dir) {
  std::string path = dir + "/input";
  write_file(path, text);
  int fd = open(path.c_str(), O_RDONLY);
  EXPECT_GE(fd, 0);
  unlink(path.c_str());
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
  std::string dir = make_temp_dir();
  pid_t writer = -1;
  int32_t fd = through_pipe ? pipe_holding(text, &writer) : file_holding(text, dir);

  // Standard output goes to a file for the length of the parse.
  std::string out_path = dir + "/out";
  fflush(stdout);
  int saved_stdout = dup(1);
  int out_fd = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(out_fd, 0);
  dup2(out_fd, 1);
  close(out_fd);

  parser(fd, &result->array);

  fflush(stdout);
  dup2(saved_stdout, 1);
  close(saved_stdout);
  result->out = read_file(out_path);
  unlink(out_path.c_str());
  rmdir(dir.c_str());
  // The parser leaves the descriptor open: closing it must still succeed.
  EXPECT_EQ(0, close(fd));
  if (writer > 0) {
    int status = 0;
    waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}
