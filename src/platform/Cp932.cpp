#include "Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

QByteArray ToCp932(const QString& text, bool* ok) {
  QStringEncoder enc("CP932");
  QByteArray out = enc.encode(text);
  if (ok) *ok = enc.isValid() && !enc.hasError();
  return out;
}

QString FromCp932(const QByteArray& bytes) {
  QStringDecoder dec("CP932");
  return dec.decode(bytes);
}

qint64 Cp932CharCount(const QByteArray& bytes) {
  qint64 count = 0;
  const qsizetype n = bytes.size();
  for (qsizetype i = 0; i < n; ++count)
    i += (IsCp932LeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < n) ? 2 : 1;
  return count;
}

}  // namespace platform

namespace platform {
namespace {

// What JIS-based tables write where CP932 has a character of its own.
char16_t CP932Equivalent(char16_t c) {
  switch (c) {
    case 0x301C: return 0xFF5E;  // wave dash -> fullwidth tilde (81 60)
    case 0x2016: return 0x2225;  // double vertical line -> parallel to (81 61)
    case 0x2212: return 0xFF0D;  // minus sign -> fullwidth hyphen-minus (81 7C)
    case 0x2014: return 0x2015;  // em dash -> horizontal bar (81 5C)
    case 0x00A2: return 0xFFE0;  // cent (81 91)
    case 0x00A3: return 0xFFE1;  // pound (81 92)
    case 0x00AC: return 0xFFE2;  // not sign (81 CA)
    case 0x00A5: return u'\\';   // JIS X 0201 yen sign (5C)
    case 0x203E: return u'~';    // JIS X 0201 overline (7E)
    default: return c;
  }
}

// A byte-order mark is a character here: callers drop the file's leading one
// themselves. Stateless: the input is whole, so a sequence cut off at its end
// is an error; a stateful decoder leaves it pending.
QStringDecoder StrictUtf8(bool whole) {
  QStringConverter::Flags flags = QStringConverter::Flag::ConvertInitialBom;
  if (whole) flags |= QStringConverter::Flag::Stateless;
  return QStringDecoder(QStringConverter::Utf8, flags);
}

// The single bytes 80, A0 and FD-FF are no CP932 characters, yet some tables
// read them as these code points.
bool IsStrayByteReading(char16_t c) { return c == 0x80 || c == 0xA0 || (c >= 0xF8F0 && c <= 0xF8F3); }

// The codec's errors stick to it for good, so a reused converter shows a
// failure in its output instead: an invalid character becomes U+0000 (no
// character from 0x80 up, nor any pair of bytes, reads or writes as that).
// Stateless: a cut sequence at the end is a failure, and is not carried into
// the next call.
constexpr QStringConverter::Flags kCodecFlags =
    QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInvalidToNull;

Cp932CharSet LearnCp932Chars() {
  Cp932CharSet set;
  QStringDecoder dec("CP932", kCodecFlags);
  auto reads = [&](QByteArrayView bytes) {
    const QString c = dec.decode(bytes);
    return c.size() == 1 && c[0].unicode() != 0 && !IsStrayByteReading(c[0].unicode());
  };
  for (int b = 0x80; b <= 0xFF; ++b) {
    const char first = char(b);
    if (!IsCp932LeadByte(uchar(b))) {
      set[b] = b != 0x80 && b != 0xA0 && b < 0xFD && reads(QByteArrayView(&first, 1));
      continue;
    }
    for (int t = 0; t <= 0xFF; ++t) {
      const char pair[2] = {first, char(t)};
      set[b << 8 | t] = reads(QByteArrayView(pair, 2));
    }
  }
  return set;
}

}  // namespace

const Cp932CharSet& Cp932Chars() {
  static const Cp932CharSet set = LearnCp932Chars();
  return set;
}

bool Utf8ToCp932(const QByteArray& utf8, QByteArray& cp932, qsizetype& badColumn, bool& invalidUtf8) {
  cp932.clear();
  badColumn = 0;
  invalidUtf8 = false;
  QStringDecoder dec = StrictUtf8(true);
  QString text = dec.decode(utf8);
  if (dec.hasError()) {
    // Byte by byte, the error shows at the first byte that can't be UTF-8;
    // none showing means the line ends inside a sequence.
    QStringDecoder probe = StrictUtf8(false);
    qsizetype chars = 0;
    for (char c : utf8) {
      const QString part = probe.decode(QByteArrayView(&c, 1));
      if (probe.hasError()) break;
      for (QChar ch : part)
        if (!ch.isLowSurrogate()) ++chars;
    }
    badColumn = chars + 1;
    invalidUtf8 = true;
    return false;
  }
  for (QChar& ch : text) ch = QChar(CP932Equivalent(ch.unicode()));
  bool ok = false;
  cp932 = ToCp932(text, &ok);
  if (ok) return true;
  cp932.clear();
  qsizetype column = 1;  // find the character that has no CP932 form
  for (qsizetype i = 0; i < text.size(); ++column) {
    const qsizetype len = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    ToCp932(text.mid(i, len), &ok);
    if (!ok) break;
    i += len;
  }
  badColumn = column;
  return false;
}

}  // namespace platform
