#pragma once
// What a download is given and what it ends with: plain values that the
// window, korima-send and the tests build and read.
#include "platform/TextEncoding.h"
#include "platform/TextFiles.h"

#include <QString>
#include <functional>
#include <optional>

namespace korima::link {

using platform::files::LineConversion;

// The longest line one datagram carries: 65,507 bytes of UDP payload less
// the six bytes of the frame.
inline constexpr qsizetype kLongestLine = 65507 - 6;
// The protocol counts ticks of 10 ms.
inline constexpr int kTicksPerSecond = 100;

// When the file is read ahead of sending it, to find what would stop it
// (FileCheck.h): before "MASTER", so that nothing is sent for a file that
// can't go; after, where each terminal is to get the file as it is when the
// terminal arrives; or not at all, where the caller has done it.
enum class CheckWhen { BeforeMaster, AfterMaster, None };

struct DownloadOptions {
  QString filePath;
  QString localPort;   // as typed: decimal text, blanks around allowed
  QString remoteHost;  // an IPv4 address or a host name
  QString remotePort;
  qint16 titleLine = 0;            // above 0: line 1 is a title and is not sent
  qint64 connectTimeoutTicks = 0;  // 0: "MASTER" until stopped
  // How lines go: as the file's bytes, or converted; none: as the file is judged.
  std::optional<LineConversion> conversion = LineConversion::None;
  CheckWhen checkWhen = CheckWhen::BeforeMaster;
  // Once the terminal has answered "MASTER": the file to send now (a folder
  // listed afresh), or empty when there is nothing. Unset: filePath.
  std::function<QString()> fileOnConnect;
};

enum class Outcome { None, Complete, Nak, NoReply, Bel, Ful, FileError, SocketError, Stopped };
// Where the handshake stood when the download ended.
enum class Phase { Connecting, Lines, Ending };
// What was wrong with the file, for a FileError.
enum class FileProblem { None, Empty, Open, Read, NotUtf8, NotUtf16, NotShiftJis, Unconvertible, TooLong, Internal };
// Which step a socket error came from.
enum class SocketStep { None, LocalPort, Bind, RemotePort, Address, Lookup, SameCradle, Send };

struct DownloadResult {
  Outcome outcome = Outcome::None;
  Phase phase = Phase::Connecting;
  QString filePath;
  qint64 lineNo = 0;     // the line it ended at, counted from 1 with a title line
  FileProblem fileProblem = FileProblem::None;
  qint64 column = 0;     // NotUtf8, NotUtf16, NotShiftJis, Unconvertible: the character column in the line
  qint64 lineBytes = 0;  // TooLong: the line's bytes once converted
  SocketStep socketStep = SocketStep::None;
  int error = 0;         // the operating system's or the resolver's error number
  QString errorText;     // and its text

  qint64 fileBytes = 0;    // the file's size when it was opened to be sent
  qint64 bytesRead = 0;    // the file's bytes of the lines acknowledged, line ends included
  qint64 sentBytes = 0;    // characters of acknowledged lines, as the status text counts them
  QString sha256;          // of the file's bytes as read and sent, once read to its end
  std::optional<platform::EncodingVerdict> verdict;  // how the file was judged, where it was
  qint64 linesSent = 0;    // lines the terminal acknowledged (a title line is not sent)
  qint64 packetsSent = 0;  // data packets put on the wire, repeats included
  qint64 silentWaits = 0;  // reply waits that ended with nothing received
  qint64 masters = 0;      // "MASTER" commands sent
  qint64 connectTicks = 0; // ticks spent waiting for the terminal to answer "MASTER"
  bool connected = false;  // the terminal answered "MASTER"
};

}  // namespace korima::link
