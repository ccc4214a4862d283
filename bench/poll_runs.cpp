#include "poll_runs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "watcher/polling_loop.h"

const poll_kind poll_kinds[poll_kind_count] = {
    {"first poll", no_file, base_file},
    {"later, same order", base_file, base_file},
    {"later, after changes", base_file, next_file},
    {"later, shuffled", base_file, shuffled_file},
};

namespace {

double seconds_now() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

void release_previous(poller *p) {
  release_stats_array(&p->previous);
  p->previous_path.clear();
}

void poll_file(poller *p, const site_files &files, file_role role) {
  p->settings.status_source = files.path[role].c_str();
  p->settings.status_dat_format = files.format == status_format::status_dat;
  poll_once(p->settings, report_layout::two_lines, &p->previous, &p->last_failure);
  // A poll that read nothing would measure nothing.
  require(!is_none(p->previous) && p->previous.count >= files.services, "poll read too few entries",
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

void require(bool ok, const char *what, const std::string &detail) {
  if (ok) return;
  fprintf(stderr, "sentrel_poll_bench: %s: %s\n", what, detail.c_str());
  exit(1);
}
