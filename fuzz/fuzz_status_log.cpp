// Any bytes as a status.log: no crash, no hang, no leak, and every entry
// owns its three texts; and the fields split_fields cuts from the bytes up to
// the first NUL are the ones a plain search for each `;` finds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "parsers/status_log.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  silence_standard_output();
  return 0;
}

namespace {

void check_split(const uint8_t *data, size_t size) {
  const char *text = reinterpret_cast<const char *>(data);
  std::string line(text, strnlen(text, size));
  std::vector<std::string> fields;
  for (size_t start = 0;;) {
    size_t end = line.find(';', start);
    fields.push_back(line.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos || fields.size() == max_log_fields) break;
    start = end + 1;
  }
  char *slots[max_log_fields];
  if (split_fields(&line[0], slots) != static_cast<int32_t>(fields.size())) __builtin_trap();
  for (size_t i = 0; i < max_log_fields; i++)
    if (i < fields.size() ? fields[i] != slots[i] : slots[i] != nullptr) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  check_split(data, size);
  stats_array array;
  parse_status_log(descriptor_holding(data, size), &array);
  for (int32_t i = 0; i < array.count; i++) {
    const stats_entry &e = array.entries[i];
    if (e.host_name == nullptr || e.service_description == nullptr ||
        e.plugin_output == nullptr)
      __builtin_trap();
  }
  release_stats_array(&array);
  return 0;
}
