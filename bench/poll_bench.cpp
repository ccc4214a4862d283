// sentrel_poll_bench: what whole polls of large sites cost, each against
// the cost of merely reading the same file, how much memory the watcher
// holds over several polls, and what the tools an operator would run
// instead take for the same work. Prints Markdown tables; reports go to
// /dev/null, as the watcher's would go to a terminal nobody reads.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "peer_runs.h"
#include "poll_report.h"
#include "poll_runs.h"
#include "status_generator.h"

namespace {

const char usage[] =
    "usage: sentrel_poll_bench [-s services,...] [-r polls] [-k polls] [-c fraction] [-d chart-data] [-t dir]\n"
    "                          [-p label=command ...] [-q runs]\n"
    "  -s  site sizes in services, ten to a host (1000,10000,100000)\n"
    "  -r  timed polls of each kind (11)\n"
    "  -k  polls of each kind in the process whose peak memory is measured (3)\n"
    "  -c  fraction of hosts and services that change state in the next poll (0.02)\n"
    "  -d  also write the medians for the chart to this file\n"
    "  -t  directory for the generated files ($TMPDIR or /tmp)\n"
    "  -p  a peer: a command that lists the problems of the status.dat named after it as\n"
    "      sentrel's first poll does, in its one-line form (repeat for more peers)\n"
    "  -q  runs of each peer at each size (3)\n";

struct bench_options {
  std::vector<int32_t> sizes{1000, 10000, 100000};
  int32_t repetitions = 11;
  int32_t rss_repetitions = 3;
  double change_fraction = 0.02;
  const char *chart_data = nullptr;
  std::string directory = getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
  std::vector<peer> peers;
  int32_t peer_runs = 3;
};

const status_format formats[] = {status_format::status_dat, status_format::status_log};
const char *const role_suffix[file_roles] = {"", "-next", "-shuffled"};

[[noreturn]] void fail_usage() {
  fputs(usage, stderr);
  exit(2);
}

std::vector<int32_t> parse_sizes(const char *text) {
  std::vector<int32_t> sizes;
  for (char *end; *text; text = *end ? end + 1 : end) {
    long size = strtol(text, &end, 10);
    if (end == text || size < 10 || size > 10000000 || size % 10 != 0 || (*end && *end != ',')) fail_usage();
    sizes.push_back(static_cast<int32_t>(size));
  }
  return sizes;
}

bench_options parse_options(int argc, char **argv) {
  bench_options o;
  int option;
  while ((option = getopt(argc, argv, "s:r:k:c:d:t:p:q:")) != -1) {
    switch (option) {
      case 's': o.sizes = parse_sizes(optarg); break;
      case 'r': o.repetitions = atoi(optarg); break;
      case 'k': o.rss_repetitions = atoi(optarg); break;
      case 'c': o.change_fraction = atof(optarg); break;
      case 'd': o.chart_data = optarg; break;
      case 't': o.directory = optarg; break;
      case 'p':
        o.peers.emplace_back();
        if (!parse_peer(optarg, &o.peers.back())) fail_usage();
        break;
      case 'q': o.peer_runs = atoi(optarg); break;
      default: fail_usage();
    }
  }
  if (optind != argc || o.sizes.empty() || o.repetitions < 1 || o.rss_repetitions < 1 ||
      o.peer_runs < 1)
    fail_usage();
  return o;
}

// Keeps standard output for the tables and points descriptor 1, where the
// watcher writes its reports, at /dev/null.
FILE *take_standard_output() {
  fflush(stdout);
  int kept = dup(STDOUT_FILENO);
  int null = open("/dev/null", O_WRONLY);
  require(kept >= 0 && null >= 0 && dup2(null, STDOUT_FILENO) >= 0, "cannot redirect output",
          strerror(errno));
  close(null);
  return fdopen(kept, "w");
}

void write_file(const site &s, status_format format, uint64_t shuffle_seed, const std::string &path) {
  FILE *out = fopen(path.c_str(), "w");
  require(out != nullptr, "cannot create", path + ": " + strerror(errno));
  write_status_file(s, format, shuffle_seed, out);
  require(fclose(out) == 0, "cannot write", path + ": " + strerror(errno));
}

// The files of every format and size that the run polls.
std::vector<site_files> plan_files(const bench_options &o, const std::string &directory) {
  std::vector<site_files> all;
  for (status_format format : formats)
    for (int32_t services : o.sizes) {
      site_files files{format, services, {}};
      const char *extension = format == status_format::status_dat ? ".dat" : ".log";
      for (int32_t role = 0; role < file_roles; role++)
        files.path[role] = directory + "/status-" + std::to_string(services) + role_suffix[role] + extension;
      all.push_back(files);
    }
  return all;
}

// Writes them all before anything is measured.
void write_files(const bench_options &o, const std::vector<site_files> &all) {
  for (int32_t services : o.sizes) {
    site_shape shape;
    shape.hosts = services / 10;
    site base = make_site(shape);
    site next = next_poll(base, o.change_fraction, shape.seed + 1);
    for (const site_files &files : all) {
      if (files.services != services) continue;
      write_file(base, files.format, 0, files.path[base_file]);
      write_file(next, files.format, 0, files.path[next_file]);
      write_file(base, files.format, shape.seed + 2, files.path[shuffled_file]);
    }
  }
}

int64_t file_bytes(const std::string &path) {
  struct stat about;
  require(stat(path.c_str(), &about) == 0, "cannot stat", path + ": " + strerror(errno));
  return about.st_size;
}

// Peak memory of a fresh process that makes `repetitions` polls of `kind`:
// the process that generated the files, and its arrays, do not count.
double measure_peak_rss(const char *self, const site_files &files, int32_t kind, int32_t repetitions) {
  const char *format = files.format == status_format::status_dat ? "dat" : "log";
  std::vector<std::string> argv{self, "--peak-rss", format, std::to_string(kind),
                                std::to_string(repetitions), std::to_string(files.services),
                                files.path[0], files.path[1], files.path[2]};
  return run_process(self, argv, "/dev/null").peak_rss_mib;
}

// The fresh process of measure_peak_rss.
int peak_rss_child(char **argv) {
  site_files files{strcmp(argv[2], "dat") == 0 ? status_format::status_dat : status_format::status_log,
                   atoi(argv[5]), {argv[6], argv[7], argv[8]}};
  poller p;
  for (int32_t i = atoi(argv[4]); i > 0; i--) time_poll(&p, files, poll_kinds[atoi(argv[3])]);
  release_stats_array(&p.state.previous);
  release_stats_array(&p.state.spare);
  return 0;
}

// Where the fresh first polls of `files` write their reports, for the
// peers to be checked against.
std::string first_poll_reports(const site_files &files) {
  return files.path[base_file] + ".reports";
}

// Times one poll of `kind` of `files` into its row of `results`, after a
// read floor of its own. An untimed poll of the kind comes first, so that
// the timed one follows the polls a watcher would have made before it, not
// those of another kind; a fresh process follows no poll.
void time_one_poll(const char *self, poller *p, const site_files &files, int32_t kind,
                   poll_result *r) {
  const std::string &polled = files.path[poll_kinds[kind].current];
  r->bytes = file_bytes(polled);
  if (poll_kinds[kind].fresh_process) {
    r->floor_seconds.push_back(time_read_floor(polled));
    process_run run = run_fresh_first_poll(self, files, first_poll_reports(files));
    r->seconds.push_back(run.seconds);
    r->peak_rss_mib = std::max(r->peak_rss_mib, run.peak_rss_mib);
    return;
  }
  time_poll(p, files, poll_kinds[kind]);
  r->floor_seconds.push_back(time_read_floor(polled));
  r->seconds.push_back(time_poll(p, files, poll_kinds[kind]));
}

// Fills in `results`, which hold a row per file set and kind in that order.
// Each timed poll follows a read floor of its own, and the later kinds of a
// file set are polled in turn, round after round: a spell in which the
// machine runs slower then falls on a poll and its floor alike, and on
// every kind alike. First polls come before them, all in a row, as a
// watcher makes them only once: they leave one array fewer behind, and a
// later poll after each would have to fault in a fresh one.
void time_polls(const char *self, const bench_options &o, const std::vector<site_files> &all,
                std::vector<poll_result> *results) {
  poller p;
  for (size_t set = 0; set < all.size(); set++) {
    poll_result *rows = &(*results)[set * poll_kind_count];
    time_read_floor(all[set].path[base_file]);  // the first read may find the file on its way to the cache
    for (int32_t kind : {first_poll, fresh_first_poll})
      for (int32_t round = 0; round < o.repetitions; round++)
        time_one_poll(self, &p, all[set], kind, &rows[kind]);
    for (int32_t round = 0; round < o.repetitions; round++)
      for (int32_t kind = same_order_poll; kind < poll_kind_count; kind++)
        time_one_poll(self, &p, all[set], kind, &rows[kind]);
  }
  release_stats_array(&p.state.previous);
  release_stats_array(&p.state.spare);
}

// The peers over each status.dat, checked against sentrel's fresh first
// polls, which time_polls has left behind.
std::vector<peer_result> time_all_peers(const char *self, const bench_options &o,
                                        const std::vector<site_files> &all) {
  std::vector<peer_result> results;
  if (o.peers.empty()) return results;
  for (const site_files &files : all)
    if (files.format == status_format::status_dat)
      time_peers(self, o.peers, files, o.peer_runs, first_poll_reports(files), &results);
  return results;
}

// What the run wrote, removed however it ends.
std::vector<site_files> written;
std::string work_directory;

void remove_files() {
  for (const site_files &files : written) {
    for (const std::string &path : files.path) unlink(path.c_str());
    unlink(first_poll_reports(files).c_str());
  }
  if (!work_directory.empty()) rmdir(work_directory.c_str());
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 4 && strcmp(argv[1], launch_flag) == 0) return launch_child(argc, argv);
  if (argc == 4 && strcmp(argv[1], fresh_first_poll_flag) == 0)
    return fresh_first_poll_child(argv[2], argv[3]);
  FILE *out = take_standard_output();
  if (argc == 9 && strcmp(argv[1], "--peak-rss") == 0) return peak_rss_child(argv);
  bench_options o = parse_options(argc, argv);
  std::string directory = o.directory + "/sentrel-bench-XXXXXX";
  require(mkdtemp(&directory[0]) != nullptr, "cannot make a directory in", o.directory);
  work_directory = directory;
  atexit(remove_files);

  const std::vector<site_files> &all = written = plan_files(o, directory);
  write_files(o, all);
  std::vector<poll_result> results;
  for (const site_files &files : all)
    for (int32_t kind = 0; kind < poll_kind_count; kind++) {
      poll_result r{files.format, files.services, kind, 0, {}, {}};
      // A fresh process's peak is that of its own timed runs.
      if (!poll_kinds[kind].fresh_process)
        r.peak_rss_mib = measure_peak_rss(argv[0], files, kind, o.rss_repetitions);
      results.push_back(r);
    }
  time_polls(argv[0], o, all, &results);
  std::vector<peer_result> peers = time_all_peers(argv[0], o, all);

  if (!peers.empty()) {
    fprintf(out, "### The tools operators would use instead\n\n");
    print_peer_table(out, peers, results);
    fprintf(out, "\n");
  }
  fprintf(out, "### Each kind of poll\n\n");
  print_poll_table(out, results);
  if (o.chart_data) {
    FILE *data = fopen(o.chart_data, "w");
    require(data != nullptr, "cannot create", o.chart_data);
    write_chart_data(data, results, peers);
    require(fclose(data) == 0, "cannot write", o.chart_data);
  }
  return fclose(out) == 0 ? 0 : 1;
}
