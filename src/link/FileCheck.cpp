#include "FileCheck.h"

#include "platform/Errors.h"

#include <cerrno>

namespace korima::link {

using platform::files::LineReader;

std::optional<LineConversion> ConversionFor(platform::TextEncoding encoding) {
  switch (encoding) {
    case platform::TextEncoding::Ascii:
    case platform::TextEncoding::ShiftJis: return LineConversion::None;
    case platform::TextEncoding::Utf8: return LineConversion::FromUtf8;
    case platform::TextEncoding::Utf16LE: return LineConversion::FromUtf16LE;
    case platform::TextEncoding::Utf16BE: return LineConversion::FromUtf16BE;
    case platform::TextEncoding::Neither: break;
  }
  return std::nullopt;
}

FileCheck::FileCheck(const QString& path, std::optional<LineConversion> conversion, qint16 titleLine)
    : path_(path), titleLine_(titleLine), stage_(conversion ? Stage::Check : Stage::Judge) {
  reader_ = std::make_unique<LineReader>();
  if (conversion) {
    result_.conversion = *conversion;
    StartCheck();
    return;
  }
  // The judge reads the file's own bytes: its lines, each with an end.
  judge_ = std::make_unique<platform::EncodingJudge>();
  if (!reader_->Open(path_, LineConversion::None)) Fail(FileProblem::Open);
}

FileCheck::~FileCheck() = default;

void FileCheck::StartCheck() {
  stage_ = Stage::Check;
  lineNo_ = 0;
  if (!reader_->Open(path_, result_.conversion)) Fail(FileProblem::Open);
}

bool FileCheck::Fail(FileProblem problem, qint64 column) {
  const LineReader::Problem& p = reader_->LastProblem();
  result_.problem = problem;
  result_.lineNo = lineNo_;
  result_.column = column;
  if (problem == FileProblem::Open || problem == FileProblem::Read) {
    result_.error = p.error;
    result_.errorText = p.errorText;
  }
  stage_ = Stage::Done;
  reader_.reset();
  return true;
}

bool FileCheck::Step(qint64 budget) {
  const qint64 until = reader_ ? reader_->BytesConsumed() + budget : 0;
  QByteArray line;
  while (stage_ != Stage::Done && reader_->BytesConsumed() < until) {
    const LineReader::Next next = reader_->Read(line);
    if (next == LineReader::Next::Line) ++lineNo_;
    if (stage_ == Stage::Judge) {
      if (next == LineReader::Next::Failed) return Fail(FileProblem::Read);
      if (next == LineReader::Next::Line) {
        judge_->Feed(line);
        judge_->Feed("\n");
        continue;
      }
      result_.verdict = judge_->Finish();
      const auto conversion = ConversionFor(result_.verdict->encoding);
      if (!conversion) {
        lineNo_ = result_.verdict->where.line;
        return Fail(FileProblem::NotShiftJis, result_.verdict->where.column);
      }
      result_.conversion = *conversion;
      StartCheck();
      continue;
    }
    // A title line is never sent: what it holds doesn't matter.
    const bool title = titleLine_ > 0 && lineNo_ == 1;
    switch (next) {
      case LineReader::Next::Line:
        if (!title && line.size() > kLongestLine) {
          result_.lineBytes = line.size();
          return Fail(FileProblem::TooLong);
        }
        break;
      case LineReader::Next::End:
        if (lineNo_ == 0) {  // nothing, or nothing but a byte-order mark
          Fail(FileProblem::Empty);
          result_.error = ENODATA;
          result_.errorText = platform::OsErrorText(ENODATA);
          return true;
        }
        stage_ = Stage::Done;
        reader_.reset();
        return true;
      case LineReader::Next::Failed: {
        const LineReader::Problem& p = reader_->LastProblem();
        if (p.kind == LineReader::Problem::Read) return Fail(FileProblem::Read);
        ++lineNo_;  // the line that could not be converted
        if (title) break;
        return Fail(p.kind == LineReader::Problem::NotUtf8    ? FileProblem::NotUtf8
                    : p.kind == LineReader::Problem::NotUtf16 ? FileProblem::NotUtf16
                                                              : FileProblem::Unconvertible,
                    p.column);
      }
    }
  }
  return stage_ == Stage::Done;
}

}  // namespace korima::link
