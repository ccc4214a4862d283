// sentrel: watches a Nagios status file and prints every state change.
#include <fcntl.h>

#include <cerrno>
#include <new>

#include "support/fatal.h"
#include "watcher/polling_loop.h"
#include "watcher/watch_settings.h"

namespace {

// A standard descriptor left closed would be taken by the next open, and
// the reports would go into the status source's socket.
void open_closed_standard_descriptors() {
  for (int fd = 0; fd <= 2; fd++)
    if (fcntl(fd, F_GETFD) < 0 && errno == EBADF && open("/dev/null", O_RDWR) != fd)
      fatal("cannot open /dev/null in place of a closed descriptor");
}

}  // namespace

int main(int argc, char **argv) {
  open_closed_standard_descriptors();
  std::set_new_handler(new_failed);
  watch_settings settings;
  parse_options(argc, argv, &settings);
  run_polling_loop(settings);
}
