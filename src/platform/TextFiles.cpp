#include "TextFiles.h"

#include "Cp932.h"
#include "Errors.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <memory>

namespace platform::files {
namespace {

constexpr qint64 kChunk = 64 * 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

// ---- output -----------------------------------------------------------------

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
  if (file_) file_->cancelWriting();  // an uncommitted output never replaces the old file
}

bool OutputFile::Fail(int e) {
  error_ = {e != 0 ? e : EIO, OsErrorText(e != 0 ? e : EIO)};
  return false;
}

bool OutputFile::Open(const QString& path) {
  if (file_) file_->cancelWriting();
  file_.reset();
  inPlace_.reset();
  old_.clear();
  pending_.clear();
  error_ = {};
  if (QFileInfo(path).isDir()) return Fail(EISDIR);
  auto file = std::make_unique<QSaveFile>(path);
  errno = 0;
  if (file->open(QIODevice::WriteOnly)) {
    file_ = std::move(file);
    return true;
  }
  int e = errno != 0 ? errno : MissingOrDenied(QFileInfo(path).absolutePath());
  // No temporary file beside it: the file itself, if it is there and ours to
  // write, is rewritten in place. Opened without cutting it; read for a way back.
  auto direct = std::make_unique<QFile>(path);
  errno = 0;
  if (QFileInfo(path).isFile() && direct->open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
    old_ = direct->readAll();
    if (direct->error() == QFileDevice::NoError) {
      inPlace_ = std::move(direct);
      return true;
    }
    e = errno != 0 ? errno : EIO;
  } else if (QFileInfo(path).isFile() && errno != 0) {
    e = errno;
  }
  return Fail(e);
}

bool OutputFile::WriteFields(const QList<Field>& fields) {
  error_ = {};
  if (!file_ && !inPlace_) return Fail(EBADF);
  QByteArray line;
  if (!FormatFields(fields, line, error_)) return false;
  if (inPlace_) {
    pending_ += line;  // written by Commit, all at once
    return true;
  }
  errno = 0;
  if (file_->write(line) != line.size()) return Fail(errno);
  return true;
}

namespace {
// Writes `bytes` over the whole of `file`; 0 or an errno.
int Overwrite(QFile& file, const QByteArray& bytes) {
  errno = 0;
  if (!file.seek(0) || file.write(bytes) != bytes.size() || !file.resize(bytes.size()) || !file.flush())
    return errno != 0 ? errno : EIO;
  return 0;
}
}  // namespace

bool OutputFile::Commit() {
  error_ = {};
  if (inPlace_) {
    std::unique_ptr<QFile> file = std::move(inPlace_);
    if (const int e = Overwrite(*file, pending_)) {
      Overwrite(*file, old_);  // a cut line would lose every setting at the next start
      return Fail(e);
    }
    return true;
  }
  if (!file_) return Fail(EBADF);
  errno = 0;
  const bool ok = file_->commit();
  const int e = errno;
  file_.reset();
  return ok || Fail(e);
}

// ---- data files ----------------------------------------------------------------

namespace {

// Opened without blocking, so that a FIFO without a writer can't hang the
// caller, and kept only when it is a regular file; then reads block again.
// -1 with `error` set on failure.
int OpenRegular(const QString& path, int& error, qint64* size = nullptr) {
  error = 0;
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) error = errno;
  else if (S_ISDIR(st.st_mode)) error = EISDIR;
  else if (!S_ISREG(st.st_mode)) error = EINVAL;
  else if (const int flags = ::fcntl(fd, F_GETFL); flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
    error = errno;
  if (error == 0) {
    if (size) *size = st.st_size;
    return fd;
  }
  ::close(fd);
  return -1;
}

// Up to `max` bytes appended to `buf`; the count, 0 at the end, -1 with `error`.
qsizetype ReadSome(int fd, QByteArray& buf, qsizetype max, int& error) {
  const qsizetype old = buf.size();
  buf.resize(old + max);
  ssize_t n;
  do n = ::read(fd, buf.data() + old, size_t(max));
  while (n < 0 && errno == EINTR);
  error = n < 0 ? (errno ? errno : EIO) : 0;
  buf.resize(old + std::max<qsizetype>(n, 0));
  return n;
}

}  // namespace

bool ReadRegularFile(const QString& path, qint64 maxBytes, QByteArray& bytes, ErrorState& error) {
  bytes.clear();
  int e = 0;
  const int fd = OpenRegular(path, e);
  for (qsizetype n = 1; fd >= 0 && n > 0 && bytes.size() <= maxBytes;)
    n = ReadSome(fd, bytes, std::min<qint64>(kChunk, maxBytes + 1 - bytes.size()), e);
  if (fd >= 0) ::close(fd);
  if (e == 0 && bytes.size() > maxBytes) e = EFBIG;
  if (e) error = {e, OsErrorText(e)};
  return e == 0;
}

LineReader::LineReader() = default;
LineReader::~LineReader() { Close(); }

void LineReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  buf_.clear();
  pos_ = 0;
  started_ = atEnd_ = readFailed_ = false;
  sizeAtOpen_ = consumed_ = 0;
  problem_ = {};
}

