#include "SettingsLocation.h"

#include "platform/Process.h"

#include <QDir>
#include <QFileInfo>

namespace korima::config {

QString SettingsPathBeside(const QString& exePath) {
  const QFileInfo exe(exePath);
  return QDir::toNativeSeparators(exe.absolutePath()) + platform::PathSeparator() + exe.completeBaseName() +
         QStringLiteral(".ini");
}

QString SettingsFilePath() { return SettingsPathBeside(platform::ExePath()); }

}  // namespace korima::config
