#include "status/stats_entry.h"

#include <cstring>
#include <type_traits>

static_assert(std::is_trivial<stats_entry>::value,
              "entries are zeroed and moved as raw memory");

bool same_text(const char *a, const char *b) {
  if (a == nullptr || b == nullptr) return a == b;
  return strcmp(a, b) == 0;
}

