#include "status/stats_entry.h"

#include <cstring>
#include <type_traits>

#include "support/fatal.h"

static_assert(std::is_trivial<stats_entry>::value,
              "entries are zeroed and moved as raw memory");

namespace {

// The texts an entry owns, with the label each is released under.
struct owned_text {
  char *stats_entry::*field;
  const char *label;
};

const owned_text owned_texts[] = {
    {&stats_entry::host_name, "entry hostname"},
    {&stats_entry::service_description, "entry servicedescription"},
    {&stats_entry::plugin_output, "entry plugin output"},
    {&stats_entry::performance_data, "entry performance data"},
    {&stats_entry::check_command, "entry check command"},
    {&stats_entry::author, "entry author"},
    {&stats_entry::check_period, "entry check_period"},
    {&stats_entry::comment_data, "entry comment data"},
    {&stats_entry::host_notification_period, "entry host notification period"},
    {&stats_entry::long_plugin_output, "entry long plugin output"},
    {&stats_entry::notification_period, "entry notification period"},
    {&stats_entry::service_notification_period,
     "entry service notification period"},
    {&stats_entry::comment, "entry comment"},
};

}  // namespace

bool same_text(const char *a, const char *b) {
  if (a == nullptr || b == nullptr) return a == b;
  return strcmp(a, b) == 0;
}

void clear_stats_entry(stats_entry *entry) { *entry = stats_entry{}; }

void release_entry_texts(stats_entry *entry) {
  for (const owned_text &text : owned_texts) {
    xfree(entry->*text.field, text.label);
    entry->*text.field = nullptr;
  }
}