bool LineReader::Open(const QString& path, LineConversion conversion, QCryptographicHash* hash) {
  Close();
  conversion_ = conversion;
  hash_ = hash;
  int error = 0;
  fd_ = OpenRegular(path, error, &sizeAtOpen_);
  if (fd_ < 0) {
    readFailed_ = true;
    problem_ = {Problem::Open, 0, error, OsErrorText(error)};
    return false;
  }
  if (conversion != LineConversion::None && !encoder_) encoder_ = std::make_unique<Cp932Encoder>();
  return true;
}

LineReader::Next LineReader::Failed(Problem::Kind kind, int error, qint64 column) {
  problem_ = {kind, column, error, error ? OsErrorText(error) : QString()};
  return Next::Failed;
}

// The next chunk appended to what is left; false at the end or on a read error.
bool LineReader::Fill() {
  if (atEnd_ || readFailed_) return false;
  if (pos_ > 0) {
    buf_.remove(0, pos_);
    pos_ = 0;
  }
  int error = 0;
  const qsizetype n = ReadSome(fd_, buf_, kChunk, error);
  if (n < 0) {
    readFailed_ = true;
    Failed(Problem::Read, error);
  }
  if (hash_ && n > 0) hash_->addData(QByteArrayView(buf_).last(n));
  atEnd_ = n == 0;
  return n > 0;
}

// At least `bytes` unread bytes in the buffer, unless the file ends first.
bool LineReader::Buffered(qsizetype bytes) {
  while (buf_.size() - pos_ < bytes)
    if (!Fill()) return false;
  return true;
}

// A leading byte-order mark: dropped when converting, and the whole of a file
// that holds nothing else is no line at all.
LineReader::Next LineReader::Start() {
  started_ = true;
  Buffered(4);
  if (readFailed_) return Next::Failed;
  const QByteArrayView head(buf_.constData() + pos_, buf_.size() - pos_);
  QByteArrayView mark;
  for (const char* bom : {kUtf8Bom, "\xFF\xFE", "\xFE\xFF"})
    if (head.startsWith(bom)) mark = bom;
  const bool marksOnly = !mark.isEmpty() && head.size() == mark.size();
  const bool expected = (conversion_ == LineConversion::FromUtf8 && mark == kUtf8Bom) ||
                        (conversion_ == LineConversion::FromUtf16LE && mark == "\xFF\xFE") ||
                        (conversion_ == LineConversion::FromUtf16BE && mark == "\xFE\xFF");
  if (marksOnly || expected) {
    pos_ += mark.size();
    consumed_ += mark.size();
  }
  return Next::Line;
}

