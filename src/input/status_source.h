// Where each poll's status file comes from: a local file, or a TCP service
// that sends the whole file on every connection and then closes. Either way
// the caller gets a plain readable descriptor, or -1 for a poll without data.
#ifndef SENTREL_INPUT_STATUS_SOURCE_H
#define SENTREL_INPUT_STATUS_SOURCE_H

#include <cstdint>
#include <netinet/in.h>

// The errno of a connection not tried because the name server failed for
// the moment; no system error says that.
constexpr int name_server_unavailable = -1;

// A descriptor for `status_source`, a path when `source_is_file`, else
// host[:port]; -1 with errno telling why when the file or the connection is
// not there. A connection's reads fail with EAGAIN once nothing has come for
// `deadline_seconds`. Nothing is written here: the caller knows whether it
// is news.
int32_t open_status_source(const char *status_source, bool source_is_file,
                           int32_t deadline_seconds);

// A socket connected to host[:port] (port 33333 when none is given), or -1
// with errno set when the connection fails (ECONNREFUSED for a socket that
// met itself, name_server_unavailable). Other resolution and socket failures
// are fatal.
int32_t connect_to_host(const char *host_and_port);

// Fills the family and IPv4 address of `address` for `host` and returns
// true; false when the name server failed for the moment; for any other
// failure, ends the process with the resolver's reason.
bool resolve_host(const char *host, sockaddr_in *address);

// True when the connected socket `fd` is connected to itself, as the kernel
// allows when it picks the (absent) service's own port as the local one.
bool connected_to_itself(int32_t fd);

// The port a port text names: read like atoi, cut to its low 16 bits.
uint16_t port_from_text(const char *text);

#endif
