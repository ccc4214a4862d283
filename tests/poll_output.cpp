#include "poll_output.h"

#include <algorithm>
#include <sstream>

namespace {

const std::string checking = "Checking @ ";

// Whether `out` holds at `at` a "Checking @" line that shows a time, and
// that time.
bool shows_checking_time(const std::string &out, size_t at, tm *time) {
  if (out.compare(at, checking.size(), checking) != 0) return false;
  std::string shown = out.substr(at + checking.size(), 24);
  const char *parsed = strptime(shown.c_str(), "%a %b %e %H:%M:%S %Y", time);
  return parsed != nullptr && *parsed == '\0';
}

}  // namespace

const char checking_line[] = "Checking @ TIME\n";

std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> output_by_poll(const std::string &out) {
  std::vector<std::string> polls;
  for (size_t at = 0, end; at < out.size(); at = end) {
    end = std::min(out.find('\n', at), out.size() - 1) + 1;
    bool starts_poll = out.compare(at, checking.size(), checking) == 0;
    if (starts_poll || polls.empty()) polls.emplace_back();
    if (!starts_poll) polls.back() += out.substr(at, end - at);
  }
  return polls;
}

time_t last_poll_start(const std::string &out) {
  size_t at = out.rfind(checking);
  tm time{};
  return at != std::string::npos && shows_checking_time(out, at, &time) ? timegm(&time) : 0;
}

std::string with_checking_times_masked(const std::string &out) {
  std::string masked;
  for (size_t at = 0, end; at < out.size(); at = end) {
    end = std::min(out.find('\n', at), out.size() - 1) + 1;
    tm time{};
    bool whole_line = end - at == checking.size() + 25;
    masked += whole_line && shows_checking_time(out, at, &time) ? checking_line
                                                               : out.substr(at, end - at);
  }
  return masked;
}

std::string reports_in(const std::string &out) {
  std::string masked = with_checking_times_masked(out.substr(0, out.rfind('\n') + 1));
  for (size_t at; (at = masked.find(checking_line)) != std::string::npos;)
    masked.erase(at, sizeof checking_line - 1);
  return masked;
}
