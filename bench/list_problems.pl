#!/usr/bin/env perl
# Lists the current HARD problems in a Nagios status.dat as sentrel's first poll does, in its
# one-line form, reading the file with Nagios::StatusLog (Debian's libnagios-object-perl): what a
# Perl operator would run instead of sentrel.
use strict;
use warnings;
use Nagios::StatusLog;
use POSIX qw(strftime);

@ARGV == 1 or die "usage: list_problems.pl status.dat\n";
my $log = Nagios::StatusLog->new(Filename => $ARGV[0], Version => 3.0);

# The first-poll rule: a HARD problem that someone should look at.
sub is_problem {
    my ($entry, $down_hosts) = @_;
    return $entry->{state_type} == 1
        && !(defined $entry->{service_description} && $down_hosts->{$entry->{host_name}})
        && ($entry->{active_checks_enabled} != 0 || $entry->{passive_checks_enabled} != 0)
        && $entry->{scheduled_downtime_depth} == 0
        && $entry->{notifications_enabled} != 0
        && $entry->{problem_has_been_acknowledged} != 1
        && $entry->{current_state} >= 1 && $entry->{current_state} <= 3;
}

my @hosts = map { $log->host($_) } $log->list_hosts;
my @services;
for my $host ($log->list_hosts) {
    push @services, map { $log->service($host, $_) } $log->list_services_on_host($host);
}
# A host that is down or unreachable hides the problems of its services.
my %down_hosts = map { $_->{host_name} => 1 } grep { $_->{current_state} =~ /^[12]$/ } @hosts;
for my $entry (grep { is_problem($_, \%down_hosts) } @hosts, @services) {
    my $state = $entry->{current_state};
    $state = 2 if !defined $entry->{service_description} && $state == 1;  # host DOWN shows as CRIT
    printf "%s %s %s %s, %s\n", strftime('%Y/%m/%d %H:%M', localtime $entry->{last_state_change}),
        (' OK ', 'WARN', 'CRIT', ' ?? ')[$state], $entry->{host_name},
        $entry->{service_description} // '', $entry->{plugin_output} // '';
}
