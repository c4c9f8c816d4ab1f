#include "Settings.h"

#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Process.h"
#include "platform/TextFiles.h"

namespace korima::config {

SettingsRecord Settings;

namespace {

const QString kOpenErrorTitle = QStringLiteral("File Open Error");
const QString kWriteErrorTitle = QStringLiteral("File Write Error");

void ShowOpenError() {
  platform::MsgBox(QStringLiteral("INIﾌｧｲﾙ書き込みｵｰﾌﾟﾝｴﾗｰ : ") + platform::Err().Description,
                   platform::vbOKOnly, kOpenErrorTitle);
}

void ShowWriteError() {
  platform::MsgBox(QStringLiteral("INIﾌｧｲﾙ書き込みｴﾗｰ : ") + platform::Err().Description,
                   platform::vbOKOnly, kWriteErrorTitle);
}

// The file's order differs from the record's: the two integers come last.
bool WriteLine(platform::files::OutputFile& out, const SettingsValues& v) {
  using platform::files::Field;
  return out.WriteFields({Field(v.WorkFolder), Field(v.LocalPort), Field(v.RemoteHost),
                          Field(v.RemotePort), Field(qint64(v.TitleLine)), Field(qint64(v.StartUpSize))}) &&
         out.Commit();
}

SettingsValues ValuesOf(const SettingsRecord& s) {
  return {s.WorkFolder, s.LocalPort, s.RemoteHost, s.RemotePort, s.TitleLine, s.StartUpSize};
}

}  // namespace

SettingsFileState LoadSettingsFile(const QString& path, SettingsRecord& into) {
  namespace files = platform::files;
  files::InputFile in;
  if (!in.Open(path)) return SettingsFileState::Missing;
  QList<QByteArray> f;
  qint16 titleLine = 0, startUpSize = 0;
  if (!in.InputFields(6, f) || !files::ParseInt16(f[4], titleLine) || !files::ParseInt16(f[5], startUpSize))
    return SettingsFileState::Invalid;
  std::optional<QString> text[4];
  for (int i = 0; i < 4; ++i)
    if (!(text[i] = platform::FromCp932(f[i]))) return SettingsFileState::Invalid;
  into.WorkFolder = *text[0];
  into.LocalPort = *text[1];
  into.RemoteHost = *text[2];
  into.RemotePort = *text[3];
  into.TitleLine = titleLine;
  into.StartUpSize = startUpSize;
  return startUpSize < 0 || startUpSize > 1 ? SettingsFileState::BadParameter : SettingsFileState::Valid;
}

void ReadSettings(const MainWindowHooks& main) {
  switch (LoadSettingsFile(Settings.SettingsPath, Settings)) {
    case SettingsFileState::Missing:
      InitSettingsFile(QStringLiteral("ﾌｧｲﾙなし"));
      return;
    case SettingsFileState::Invalid:
      InitSettingsFile(QStringLiteral("ﾌｧｲﾙ不正"));
      break;
    case SettingsFileState::Valid:
    case SettingsFileState::BadParameter:
      break;
  }

  if (Settings.StartUpSize < 0 || Settings.StartUpSize > 1)
    InitSettingsFile(QStringLiteral("ﾊﾟﾗﾒｰﾀ不正"));

  if (!platform::ChDir(Settings.WorkFolder)) {
    platform::MsgBox(QStringLiteral("既定ﾌｫﾙﾀﾞが存在しません\r\n再設定を行ってください！！"),
                     platform::vbCritical, QStringLiteral("エラー！！"));
    if (main.SetStatus)
      main.SetStatus(QStringLiteral("既定ﾌｫﾙﾀﾞが存在しません - 再設定を行ってください！！"));
    Settings.WorkFolder = platform::CurDir();
  }
}

void InitSettingsFile(const QString& reason) {
  namespace files = platform::files;
  platform::MsgBox(QStringLiteral("INIﾌｧｲﾙ読み込みｴﾗｰ : ") + reason + QStringLiteral("\r\n") +
                       QStringLiteral("INIﾌｧｲﾙを初期化します\r\n") +
                       QStringLiteral("保存ﾌｫﾙﾀﾞの初期値はﾏｲﾄﾞｷｭﾒﾝﾄﾌｫﾙﾀﾞです") +
                       QStringLiteral("\r\n運用に適したﾌｫﾙﾀﾞを再設定してください"),
                   platform::vbOKOnly, QStringLiteral("File Read"));

  Settings.WorkFolder = DefaultWorkFolder();
  Settings.TitleLine = 0;
  Settings.StartUpSize = 0;
  Settings.LocalPort = QString::fromLatin1(kDefaultLocalPort);
  Settings.RemoteHost = QString::fromLatin1(kDefaultRemoteHost);
  Settings.RemotePort = QString::fromLatin1(kDefaultRemotePort);

  files::OutputFile out;
  if (!out.Open(Settings.SettingsPath)) {
    ShowOpenError();
    platform::EndProgram(1);
  }
  if (!WriteLine(out, ValuesOf(Settings))) {
    ShowWriteError();
    platform::EndProgram(1);
  }
}

void SaveSettings(const SettingsValues& values, const MainWindowHooks& main) {
  {
    platform::files::OutputFile out;
    if (!out.Open(Settings.SettingsPath)) {
      ShowOpenError();
      platform::EndProgram(1);
    }
    if (!WriteLine(out, values)) ShowWriteError();
  }

  Settings.WorkFolder = values.WorkFolder;
  if (main.ShowFolder) main.ShowFolder(values.WorkFolder);
  Settings.TitleLine = values.TitleLine;
  Settings.StartUpSize = values.StartUpSize;
  Settings.LocalPort = values.LocalPort;
  Settings.RemoteHost = values.RemoteHost;
  Settings.RemotePort = values.RemotePort;
}

// A folder CP932 can't write would fail every start with "File Write Error".
QString DefaultWorkFolder() {
  for (const QString& folder : {platform::DocumentsFolder(), platform::HomeFolder(), platform::RootFolder()}) {
    QByteArray line;
    if (!folder.isEmpty() && platform::files::FormatFields({folder}, line)) return folder;
  }
  return {};
}

}  // namespace korima::config
