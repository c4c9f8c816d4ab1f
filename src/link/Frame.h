#pragma once
// The wire format, both ways. PC to terminal: a line as "^" Sep data "*"
// checksum CR, the checksum being the byte sum of "^" through "*" modulo 256
// as two upper-case hex digits; "MASTER" and "END" as bare commands with
// their CR. Terminal to PC: one of four reply words and its CR.
#include <QByteArray>

namespace korima::link {

inline const QByteArray kMasterCommand = "MASTER\r";
inline const QByteArray kEndCommand = "END\r";
inline const QByteArray kAck = "ACK", kNak = "NAK", kBel = "BEL", kFul = "FUL";

QByteArray CalcCheckSum(const QByteArray& bytes);
// Fields "^" to the checksum, without the CR.
QByteArray FramePacket(const QByteArray& data, qint16 sep);
// A whole data packet as it arrives (CR included) with a digit for its Sep
// and a checksum that holds; false for anything else.
bool ParsePacket(const QByteArray& datagram, char& sep, QByteArray& data);
// The reply word a datagram carries, or empty: a reply is one of the four
// words followed by CR and nothing else.
QByteArray ReplyWord(const QByteArray& datagram);

}  // namespace korima::link
