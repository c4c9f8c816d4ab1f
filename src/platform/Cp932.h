#pragma once
// Windows code page 932 (Shift-JIS as Windows writes it) for settings, packets and replies.
// Bytes and characters below 0x80 pass through as they are, never through the
// codec's table: the one we get swaps 1A, 1C and 7F.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <array>
#include <bitset>
#include <memory>
#include <optional>

class QStringDecoder;
class QStringEncoder;

namespace platform {

// Unicode text as CP932. A character converts only when CP932 has it and
// reading the bytes back gives the same character, or when it is one of the
// code points JIS-based tables (Macs, EUC-JP, JIS X 0201) use where CP932 has
// a character of its own, such as U+301C for the wave dash. Keeps its codec
// between calls, so that converting line after line stays cheap.
class Cp932Encoder {
 public:
  Cp932Encoder();
  ~Cp932Encoder();
  Cp932Encoder(const Cp932Encoder&) = delete;
  Cp932Encoder& operator=(const Cp932Encoder&) = delete;

  // False, with `badColumn` the 1-based character column of the first
  // character that can't be written; `cp932` must not be used then.
  bool Encode(QStringView text, QByteArray& cp932, qsizetype& badColumn);

 private:
  static constexpr quint16 kRefused = 0xFFFF;  // FF is no lead byte
  quint16 Learn(QStringView character);
  // Held by pointer: the codec keeps the address it was made at.
  std::unique_ptr<QStringEncoder> encoder_;
  std::unique_ptr<QStringDecoder> decoder_;
  // By code point, in pages of 256 made as text needs them: 0 not asked yet, else as Learn gives it.
  std::array<std::unique_ptr<quint16[]>, 256> known_;
};

// False in *ok when a character has no CP932 form; the result must not be used then.
QByteArray ToCp932(const QString& text, bool* ok = nullptr);
// Nothing when the bytes are not CP932 (a lead byte without its trail byte
// at the end included): nothing is dropped or replaced.
std::optional<QString> FromCp932(QByteArrayView bytes);
// Characters as the user counts them: a lead byte and its trail byte are one.
qint64 Cp932CharCount(const QByteArray& bytes);
inline bool IsCp932LeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Which bytes CP932 reads as a character, learnt from the codec on first use:
// bit (lead << 8 | trail) for a lead byte and the byte after it, bit `byte`
// for a single byte from 0x80 up. 80, A0 and FD-FF are never characters,
// whatever the codec's table says.
using Cp932CharSet = std::bitset<0x10000>;
const Cp932CharSet& Cp932Chars();

inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

}  // namespace platform
