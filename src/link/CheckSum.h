#pragma once
// Packet frame: "^" Sep data "*" checksum CR, the checksum being the byte sum
// of "^" through "*" modulo 256 as two upper-case hex digits.
#include <QByteArray>
#include <QString>

namespace korima::link {

QByteArray CalcCheckSum(const QByteArray& cp932Text);
QString CalcCheckSum(const QString& text);
// The character whose CP932 code is `sep`: one byte, or lead and trail byte.
QByteArray SepChar(qint16 sep);
// Fields 1 to 5 of the frame, without the CR.
QByteArray FramePacket(const QByteArray& data, qint16 sep);

}  // namespace korima::link
