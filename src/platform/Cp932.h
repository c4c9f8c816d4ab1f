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

// One line of UTF-8 text as CP932 bytes. Code points that JIS-based tables
// (Macs, EUC-JP, JIS X 0201) use where CP932 has its own, such as U+301C for
// the wave dash, are taken as the CP932 character they stand for. On failure
// `badColumn` is the 1-based character column where the line stops being
// convertible, and `invalidUtf8` tells whether the bytes there are no UTF-8
// at all (rather than a character CP932 has no form for).
bool Utf8ToCp932(const QByteArray& utf8, QByteArray& cp932, qsizetype& badColumn, bool& invalidUtf8);

// How much of a file decides whether it is UTF-8.
inline constexpr qsizetype kUtf8SniffBytes = 64 * 1024;
inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
// A file is taken for UTF-8 when it starts with a byte-order mark, or when
// `head` (its first kUtf8SniffBytes) is valid UTF-8 holding at least one
// non-ASCII character. CP932 text with any kana or kanji is never valid UTF-8.
// `wholeFile`: `head` is all of it, so it may not end inside a sequence.
bool LooksLikeUtf8(const QByteArray& head, bool wholeFile);

}  // namespace platform
