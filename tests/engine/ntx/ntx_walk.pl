#!/usr/bin/perl
# Independent check of an NTX file with Perl XBase: prints every entry of a
# full walk as "hex-key recno", then, unless told "nolookup", looks every
# entry up again (of long runs of one key only some) and prints "MISSING hex-key recno" for each it cannot find.
use strict;
use warnings;
use XBase::Index;

my ($file, $mode) = @ARGV;
my $index = XBase::Index->new($file, type => 'C')
    or die "cannot open $file: " . XBase::Index->errstr;
$index->prepare_select;
my @entries;
while (my ($key, $recno) = $index->fetch) {
    push @entries, [$key, $recno];
    print unpack('H*', $key), " $recno\n";
}
exit 0 if defined $mode && $mode eq 'nolookup';
for my $i (0 .. $#entries) {
    my $e = $entries[$i];
    # Inside a long run of one key Perl XBase steps through the run: look up
    # its first and last entries only.
    next if $i > 0 && $i < $#entries && $entries[$i - 1][0] eq $e->[0]
        && $entries[$i + 1][0] eq $e->[0] && $i % 50 != 0;
    $index->prepare_select_eq($e->[0], $e->[1]);
    my ($key, $recno) = $index->fetch_current;
    if (!defined $recno || $key ne $e->[0] || $recno != $e->[1]) {
        print "MISSING ", unpack('H*', $e->[0]), " $e->[1]\n";
    }
}
