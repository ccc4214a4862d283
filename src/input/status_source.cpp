#include "input/status_source.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <sys/time.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/fatal.h"
#include "support/numbers.h"

namespace {

const uint16_t default_port = 33333;

// What each resolver failure tells the operator.
struct resolver_failure {
  int code;
  const char *message;
};
const resolver_failure resolver_failures[] = {
    {HOST_NOT_FOUND, "The specified host is unknown.\n"},
    {NO_RECOVERY, "A non-recoverable name server error occurred.\n"},
    {NO_DATA, "The requested name is valid but does not have an IP address.\n"},
};

[[noreturn]] void fail_resolution(const char *host, int code) {
  for (const resolver_failure &failure : resolver_failures)
    if (failure.code == code) fatal("%s", failure.message);
  fatal("Could not resolve %s for an unknown reason (%d)\n", host, code);
}

}  // namespace

int32_t open_status_source(const char *status_source, bool source_is_file,
                           int32_t deadline_seconds) {
  if (source_is_file) return open(status_source, O_RDONLY);
  int32_t fd = connect_to_host(status_source);
  // Keep-alive notices a vanished peer only after hours, and a peer that is
  // there but sends nothing, never.
  timeval deadline = {deadline_seconds, 0};
  if (fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &deadline, sizeof deadline) != 0)
    fatal("problem setting a receive time-out");
  return fd;
}

uint16_t port_from_text(const char *text) {
  return static_cast<uint16_t>(static_cast<uint32_t>(text_to_int(text)) & 0xffffu);
}

int32_t connect_to_host(const char *host_and_port) {
  char *host = xstrdup(host_and_port);
  uint16_t port = default_port;
  char *colon = strchr(host, ':');
  if (colon != nullptr) {
    *colon = '\0';
    port = port_from_text(colon + 1);
  }
  sockaddr_in address;
  memset(&address, 0, sizeof address);
  bool resolved = resolve_host(host, &address);
  address.sin_port = htons(port);
  xfree(host, "host name");
  if (!resolved) {
    errno = name_server_unavailable;
    return -1;
  }

  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) fatal("problem creating socket");
  // The only guard against a peer that vanishes without closing.
  int keep_alive = 1;
  if (setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &keep_alive, sizeof keep_alive) != 0)
    fatal("problem setting KEEPALIVE");
  // With the service down on this host, the kernel may pick the service's
  // port for our side too; the socket then connects to itself and would
  // wait forever for a file that nobody sends. That is a refused connection.
  int reason = 0;
  if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
    reason = errno;
  else if (connected_to_itself(fd))
    reason = ECONNREFUSED;
  if (reason == 0) return fd;
  // The caller names the reason; close must not replace it.
  close(fd);
  errno = reason;
  return -1;
}

bool connected_to_itself(int32_t fd) {
  sockaddr_in local, peer;
  socklen_t local_length = sizeof local, peer_length = sizeof peer;
  if (getsockname(fd, reinterpret_cast<sockaddr *>(&local), &local_length) != 0 ||
      getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peer_length) != 0)
    return false;
  return local.sin_port == peer.sin_port && local.sin_addr.s_addr == peer.sin_addr.s_addr;
}

bool resolve_host(const char *host, sockaddr_in *address) {
  const hostent *answer = gethostbyname(host);
  // A name server that fails for the moment must not end a months-long run.
  if (answer == nullptr && h_errno == TRY_AGAIN) return false;
  if (answer == nullptr) fail_resolution(host, h_errno);
  // Only an IPv4 answer fits the address; anything else cannot be used.
  if (answer->h_addrtype != AF_INET || answer->h_length != sizeof address->sin_addr ||
      answer->h_addr_list[0] == nullptr)
    fail_resolution(host, NO_DATA);
  address->sin_family = AF_INET;
  memcpy(&address->sin_addr, answer->h_addr_list[0], sizeof address->sin_addr);
  return true;
}
