// The cost of one poll's parse at a large site: a status.dat and a
// status.log of 100,000 services each, read from a file in the page cache.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "parsers/status_dat.h"
#include "parsers/status_log.h"

namespace {

constexpr int services = 100000;
constexpr int services_per_host = 20;

// A service block as Nagios 4 writes it, keys it does not store included.
std::string service_block(int i) {
  std::string host = "host" + std::to_string(i / services_per_host);
  std::string state = std::to_string(i % 7 == 0 ? 2 : 0);
  return "servicestatus {\n"
         "\thost_name=" + host + "\n"
         "\tservice_description=Service " + std::to_string(i) + "\n"
         "\tcheck_period=24x7\n\tnotification_period=24x7\n\tcheck_interval=5.000000\n"
         "\tretry_interval=1.000000\n\tevent_handler=\n\thas_been_checked=1\n"
         "\tshould_be_scheduled=1\n\tcheck_execution_time=0.012\n\tcheck_latency=0.004\n"
         "\tcheck_type=0\n\tcurrent_state=" + state + "\n\tlast_hard_state=" + state + "\n"
         "\tlast_event_id=0\n\tcurrent_event_id=12\n\tcurrent_problem_id=0\n"
         "\tlast_problem_id=3\n\tcurrent_attempt=1\n\tmax_attempts=3\n\tstate_type=1\n"
         "\tlast_state_change=1796748000\n\tlast_hard_state_change=1796748000\n"
         "\tlast_time_ok=1796748500\n\tlast_time_warning=0\n\tlast_time_unknown=0\n"
         "\tlast_time_critical=1796740000\n"
         "\tplugin_output=HTTP OK: HTTP/1.1 200 OK - 612 bytes in 0.004 second response time\n"
         "\tlong_plugin_output=\n"
         "\tperformance_data=time=0.004s;;;0.000000 size=612B;;;0\n"
         "\tlast_check=1796748500\n\tnext_check=1796748800\n\tcheck_options=0\n"
         "\tcurrent_notification_number=0\n\tcurrent_notification_id=0\n"
         "\tlast_notification=0\n\tnext_notification=0\n\tno_more_notifications=0\n"
         "\tnotifications_enabled=1\n\tactive_checks_enabled=1\n\tpassive_checks_enabled=1\n"
         "\tevent_handler_enabled=1\n\tproblem_has_been_acknowledged=0\n"
         "\tacknowledgement_type=0\n\tflap_detection_enabled=1\n"
         "\tprocess_performance_data=1\n\tobsess=1\n\tlast_update=1796748520\n"
         "\tis_flapping=0\n\tpercent_state_change=0.00\n\tscheduled_downtime_depth=0\n"
         "\timportance=0\n\t_OWNER=0;web team\n\t}\n\n";
}

std::string service_line(int i) {
  std::string host = "host" + std::to_string(i / services_per_host);
  return "[1796748520] SERVICE;" + host + ";Service " + std::to_string(i) +
         (i % 7 == 0 ? ";CRITICAL" : ";OK") +
         ";1/3;HARD;1796748500;1796748800;ACTIVE;1;1;1;1796748000;0;OK;1796748500;0;0;"
         "1796740000;0;0;1;0.004;0.012;1;0;0.00;0;1;0;1;"
         "HTTP OK: HTTP/1.1 200 OK - 612 bytes in 0.004 second response time\n";
}

// An unlinked temporary file holding `text`.
int status_file(const std::string &text) {
  const char *base = getenv("TMPDIR");
  std::string path = std::string(base ? base : "/tmp") + "/sentrel-bench-XXXXXX";
  int fd = mkstemp(&path[0]);
  if (fd < 0) abort();
  unlink(path.c_str());
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) abort();
  return fd;
}

void run_parser(benchmark::State &state, void (*parser)(int32_t, stats_array *),
                const std::string &text) {
  int fd = status_file(text);
  for (auto _ : state) {
    if (lseek(fd, 0, SEEK_SET) != 0) abort();
    stats_array array;
    parser(fd, &array);
    if (array.count != services) state.SkipWithError("wrong entry count");
    release_stats_array(&array);
  }
  close(fd);
  state.SetItemsProcessed(state.iterations() * services);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void parse_status_dat_100k_services(benchmark::State &state) {
  std::string text = "info {\n\tcreated=1796748520\n\tversion=4.4.6\n\t}\n\n";
  for (int i = 0; i < services; i++) text += service_block(i);
  run_parser(
      state,
      [](int32_t fd, stats_array *array) {
        if (parse_status_dat(fd, array) != reading_end::complete) abort();
      },
      text);
}

void parse_status_log_100k_services(benchmark::State &state) {
  std::string text = "# Nagios 1.x status file\n";
  for (int i = 0; i < services; i++) text += service_line(i);
  run_parser(state, parse_status_log, text);
}

}  // namespace

BENCHMARK(parse_status_dat_100k_services)->Unit(benchmark::kMillisecond);
BENCHMARK(parse_status_log_100k_services)->Unit(benchmark::kMillisecond);
