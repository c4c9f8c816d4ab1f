#pragma once
// Sequential text files, each owned by the routine that opens it: a download
// holds its input, a save its output, and closing one never touches another.
// InputFile and OutputFile pass the file's own bytes (CP932); LineReader gives
// a data file's lines as the terminal gets them.
#include "Cp932.h"
#include "Errors.h"
#include "TextEncoding.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <variant>

class QFile;
class QSaveFile;

namespace platform::files {

// One value for WriteFields: a text goes out between double quotes, an integer bare.
using Field = std::variant<QString, qint64>;

class InputFile {
 public:
  InputFile();
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // False, with the error state set, when the file can't be opened.
  bool Open(const QString& path);
  void Close();

  bool Eof();
  // Up to `max` bytes from the start, for a look at what the file holds; the
  // next read goes on after them.
  bool ReadHead(qint64 max, QByteArray& head);
  // One line without its terminator; a line ends at CR LF, CR or LF.
  bool LineInput(QByteArray& line);
  // The next `count` comma-separated values (quotes removed); false when the
  // file runs out of values first.
  bool InputFields(int count, QList<QByteArray>& fields);
  // The error of this file's last call (number 0: none), for callers that keep
  // away from the process-wide error state.
  const ErrorState& Error() const { return error_; }

 private:
  template <typename R>
  R Keep(R result) {
    error_ = Err();
    return result;
  }
  bool DoOpen(const QString& path);
  bool DoEof();
  bool DoLineInput(QByteArray& line);
  bool Fill();
  int Peek();

  std::unique_ptr<QFile> file_;
  QByteArray buf_;
  qsizetype pos_ = 0;
  bool readFailed_ = false;
  int readErrno_ = 0;
  ErrorState error_;
};

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

 private:
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
  bool Open(const QString& path, LineConversion conversion);
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

// What the file at `path` is written in (TextEncoding.h), judged on all of
// it. False, with `error`, when it can't be opened or read; only a regular
// file is read, as by LineReader.
bool JudgeFile(const QString& path, EncodingVerdict& verdict, ErrorState& error);

// Whether JudgeFile takes the file at `path` for UTF-8. False, with the error
// state set, when it can't be read.
bool IsUtf8File(const QString& path, bool& utf8);

// The pure halves of InputFields / WriteFields.
bool SplitFields(const QByteArray& data, int count, QList<QByteArray>& fields);
// False (with the error state set) when a text can't be written so that it reads back the same.
bool FormatFields(const QList<Field>& fields, QByteArray& line);
// A 16-bit integer field: optional sign and decimal digits, blanks around allowed.
bool ParseInt16(const QByteArray& field, qint16& value);

}  // namespace platform::files
