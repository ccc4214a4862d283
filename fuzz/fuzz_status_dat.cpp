// Any bytes as a status.dat: no crash, no hang, no leak; and the reading is
// cut short exactly when a plain walk over the lines ends inside a block.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_input.h"
#include "parsers/status_dat.h"
#include "watcher/report.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  silence_standard_output();
  return 0;
}

namespace {

// A line opens a block when it holds a `{` before any `=` and closes the
// open one when it holds a `}` and no `=`. Lines end at a line feed, and
// their text at a NUL, as the reader hands them out.
bool ends_inside_block(const uint8_t *data, size_t size) {
  std::string_view rest(reinterpret_cast<const char *>(data), size);
  bool inside = false;
  while (!rest.empty()) {
    size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    line = line.substr(0, line.find('\0'));
    size_t equals = line.find('=');
    if (line.find('{') < equals)
      inside = true;
    else if (equals == std::string_view::npos && line.find('}') != std::string_view::npos)
      inside = false;
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  return inside;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  stats_array array;
  reading_end reading = parse_status_dat(descriptor_holding(data, size), &array);
  if ((reading == reading_end::cut_short) != ends_inside_block(data, size)) __builtin_trap();
  for (int32_t i = 0; i < array.count; i++)
    if (array.entries[i].type != entry_host && array.entries[i].type != entry_service)
      __builtin_trap();
  // What a first poll asks of the file's downtimes.
  for (int32_t i = 0; i < array.count; i++) has_downtime_in_effect(&array, i);
  release_stats_array(&array);
  return 0;
}
