# Japanese text has no blanks for troff to break lines at: this puts a
# zero-width break point (\:) between two characters wherever Japanese
# typesetting lets a line end. Never before closing punctuation, small kana,
# a prolonged sound mark, 〜 or an ASCII closer; never after an opening bracket
# or 〜; never inside 「…」 (the window's words and status texts stay whole) nor
# after half-width katakana. Headers and the NAME section are left as written:
# whatis and apropos read NAME from the source.
#
# Every character outside ASCII also gets a fallback glyph (.fchar), used only
# by a device that lacks it: under the C locale the page prints "?" for each
# instead of a troff warning, and its options and examples still read.
use utf8;
use open qw(:std :encoding(UTF-8));

my $cjk = qr/[\p{Han}\p{Hiragana}\p{Katakana}\x{3000}-\x{303F}\x{FF00}-\x{FFEF}]/;
my $halfwidth = qr/[\x{FF61}-\x{FF9F}]/;
my $opening = qr/[「『（［｛〈《【〔〜～]/;
my $closing = qr/[、。，．」』）］｝〉》】〕・：；！？ー〜～ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶｧｨｩｪｫｬｭｮｯｰﾞﾟ｡｣､･)\]}>:;,.!?%]/;

# The character a reader sees next: font changes and other invisible escapes
# are looked through; \- reads as "-", \~ as a blank.
sub visible {
  my ($c, $i) = @_;
  while ($i < @$c && $c->[$i] eq '\\') {
    my $e = $c->[$i + 1] // '';
    return '-' if $e eq '-';
    return ' ' if $e eq '~' || $e eq ' ';
    if ($e eq 'f') { $i += 3 } elsif ($e eq '&' || $e eq '%') { $i += 2 } else { return '\\' }
  }
  return $c->[$i] // ' ';
}

sub breaks {
  my ($out, $quoted) = ('', 0);
  my @c = split //, shift;
  for my $i (0 .. $#c) {
    my ($a, $b) = ($c[$i], visible(\@c, $i + 1));
    $quoted++ if $a eq '「';
    $quoted-- if $a eq '」' && $quoted > 0;
    $out .= $a;
    $out .= '\\:' if $a =~ $cjk && $b =~ /[^\s\\]/ && !$quoted && $a !~ $opening && $b !~ $closing
      && $a !~ $halfwidth && $b !~ $halfwidth;
  }
  return $out;
}

my (@lines, %seen, $name);
while (<>) {
  $name = /^\.SH\s+"?(名前|NAME)"?\s*$/ if /^\.SH/;
  # Requests that print headers, comments, the NAME section and examples stay as they are.
  my $example = /^\.(nf|EX)\b/ .. /^\.(fi|EE)\b/;
  push @lines, $name || $example || /^(\.(TH|SH|SS|\\")|'\\")/ ? $_ : breaks($_);
  $seen{$_}++ for grep { ord > 127 } split //, /^(\.\\"|'\\")/ ? '' : $_;
}
# The coding line stays first, so that man-db reads the page as UTF-8. man-db
# loads groff's own Japanese break classes for pages under ja/ (and only there):
# they would break inside status texts and after 「 and （, so they are cleared
# and the break points above are the only ones, wherever the page is read from.
my $head = $lines[0] =~ /^'\\" -\*-/ ? shift @lines : '';
print $head, ".cflags 0 \\C'[CJKnormal]' \\C'[CJKprepunct]' \\C'[CJKpostpunct]'\n",
  map({ ".fchar $_ ?\n" } sort keys %seen), @lines;
