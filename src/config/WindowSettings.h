#pragma once
// The window's settings: the program's one record, and the routines of the
// window that read and save its file, say so in message boxes and end the
// program when the file can't be written.
#include "Settings.h"

#include <functional>

namespace korima::config {

extern SettingsRecord Settings;

// What the settings routines need of the main window.
struct MainWindowHooks {
  std::function<void(const QString&)> SetStatus;   // lblStatus caption
  std::function<void(const QString&)> ShowFolder;  // lblFolder caption, File1 path and refresh
};

void ReadSettings(const MainWindowHooks& main);
void InitSettingsFile(const QString& reason);
void SaveSettings(const SettingsRecord& values, const MainWindowHooks& main);

}  // namespace korima::config
