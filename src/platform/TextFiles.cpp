#include "TextFiles.h"

#include "Cp932.h"
#include "Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <map>
#include <memory>

namespace platform::files {
namespace {

constexpr qint64 kChunk = 64 * 1024;

struct Channel {
  std::unique_ptr<QFile> in;
  std::unique_ptr<QSaveFile> out;
  QByteArray buf;
  qsizetype pos = 0;
  bool readFailed = false;
  int readErrno = 0;
};

std::map<int, Channel>& Channels() {
  static std::map<int, Channel> channels;
  return channels;
}

Channel* Find(int fileNo, bool wantInput) {
  auto it = Channels().find(fileNo);
  if (it == Channels().end() || (wantInput ? !it->second.in : !it->second.out)) {
    RaiseOsError(EBADF);
    return nullptr;
  }
  return &it->second;
}

// errno survives a failed QFile call on the platforms we build for; when it
// didn't, fall back on what the file system says now.
void RaiseFileError(int savedErrno, const QString& path) {
  if (savedErrno == 0) savedErrno = QFileInfo::exists(path) ? EACCES : ENOENT;
  RaiseOsError(savedErrno);
}

// Makes sure a byte is buffered; false at end of file or on a read error.
bool Fill(Channel& ch) {
  if (ch.pos < ch.buf.size()) return true;
  if (ch.readFailed) return RaiseOsError(ch.readErrno), false;  // every later read fails the same way
  errno = 0;
  ch.buf = ch.in->read(kChunk);
  ch.pos = 0;
  if (ch.in->error() != QFileDevice::NoError) {
    ch.readFailed = true;
    RaiseFileError(errno, ch.in->fileName());
    ch.readErrno = Err().Number;
    ch.buf.clear();
    return false;
  }
  return !ch.buf.isEmpty();
}

int Peek(Channel& ch) { return Fill(ch) ? static_cast<unsigned char>(ch.buf[ch.pos]) : -1; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// What both kinds of open check first: a free file number and not a folder.
bool Openable(int fileNo, const QString& path) {
  ClearError();
  if (Channels().count(fileNo)) return RaiseOsError(EBUSY), false;
  if (QFileInfo(path).isDir()) return RaiseOsError(EISDIR), false;
  return true;
}

}  // namespace

bool OpenInput(int fileNo, const QString& path) {
  if (!Openable(fileNo, path)) return false;
  auto file = std::make_unique<QFile>(path);
  errno = 0;
  if (!file->open(QIODevice::ReadOnly)) {
    RaiseFileError(errno, path);
    return false;
  }
  Channels()[fileNo].in = std::move(file);
  return true;
}

bool OpenOutput(int fileNo, const QString& path) {
  if (!Openable(fileNo, path)) return false;
  auto file = std::make_unique<QSaveFile>(path);
  errno = 0;
  if (!file->open(QIODevice::WriteOnly)) {
    const QFileInfo dir(QFileInfo(path).absolutePath());
    int e = errno;
    if (e == 0) e = dir.exists() ? EACCES : ENOENT;
    RaiseOsError(e);
    return false;
  }
  Channels()[fileNo].out = std::move(file);
  return true;
}

bool Commit(int fileNo) {
  ClearError();
  Channel* ch = Find(fileNo, false);
  if (!ch) return false;
  errno = 0;
  const bool ok = ch->out->commit();
  const int e = errno;
  if (!ok) RaiseFileError(e == 0 ? EIO : e, ch->out->fileName());
  ch->out.reset();
  Channels().erase(fileNo);
  return ok;
}

void CloseAll() {
  for (auto& [no, ch] : Channels())
    if (ch.out) ch.out->cancelWriting();  // an uncommitted output never replaces the old file
  Channels().clear();
}

bool Eof(int fileNo) {
  Channel* ch = Find(fileNo, true);
  if (!ch) return true;
  return Peek(*ch) < 0;
}

bool LineInput(int fileNo, QByteArray& line) {
  ClearError();
  Channel* ch = Find(fileNo, true);
  if (!ch) return false;
  line.clear();
  if (Peek(*ch) < 0) {
    if (Err().Number == 0) RaiseOsError(ENODATA);  // read past the end
    return false;
  }
  for (;;) {
    if (!Fill(*ch)) return Err().Number == 0;  // last line without terminator
    const char* data = ch->buf.constData();
    const qsizetype n = ch->buf.size();
    qsizetype i = ch->pos;
    while (i < n && data[i] != '\r' && data[i] != '\n') ++i;
    line.append(data + ch->pos, i - ch->pos);
    ch->pos = i;
    if (i == n) continue;
    const char end = data[i];
    ++ch->pos;
    if (end == '\r' && Peek(*ch) == '\n') ++ch->pos;
    return Err().Number == 0;
  }
}

bool SplitFields(const QByteArray& data, int count, QList<QByteArray>& fields) {
  fields.clear();
  qsizetype p = 0;
  const qsizetype n = data.size();
  auto atLineEnd = [&](qsizetype i) { return data[i] == '\r' || data[i] == '\n'; };
  auto skipDelimiter = [&] {
    if (p >= n) return;
    if (data[p] == '\r' && p + 1 < n && data[p + 1] == '\n') p += 2;
    else ++p;
  };
  while (fields.size() < count) {
    while (p < n && IsBlank(data[p])) ++p;
    if (p >= n) return false;
    if (data[p] == '"') {
      const qsizetype close = data.indexOf('"', p + 1);
      const qsizetype end = close < 0 ? n : close;
      fields.append(data.mid(p + 1, end - p - 1));
      p = close < 0 ? n : close + 1;
      while (p < n && data[p] != ',' && !atLineEnd(p)) ++p;  // text after the closing quote is dropped
      skipDelimiter();
    } else {
      qsizetype e = p;
      while (e < n && data[e] != ',' && !atLineEnd(e)) ++e;
      fields.append(data.mid(p, e - p).trimmed());
      p = e;
      skipDelimiter();
    }
  }
  return true;
}

bool InputFields(int fileNo, int count, QList<QByteArray>& fields) {
  ClearError();
  Channel* ch = Find(fileNo, true);
  if (!ch) return false;
  // Settings lines are short; read what is left and split it.
  QByteArray rest = ch->buf.mid(ch->pos);
  ch->buf.clear();
  ch->pos = 0;
  errno = 0;
  rest += ch->in->readAll();
  if (ch->in->error() != QFileDevice::NoError) {
    RaiseFileError(errno, ch->in->fileName());
    return false;
  }
  if (!SplitFields(rest, count, fields)) {
    RaiseOsError(ENODATA);
    return false;
  }
  return true;
}

bool FormatFields(const QList<Field>& fields, QByteArray& line) {
  ClearError();
  line.clear();
  for (qsizetype i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    if (const auto* text = std::get_if<QString>(&fields[i])) {
      bool ok = false;
      const QByteArray bytes = ToCp932(*text, &ok);
      if (!ok) {
        RaiseError(IllegalByteSequenceError(),
                   QStringLiteral("Shift-JIS(CP932)で表せない文字を含んでいます: ") + *text);
        return false;
      }
      if (bytes.contains('"')) {  // no escaping exists: it would read back as another value
        RaiseError(InvalidArgumentError(),
                   QStringLiteral("ダブルクォート(\")を含む値は書き込めません: ") + *text);
        return false;
      }
      line += '"' + bytes + '"';
    } else {
      line += QByteArray::number(std::get<qint64>(fields[i]));
    }
  }
  line += "\r\n";
  return true;
}

bool WriteFields(int fileNo, const QList<Field>& fields) {
  ClearError();
  Channel* ch = Find(fileNo, false);
  if (!ch) return false;
  QByteArray line;
  if (!FormatFields(fields, line)) return false;
  errno = 0;
  if (ch->out->write(line) != line.size()) {
    RaiseFileError(errno == 0 ? EIO : errno, ch->out->fileName());
    return false;
  }
  return true;
}

bool ParseInt16(const QByteArray& field, qint16& value) {
  bool ok = false;
  const QByteArray t = field.trimmed();
  if (t.isEmpty()) return false;
  for (qsizetype i = (t[0] == '-' || t[0] == '+') ? 1 : 0; i < t.size(); ++i)
    if (t[i] < '0' || t[i] > '9') return false;
  const qlonglong v = t.toLongLong(&ok);
  if (!ok || v < -32768 || v > 32767) return false;
  value = static_cast<qint16>(v);
  return true;
}

}  // namespace platform::files
