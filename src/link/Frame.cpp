#include "Frame.h"

namespace korima::link {

QByteArray CalcCheckSum(const QByteArray& bytes) {
  unsigned sum = 0;
  for (char c : bytes) sum += static_cast<unsigned char>(c);
  static const char kHex[] = "0123456789ABCDEF";
  const unsigned b = sum & 0xFF;
  const char digits[2] = {kHex[b >> 4], kHex[b & 0xF]};
  return QByteArray(digits, 2);
}

QByteArray FramePacket(const QByteArray& data, qint16 sep) {
  // A Sep above 0xFF is a double-byte character: lead byte, then trail byte.
  const auto code = static_cast<quint16>(sep);
  QByteArray framed;
  framed.reserve(data.size() + 6);
  framed += '^';
  if (code > 0xFF) framed += char(code >> 8);
  framed += char(code & 0xFF);
  framed += data;
  framed += '*';
  framed += CalcCheckSum(framed);
  return framed;
}

bool ParsePacket(const QByteArray& d, char& sep, QByteArray& data) {
  const qsizetype n = d.size();
  if (n < 6 || d[0] != '^' || d[n - 1] != '\r' || d[n - 4] != '*') return false;
  if (CalcCheckSum(d.left(n - 3)) != d.mid(n - 3, 2)) return false;
  if (d[1] < '0' || d[1] > '9') return false;
  sep = d[1];
  data = d.mid(2, n - 6);
  return true;
}

QByteArray ReplyWord(const QByteArray& datagram) {
  if (datagram.size() != 4 || datagram[3] != '\r') return {};
  const QByteArray word = datagram.left(3);
  for (const QByteArray& known : {kAck, kNak, kBel, kFul})
    if (word == known) return word;
  return {};
}

}  // namespace korima::link