// The next line's own bytes, its end left out; line ends are code units in UTF-16.
LineReader::Next LineReader::ReadRaw(QByteArray& raw) {
  const bool wide = conversion_ == LineConversion::FromUtf16LE || conversion_ == LineConversion::FromUtf16BE;
  const qsizetype unit = wide ? 2 : 1;
  const int low = conversion_ == LineConversion::FromUtf16BE ? 1 : 0;
  auto lineEnd = [&](const char* u) -> char {
    if (wide && u[1 - low] != 0) return 0;
    return u[low] == '\r' || u[low] == '\n' ? u[low] : 0;
  };
  raw.truncate(0);
  for (;;) {
    const char* data = buf_.constData() + pos_;
    const qsizetype whole = (buf_.size() - pos_) / unit * unit;
    qsizetype i = 0;
    char end = 0;
    if (wide) {
      for (; i < whole; i += unit)
        if ((end = lineEnd(data + i))) break;
    } else {
      while (i < whole && data[i] != '\r' && data[i] != '\n') ++i;
      if (i < whole) end = data[i];
    }
    raw.append(data, i);
    pos_ += i;
    consumed_ += i;
    if (end) {
      pos_ += unit;
      consumed_ += unit;
      if (end == '\r' && Buffered(unit) && lineEnd(buf_.constData() + pos_) == '\n') {
        pos_ += unit;
        consumed_ += unit;
      }
      return readFailed_ ? Next::Failed : Next::Line;
    }
    if (Fill()) continue;
    if (readFailed_) return Next::Failed;
    const qsizetype rest = buf_.size() - pos_;  // an odd byte at the end of UTF-16
    raw.append(buf_.constData() + pos_, rest);
    pos_ += rest;
    consumed_ += rest;
    return raw.isEmpty() ? Next::End : Next::Line;
  }
}

LineReader::Next LineReader::Read(QByteArray& line) {
  line.truncate(0);
  if (fd_ < 0 || readFailed_) {
    if (fd_ < 0 && problem_.kind == Problem::None) Failed(Problem::Read, EBADF);
    return Next::Failed;
  }
  problem_ = {};
  if (!started_ && Start() == Next::Failed) return Next::Failed;
  if (conversion_ == LineConversion::None) return ReadRaw(line);
  if (const Next n = ReadRaw(raw_); n != Next::Line) return n;
  qsizetype column = 0;
  const bool decoded = conversion_ == LineConversion::FromUtf8
                           ? DecodeUtf8(raw_, text_, column)
                           : DecodeUtf16(raw_, conversion_ == LineConversion::FromUtf16BE, text_, column);
  if (!decoded) {
    line = raw_;
    return Failed(conversion_ == LineConversion::FromUtf8 ? Problem::NotUtf8 : Problem::NotUtf16, 0, column);
  }
  if (!encoder_->Encode(text_, line, column)) {
    line = raw_;
    return Failed(Problem::Unconvertible, 0, column);
  }
  return Next::Line;
}

bool JudgeFile(const QString& path, EncodingVerdict& verdict, ErrorState& error) {
  error = {};
  int e = 0;
  const int fd = OpenRegular(path, e);
  if (fd >= 0) {
    EncodingJudge judge;
    QByteArray chunk;
    qsizetype n;
    while ((n = ReadSome(fd, chunk, kChunk, e)) > 0) {
      judge.Feed(chunk);
      chunk.truncate(0);
    }
    ::close(fd);
    if (n == 0) verdict = judge.Finish();
  }
  if (e) error = {e, OsErrorText(e)};
  return e == 0;
}

// ---- the pure halves ------------------------------------------------------------

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

bool FormatFields(const QList<Field>& fields, QByteArray& line, ErrorState& error) {
  line.clear();
  for (qsizetype i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    if (const auto* text = std::get_if<QString>(&fields[i])) {
      bool ok = false;
      const QByteArray bytes = ToCp932(*text, &ok);
      if (!ok) {
        error = {EILSEQ, QStringLiteral("Shift-JIS(CP932)で表せない文字を含んでいます: ") + *text};
        return false;
      }
      if (bytes.contains('"')) {  // no escaping exists: it would read back as another value
        error = {EINVAL, QStringLiteral("ダブルクォート(\")を含む値は書き込めません: ") + *text};
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


}  // namespace platform::files
