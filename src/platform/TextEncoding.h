#pragma once
// What a data file is written in, decided once for the window and the console
// program alike, and the strict readings of the Unicode forms.
//
// FF FE or FE FF first: UTF-16 (LE, BE). EF BB BF first: UTF-8. Otherwise the
// whole file decides. No byte from 0x80 up: ASCII. Not valid UTF-8: Shift-JIS
// when it is valid CP932, else neither. Valid UTF-8 but not CP932: UTF-8.
// Valid as both: UTF-8 when its UTF-8 reading holds a character at U+0800 or
// above (kana, kanji, ※, →, €), else Shift-JIS. Shift-JIS text that happens
// to be UTF-8, such as half-width katakana in pairs, only ever reads as
// characters below U+0800; the price is that a UTF-8 file whose only
// non-ASCII text is "Café" or "4°C" is taken for Shift-JIS.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <optional>
#include <vector>

#include "Cp932.h"

namespace platform {

enum class TextEncoding { Ascii, ShiftJis, Utf8, Utf16LE, Utf16BE, Neither };

struct TextPosition {  // 1-based; 0: none
  qint64 line = 0;
  qint64 column = 0;
  friend bool operator==(const TextPosition&, const TextPosition&) = default;
};

struct EncodingVerdict {
  TextEncoding encoding = TextEncoding::Ascii;
  bool alsoUtf8 = false;  // judged ShiftJis, but the bytes are valid UTF-8 as well
  // alsoUtf8: the first non-ASCII character (all before it is ASCII, so both
  // readings agree on the column). Neither: the first byte CP932 can't read,
  // its column counted in characters of the CP932 reading.
  TextPosition where;
};

// Fed a whole file in chunks of any size, in order; Finish once at its end.
// Lines end at CR LF, CR or LF.
class EncodingJudge {
 public:
  EncodingJudge();
  void Feed(QByteArrayView chunk);
  EncodingVerdict Finish();

 private:
  void Start();
  void Judge(QByteArrayView piece);
  void WalkCp932(QByteArrayView piece);

  const Cp932CharSet& chars_;
  QByteArray head_;  // until it shows whether a byte-order mark leads
  bool started_ = false;
  bool decided_ = false;  // by a byte-order mark, or by both readings failing
  std::optional<TextEncoding> marked_;
  // The UTF-8 reading: Qt's strict decoder, its output thrown away.
  QStringDecoder utf8_;
  std::vector<char16_t> scratch_;
  bool utf8Valid_ = true;
  bool highChar_ = false;  // a lead byte from E0 up: a character at U+0800 or above
  // The CP932 reading, with the place of each byte in it.
  bool cp932Valid_ = true;
  int lead_ = -1;  // a lead byte that ended the last piece
  qint64 line_ = 1, column_ = 0;  // the characters of the line before the next byte
  bool afterCr_ = false;
  TextPosition firstNonAscii_, cp932Error_;
};

// Whole texts read strictly; on failure `badColumn` is the 1-based character
// column where the text stops being readable. A byte-order mark is a
// character here: callers drop a file's leading one themselves.
bool DecodeUtf8(QByteArrayView utf8, QString& text, qsizetype& badColumn);
// An odd byte at the end or a surrogate without its other half fails.
bool DecodeUtf16(QByteArrayView bytes, bool bigEndian, QString& text, qsizetype& badColumn);

}  // namespace platform
