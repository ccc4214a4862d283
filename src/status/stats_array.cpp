#include "status/stats_array.h"

#include "support/fatal.h"

void release_stats_array(stats_array *array) {
  xfree(array->entries, "stats array");
  release_text_arena(&array->texts);
  *array = stats_array{};
}
