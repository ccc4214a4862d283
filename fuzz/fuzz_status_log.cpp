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
  stats_entry *entries = nullptr;
  int32_t count = 0;
  parse_status_log(descriptor_holding(data, size), &entries, &count);
  for (int32_t i = 0; i < count; i++) {
    const stats_entry &e = entries[i];
    if (e.host_name == nullptr || e.service_description == nullptr ||
        e.plugin_output == nullptr)
      __builtin_trap();
  }
  release_stats_array(entries, count);
  return 0;
}
