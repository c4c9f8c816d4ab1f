#pragma once
// Windows code page 932 (Shift-JIS as Windows writes it) for settings, packets and replies.
#include <QByteArray>
#include <QString>
#include <bitset>

namespace platform {

// False in *ok when a character has no CP932 form; the result must not be used then.
QByteArray ToCp932(const QString& text, bool* ok = nullptr);
QString FromCp932(const QByteArray& bytes);
// Characters as the user counts them: a lead byte and its trail byte are one.
qint64 Cp932CharCount(const QByteArray& bytes);
inline bool IsCp932LeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Which bytes CP932 reads as a character, learnt from the codec on first use:
// bit (lead << 8 | trail) for a lead byte and the byte after it, bit `byte`
// for a single byte from 0x80 up. 80, A0 and FD-FF are never characters,
// whatever the codec's table says.
using Cp932CharSet = std::bitset<0x10000>;
const Cp932CharSet& Cp932Chars();

// One line of UTF-8 text as CP932 bytes. Code points that JIS-based tables
// (Macs, EUC-JP, JIS X 0201) use where CP932 has its own, such as U+301C for
// the wave dash, are taken as the CP932 character they stand for. On failure
// `badColumn` is the 1-based character column where the line stops being
// convertible, and `invalidUtf8` tells whether the bytes there are no UTF-8
// at all (rather than a character CP932 has no form for).
bool Utf8ToCp932(const QByteArray& utf8, QByteArray& cp932, qsizetype& badColumn, bool& invalidUtf8);

inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

}  // namespace platform
