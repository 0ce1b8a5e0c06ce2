#!/usr/bin/perl
# Independent check of an NTX file with Perl XBase: prints every entry of a
# full walk as "hex-key recno", then, unless told "nolookup", looks every
# entry up again and prints "MISSING hex-key recno" for each it cannot find.
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
for my $e (@entries) {
    $index->prepare_select_eq($e->[0], $e->[1]);
    my ($key, $recno) = $index->fetch_current;
    if (!defined $recno || $key ne $e->[0] || $recno != $e->[1]) {
        print "MISSING ", unpack('H*', $e->[0]), " $e->[1]\n";
    }
}
