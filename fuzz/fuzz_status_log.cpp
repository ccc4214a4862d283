// Any bytes as a status.log: no crash, no hang, no leak, and every entry
// owns its three texts.
#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "parsers/status_log.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  silence_standard_output();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
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
