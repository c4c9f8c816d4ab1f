#include "Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

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

qint64 Cp932CharCount(const QByteArray& bytes) {
  qint64 count = 0;
  const qsizetype n = bytes.size();
  for (qsizetype i = 0; i < n; ++count)
    i += (IsCp932LeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < n) ? 2 : 1;
  return count;
}

Cp932Encoder::Cp932Encoder() = default;

Cp932Encoder::~Cp932Encoder() = default;

// A character converts when it reads back the same: asked of the codec once,
// then remembered. Two bytes: lead << 8 | trail; one byte: itself.
quint16 Cp932Encoder::Learn(QStringView c) {
  if (!encoder_) {  // text below 0x80 needs no codec
    encoder_ = std::make_unique<QStringEncoder>("CP932", kCodecFlags);
    decoder_ = std::make_unique<QStringDecoder>("CP932", kCodecFlags);
  }
  const QByteArray bytes = encoder_->encode(c);
  const QString back = decoder_->decode(bytes);
  if (back != c || bytes.isEmpty() || bytes.size() > 2) return kRefused;
  return bytes.size() == 1 ? uchar(bytes[0]) : quint16(uchar(bytes[0]) << 8 | uchar(bytes[1]));
}

bool Cp932Encoder::Encode(QStringView text, QByteArray& cp932, qsizetype& badColumn) {
  badColumn = 0;
  cp932.resize(text.size() * 2);
  char* out = cp932.data();
  qsizetype column = 1;
  for (qsizetype i = 0; i < text.size(); ++i, ++column) {
    const char16_t c = CP932Equivalent(text[i].unicode());
    if (c < 0x80) {
      *out++ = char(c);
      continue;
    }
    quint16 code = kRefused;
    if (QChar::isSurrogate(c)) {
      // CP932 has nothing beyond the BMP; the codec is asked all the same.
      if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        code = Learn(text.sliced(i++, 2));
    } else {
      std::unique_ptr<quint16[]>& page = known_[c >> 8];
      if (!page) page = std::make_unique<quint16[]>(256);
      code = page[c & 0xFF];
      if (code == 0) code = page[c & 0xFF] = Learn(QStringView(&c, 1));
    }
    if (code == kRefused) {
      cp932.clear();
      badColumn = column;
      return false;
    }
    if (code > 0xFF) *out++ = char(code >> 8);
    *out++ = char(code & 0xFF);
  }
  cp932.truncate(out - cp932.constData());
  return true;
}

QByteArray ToCp932(const QString& text, bool* ok) {
  Cp932Encoder encoder;
  QByteArray out;
  qsizetype column = 0;
  const bool done = encoder.Encode(text, out, column);
  if (ok) *ok = done;
  return out;
}

std::optional<QString> FromCp932(QByteArrayView bytes) {
  QString text;
  text.reserve(bytes.size());
  std::unique_ptr<QStringDecoder> dec;  // only when there is more than ASCII
  const qsizetype n = bytes.size();
  for (qsizetype i = 0; i < n;) {
    const uchar b = uchar(bytes[i]);
    if (b < 0x80) {
      text += QChar(b);
      ++i;
      continue;
    }
    const qsizetype start = i;  // a run of characters that start from 0x80 up, trail bytes included
    while (i < n && uchar(bytes[i]) >= 0x80) i += IsCp932LeadByte(uchar(bytes[i])) ? 2 : 1;
    i = std::min(i, n);
    if (!dec) dec = std::make_unique<QStringDecoder>("CP932", kCodecFlags);
    const QString run = dec->decode(bytes.sliced(start, i - start));
    for (QChar c : run)
      if (c.unicode() == 0 || IsStrayByteReading(c.unicode())) return std::nullopt;
    if (dec->hasError()) return std::nullopt;
    text += run;
  }
  return text;
}

}  // namespace platform
