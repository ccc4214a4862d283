#include "watcher/watch_settings.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "support/numbers.h"

namespace {

// glibc's getopt permutes the arguments unless the option string starts
// with '+'; FreeBSD's stops at the first operand already.
#ifdef __GLIBC__
const char option_string[] = "+1xXF:hHf:i:vV";
#else
const char option_string[] = "1xXF:hHf:i:vV";
#endif

const char version_line[] = "sentrel, v" SENTREL_VERSION "\n";

const char usage_text[] =
    "sentrel, v" SENTREL_VERSION "\n"
    "\n"
    "-f     path to status.log ('status_file' parameter in nagios.cfg)\n"
    "-F     host:port for retrieving status.log\n"
    "-x     status.log is in nagios 1.0 format\n"
    "-X     status.log is in nagios 2.0 format\n"
    "-h     show only state type 'HARD' (default)\n"
    "-H     show also state type 'SOFT'\n"
    "-i     check interval (in seconds - default 60)\n";

}  // namespace

void print_version() { fputs(version_line, stdout); }

void print_usage() { fputs(usage_text, stdout); }

void parse_options(int argc, char **argv, watch_settings *settings) {
  int option;
  while ((option = getopt(argc, argv, option_string)) != -1) {
    switch (option) {
      case '1': settings->one_line = true; break;
      case 'x': settings->status_dat_format = false; break;
      case 'X': settings->status_dat_format = true; break;
      case 'f':
        settings->status_source = optarg;
        settings->source_is_file = true;
        break;
      case 'F':
        settings->status_source = optarg;
        settings->source_is_file = false;
        break;
      case 'h': settings->hard_only = true; break;
      case 'H': settings->hard_only = false; break;
      case 'i': settings->poll_interval = text_to_int(optarg); break;
      case 'v': settings->verbose = true; break;
      case 'V':
        print_version();
        exit(0);
      default:
        print_usage();
        exit(0);
    }
  }
}
