#include "watcher/lookup/entry_lookup.h"

#include <algorithm>

#include "status/stats_array.h"

namespace {

bool hash_before(const downtime_span &a, const downtime_span &b) { return a.hash < b.hash; }

}  // namespace

void clear_entry_lookup(entry_lookup *lookup) {
  clear_entry_groups(&lookup->by_identity);
  lookup->in_file_order = true;
  clear_entry_groups(&lookup->down_hosts);
  lookup->downtimes_ordered = false;
}

bool has_downtime_in_effect(stats_array *array, int32_t index) {
  std::vector<downtime_span> &downtimes = array->downtimes;
  if (downtimes.empty()) return false;
  if (!array->lookup.downtimes_ordered) {
    std::sort(downtimes.begin(), downtimes.end(), hash_before);
    array->lookup.downtimes_ordered = true;
  }
  const stats_entry &entry = array->entries[index];
  downtime_span key = {name_hashes_of(array)[index], nullptr, nullptr, 0, 0};
  auto same_hash = std::equal_range(downtimes.begin(), downtimes.end(), key, hash_before);
  for (auto downtime = same_hash.first; downtime != same_hash.second; downtime++)
    if (same_text(downtime->host, entry.host_name) &&
        same_text(downtime->service, entry.service_description) &&
        entry.last_update >= downtime->from && entry.last_update < downtime->until)
      return true;
  return false;
}
