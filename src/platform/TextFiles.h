#pragma once
// Text files, each owned by the routine that opens it: a download holds its
// input, a save its output, and closing one never touches another. Errors
// come back as values. OutputFile writes the settings line's own bytes
// (CP932); LineReader gives a data file's lines as the terminal gets them.
#include "Cp932.h"
#include "Errors.h"
#include "TextEncoding.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <variant>

class QCryptographicHash;
class QFile;
class QSaveFile;

namespace platform::files {

// One value for WriteFields: a text goes out between double quotes, an integer bare.
using Field = std::variant<QString, qint64>;

// Output goes to a temporary file beside the target; only Commit puts it in
// place, so a write that fails half-way leaves the previous file as it was.
// Where no temporary file can be made there (a folder the user can't write,
// a file the user can), Commit writes the file in place instead, and puts the
// old contents back when that write fails. Either way the target changes only
// in Commit, and only with a line that WriteFields could format.
class OutputFile {
 public:
  OutputFile();
  ~OutputFile();  // without Commit the target is left as it was
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Open(const QString& path);
  bool WriteFields(const QList<Field>& fields);
  bool Commit();
  // Why the last call failed.
  const ErrorState& Error() const { return error_; }

 private:
  bool Fail(int error);
  ErrorState error_;
  std::unique_ptr<QSaveFile> file_;
  std::unique_ptr<QFile> inPlace_;
  QByteArray old_, pending_;
};

// How the lines of a data file become CP932.
enum class LineConversion { None, FromUtf8, FromUtf16LE, FromUtf16BE };

// A data file line by line, as the terminal will get it. Only a regular file
// opens: a FIFO or a device would stall or never end. Reads 64 KiB at a time,
// so that a line costs the caller's event loop little.
class LineReader {
 public:
  LineReader();
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // False with an Open problem: an errno number and its text; EISDIR for a
  // folder, EINVAL for anything else that is not a regular file.
  // `hash`, when given, is fed every byte read from the file.
  bool Open(const QString& path, LineConversion conversion, QCryptographicHash* hash = nullptr);
  qint64 SizeAtOpen() const { return sizeAtOpen_; }

  enum class Next { Line, End, Failed };
  // The next line's CP932 bytes without its end (CR LF, CR or LF). With None
  // the bytes are the file's own, a byte-order mark on line 1 included;
  // converting drops the mark. A file holding nothing but a byte-order mark
  // gives End at once, as an empty file does.
  // Failed with NotUtf8, NotUtf16 or Unconvertible: the line could not be
  // converted (at `column`); `line` holds its own bytes and the next call goes
  // on with the next line. Failed with Read: every later call fails the same way.
  Next Read(QByteArray& line);
  // The file's bytes read so far: line ends and a byte-order mark included.
  qint64 BytesConsumed() const { return consumed_; }

  struct Problem {
    enum Kind { None, Open, Read, NotUtf8, NotUtf16, Unconvertible } kind = None;
    qint64 column = 0;  // 1-based, in characters of the line
    int error = 0;      // Open, Read: an errno number
    QString errorText;
  };
  const Problem& LastProblem() const { return problem_; }

 private:
  void Close();
  bool Fill();
  bool Buffered(qsizetype bytes);
  Next Start();
  Next ReadRaw(QByteArray& raw);
  Next Failed(Problem::Kind kind, int error = 0, qint64 column = 0);

  int fd_ = -1;
  QCryptographicHash* hash_ = nullptr;
  LineConversion conversion_ = LineConversion::None;
  QByteArray buf_;
  qsizetype pos_ = 0;
  bool started_ = false, atEnd_ = false, readFailed_ = false;
  qint64 sizeAtOpen_ = 0, consumed_ = 0;
  Problem problem_;
  std::unique_ptr<Cp932Encoder> encoder_;
  QByteArray raw_;  // kept from line to line, as their buffers are
  QString text_;
};

// All of a regular file of at most `maxBytes` bytes (a settings or hosts
// file), opened without blocking: a FIFO, a device or a folder is refused,
// and a file that grows past `maxBytes` too (EFBIG).
bool ReadRegularFile(const QString& path, qint64 maxBytes, QByteArray& bytes, ErrorState& error);

// What the file at `path` is written in (TextEncoding.h), judged on all of
// it. False, with `error`, when it can't be opened or read; only a regular
// file is read, as by LineReader.
bool JudgeFile(const QString& path, EncodingVerdict& verdict, ErrorState& error);


// The pure halves of InputFields / WriteFields.
bool SplitFields(const QByteArray& data, int count, QList<QByteArray>& fields);
// False (with the error state set) when a text can't be written so that it reads back the same.
bool FormatFields(const QList<Field>& fields, QByteArray& line, ErrorState& error);

}  // namespace platform::files
