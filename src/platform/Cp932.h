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

}  // namespace platform
