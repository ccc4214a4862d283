#!/usr/bin/env python3
"""Lists the current HARD problems in a Nagios status.dat as sentrel's first poll does, in its
one-line form: what an operator would write instead, with the standard library alone, or with
--pynag reading the file with pynag's StatusDat (Debian's python3-pynag).

usage: list_problems.py [--pynag] status.dat
"""

import sys
import time


def read_status_dat(path):
    """The host and service blocks, each a dict of its keys, in file order."""
    blocks = {"hoststatus": [], "servicestatus": []}
    kind, block = None, None
    with open(path, encoding="utf-8", errors="surrogateescape") as status:
        for line in status:
            line = line.rstrip("\n")
            if line == "\t}":
                blocks.get(kind, []).append(block)
                kind, block = None, None
            elif line.startswith("\t") and block is not None:
                key, _, value = line[1:].partition("=")
                block[key] = value
            elif line.endswith(" {"):
                kind, block = line[:-2], {}
    return blocks["hoststatus"], blocks["servicestatus"]


def read_with_pynag(path):
    from pynag.Parsers.status_dat import StatusDat
    status = StatusDat(filename=path)
    status.parse()
    return status.data.get("hoststatus", []), status.data.get("servicestatus", [])


def is_problem(entry, down_hosts):
    """The first-poll rule: a HARD problem that someone should look at."""
    return (
        entry.get("state_type") == "1"
        and not ("service_description" in entry and entry.get("host_name") in down_hosts)
        and (int(entry["active_checks_enabled"]) != 0 or int(entry["passive_checks_enabled"]) != 0)
        and float(entry["scheduled_downtime_depth"]) == 0
        and int(entry["notifications_enabled"]) != 0
        and int(entry["problem_has_been_acknowledged"]) != 1
        and entry["current_state"] in ("1", "2", "3")
    )


def report_line(entry):
    state = int(entry["current_state"])
    if "service_description" not in entry and state == 1:
        state = 2  # a host DOWN is labelled as one UNREACHABLE: CRIT
    changed = time.strftime("%Y/%m/%d %H:%M", time.localtime(int(entry["last_state_change"])))
    return "%s %s %s %s, %s\n" % (changed, (" OK ", "WARN", "CRIT", " ?? ")[state],
                                  entry["host_name"], entry.get("service_description", ""),
                                  entry.get("plugin_output", ""))


def main(arguments):
    reader = read_status_dat
    if arguments[:1] == ["--pynag"]:
        reader, arguments = read_with_pynag, arguments[1:]
    if len(arguments) != 1:
        sys.exit(__doc__.strip().splitlines()[-1])
    hosts, services = reader(arguments[0])
    # A host that is down or unreachable hides the problems of its services.
    down_hosts = {host["host_name"] for host in hosts if host.get("current_state") in ("1", "2")}
    sys.stdout.reconfigure(encoding="utf-8", errors="surrogateescape")
    sys.stdout.writelines(report_line(e) for e in hosts + services if is_problem(e, down_hosts))


if __name__ == "__main__":
    main(sys.argv[1:])
