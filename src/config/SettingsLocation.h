#pragma once
// Where the settings file lives. The one place that decides it: the rest of
// the program only reads Settings.SettingsPath.
//
// A program that runs from the folder it was installed to keeps the file in
// the user's configuration folder ($XDG_CONFIG_HOME/korima, by default
// ~/.config/korima), since that folder is not the user's to write. A program
// that runs from anywhere else (a portable copy, the build tree) keeps it
// beside itself. The name is the executable's name with ".ini" either way.
#include <QString>

namespace korima::config {

// The folder the build installs programs to; empty when the build installs nowhere.
QString InstalledBinDir();
void SetInstalledBinDirForTest(const QString& folder);

// The file beside the executable: its folder, a separator, its name without
// extension, ".ini".
QString SettingsPathBeside(const QString& exePath);
// The file for the program at `exePath`, by the rule above. `create` makes
// the configuration folder when it is missing (a failure shows later, when
// the file can't be opened).
QString SettingsFilePathFor(const QString& exePath, bool create);
// The path for the running program; its configuration folder is created.
QString SettingsFilePath();
// The path the window program beside `siblingExePath` uses (named Korima or
// korima, whichever is there), so that a console tool reads the same file.
QString WindowProgramSettingsPath(const QString& siblingExePath);

}  // namespace korima::config
