#include "status/stats_array.h"

#include "support/fatal.h"

void release_stats_array(stats_array *array) {
  if (array->entries != nullptr) {
    for (int32_t i = 0; i < array->count; i++) release_entry_texts(&array->entries[i]);
    xfree(array->entries, "stats array");
  }
  *array = stats_array{};
}
