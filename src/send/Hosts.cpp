#include "Hosts.h"

#include "Text.h"
#include "platform/Net.h"
#include "platform/Numbers.h"
#include "platform/TextFiles.h"

#include <QRegularExpression>

namespace korima::send {

namespace {
constexpr qint64 kLargestHostsFile = 1 << 20;
}

bool SplitHost(const QString& text, QString& host, QString& port) {
  const QString t = text.trimmed();
  const qsizetype colon = t.lastIndexOf(u':');
  host = colon < 0 ? t : t.left(colon);
  port = colon < 0 ? QString() : t.mid(colon + 1);
  static const QRegularExpression blankOrColon(QStringLiteral("[\\s:]"));
  if (host.isEmpty() || host.contains(blankOrColon)) return false;
  return colon < 0 || platform::ParseDigits(port, 1, 65535).has_value();
}

QString HostProblem(const QString& host) {
  if (platform::net::ReadHost(host).form != platform::net::HostForm::Refused) return {};
  return Text::tr("not an IPv4 address as KORIMA reads one: write four decimal numbers from 0 to 255 with dots "
                  "between them, such as 192.168.1.100");
}

QString ReadHostsFile(const QString& path, QStringList& hosts) {
  QByteArray bytes;
  platform::ErrorState error;
  if (!platform::files::ReadRegularFile(path, kLargestHostsFile, bytes, error))
    return Text::tr("--hosts %1: cannot be read: %2").arg(path, error.Description);
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
    return Text::tr("%1:1: UTF-16 text; save the file as UTF-8 or ASCII").arg(path);
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
  const QStringList lines = QString::fromUtf8(bytes).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString where = QStringLiteral("%1:%2: ").arg(path).arg(i + 1);
    QString line = lines[i];
    if (line.contains(QChar(0))) return where + Text::tr("a NUL byte; the file is not text");
    if (const qsizetype hash = line.indexOf(u'#'); hash >= 0) line.truncate(hash);
    line = line.trimmed();
    if (line.isEmpty()) continue;
    QString host, port;
    if (!SplitHost(line, host, port)) return where + Text::tr("not a HOST or HOST:PORT: \"%1\"").arg(line);
    if (const QString why = HostProblem(host); !why.isEmpty()) return where + u'"' + host + QStringLiteral("\": ") + why;
    hosts << line;
  }
  return {};
}

}  // namespace korima::send
