// Small status files written by hand: status.dat blocks and status.log lines
// of entries whose state changed at 2009-11-23 14:07 UTC, and the reports
// the watcher prints of them.
#ifndef SENTREL_TESTS_STATUS_TEXT_H
#define SENTREL_TESTS_STATUS_TEXT_H

#include <string>
#include <vector>

// A status.dat block of `kind` holding `fields` ("key=value"), each on a
// line indented by a tab, and a blank line after it.
std::string dat_block(const std::string &kind, const std::vector<std::string> &fields);

// Host and service status blocks of a checked, notifying, unacknowledged
// entry; a field of `extra` replaces the one of its key or is added.
std::string dat_host(const std::string &host, int state, int state_type,
                     const std::string &output, const std::vector<std::string> &extra = {});
std::string dat_service(const std::string &host, const std::string &service,
                        int state, int state_type, const std::string &output,
                        const std::vector<std::string> &extra = {});

// A status.log line: `fields` joined by ';', and a line feed.
std::string log_line(const std::vector<std::string> &fields);

// A 21-field host line and a 32-field service line, checks and
// notifications enabled.
std::string log_host(const std::string &host, const std::string &status,
                     const std::string &output);
std::string log_service(const std::string &host, const std::string &service,
                        const std::string &status, const std::string &state_type,
                        const std::string &output, int active_checks = 1);

// The two-line report of such an entry.
std::string report(const std::string &label, const std::string &host,
                   const std::string &service, const std::string &output);

#endif
