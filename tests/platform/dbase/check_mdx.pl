#!/usr/bin/perl
# Reads a tag of a production index with Perl XBase (libdbd-xbase-perl) and checks it against
# the table read by the same library: one key per row, each key decoding to the row's value,
# keys in ascending order and equal keys in row order.
#
#   check_mdx.pl TABLE.DBF TABLE.MDX TAG FIELD
use strict;
use warnings;
use XBase;
use XBase::Index;

my ($dbf_path, $mdx_path, $tag, $field) = @ARGV;
die "uso: check_mdx.pl TABLA.DBF TABLA.MDX ETIQUETA CAMPO\n" unless defined $field;

my $table = XBase->new($dbf_path) or die "XBase no abre $dbf_path: " . XBase->errstr;
my @values;
for my $i (0 .. $table->last_record) {
    my ($deleted, $value) = $table->get_record($i, $field);
    die "XBase no lee la fila $i de $dbf_path\n" unless defined $deleted;
    push @values, $value;
}

my $index = XBase::Index->new($mdx_path, tag => $tag)
    or die "XBase::Index no abre $mdx_path: " . XBase::Index->errstr;
$index->prepare_select;

# The 12-byte numeric key: 0x34 + exponent, then sign and digit count, then packed BCD.
sub decode_key {
    my ($key) = @_;
    my @b = unpack 'C12', $key;
    my $exponent = $b[0] - 0x34;
    my $count = ($b[1] >> 2) & 0x1F;
    my $negative = $b[1] & 0x80;
    my $digits = '';
    for my $i (0 .. $count - 1) {
        my $byte = $b[2 + int($i / 2)];
        $digits .= $i % 2 == 0 ? ($byte >> 4) : ($byte & 0x0F);
    }
    return 0 if $count == 0;
    # Placed as decimal text, so that the number Perl makes of it is exact.
    my $text;
    if ($exponent >= $count) {
        $text = $digits . ('0' x ($exponent - $count));
    } elsif ($exponent > 0) {
        $text = substr($digits, 0, $exponent) . '.' . substr($digits, $exponent);
    } else {
        $text = '0.' . ('0' x -$exponent) . $digits;
    }
    return ($negative ? '-' : '') . $text;
}

my (%seen, $previous_value, $previous_record);
my $keys = 0;
while (my ($key, $record) = $index->fetch) {
    $keys++;
    die "clave $keys: el registro $record no existe\n" if $record < 1 || $record > @values;
    die "clave $keys: el registro $record aparece dos veces\n" if $seen{$record}++;
    my $value = decode_key($key);
    my $stored = $values[$record - 1];
    $stored = 0 unless defined $stored && $stored ne '';
    die "clave $keys: vale $value y el registro $record tiene $stored\n" if $value != $stored;
    if (defined $previous_value) {
        die "clave $keys: $value viene después de $previous_value\n" if $value < $previous_value;
        die "clave $keys: el registro $record viene después de $previous_record con la misma clave\n"
            if $value == $previous_value && $record < $previous_record;
    }
    ($previous_value, $previous_record) = ($value, $record);
}
die "el índice tiene $keys claves y la tabla " . scalar(@values) . " filas\n" if $keys != @values;
print "$mdx_path: $keys claves en orden\n";
