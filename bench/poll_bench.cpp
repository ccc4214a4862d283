// sentrel_poll_bench: what whole polls of large sites cost against merely reading the file, the
// watcher's peak memory, and what the tools an operator would run instead take for the same work.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "watcher/polling_loop.h"

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
    "  -p  a peer: a shell command that lists the problems of the status.dat named after it\n"
    "      as sentrel's first poll does, in its one-line form (repeat for more peers)\n"
    "  -q  runs of each peer at each size (3)\n";

struct peer {
  std::string label, command;  // the command is given the status file's path last
};

struct bench_options {
  std::vector<int32_t> sizes{1000, 10000, 100000};
  int32_t repetitions = 11, rss_repetitions = 3, peer_runs = 3;
  std::string change_fraction = "0.02";
  const char *chart_data = nullptr;
  std::string directory = getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp";
  std::vector<peer> peers;
};

const struct {
  const char *title, *extension, *statusgen_option;  // the generator's option for the format
} formats[] = {{"status.dat", ".dat", ""}, {"status.log", ".log", " -x"}};
constexpr int32_t format_count = 2, dat_format = 0;

// The files of one site: as written, its next poll, and shuffled.
enum file_role : int32_t { base_file, next_file, shuffled_file, no_file };

struct site_files {
  int32_t format;  // index into formats
  int32_t services;
  std::string path[no_file];
  int64_t bytes[no_file];
  std::string reports;  // of its fresh first polls, which the peers are checked against
};

// A fresh first poll runs in a process of its own, as at sentrel's start; the others follow polls.
enum : int32_t {
  first_poll, fresh_first_poll, same_order_poll, changed_poll, shuffled_poll, poll_kind_count
};
const struct {
  const char *name;
  file_role previous, current;  // previous no_file: a first poll
} poll_kinds[poll_kind_count] = {
    {"first poll", no_file, base_file},
    {"first poll, fresh process", no_file, base_file},
    {"later, same order", base_file, base_file},
    {"later, after changes", base_file, next_file},
    {"later, shuffled", base_file, shuffled_file},
};

// The runs of one kind of poll, or of one peer, over one file set.
struct row {
  const site_files *files;
  int32_t kind;      // index into poll_kinds; -1 for a peer
  std::string peer;  // the peer's label
  std::vector<double> seconds;        // each run, in order
  std::vector<double> floor_seconds;  // the read floor timed right before each poll
  double peak_rss_mib = -1;           // -1: not measured
};

