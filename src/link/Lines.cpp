#include "Lines.h"

#include "platform/Cp932.h"

namespace korima::link {

bool PrepareLine(const QByteArray& line, bool firstLine, LineConversion conversion, QByteArray& out,
                 FileProblem& problem, qint64& detail) {
  problem = FileProblem::None;
  detail = 0;
  out = line;
  if (conversion == LineConversion::Utf8ToCp932) {
    const QByteArray utf8 = firstLine && line.startsWith(platform::kUtf8Bom) ? line.mid(3) : line;
    qsizetype column = 0;
    bool invalid = false;
    if (!platform::Utf8ToCp932(utf8, out, column, invalid)) {
      problem = invalid ? FileProblem::NotUtf8 : FileProblem::Unconvertible;
      detail = column;
      return false;
    }
  }
  if (out.size() > kLongestLine) {
    problem = FileProblem::TooLong;
    detail = out.size();
    return false;
  }
  return true;
}

}  // namespace korima::link
