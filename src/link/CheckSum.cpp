#include "CheckSum.h"

#include "platform/Cp932.h"

namespace korima::link {

QByteArray CalcCheckSum(const QByteArray& text) {
  unsigned sum = 0;
  for (char c : text) sum += static_cast<unsigned char>(c);
  static const char kHex[] = "0123456789ABCDEF";
  const unsigned b = sum & 0xFF;
  const char digits[2] = {kHex[b >> 4], kHex[b & 0xF]};
  return QByteArray(digits, 2);
}

QString CalcCheckSum(const QString& text) {
  return QString::fromLatin1(CalcCheckSum(platform::ToCp932(text)));
}

QByteArray SepChar(qint16 sep) {
  const auto code = static_cast<quint16>(sep);
  if (code > 0xFF) {
    const char pair[2] = {char(code >> 8), char(code & 0xFF)};
    return QByteArray(pair, 2);
  }
  return QByteArray(1, char(code));
}

QByteArray FramePacket(const QByteArray& data, qint16 sep) {
  QByteArray framed = '^' + SepChar(sep) + data + '*';
  return framed + CalcCheckSum(framed);
}

}  // namespace korima::link