// `text` as one word of a shell command line.
std::string quoted(const std::string &text) {
  std::string word = "'";
  for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

// The run's directory, removed with all it holds however the run ends.
std::string work_directory;

void require(bool ok, const char *what, const std::string &detail) {
  if (ok) return;
  fprintf(stderr, "sentrel_poll_bench: %s: %s\n", what, detail.c_str());
  exit(1);
}

bench_options parse_options(int argc, char **argv) {
  bench_options o;
  bool bad = false;
  for (int option; (option = getopt(argc, argv, "s:r:k:c:d:t:p:q:")) != -1;) {
    switch (option) {
      case 's':
        o.sizes.clear();
        for (char *text = optarg, *end; *text; text = *end ? end + 1 : end) {
          long size = strtol(text, &end, 10);
          bad |= end == text || size < 10 || size > 10000000 || size % 10 != 0 || (*end && *end != ',');
          o.sizes.push_back(static_cast<int32_t>(size));
        }
        break;
      case 'r': o.repetitions = atoi(optarg); break;
      case 'k': o.rss_repetitions = atoi(optarg); break;
      case 'c': o.change_fraction = optarg; break;
      case 'd': o.chart_data = optarg; break;
      case 't': o.directory = optarg; break;
      case 'p': {
        char *equals = strchr(optarg, '=');
        bad |= equals == nullptr || equals == optarg || equals[1] == '\0';
        if (!bad) o.peers.push_back({std::string(optarg, equals), equals + 1});
        break;
      }
      case 'q': o.peer_runs = atoi(optarg); break;
      default: bad = true;
    }
  }
  if (bad || optind != argc || o.sizes.empty() || o.repetitions < 1 || o.rss_repetitions < 1 ||
      o.peer_runs < 1) {
    fputs(usage, stderr);
    exit(2);
  }
  return o;
}

double seconds_now() {
  auto since_epoch = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration<double>(since_epoch).count();
}

// Seconds of a plain read() loop over the file in 4096-byte blocks.
double time_read_floor(const std::string &path) {
  char block[4096];
  double start = seconds_now();
  int fd = open(path.c_str(), O_RDONLY);
  require(fd >= 0, "cannot open", path + ": " + strerror(errno));
  ssize_t got;
  while ((got = read(fd, block, sizeof block)) > 0) continue;
  require(got == 0, "cannot read", path + ": " + strerror(errno));
  close(fd);
  return seconds_now() - start;
}

struct poller {
  watch_settings settings;
  watch_state state;
  std::string previous_path;  // of the file `previous` was read from; empty when none
};

// Polls the file of `role`, or with no_file forgets the previous array as
// the watcher does, its memory kept.
void poll_file(poller *p, const site_files &files, file_role role,
               report_layout layout = report_layout::two_lines) {
  if (role == no_file) {
    clear_stats_array(&p->state.previous);
    p->previous_path.clear();
    return;
  }
  p->settings.status_source = files.path[role].c_str();
  p->settings.status_dat_format = files.format == dat_format;
  poll_once(p->settings, layout, &p->state);
  // A poll that read nothing would measure nothing.
  require(p->state.previous.count >= files.services, "poll read too few entries", files.path[role]);
  p->previous_path = files.path[role];
}

// Seconds of one poll of `kind`, after any untimed poll that makes its previous array. Each timed
// poll releases one array (the previous one, or a first poll its own), as the watcher would.
double time_poll(poller *p, const site_files &files, int32_t kind) {
  file_role previous = poll_kinds[kind].previous;
  if (previous == no_file || p->previous_path != files.path[previous]) poll_file(p, files, previous);
  double start = seconds_now();
  poll_file(p, files, poll_kinds[kind].current);
  if (previous == no_file) poll_file(p, files, no_file);
  return seconds_now() - start;
}

// A process of its own for polls of one kind (after polls_flag: kind, polls, format, services,
// the three paths); a fresh first poll, as at sentrel's start, writes one-line reports for peers.
const char polls_flag[] = "--polls";

int polls_child(char **argv) {
  site_files files{atoi(argv[4]), atoi(argv[5]), {argv[6], argv[7], argv[8]}, {}, {}};
  int32_t kind = atoi(argv[2]);
  poller p;
  if (kind == fresh_first_poll)
    poll_file(&p, files, base_file, report_layout::one_line);
  else
    for (int32_t i = atoi(argv[3]); i > 0; i--) time_poll(&p, files, kind);
  release_stats_array(&p.state.previous);
  release_stats_array(&p.state.spare);
  return 0;
}

// Runs a command (after launch_flag: output path, command) and prints its seconds and peak memory.
// On Linux a child's peak memory counts that of its parent, so this small process starts it.
const char launch_flag[] = "--launch";

int launch_child(char **argv) {
  double start = seconds_now();
  pid_t child = fork();
  if (child == 0) {
    int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0 && dup2(out, STDOUT_FILENO) >= 0) execvp(argv[3], argv + 3);
    perror(argv[3]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child || status != 0) return 1;
  // ru_maxrss is in KiB on Linux and the BSDs.
  printf("%.9f %.3f\n", seconds_now() - start, static_cast<double>(usage.ru_maxrss) / 1024);
  return fflush(stdout) == 0 ? 0 : 1;
}

// The seconds of shell `command`, which must exit with 0, run by the launcher (`self`) with its
// output into `out_path`; its peak memory goes into `peak_rss_mib`.
double run_process(const char *self, const std::string &command, const std::string &out_path,
                   double *peak_rss_mib) {
  std::string line = quoted(self) + " " + launch_flag + " " + quoted(out_path) + " " + command;
  FILE *answer = popen(line.c_str(), "r");
  require(answer != nullptr, "cannot start", command + ": " + strerror(errno));
  double seconds = -1, peak = -1;
  bool answered = fscanf(answer, "%lf %lf", &seconds, &peak) == 2;
  require(pclose(answer) == 0 && answered, "failed", command);
  *peak_rss_mib = std::max(*peak_rss_mib, peak);
  return seconds;
}

double run_polls(const char *self, const site_files &files, int32_t kind, int32_t polls,
                 const std::string &out_path, double *peak_rss_mib) {
  std::string command = quoted(self) + " " + polls_flag + " " + std::to_string(kind) + " " +
                        std::to_string(polls) + " " + std::to_string(files.format) + " " +
                        std::to_string(files.services);
  for (const std::string &path : files.path) command += " " + quoted(path);
  return run_process(self, command, out_path, peak_rss_mib);
}

std::vector<std::string> sorted_lines(const std::string &path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Runs the peers in rounds, so that a slow spell of the machine falls on all alike, and checks
// their lists: a peer that lists other problems than sentrel would be timed at other work.
void time_peers(const char *self, const bench_options &o, const site_files &files,
                std::vector<row> *peers) {
  size_t first = peers->size();
  for (const peer &p : o.peers) peers->push_back({&files, -1, p.label, {}, {}});
  std::string listed = files.path[base_file] + ".peer";
  for (int32_t round = 0; round < o.peer_runs; round++)
    for (size_t i = 0; i < o.peers.size(); i++) {
      row *r = &(*peers)[first + i];
      std::string command = o.peers[i].command + " " + quoted(files.path[base_file]);
      r->seconds.push_back(run_process(self, command, listed, &r->peak_rss_mib));
      if (round > 0) continue;
      std::vector<std::string> found = sorted_lines(listed), wanted = sorted_lines(files.reports);
      require(found == wanted, "a peer lists other problems than sentrel's first poll",
              o.peers[i].label + ": " + std::to_string(found.size()) + " lines against " +
                  std::to_string(wanted.size()));
    }
}

// Writes every format and size with the generator a user runs, before anything is measured.
std::vector<site_files> write_files(const bench_options &o) {
  const char *const suffixes[] = {"", "-next", "-shuffled"};
  const std::string role_options[] = {"", " -c " + quoted(o.change_fraction), " -r"};
  std::vector<site_files> all;
  for (int32_t format = 0; format < format_count; format++)
    for (int32_t services : o.sizes) {
      std::string name = work_directory + "/status-" + std::to_string(services);
      all.push_back({format, services, {}, {}, name + formats[format].extension + ".reports"});
      for (int32_t role = base_file; role < no_file; role++) {
        std::string &path = all.back().path[role];
        path = name + suffixes[role] + formats[format].extension;
        std::string command = quoted(SENTREL_STATUSGEN) + formats[format].statusgen_option + " -n " +
                              std::to_string(services / 10) + role_options[role] + " >" + quoted(path);
        struct stat written;
        require(system(command.c_str()) == 0 && stat(path.c_str(), &written) == 0, "cannot write",
                path);
        all.back().bytes[role] = written.st_size;
      }
    }
  return all;
}

// Times a poll into `r` after a read floor of its own, and after an untimed poll of the kind, as a
// watcher would have made before (a fresh process follows none).
void time_one_poll(const char *self, poller *p, row *r) {
  const site_files &files = *r->files;
  bool fresh = r->kind == fresh_first_poll;
  if (!fresh) time_poll(p, files, r->kind);
  r->floor_seconds.push_back(time_read_floor(files.path[poll_kinds[r->kind].current]));
  r->seconds.push_back(fresh ? run_polls(self, files, r->kind, 1, files.reports, &r->peak_rss_mib)
                             : time_poll(p, files, r->kind));
}

// Fills in `rows` (per file set, a row per kind): first polls in a row, as a watcher makes them
// once, then the later kinds in rounds, so that a slow spell of the machine falls on all alike.
void time_polls(const char *self, const bench_options &o, std::vector<row> *rows) {
  poller p;
  for (size_t set = 0; set < rows->size(); set += poll_kind_count) {
    row *kinds = &(*rows)[set];
    time_read_floor(kinds->files->path[base_file]);  // the file may be on its way to the cache
    for (int32_t kind : {first_poll, fresh_first_poll})
      for (int32_t round = 0; round < o.repetitions; round++) time_one_poll(self, &p, &kinds[kind]);
    for (int32_t round = 0; round < o.repetitions; round++)
      for (int32_t kind = same_order_poll; kind < poll_kind_count; kind++)
        time_one_poll(self, &p, &kinds[kind]);
  }
  release_stats_array(&p.state.previous);
  release_stats_array(&p.state.spare);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string with_thousands(int32_t n) {
  std::string digits = std::to_string(n);
  for (size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
  return digits;
}

// The size of the file that a row's runs read.
double megabytes(const row &r) {
  return static_cast<double>(r.files->bytes[r.kind < 0 ? base_file : poll_kinds[r.kind].current]) / 1e6;
}

void print_poll_table(FILE *out, const std::vector<row> &rows) {
  fprintf(out, "### Each kind of poll\n\n| format | services | MB | kind of poll | read floor ms |"
               " median ms | fastest-slowest ms | median x floor | MB/s | peak RSS MiB |\n"
               "|---|--:|--:|---|--:|--:|--:|--:|--:|--:|\n");
  for (const row &r : rows) {
    auto range = std::minmax_element(r.seconds.begin(), r.seconds.end());
    // The median over the polls of each poll's time over its own floor.
    std::vector<double> ratios;
    for (size_t i = 0; i < r.seconds.size(); i++) ratios.push_back(r.seconds[i] / r.floor_seconds[i]);
    fprintf(out, "| %s | %s | %.1f | %s | %.2f | %.1f | %.1f-%.1f | %.2fx | %.0f | %.1f |\n",
            formats[r.files->format].title, with_thousands(r.files->services).c_str(), megabytes(r),
            poll_kinds[r.kind].name, 1e3 * median(r.floor_seconds), 1e3 * median(r.seconds),
            1e3 * *range.first, 1e3 * *range.second, median(ratios), megabytes(r) / median(r.seconds),
            r.peak_rss_mib);
  }
}

// A row per size and tool, sentrel's fresh first poll first.
void print_peer_table(FILE *out, const std::vector<row> &rows, const std::vector<row> &peers) {
  fprintf(out, "### The tools operators would use instead\n\n| services | MB | tool | runs |"
               " median ms | fastest-slowest ms | x sentrel's first poll | peak RSS MiB |\n"
               "|--:|--:|---|--:|--:|--:|--:|--:|\n");
  for (const row &sentrel : rows) {
    if (sentrel.files->format != dat_format || sentrel.kind != fresh_first_poll) continue;
    std::vector<const row *> tools{&sentrel};
    for (const row &p : peers)
      if (p.files == sentrel.files) tools.push_back(&p);
    for (const row *t : tools) {
      auto range = std::minmax_element(t->seconds.begin(), t->seconds.end());
      fprintf(out, "| %s | %.1f | %s | %zu | %.1f | %.1f-%.1f | %.*fx | %.1f |\n",
              with_thousands(t->files->services).c_str(), megabytes(*t),
              t == &sentrel ? "sentrel, first poll in a fresh process" : t->peer.c_str(),
              t->seconds.size(), 1e3 * median(t->seconds), 1e3 * *range.first, 1e3 * *range.second,
              t == &sentrel ? 2 : 1, median(t->seconds) / median(sentrel.seconds), t->peak_rss_mib);
    }
  }
  fprintf(out, "\n");
}

// Gnuplot data: a block per format of column titles, then a line per size with the medians in ms
// of the read floor, each kind of poll and, for status.dat, each peer.
void write_chart_data(FILE *out, const bench_options &o, const std::vector<row> &rows,
                      const std::vector<row> &peers) {
  for (int32_t format = 0; format < format_count; format++) {
    fprintf(out, "services \"read floor\"");
    for (const auto &kind : poll_kinds) fprintf(out, " \"%s\"", kind.name);
    for (const peer &p : o.peers)
      if (format == dat_format) fprintf(out, " \"%s\"", p.label.c_str());
    fprintf(out, "\n");
    for (size_t set = 0; set < rows.size(); set += poll_kind_count) {
      const row *kinds = &rows[set];
      if (kinds->files->format != format) continue;
      fprintf(out, "%d %.4f", kinds->files->services, 1e3 * median(kinds->floor_seconds));
      for (int32_t k = 0; k < poll_kind_count; k++) fprintf(out, " %.4f", 1e3 * median(kinds[k].seconds));
      for (const row &p : peers)
        if (p.files == kinds->files) fprintf(out, " %.4f", 1e3 * median(p.seconds));
      fprintf(out, "\n");
    }
    fprintf(out, "\n\n");
  }
}

}  // namespace

int main(int argc, char **argv) {
  if (argc >= 4 && strcmp(argv[1], launch_flag) == 0) return launch_child(argv);
  if (argc == 9 && strcmp(argv[1], polls_flag) == 0) return polls_child(argv);
  bench_options o = parse_options(argc, argv);
  work_directory = o.directory + "/sentrel-bench-XXXXXX";
  require(mkdtemp(&work_directory[0]) != nullptr, "cannot make a directory in", o.directory);
  atexit([] {
    if (system(("rm -rf " + quoted(work_directory)).c_str()) != 0)
      fprintf(stderr, "sentrel_poll_bench: cannot remove %s\n", work_directory.c_str());
  });
  // The tables keep standard output; the watcher's reports on descriptor 1 go to /dev/null.
  FILE *out = fdopen(dup(STDOUT_FILENO), "w");
  require(out != nullptr && freopen("/dev/null", "w", stdout) != nullptr, "cannot redirect output",
          strerror(errno));

  const std::vector<site_files> all = write_files(o);
  std::vector<row> rows, peers;
  for (const site_files &files : all)
    for (int32_t kind = 0; kind < poll_kind_count; kind++) {
      rows.push_back({&files, kind, "", {}, {}});
      // A fresh process's peak is that of its own timed runs.
      if (kind != fresh_first_poll)
        run_polls(argv[0], files, kind, o.rss_repetitions, "/dev/null", &rows.back().peak_rss_mib);
    }
  time_polls(argv[0], o, &rows);
  for (const site_files &files : all)
    if (files.format == dat_format && !o.peers.empty()) time_peers(argv[0], o, files, &peers);

  if (!peers.empty()) print_peer_table(out, rows, peers);
  print_poll_table(out, rows);
  if (o.chart_data) {
    FILE *data = fopen(o.chart_data, "w");
    require(data != nullptr, "cannot create", o.chart_data);
    write_chart_data(data, o, rows, peers);
    require(fclose(data) == 0, "cannot write", o.chart_data);
  }
  return fclose(out) == 0 ? 0 : 1;
}
