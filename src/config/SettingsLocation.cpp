#include "SettingsLocation.h"

#include "platform/Process.h"

#include <QDir>
#include <QFileInfo>

#ifndef KORIMA_INSTALL_BINDIR
#define KORIMA_INSTALL_BINDIR ""
#endif

namespace korima::config {
namespace {
QString g_binDirForTest;
bool g_binDirOverridden = false;

QString Canonical(const QString& path) {
  const QString c = QFileInfo(path).canonicalFilePath();
  return c.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : c;
}

QString ConfigFolder() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/korima");
}
}  // namespace

QString InstalledBinDir() {
  return g_binDirOverridden ? g_binDirForTest : QString::fromUtf8(KORIMA_INSTALL_BINDIR);
}

void SetInstalledBinDirForTest(const QString& folder) {
  g_binDirForTest = folder;
  g_binDirOverridden = true;
}

QString SettingsPathBeside(const QString& exePath) {
  const QFileInfo exe(exePath);
  return QDir::toNativeSeparators(exe.absolutePath()) + platform::PathSeparator() + exe.completeBaseName() +
         QStringLiteral(".ini");
}

namespace {
bool IsInstalledFolder(const QString& folder) {
  const QString bin = InstalledBinDir();
  return !bin.isEmpty() && Canonical(folder) == Canonical(bin);
}
}  // namespace

QString SettingsFilePathFor(const QString& exePath, bool create) {
  if (!IsInstalledFolder(QFileInfo(exePath).absolutePath())) return SettingsPathBeside(exePath);
  const QString folder = ConfigFolder();
  if (create) QDir().mkpath(folder);
  return QDir::toNativeSeparators(folder + u'/' + QFileInfo(exePath).completeBaseName() + QStringLiteral(".ini"));
}

QString SettingsFilePath() { return SettingsFilePathFor(platform::ExePath(), true); }

QString WindowProgramSettingsPath(const QString& siblingExePath) {
  const QDir folder = QFileInfo(siblingExePath).absoluteDir();
  // Installed, the window program is the command "korima"; built or copied, "Korima".
  QString window = folder.filePath(IsInstalledFolder(folder.path()) ? QStringLiteral("korima") : QStringLiteral("Korima"));
  for (const QString& name : {QStringLiteral("Korima"), QStringLiteral("korima"), QStringLiteral("Korima.exe")})
    if (QFileInfo(folder.filePath(name)).isFile()) {
      window = folder.filePath(name);
      break;
    }
  return SettingsFilePathFor(window, false);
}

}  // namespace korima::config
