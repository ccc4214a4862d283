// sentrel: watches a Nagios status file and prints every state change.
#include <new>

#include "support/fatal.h"
#include "watcher/polling_loop.h"
#include "watcher/watch_settings.h"

int main(int argc, char **argv) {
  std::set_new_handler(new_failed);
  watch_settings settings;
  parse_options(argc, argv, &settings);
  run_polling_loop(settings);
}
