#pragma once
// Sequential text files, each owned by the routine that opens it: a download
// holds its input, a save its output, and closing one never touches another.
// Bytes are the file's own (CP932); nothing is decoded on the way through.
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

// What the file at `path` is written in (TextEncoding.h), judged on all of
// it. False, with `error`, when it can't be opened or read; only a regular
// file is read: a FIFO or a device would stall or never end.
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
