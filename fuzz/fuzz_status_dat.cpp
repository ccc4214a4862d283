// Any bytes as a status.dat: no crash, no hang, no leak.
#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "parsers/status_dat.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  silence_standard_output();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  stats_array array;
  parse_status_dat(descriptor_holding(data, size), &array);
  for (int32_t i = 0; i < array.count; i++)
    if (array.entries[i].type != entry_host && array.entries[i].type != entry_service)
      __builtin_trap();
  // What a first poll asks of the file's downtimes.
  for (int32_t i = 0; i < array.count; i++) has_downtime_in_effect(&array, i);
  release_stats_array(&array);
  return 0;
}
