#pragma once
// Windows code page 932 (Shift-JIS as Windows writes it) for settings, packets and replies.
#include <QByteArray>
#include <QString>

namespace platform {

// False in *ok when a character has no CP932 form; the result must not be used then.
QByteArray ToCp932(const QString& text, bool* ok = nullptr);
QString FromCp932(const QByteArray& bytes);
// Characters as the user counts them: a lead byte and its trail byte are one.
qint64 Cp932CharCount(const QByteArray& bytes);
bool IsCp932LeadByte(unsigned char byte);

// One line of UTF-8 text as CP932 bytes. On failure `badColumn` is the
// 1-based character column where the line stops being convertible, and
// `invalidUtf8` tells whether the bytes there are no UTF-8 at all (rather
// than a character CP932 has no form for).
bool Utf8ToCp932(const QByteArray& utf8, QByteArray& cp932, qsizetype& badColumn, bool& invalidUtf8);

}  // namespace platform
