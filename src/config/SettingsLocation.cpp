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

QString WindowProgramSettingsPath(const QString& siblingExePath) {
  const QDir folder = QFileInfo(siblingExePath).absoluteDir();
  QString window = folder.filePath(QStringLiteral("Korima"));
  for (const QString& name : {QStringLiteral("Korima"), QStringLiteral("korima"), QStringLiteral("Korima.exe")})
    if (QFileInfo(folder.filePath(name)).isFile()) {
      window = folder.filePath(name);
      break;
    }
  return SettingsPathBeside(window);
}

}  // namespace korima::config
