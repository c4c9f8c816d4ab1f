#pragma once
// A file read as it will be sent, ahead of sending it: how it is written
// (judged, where no conversion was chosen), then every line converted and
// measured, so that nothing is sent for a file that can't go. A piece at a
// time: the caller reads on between events, and a stop is never held up.
#include "Result.h"

#include <memory>

namespace korima::link {

struct FileCheckResult {
  FileProblem problem = FileProblem::None;  // None: the file can go
  qint64 lineNo = 0;
  qint64 column = 0;     // NotUtf8, NotUtf16, NotShiftJis, Unconvertible
  qint64 lineBytes = 0;  // TooLong
  int error = 0;         // Empty, Open, Read
  QString errorText;
  std::optional<platform::EncodingVerdict> verdict;  // when it was judged
  LineConversion conversion = LineConversion::None;  // how its lines go
};

// How a judged file's lines go; none for a file that is neither UTF nor CP932.
std::optional<LineConversion> ConversionFor(platform::TextEncoding encoding);

class FileCheck {
 public:
  // `conversion`: as chosen; none: judged from the file first.
  FileCheck(const QString& path, std::optional<LineConversion> conversion, qint16 titleLine);
  ~FileCheck();
  // Reads about `budget` bytes more; true once the check is over.
  bool Step(qint64 budget = 1 << 20);
  const FileCheckResult& Result() const { return result_; }

 private:
  enum class Stage { Judge, Check, Done };
  bool Fail(FileProblem problem, qint64 column = 0);
  void StartCheck();

  QString path_;
  qint16 titleLine_;
  Stage stage_;
  std::unique_ptr<platform::files::LineReader> reader_;
  std::unique_ptr<platform::EncodingJudge> judge_;
  qint64 lineNo_ = 0;
  FileCheckResult result_;
};

}  // namespace korima::link
