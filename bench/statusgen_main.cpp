// sentrel-statusgen: writes a generated Nagios status file to standard
// output, to try sentrel on a site of any size.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "status_generator.h"

int main(int argc, char **argv) {
  site_shape shape;
  status_format format = status_format::status_dat;
  bool bad_option = false;
  int option;
  while ((option = getopt(argc, argv, "xrn:m:s:p:c:")) != -1) {
    switch (option) {
      case 'x': format = status_format::status_log; break;
      case 'r': shape.shuffled = true; break;
      case 'n': shape.hosts = atoi(optarg); break;
      case 'm': shape.services_per_host = atoi(optarg); break;
      case 's': shape.seed = strtoull(optarg, nullptr, 10); break;
      case 'p': shape.problem_fraction = atof(optarg); break;
      case 'c': shape.change_fraction = atof(optarg); break;
      default: bad_option = true;
    }
  }
  int64_t objects = int64_t{shape.hosts} * (int64_t{shape.services_per_host} + 1);
  if (bad_option || optind != argc || shape.hosts < 0 || shape.services_per_host < 0 ||
      objects > INT32_MAX / 2) {
    fputs("usage: sentrel-statusgen [-x] [-r] [-n hosts] [-m services] [-s seed] [-p fraction] [-c fraction]\n"
          "  -x  write status.log (Nagios 1.x) instead of status.dat (Nagios 4)\n"
          "  -n  number of hosts (1000)\n"
          "  -m  services of each host (10)\n"
          "  -s  seed (1): the same seed writes the same file\n"
          "  -p  fraction of services with a problem (0.05)\n"
          "  -c  write the site's next poll, with this fraction of hosts and services changed\n"
          "  -r  shuffle the blocks (or lines)\n",
          stderr);
    return 2;
  }
  write_status_file(shape, format, stdout);
  return fflush(stdout) == 0 ? 0 : 1;
}
