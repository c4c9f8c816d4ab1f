#pragma once
// The one settings record of the process and the routines that keep it in its file.
#include <QString>
#include <functional>

namespace korima::config {

struct SettingsRecord {
  QString WorkFolder;
  qint16 TitleLine = 0;    // 0: line 1 is data; above 0: line 1 is a title and is not sent
  qint16 StartUpSize = 0;  // 0: normal window; 1: minimised
  QString SettingsPath;    // never stored in the file
  QString LocalPort;
  QString RemoteHost;
  QString RemotePort;
};

extern SettingsRecord Settings;

inline const char* kDefaultLocalPort = "6000";
inline const char* kDefaultRemotePort = "6001";
// A private address typical of a cradle on a shop's LAN.
inline const char* kDefaultRemoteHost = "192.168.1.100";

// The values the settings dialog hands to SaveSettings.
struct SettingsValues {
  QString WorkFolder;
  QString LocalPort;
  QString RemoteHost;
  QString RemotePort;
  qint16 TitleLine = 0;
  qint16 StartUpSize = 0;
};

// What the settings routines need of the main window.
struct MainWindowHooks {
  std::function<void(const QString&)> SetStatus;  // lblStatus caption
  std::function<void(const QString&)> ShowFolder; // lblFolder caption, File1 path and refresh
};

enum class SettingsFileState { Valid, Missing, Invalid, BadParameter };
// Reads the file without a word to the user; `into` takes the six fields when
// they read (Valid, BadParameter) and is left alone otherwise.
SettingsFileState LoadSettingsFile(const QString& path, SettingsRecord& into);

void ReadSettings(const MainWindowHooks& main);
void InitSettingsFile(const QString& reason);
void SaveSettings(const SettingsValues& values, const MainWindowHooks& main);
// The first of the documents folder, the home folder and the root folder
// that exists and that the settings file can hold.
QString DefaultWorkFolder();

}  // namespace korima::config
