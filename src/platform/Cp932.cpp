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
