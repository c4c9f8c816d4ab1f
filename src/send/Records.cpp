#include "Records.h"

#include "Text.h"
#include "Usage.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace korima::send {

QString Timestamp(const QDateTime& t) {
  return t.isValid() ? t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs) : QString();
}

QByteArray JsonLine(const Record& r) {
  QJsonObject o;
  o.insert("file", r.file);
  o.insert("host", r.host);
  if (r.terminal > 0) o.insert("terminal", r.terminal);
  o.insert("bytes", r.bytes);
  o.insert("lines_sent", r.linesSent);
  o.insert("packets_sent", r.packetsSent);
  o.insert("outcome", r.outcome);
  o.insert("status", r.status);
  o.insert("seconds", std::round(r.seconds * 1000) / 1000);
  o.insert("started", Timestamp(r.started));
  o.insert("ended", Timestamp(r.ended));
  o.insert("sha256", r.sha256.isEmpty() ? QJsonValue() : QJsonValue(r.sha256));
  o.insert("run", r.run);
  return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

QString AppendLine(const QString& path, const QByteArray& line) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
  ssize_t n;
  do n = ::write(fd, line.constData(), size_t(line.size()));
  while (n < 0 && errno == EINTR);
  const int e = n < 0 ? errno : n != line.size() ? ENOSPC : 0;
  ::close(fd);
  return e ? QString::fromLocal8Bit(std::strerror(e)) : QString();
}

QString CannotAppend(const QString& path) {
  const QFileInfo info(path);
  const QByteArray at = QFile::encodeName(info.exists() ? path : info.absolutePath());
  if (info.exists() && !info.isFile()) return QString::fromLocal8Bit(std::strerror(info.isDir() ? EISDIR : EINVAL));
  if (::access(at.constData(), info.exists() ? W_OK : W_OK | X_OK) != 0) return QString::fromLocal8Bit(std::strerror(errno));
  return QString();
}

int PrintHistory(const QString& path, std::optional<QDate> since, bool json, QIODevice& out, QIODevice& err) {
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
    err.write((kProgram + Text::tr(": --history %1: cannot be read").arg(path) + u'\n').toUtf8());
    return kExitUsage;
  }
  // A terminal's visit to a cradle is the records of one run, cradle and terminal.
  struct Visit {
    QString failure;  // the first outcome that was not "complete"
    QList<QPair<QString, QString>> files;  // file, sha256
  };
  QMap<QString, QMap<QString, QMap<QString, Visit>>> days;  // date, host, visit
  while (!file.atEnd()) {
    const QJsonObject r = QJsonDocument::fromJson(file.readLine()).object();
    const QString date = r.value("started").toString().left(10);
    if (r.isEmpty() || date.size() != 10) continue;  // not a record: skipped
    if (since && QDate::fromString(date, Qt::ISODate) < *since) continue;
    const QString visitKey = r.value("run").toString() + u'#' + QString::number(r.value("terminal").toInteger());
    Visit& v = days[date][r.value("host").toString()][visitKey];
    const QString outcome = r.value("outcome").toString();
    if (outcome != QLatin1String("complete") && v.failure.isEmpty()) v.failure = outcome;
    if (outcome == QLatin1String("complete"))
      v.files << qMakePair(QFileInfo(r.value("file").toString()).fileName(), r.value("sha256").toString());
  }
  QJsonArray jsonDays;
  QString table;
  for (auto day = days.cbegin(); day != days.cend(); ++day) {
    QJsonArray cradles;
    for (auto cradle = day->cbegin(); cradle != day->cend(); ++cradle) {
      int complete = 0;
      QMap<QString, int> failed;
      QMap<QPair<QString, QString>, int> files;  // file and sha256: terminals that got it
      for (const Visit& v : *cradle) {
        if (!v.failure.isEmpty()) {
          ++failed[v.failure];
          continue;
        }
        ++complete;
        for (const auto& f : v.files) ++files[f];
      }
      QJsonObject failedJson;
      QStringList failedText;
      int failedCount = 0;
      for (auto f = failed.cbegin(); f != failed.cend(); ++f) {
        failedJson.insert(f.key(), f.value());
        failedText << QStringLiteral("%1 %2").arg(f.key()).arg(f.value());
        failedCount += f.value();
      }
      QJsonArray filesJson;
      QString filesText;
      for (auto f = files.cbegin(); f != files.cend(); ++f) {
        filesJson.append(QJsonObject{{"file", f.key().first}, {"sha256", f.key().second}, {"terminals", f.value()}});
        filesText += QStringLiteral("    %1  %2  ").arg(f.key().first, f.key().second.left(8)) +
                     Text::tr("terminals %1").arg(f.value()) + u'\n';
      }
      cradles.append(QJsonObject{{"host", cradle.key()}, {"complete", complete}, {"failed", failedJson}, {"files", filesJson}});
      table += QStringLiteral("%1  %2  ").arg(day.key(), cradle.key()) + Text::tr("complete %1  failed %2").arg(complete).arg(failedCount) +
               (failedText.isEmpty() ? QString() : QStringLiteral(" (") + failedText.join(QStringLiteral(", ")) + u')') +
               u'\n' + filesText;
    }
    jsonDays.append(QJsonObject{{"date", day.key()}, {"cradles", cradles}});
  }
  out.write(json ? QJsonDocument(QJsonObject{{"days", jsonDays}}).toJson(QJsonDocument::Compact) + '\n' : table.toUtf8());
  return kExitComplete;
}

}  // namespace korima::send
