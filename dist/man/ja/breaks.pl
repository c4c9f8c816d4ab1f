# Japanese text has no blanks for troff to break lines at: a zero-width break
# point (\:) after each kanji, kana and full-width sign lets it fill and fold
# paragraphs. None after an opening bracket or before closing punctuation, so
# that no line starts with 、 or 」; request lines that print headers are left alone.
use utf8;
use open qw(:std :encoding(UTF-8));
my $cjk = qr/[\p{Han}\p{Hiragana}\p{Katakana}\x{3000}-\x{303F}\x{FF00}-\x{FFEF}]/;
my $opening = qr/[「『（［｛〈《【]/;
my $closing = qr/[、。，．」』）］｝〉》】ー・：；！？ｰﾞﾟ]/;
while (<>) {
  s/((?!$opening)$cjk)(?=[^\s\\])(?!$closing)/$1\\:/g unless /^\.(TH|SH|SS|\\")/;
  print;
}
