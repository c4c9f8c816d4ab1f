#include "TextEncoding.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace platform {
namespace {

// Decoded a piece at a time, so that the scratch buffer stays small whatever the chunk.
constexpr qsizetype kPiece = 64 * 1024;

constexpr quint64 kOnes = 0x0101010101010101ULL;
constexpr quint64 kHighBits = 0x8080808080808080ULL;

// Whether one of the eight bytes in `w` is `byte` (all of them below 0x80).
bool HasByte(quint64 w, uchar byte) {
  const quint64 x = w ^ (kOnes * byte);
  return ((x - kOnes) & ~x & kHighBits) != 0;
}

uchar MaxByte(QByteArrayView piece) {
  uchar m = 0;
  for (char c : piece) m = std::max(m, uchar(c));
  return m;
}

// A byte-order mark is a character: the judge sees the file as it is.
QStringDecoder StrictUtf8(bool whole) {
  QStringConverter::Flags flags = QStringConverter::Flag::ConvertInitialBom;
  if (whole) flags |= QStringConverter::Flag::Stateless;
  return QStringDecoder(QStringConverter::Utf8, flags);
}

}  // namespace

EncodingJudge::EncodingJudge() : chars_(Cp932Chars()), utf8_(StrictUtf8(false)) {}

void EncodingJudge::Feed(QByteArrayView chunk) {
  if (!started_) {
    const qsizetype take = std::min<qsizetype>(3 - head_.size(), chunk.size());
    head_.append(chunk.first(take));
    chunk = chunk.sliced(take);
    if (head_.size() < 3) return;
    Start();
  }
  while (!chunk.isEmpty() && !decided_) {
    const QByteArrayView piece = chunk.first(std::min(kPiece, chunk.size()));
    Judge(piece);
    chunk = chunk.sliced(piece.size());
  }
}

void EncodingJudge::Start() {
  started_ = true;
  const auto mark = [&](TextEncoding e) {
    marked_ = e;
    decided_ = true;
  };
  if (head_.startsWith("\xFF\xFE")) return mark(TextEncoding::Utf16LE);
  if (head_.startsWith("\xFE\xFF")) return mark(TextEncoding::Utf16BE);
  if (head_.startsWith(kUtf8Bom)) return mark(TextEncoding::Utf8);
  Judge(head_);
}

void EncodingJudge::Judge(QByteArrayView piece) {
  if (piece.isEmpty()) return;
  if (utf8Valid_) {
    if (!highChar_) highChar_ = MaxByte(piece) >= 0xE0;
    const qsizetype need = utf8_.requiredSpace(piece.size());
    if (qsizetype(scratch_.size()) < need) scratch_.resize(need);
    utf8_.appendToBuffer(reinterpret_cast<QChar*>(scratch_.data()), piece);
    utf8Valid_ = !utf8_.hasError();
  }
  if (cp932Valid_) WalkCp932(piece);
  decided_ = !utf8Valid_ && !cp932Valid_;
}

// Byte by byte through CP932, with the line and column of each character; the
// first byte it can't read ends the walk. Runs of ASCII without a line end go
// eight bytes at a time.
void EncodingJudge::WalkCp932(QByteArrayView piece) {
  const uchar* p = reinterpret_cast<const uchar*>(piece.data());
  const uchar* const end = p + piece.size();
  qint64 line = line_, column = column_;
  bool cr = afterCr_;
  auto fail = [&] {
    cp932Valid_ = false;
    cp932Error_ = {line, column + 1};
  };
  if (lead_ >= 0 && p < end) {
    if (!chars_[lead_ << 8 | *p]) return fail();
    ++p;
    ++column;
    lead_ = -1;
  }
  while (p < end) {
    while (end - p >= 8) {
      quint64 w;
      std::memcpy(&w, p, 8);
      if ((w & kHighBits) || HasByte(w, '\n') || HasByte(w, '\r')) break;
      column += 8;
      p += 8;
      cr = false;
    }
    if (p == end) break;
    const uchar b = *p;
    if (b < 0x80) {
      if (b == '\r') {
        ++line;
        column = 0;
      } else if (b == '\n') {
        if (!cr) ++line;
        column = 0;
      } else {
        ++column;
      }
      cr = b == '\r';
      ++p;
      continue;
    }
    if (firstNonAscii_.line == 0) firstNonAscii_ = {line, column + 1};
    cr = false;
    do {  // a run of characters from 0x80 up
      const uchar c = *p;
      if (IsCp932LeadByte(c)) {
        if (p + 1 == end) {
          lead_ = c;
          ++p;
          break;
        }
        if (!chars_[c << 8 | p[1]]) return fail();
        p += 2;
      } else {
        if (!chars_[c]) return fail();
        ++p;
      }
      ++column;
    } while (p < end && *p >= 0x80);
  }
  line_ = line;
  column_ = column;
  afterCr_ = cr;
}

