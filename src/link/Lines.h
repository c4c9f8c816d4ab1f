#pragma once
// A line of the file as it goes into a packet.
#include "Result.h"

#include <QByteArray>

namespace korima::link {

// Converted where asked (line 1 without its byte-order mark), and short
// enough for one datagram. False when it can't go: `problem` says why,
// `detail` holds the character column (NotUtf8, Unconvertible) or the bytes
// once converted (TooLong).
bool PrepareLine(const QByteArray& line, bool firstLine, LineConversion conversion, QByteArray& out,
                 FileProblem& problem, qint64& detail);

}  // namespace korima::link
