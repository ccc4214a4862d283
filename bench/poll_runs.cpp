#include "poll_runs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "watcher/polling_loop.h"

extern char **environ;

const poll_kind poll_kinds[poll_kind_count] = {
    {"first poll", no_file, base_file, false},
    {"first poll, fresh process", no_file, base_file, true},
    {"later, same order", base_file, base_file, false},
    {"later, after changes", base_file, next_file, false},
    {"later, shuffled", base_file, shuffled_file, false},
};

const char fresh_first_poll_flag[] = "--fresh-first-poll";
const char launch_flag[] = "--launch";

namespace {

double seconds_now() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Starts argv[0], looked up in $PATH, with `actions` done on its descriptors.
pid_t start_process(const std::vector<std::string> &argv, posix_spawn_file_actions_t *actions) {
  std::vector<char *> arguments;
  for (const std::string &argument : argv)
    arguments.push_back(const_cast<char *>(argument.c_str()));
  arguments.push_back(nullptr);
  pid_t child;
  int failed = posix_spawnp(&child, arguments[0], actions, nullptr, arguments.data(), environ);
  require(failed == 0, "cannot start", argv[0] + ": " + strerror(failed));
  return child;
}

// As the watcher drops an array: emptied, its memory kept for a reading.
void release_previous(poller *p) {
  clear_stats_array(&p->state.previous);
  p->previous_path.clear();
}

void poll_file(poller *p, const site_files &files, file_role role) {
  p->settings.status_source = files.path[role].c_str();
  p->settings.status_dat_format = files.format == status_format::status_dat;
  poll_once(p->settings, report_layout::two_lines, &p->state);
  // A poll that read nothing would measure nothing.
  require(was_read(p->state.previous) && p->state.previous.count >= files.services, "poll read too few entries",
          files.path[role]);
  p->previous_path = files.path[role];
}

}  // namespace

double time_poll(poller *p, const site_files &files, const poll_kind &kind) {
  if (kind.previous == no_file)
    release_previous(p);
  else if (p->previous_path != files.path[kind.previous])
    poll_file(p, files, kind.previous);
  double start = seconds_now();
  poll_file(p, files, kind.current);
  if (kind.previous == no_file) release_previous(p);
  return seconds_now() - start;
}

double time_read_floor(const std::string &path) {
  static char block[4096];
  double start = seconds_now();
  int fd = open(path.c_str(), O_RDONLY);
  require(fd >= 0, "cannot open", path + ": " + strerror(errno));
  ssize_t got;
  while ((got = read(fd, block, sizeof block)) > 0) {
  }
  require(got == 0, "cannot read", path + ": " + strerror(errno));
  close(fd);
  return seconds_now() - start;
}

process_run run_process(const char *self, const std::vector<std::string> &argv,
                        const std::string &out_path) {
  std::vector<std::string> launch{self, launch_flag, out_path};
  launch.insert(launch.end(), argv.begin(), argv.end());
  int channel[2];
  require(pipe(channel) == 0, "cannot make a pipe", strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, channel[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, channel[0]);
  posix_spawn_file_actions_addclose(&actions, channel[1]);
  pid_t launcher = start_process(launch, &actions);
  posix_spawn_file_actions_destroy(&actions);
  close(channel[1]);
  FILE *answer = fdopen(channel[0], "r");
  process_run run{-1, -1};
  if (fscanf(answer, "%lf %lf", &run.seconds, &run.peak_rss_mib) != 2) run.seconds = -1;
  fclose(answer);
  int status = 0;
  waitpid(launcher, &status, 0);
  require(WIFEXITED(status) && WEXITSTATUS(status) == 0 && run.seconds >= 0, "failed", argv[0]);
  return run;
}

int launch_child(int argc, char **argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, argv[2], O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  double start = seconds_now();
  pid_t child = start_process(std::vector<std::string>(argv + 3, argv + argc), &actions);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  require(wait4(child, &status, 0, &usage) == child, "cannot wait for", argv[3]);
  double seconds = seconds_now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  // ru_maxrss is in KiB on Linux and the BSDs.
  printf("%.9f %.3f\n", seconds, static_cast<double>(usage.ru_maxrss) / 1024);
  return fflush(stdout) == 0 ? 0 : 1;
}

process_run run_fresh_first_poll(const char *self, const site_files &files,
                                 const std::string &out_path) {
  const char *format = files.format == status_format::status_dat ? "dat" : "log";
  return run_process(self, {self, fresh_first_poll_flag, format, files.path[base_file]}, out_path);
}

int fresh_first_poll_child(const char *format, const char *path) {
  watch_settings settings;
  settings.status_source = path;
  settings.status_dat_format = strcmp(format, "dat") == 0;
  watch_state first;
  poll_once(settings, report_layout::one_line, &first);
  int status = was_read(first.previous) ? 0 : 1;  // nothing read, nothing measured
  release_stats_array(&first.previous);
  release_stats_array(&first.spare);
  return status;
}

void require(bool ok, const char *what, const std::string &detail) {
  if (ok) return;
  fprintf(stderr, "sentrel_poll_bench: %s: %s\n", what, detail.c_str());
  exit(1);
}