EncodingVerdict EncodingJudge::Finish() {
  if (!started_) Start();
  EncodingVerdict v;
  if (marked_) {
    v.encoding = *marked_;
    return v;
  }
  if (utf8Valid_) {
    // A sequence cut off by the end of the file: a line end can't continue it.
    scratch_.resize(std::max<qsizetype>(scratch_.size(), utf8_.requiredSpace(1)));
    utf8_.appendToBuffer(reinterpret_cast<QChar*>(scratch_.data()), "\n");
    utf8Valid_ = !utf8_.hasError();
  }
  if (cp932Valid_ && lead_ >= 0) {
    cp932Valid_ = false;
    cp932Error_ = {line_, column_ + 1};
    lead_ = -1;
  }
  if (firstNonAscii_.line == 0) {
    v.encoding = TextEncoding::Ascii;
  } else if (!utf8Valid_) {
    v.encoding = cp932Valid_ ? TextEncoding::ShiftJis : TextEncoding::Neither;
    if (!cp932Valid_) v.where = cp932Error_;
  } else if (!cp932Valid_ || highChar_) {
    v.encoding = TextEncoding::Utf8;
  } else {
    v.encoding = TextEncoding::ShiftJis;
    v.alsoUtf8 = true;
    v.where = firstNonAscii_;
  }
  return v;
}

bool DecodeUtf8(QByteArrayView utf8, QString& text, qsizetype& badColumn) {
  badColumn = 0;
  QStringDecoder dec = StrictUtf8(true);
  text.resize(dec.requiredSpace(utf8.size()));
  text.truncate(dec.appendToBuffer(text.data(), utf8) - text.constData());
  if (!dec.hasError()) return true;
  // Byte by byte, the error shows at the first byte that can't be UTF-8;
  // none showing means the text ends inside a sequence.
  QStringDecoder probe = StrictUtf8(false);
  qsizetype chars = 0;
  for (char c : utf8) {
    const QString part = probe.decode(QByteArrayView(&c, 1));
    if (probe.hasError()) break;
    for (QChar ch : part)
      if (!ch.isLowSurrogate()) ++chars;
  }
  text.clear();
  badColumn = chars + 1;
  return false;
}

bool DecodeUtf16(QByteArrayView bytes, bool bigEndian, QString& text, qsizetype& badColumn) {
  badColumn = 0;
  const qsizetype units = bytes.size() / 2;
  text.resize(units);
  if (bigEndian) qFromBigEndian<char16_t>(bytes.data(), units, text.data());
  else qFromLittleEndian<char16_t>(bytes.data(), units, text.data());
  qsizetype column = 1;
  for (qsizetype i = 0; i < units; ++i, ++column) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < units && text[i + 1].isLowSurrogate()) {
      ++i;
    } else if (c.isSurrogate()) {
      badColumn = column;
      break;
    }
  }
  if (badColumn == 0 && bytes.size() % 2 == 0) return true;
  if (badColumn == 0) badColumn = column;
  text.clear();
  return false;
}

}  // namespace platform
