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

bool IsCp932LeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
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

// Length of the well-formed UTF-8 sequence at `i`, or 0 (overlong forms,
// surrogates and values past U+10FFFF are not well-formed).
int Utf8SequenceLength(const QByteArray& b, qsizetype i) {
  const auto at = [&](qsizetype k) { return static_cast<unsigned char>(b[k]); };
  const unsigned char c = at(i);
  const qsizetype n = b.size();
  auto cont = [&](qsizetype k) { return k < n && (at(k) & 0xC0) == 0x80; };
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return cont(i + 1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(i + 1) || !cont(i + 2)) return 0;
    if (c == 0xE0 && at(i + 1) < 0xA0) return 0;
    if (c == 0xED && at(i + 1) >= 0xA0) return 0;
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(i + 1) || !cont(i + 2) || !cont(i + 3)) return 0;
    if (c == 0xF0 && at(i + 1) < 0x90) return 0;
    if (c == 0xF4 && at(i + 1) >= 0x90) return 0;
    return 4;
  }
  return 0;
}

}  // namespace

bool Utf8ToCp932(const QByteArray& utf8, QByteArray& cp932, qsizetype& badColumn, bool& invalidUtf8) {
  cp932.clear();
  badColumn = 0;
  invalidUtf8 = false;
  qsizetype column = 1;
  for (qsizetype i = 0; i < utf8.size(); ++column) {
    const int len = Utf8SequenceLength(utf8, i);
    if (len == 0) {
      badColumn = column;
      invalidUtf8 = true;
      return false;
    }
    i += len;
  }
  bool ok = false;
  const QString text = QString::fromUtf8(utf8);
  cp932 = ToCp932(text, &ok);
  if (ok) return true;
  cp932.clear();
  column = 1;  // find the character that has no CP932 form
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
