#include "poll_report.h"

#include <algorithm>
#include <string>

#include "poll_runs.h"

namespace {

const status_format both_formats[] = {status_format::status_dat, status_format::status_log};

const char *format_name(status_format format) {
  return format == status_format::status_dat ? "status.dat" : "status.log";
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The median over the polls of each poll's time over its own floor.
double median_ratio(const poll_result &r) {
  std::vector<double> ratios;
  for (size_t i = 0; i < r.seconds.size(); i++) ratios.push_back(r.seconds[i] / r.floor_seconds[i]);
  return median(ratios);
}

std::string with_thousands(int64_t n) {
  std::string digits = std::to_string(n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
  return digits;
}

const poll_result *find_result(const std::vector<poll_result> &results, status_format format,
                               int32_t services, int32_t kind) {
  for (const poll_result &r : results)
    if (r.format == format && r.services == services && r.kind == kind) return &r;
  return nullptr;
}

// " median | fastest-slowest |" in milliseconds.
void print_times(FILE *out, const std::vector<double> &seconds) {
  auto range = std::minmax_element(seconds.begin(), seconds.end());
  fprintf(out, " %.1f | %.1f-%.1f |", 1e3 * median(seconds), 1e3 * *range.first,
          1e3 * *range.second);
}

}  // namespace

void print_poll_table(FILE *out, const std::vector<poll_result> &results) {
  fprintf(out,
          "| format | services | MB | kind of poll | read floor ms | median ms |"
          " fastest-slowest ms | median x floor | MB/s | peak RSS MiB |\n"
          "|---|--:|--:|---|--:|--:|--:|--:|--:|--:|\n");
  for (const poll_result &r : results) {
    double megabytes = static_cast<double>(r.bytes) / 1e6;
    fprintf(out, "| %s | %s | %.1f | %s | %.2f |", format_name(r.format),
            with_thousands(r.services).c_str(), megabytes, poll_kinds[r.kind].name,
            1e3 * median(r.floor_seconds));
    print_times(out, r.seconds);
    fprintf(out, " %.2fx | %.0f | %.1f |\n", median_ratio(r), megabytes / median(r.seconds),
            r.peak_rss_mib);
  }
}

void print_peer_table(FILE *out, const std::vector<peer_result> &peers,
                      const std::vector<poll_result> &results) {
  fprintf(out,
          "| services | MB | tool | runs | median ms | fastest-slowest ms |"
          " x sentrel's first poll | peak RSS MiB |\n"
          "|--:|--:|---|--:|--:|--:|--:|--:|\n");
  for (const poll_result &sentrel : results) {
    if (sentrel.format != status_format::status_dat || sentrel.kind != fresh_first_poll) continue;
    std::string size = with_thousands(sentrel.services);
    double megabytes = static_cast<double>(sentrel.bytes) / 1e6;
    double sentrel_median = median(sentrel.seconds);
    fprintf(out, "| %s | %.1f | sentrel, first poll in a fresh process | %zu |", size.c_str(),
            megabytes, sentrel.seconds.size());
    print_times(out, sentrel.seconds);
    fprintf(out, " 1.00x | %.1f |\n", sentrel.peak_rss_mib);
    for (const peer_result &p : peers) {
      if (p.services != sentrel.services) continue;
      fprintf(out, "| %s | %.1f | %s | %zu |", size.c_str(), megabytes, p.label.c_str(),
              p.seconds.size());
      print_times(out, p.seconds);
      fprintf(out, " %.1fx | %.1f |\n", median(p.seconds) / sentrel_median, p.peak_rss_mib);
    }
  }
}

void write_chart_data(FILE *out, const std::vector<poll_result> &results,
                      const std::vector<peer_result> &peers) {
  for (status_format format : both_formats) {
    fprintf(out, "services \"read floor\"");
    for (int32_t k = 0; k < poll_kind_count; k++) fprintf(out, " \"%s\"", poll_kinds[k].name);
    // Peers are run over status.dat only, and listed once for all sizes.
    std::vector<std::string> labels;
    for (const peer_result &p : peers)
      if (format == status_format::status_dat &&
          std::find(labels.begin(), labels.end(), p.label) == labels.end())
        labels.push_back(p.label);
    for (const std::string &label : labels) fprintf(out, " \"%s\"", label.c_str());
    fprintf(out, "\n");
    for (const poll_result &r : results) {
      if (r.format != format || r.kind != first_poll) continue;
      fprintf(out, "%d %.4f", r.services, 1e3 * median(r.floor_seconds));
      for (int32_t k = 0; k < poll_kind_count; k++)
        fprintf(out, " %.4f", 1e3 * median(find_result(results, format, r.services, k)->seconds));
      for (const std::string &label : labels) {
        auto run = std::find_if(peers.begin(), peers.end(), [&](const peer_result &p) {
          return p.label == label && p.services == r.services;
        });
        if (run == peers.end())
          fprintf(out, " ?");
        else
          fprintf(out, " %.4f", 1e3 * median(run->seconds));
      }
      fprintf(out, "\n");
    }
    fprintf(out, "\n\n");
  }
}
