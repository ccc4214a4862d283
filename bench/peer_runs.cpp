#include "peer_runs.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

std::vector<std::string> sorted_lines(const std::string &path) {
  FILE *in = fopen(path.c_str(), "r");
  require(in != nullptr, "cannot open", path);
  std::string text;
  char block[4096];
  for (size_t got; (got = fread(block, 1, sizeof block, in)) > 0;) text.append(block, got);
  fclose(in);
  std::vector<std::string> lines;
  std::istringstream split(text);
  for (std::string line; std::getline(split, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// A peer that lists other problems would be timed at other work.
void require_same_problems(const peer &p, const std::string &listed, const std::string &expected) {
  std::vector<std::string> found = sorted_lines(listed), wanted = sorted_lines(expected);
  if (found == wanted) return;
  // In two sorted lists, the smaller line where they first differ is the
  // one that the other list lacks.
  auto differ = std::mismatch(found.begin(), found.end(), wanted.begin(), wanted.end());
  bool extra = differ.second == wanted.end() ||
               (differ.first != found.end() && *differ.first < *differ.second);
  std::string first = extra ? "it lists " + *differ.first : "it lacks " + *differ.second;
  unlink(listed.c_str());
  require(false, "a peer lists other problems than sentrel's first poll",
          p.label + ": " + std::to_string(found.size()) + " lines against " +
              std::to_string(wanted.size()) + "; the first difference: " + first);
}

}  // namespace

bool parse_peer(const std::string &text, peer *p) {
  std::string::size_type equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  p->label = text.substr(0, equals);
  p->command.clear();
  std::istringstream words(text.substr(equals + 1));
  for (std::string word; words >> word;) p->command.push_back(word);
  return !p->command.empty();
}

void time_peers(const char *self, const std::vector<peer> &peers, const site_files &files,
                int32_t runs, const std::string &expected, std::vector<peer_result> *results) {
  size_t first = results->size();
  for (const peer &p : peers) results->push_back({p.label, files.services, {}, 0});
  for (int32_t round = 0; round < runs; round++)
    for (size_t i = 0; i < peers.size(); i++) {
      std::vector<std::string> argv = peers[i].command;
      argv.push_back(files.path[base_file]);
      std::string listed = files.path[base_file] + ".peer" + std::to_string(i);
      process_run run = run_process(self, argv, listed);
      if (round == 0) require_same_problems(peers[i], listed, expected);
      unlink(listed.c_str());
      peer_result *r = &(*results)[first + i];
      r->seconds.push_back(run.seconds);
      r->peak_rss_mib = std::max(r->peak_rss_mib, run.peak_rss_mib);
    }
}
