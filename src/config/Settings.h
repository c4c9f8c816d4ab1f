#pragma once
// The settings record and its one-line file: read, written, and made into
// what a download takes. Values in, values and errors out; the window's
// routines that keep its own record and show boxes about the file are in
// WindowSettings.h.
#include "link/Result.h"
#include "platform/Errors.h"

#include <QString>

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

inline const char* kDefaultLocalPort = "6000";
inline const char* kDefaultRemotePort = "6001";
// A private address typical of a cradle on a shop's LAN.
inline const char* kDefaultRemoteHost = "192.168.1.100";
// The file is one short line: anything larger is not a settings file.
inline constexpr qint64 kLargestSettingsFile = 64 * 1024;

enum class SettingsFileState { Valid, Missing, Invalid, BadParameter };
// Reads the file without a word to the user; `into` takes the six fields when
// they read (Valid, BadParameter) and is left alone otherwise.
SettingsFileState LoadSettingsFile(const QString& path, SettingsRecord& into);

enum class SaveResult { Saved, OpenFailed, WriteFailed };
// Writes the record as the file's line; the old file stays as it was unless
// the whole line is written.
SaveResult SaveSettingsFile(const QString& path, const SettingsRecord& record, platform::ErrorState& error);

// Every field at its default; the working folder is DefaultWorkFolder().
SettingsRecord DefaultSettings();
// The first of the documents folder, the home folder and the root folder
// that exists and that the settings file can hold.
QString DefaultWorkFolder();

// What every transfer takes from the settings, for the window and korima-send
// alike: the local port, the cradle's port and host, the title line. The
// file and anything else are the caller's.
link::DownloadOptions DownloadOptionsFrom(const SettingsRecord& settings);

}  // namespace korima::config
