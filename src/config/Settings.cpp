#include "Settings.h"

#include "platform/Cp932.h"
#include "platform/Numbers.h"
#include "platform/Process.h"
#include "platform/TextFiles.h"

#include <cerrno>

namespace korima::config {

SettingsFileState LoadSettingsFile(const QString& path, SettingsRecord& into) {
  namespace files = platform::files;
  QByteArray bytes;
  platform::ErrorState error;
  // Only a regular file of sane size: a FIFO or a device given as the file
  // must not hold up the program or fill its memory.
  if (!files::ReadRegularFile(path, kLargestSettingsFile, bytes, error))
    return error.Number == EFBIG || error.Number == EINVAL ? SettingsFileState::Invalid : SettingsFileState::Missing;
  QList<QByteArray> f;
  if (!files::SplitFields(bytes, 6, f)) return SettingsFileState::Invalid;
  const auto titleLine = platform::ParseInteger(f[4], -32768, 32767);
  const auto startUpSize = platform::ParseInteger(f[5], -32768, 32767);
  if (!titleLine || !startUpSize) return SettingsFileState::Invalid;
  std::optional<QString> text[4];
  for (int i = 0; i < 4; ++i)
    if (!(text[i] = platform::FromCp932(f[i]))) return SettingsFileState::Invalid;
  into.WorkFolder = *text[0];
  into.LocalPort = *text[1];
  into.RemoteHost = *text[2];
  into.RemotePort = *text[3];
  into.TitleLine = qint16(*titleLine);
  into.StartUpSize = qint16(*startUpSize);
  return *startUpSize < 0 || *startUpSize > 1 ? SettingsFileState::BadParameter : SettingsFileState::Valid;
}

SaveResult SaveSettingsFile(const QString& path, const SettingsRecord& r, platform::ErrorState& error) {
  using platform::files::Field;
  platform::files::OutputFile out;
  if (!out.Open(path)) return error = out.Error(), SaveResult::OpenFailed;
  // The file's order differs from the record's: the two integers come last.
  if (!out.WriteFields({Field(r.WorkFolder), Field(r.LocalPort), Field(r.RemoteHost), Field(r.RemotePort),
                        Field(qint64(r.TitleLine)), Field(qint64(r.StartUpSize))}) ||
      !out.Commit())
    return error = out.Error(), SaveResult::WriteFailed;
  return SaveResult::Saved;
}

SettingsRecord DefaultSettings() {
  SettingsRecord r;
  r.WorkFolder = DefaultWorkFolder();
  r.LocalPort = QString::fromLatin1(kDefaultLocalPort);
  r.RemoteHost = QString::fromLatin1(kDefaultRemoteHost);
  r.RemotePort = QString::fromLatin1(kDefaultRemotePort);
  return r;
}

// A folder CP932 can't write would fail every start with "File Write Error".
QString DefaultWorkFolder() {
  for (const QString& folder : {platform::DocumentsFolder(), platform::HomeFolder(), platform::RootFolder()}) {
    QByteArray line;
    platform::ErrorState error;
    if (!folder.isEmpty() && platform::files::FormatFields({folder}, line, error)) return folder;
  }
  return {};
}

link::DownloadOptions DownloadOptionsFrom(const SettingsRecord& s) {
  link::DownloadOptions o;
  o.localPort = s.LocalPort;
  o.remoteHost = s.RemoteHost;
  o.remotePort = s.RemotePort;
  o.titleLine = s.TitleLine;
  return o;
}

}  // namespace korima::config
