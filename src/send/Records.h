#pragma once
// What korima-send records of each transfer: one JSON object a line, on
// standard output (--json) and appended to a log (--log), and the history a
// log answers for (--history).
#include <QDate>
#include <QDateTime>
#include <QIODevice>
#include <QString>
#include <optional>

namespace korima::send {

struct Record {
  QString file;
  QString host;        // as given; empty where no cradle was involved
  qint64 terminal = 0; // with --repeat: which terminal in the cradle, from 1; 0: none
  qint64 bytes = 0;    // of the file as read and sent
  qint64 linesSent = 0;
  qint64 packetsSent = 0;
  QString outcome;     // complete, nak, no_reply, bel, ful, file_error, socket_error, stopped, not_sent
  QString status;      // the status text, in the user's language where it is korima-send's own
  double seconds = 0;
  QDateTime started, ended;
  QString sha256;      // of the bytes as read and sent, before conversion; empty: not read to its end
  QString run;         // when the run began: tells two runs' terminal numbers apart
};

// Local time with its offset and milliseconds: a log read elsewhere, or after
// a change of time zone, still says when.
QString Timestamp(const QDateTime& time);
QByteArray JsonLine(const Record& record);
// Appends one line to `path` in one write (O_APPEND): a record is whole or
// absent, whoever else appends or rotates. Empty, or why it failed.
QString AppendLine(const QString& path, const QByteArray& line);
// Whether AppendLine could write to `path`, without creating it: empty, or
// why not.
QString CannotAppend(const QString& path);

// The log at `path` by day and cradle: terminals complete, terminals failed by
// outcome, the files they got with the start of their sha256. A table, or
// JSON. Returns the exit code.
int PrintHistory(const QString& path, std::optional<QDate> since, bool json, QIODevice& out, QIODevice& err);

}  // namespace korima::send
