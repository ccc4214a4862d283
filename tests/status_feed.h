// Feeding a running sentrel exactly one known status snapshot per poll, so
// that the tests never sleep and hope: a FIFO as the status file (each poll's
// open waits for the test's next snapshot), or a TCP peer on 127.0.0.1 that
// serves one snapshot per connection.
#ifndef SENTREL_TESTS_STATUS_FEED_H
#define SENTREL_TESTS_STATUS_FEED_H

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "run_program.h"

// A status file path that always holds a fresh FIFO nobody has opened yet,
// so a poll can never read into the next poll's snapshot.
struct fifo_feed {
  std::string path;
};

// Creates the FIFO at `path`.
fifo_feed make_fifo_feed(const std::string &path);

// Waits for the program's next poll to open the file, writes `snapshot` and
// ends that poll's data. With `then_missing` the file is gone afterwards,
// so the following polls cannot open it until restore_fifo. False when the
// program ended first.
bool feed_snapshot(const fifo_feed &feed, const running_program &program,
                   const std::string &snapshot, bool then_missing = false);

// Puts a fresh FIFO back after feed_snapshot(..., true).
void restore_fifo(const fifo_feed &feed);

// Waits for the program's next poll to open the file and returns the
// writing end, left open so that the poll waits: every earlier poll has
// then ended and flushed its output. -1 when the program ended first.
int await_next_poll(const fifo_feed &feed, const running_program &program);

// The socket address of 127.0.0.1:`port`.
sockaddr_in loopback_address(uint16_t port);

// A TCP socket bound to 127.0.0.1, listening or not.
struct tcp_peer {
  int fd = -1;
  uint16_t port = 0;
};

// Binds to `port` (0: any free port) and, if `listening`, listens there;
// fd -1 and port 0 when that cannot be done.
tcp_peer bind_tcp_peer(uint16_t port, bool listening);

// A listening peer on `port` (0: any free port); the test fails without one.
tcp_peer open_tcp_peer(uint16_t port = 0);
void close_tcp_peer(tcp_peer *peer);

// A free port below the system's ephemeral range, for a peer that goes away
// while the watcher keeps connecting: a closed port inside that range can be
// picked as the connecting socket's own port, and it then connects to itself.
// 0 where the range is unknown (it is read from Linux's /proc).
uint16_t free_port_outside_ephemeral_range();

// Why a test that needs free_port_outside_ephemeral_range skips.
extern const char unknown_ephemeral_range[];

// Accepts the program's next connection; -1 when the program ended first.
int accept_connection(const tcp_peer &peer, const running_program &program);

// Sends `snapshot` on a connection in pieces of `piece_size` bytes, each
// after `before_piece` ran (if given), closes our side and returns how many
// bytes the program wrote to it before it closed its own.
size_t serve_snapshot(int connection, const std::string &snapshot,
                      size_t piece_size = SIZE_MAX,
                      const std::function<void()> &before_piece = nullptr);

// Sends `sent_first`, then resets the connection instead of closing it.
void reset_connection(int connection, const std::string &sent_first);

// How many bytes the program has written to its standard output so far.
size_t output_size(const running_program &program);

// Waits until the program's standard output holds more than `size` bytes;
// false when it ended first.
bool wait_for_output_beyond(const running_program &program, size_t size);

// Runs sentrel (-i 0 and `arguments`, TZ=UTC) on a FIFO fed `snapshots`, one
// per poll, then stops it: the output of exactly those polls, or of those
// before it ended by itself. A `launcher` (such as a shell that sets a limit
// and execs its arguments) goes before the program's path.
program_result watch_snapshots(const std::vector<std::string> &arguments,
                               const std::vector<std::string> &snapshots,
                               const std::vector<std::string> &launcher = {});

// How the peer ends the connection of a snapshot: it closes it, resets it,
// or holds it open and silent until the next poll connects.
enum class peer_ending { close, reset, stall };

// The same over TCP: sentrel (-i 0 and `arguments`, TZ=UTC) polls a peer on
// 127.0.0.1 that serves `snapshots`, one per connection, each ended as
// `endings` says (closed where it says nothing), then it is stopped.
program_result watch_snapshots_over_tcp(const std::vector<std::string> &arguments,
                                        const std::vector<std::string> &snapshots,
                                        const std::vector<peer_ending> &endings = {});

// `err` with the status source it names (a test's temporary file or
// 127.0.0.1:port) written as SOURCE.
std::string with_source_as_SOURCE(const std::string &err);

#endif
