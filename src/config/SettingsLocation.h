#pragma once
// Where the settings file lives. The one place that decides it: the rest of
// the program only reads Settings.SettingsPath.
#include <QString>

namespace korima::config {

// The file beside the executable: its folder, a separator, its name without
// extension, ".ini".
QString SettingsPathBeside(const QString& exePath);
// The path for the running program.
QString SettingsFilePath();
// The path the window program beside `siblingExePath` uses (named Korima or
// korima, whichever is there), so that a console tool reads the same file.
QString WindowProgramSettingsPath(const QString& siblingExePath);

}  // namespace korima::config
