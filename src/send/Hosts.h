#pragma once
// The cradles of a run: HOST or HOST:PORT, from --host and from hosts files.
#include <QString>
#include <QStringList>

namespace korima::send {

// HOST or HOST:PORT: a host without blanks or colons, a port of plain digits
// from 1 to 65535. False when the text is not of that shape.
bool SplitHost(const QString& text, QString& host, QString& port);

// One HOST or HOST:PORT a line; "#" starts a comment, blank lines are
// skipped; lines end at CR LF, LF or CR. The file must be a regular file of
// at most 1 MiB, of text (no NUL, no UTF-16). Returns an empty string, or
// the usage error, "FILE:LINE: why" where a line is at fault.
QString ReadHostsFile(const QString& path, QStringList& hosts);

// A host in a form that names a cradle (platform::net::ReadHost): empty, or
// why not, to follow the host in a message.
QString HostProblem(const QString& host);

}  // namespace korima::send
