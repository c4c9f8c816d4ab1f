#include "WindowSettings.h"

#include "desktop/CarryOn.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"

namespace korima::config {

SettingsRecord Settings;

namespace {

void ShowOpenError(const platform::ErrorState& e) {
  platform::MsgBox(QStringLiteral("INIﾌｧｲﾙ書き込みｵｰﾌﾟﾝｴﾗｰ : ") + e.Description, platform::vbOKOnly,
                   QStringLiteral("File Open Error"));
}

void ShowWriteError(const platform::ErrorState& e) {
  platform::MsgBox(QStringLiteral("INIﾌｧｲﾙ書き込みｴﾗｰ : ") + e.Description, platform::vbOKOnly,
                   QStringLiteral("File Write Error"));
}

}  // namespace

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

  if (!desktop::ChDir(Settings.WorkFolder)) {
    platform::MsgBox(QStringLiteral("既定ﾌｫﾙﾀﾞが存在しません\r\n再設定を行ってください！！"),
                     platform::vbCritical, QStringLiteral("エラー！！"));
    if (main.SetStatus)
      main.SetStatus(QStringLiteral("既定ﾌｫﾙﾀﾞが存在しません - 再設定を行ってください！！"));
    Settings.WorkFolder = desktop::CurDir();
  }
}

void InitSettingsFile(const QString& reason) {
  platform::MsgBox(QStringLiteral("INIﾌｧｲﾙ読み込みｴﾗｰ : ") + reason + QStringLiteral("\r\n") +
                       QStringLiteral("INIﾌｧｲﾙを初期化します\r\n") +
                       QStringLiteral("保存ﾌｫﾙﾀﾞの初期値はﾏｲﾄﾞｷｭﾒﾝﾄﾌｫﾙﾀﾞです") +
                       QStringLiteral("\r\n運用に適したﾌｫﾙﾀﾞを再設定してください"),
                   platform::vbOKOnly, QStringLiteral("File Read"));
  const QString path = Settings.SettingsPath;
  Settings = DefaultSettings();
  Settings.SettingsPath = path;
  platform::ErrorState error;
  switch (SaveSettingsFile(path, Settings, error)) {
    case SaveResult::OpenFailed: ShowOpenError(error); return platform::EndProgram(1);
    case SaveResult::WriteFailed: ShowWriteError(error); return platform::EndProgram(1);
    case SaveResult::Saved: break;
  }
}

void SaveSettings(const SettingsRecord& values, const MainWindowHooks& main) {
  platform::ErrorState error;
  switch (SaveSettingsFile(Settings.SettingsPath, values, error)) {
    case SaveResult::OpenFailed: ShowOpenError(error); return platform::EndProgram(1);
    case SaveResult::WriteFailed: ShowWriteError(error); break;  // the record takes the values all the same
    case SaveResult::Saved: break;
  }
  const QString path = Settings.SettingsPath;
  Settings = values;
  Settings.SettingsPath = path;
  if (main.ShowFolder) main.ShowFolder(values.WorkFolder);
}

}  // namespace korima::config
