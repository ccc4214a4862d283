#include "poll_report.h"

#include <algorithm>
#include <string>

#include "poll_runs.h"

namespace {

const char *format_name(status_format format) {
  return format == status_format::status_dat ? "status.dat" : "status.log";
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double median_seconds(const poll_result &r) { return median(r.seconds); }
double median_floor(const poll_result &r) { return median(r.floor_seconds); }

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

// The worst figure that `measure` finds over the formats and kinds it is
// asked about, and where; absent when the run lacks the polls it needs.
struct worst_figure {
  bool measured = false;
  double value = 0;
  std::string where;
};

void consider(worst_figure *worst, double value, const std::string &where) {
  if (worst->measured && value <= worst->value) return;
  *worst = {true, value, where};
}

const status_format both_formats[] = {status_format::status_dat, status_format::status_log};

worst_figure ratio_at_100k(const std::vector<poll_result> &results, status_format format) {
  worst_figure worst;
  for (int32_t k = 0; k < poll_kind_count; k++)
    if (const poll_result *r = find_result(results, format, 100000, k))
      consider(&worst, median_ratio(*r), poll_kinds[k].name);
  return worst;
}

worst_figure dat_ratio(const std::vector<poll_result> &results) {
  return ratio_at_100k(results, status_format::status_dat);
}

worst_figure log_ratio(const std::vector<poll_result> &results) {
  return ratio_at_100k(results, status_format::status_log);
}

worst_figure growth_10k_to_100k(const std::vector<poll_result> &results) {
  worst_figure worst;
  for (status_format format : both_formats)
    for (int32_t k = 0; k < poll_kind_count; k++) {
      const poll_result *small = find_result(results, format, 10000, k);
      const poll_result *large = find_result(results, format, 100000, k);
      // Each size's cost over its own floors, times the growth of the file:
      // what the times grow by on a machine that runs at one speed, free of
      // a spell in which it ran slower while one size was polled.
      if (small && large)
        consider(&worst,
                 median_ratio(*large) / median_ratio(*small) *
                     static_cast<double>(large->bytes) / static_cast<double>(small->bytes),
                 std::string(format_name(format)) + ", " + poll_kinds[k].name);
    }
  return worst;
}

worst_figure shuffled_over_same_order(const std::vector<poll_result> &results) {
  worst_figure worst;
  for (status_format format : both_formats) {
    const poll_result *same = find_result(results, format, 100000, same_order_poll);
    const poll_result *shuffled = find_result(results, format, 100000, shuffled_poll);
    if (same && shuffled)
      consider(&worst, median_seconds(*shuffled) / median_seconds(*same), format_name(format));
  }
  return worst;
}

worst_figure dat_peak_rss(const std::vector<poll_result> &results) {
  worst_figure worst;
  for (int32_t k = 0; k < poll_kind_count; k++) {
    const poll_result *r = find_result(results, status_format::status_dat, 100000, k);
    if (r && r->peak_rss_mib >= 0) consider(&worst, r->peak_rss_mib, poll_kinds[k].name);
  }
  return worst;
}

struct performance_target {
  const char *text;
  double limit;
  const char *unit;
  worst_figure (*measure)(const std::vector<poll_result> &);
};

const performance_target targets[] = {
    {"every kind of poll of the 100,000-service status.dat: at most 3 times the read floor", 3, "x",
     dat_ratio},
    {"every kind of poll of the 100,000-service status.log: at most 5 times its read floor", 5, "x",
     log_ratio},
    {"linear: from 10,000 to 100,000 services every kind of poll grows at most 11 times, in both formats",
     11, "x", growth_10k_to_100k},
    {"a shuffled later poll of 100,000 services costs at most 1.25 times a same-order one", 1.25, "x",
     shuffled_over_same_order},
    {"peak resident memory over several polls of the 100,000-service status.dat: at most 200 MiB", 200,
     " MiB", dat_peak_rss},
};

}  // namespace

void print_poll_table(FILE *out, const std::vector<poll_result> &results) {
  size_t polls = results.empty() ? 0 : results.front().seconds.size();
  fprintf(out, "| format | services | kind of poll | MB | read floor ms |");
  for (size_t i = 1; i <= polls; i++) fprintf(out, " poll %zu ms (x its floor) |", i);
  fprintf(out, " median x floor | MB/s | peak RSS MiB |\n|---|--:|---|--:|--:|");
  for (size_t i = 0; i < polls; i++) fprintf(out, "--:|");
  fprintf(out, "--:|--:|--:|\n");
  for (const poll_result &r : results) {
    double megabytes = static_cast<double>(r.bytes) / 1e6;
    fprintf(out, "| %s | %s | %s | %.1f | %.2f |", format_name(r.format),
            with_thousands(r.services).c_str(), poll_kinds[r.kind].name, megabytes,
            1e3 * median_floor(r));
    for (size_t i = 0; i < r.seconds.size(); i++)
      fprintf(out, " %.1f (%.2fx) |", 1e3 * r.seconds[i], r.seconds[i] / r.floor_seconds[i]);
    fprintf(out, " %.2fx | %.0f |", median_ratio(r), megabytes / median_seconds(r));
    if (r.peak_rss_mib >= 0)
      fprintf(out, " %.1f |\n", r.peak_rss_mib);
    else
      fprintf(out, " |\n");
  }
}

void print_targets(FILE *out, const std::vector<poll_result> &results) {
  fprintf(out, "| target | measured (worst case) | met |\n|---|---|---|\n");
  for (const performance_target &target : targets) {
    worst_figure worst = target.measure(results);
    if (!worst.measured) {
      fprintf(out, "| %s | not measured: the run lacks these sizes | - |\n", target.text);
      continue;
    }
    fprintf(out, "| %s | %.2f%s (%s) | %s |\n", target.text, worst.value, target.unit,
            worst.where.c_str(), worst.value <= target.limit ? "yes" : "**no**");
  }
}

void write_chart_data(FILE *out, const std::vector<poll_result> &results) {
  for (status_format format : both_formats) {
    fprintf(out, "# %s: services, read floor ms, then the median ms of each kind of poll\n",
            format_name(format));
    for (const poll_result &r : results) {
      if (r.format != format || r.kind != first_poll) continue;
      fprintf(out, "%d %.4f", r.services, 1e3 * median_floor(r));
      for (int32_t k = 0; k < poll_kind_count; k++)
        fprintf(out, " %.4f", 1e3 * median_seconds(*find_result(results, format, r.services, k)));
      fprintf(out, "\n");
    }
    fprintf(out, "\n\n");
  }
}
