#include "Volumes.h"

#include "Process.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>

namespace platform {
namespace {
QStringList g_testVolumes;

QString Normal(const QString& path) { return QDir::fromNativeSeparators(path); }

bool Under(const QString& path, const QString& root) {
  const QString p = Normal(path), r = Normal(root);
  if (r.endsWith(u'/')) return p.startsWith(r, Qt::CaseInsensitive) || p + u'/' == r;
  return p.compare(r, Qt::CaseInsensitive) == 0 || p.startsWith(r + u'/', Qt::CaseInsensitive);
}
}  // namespace

QStringList MountedVolumes() {
  if (!g_testVolumes.isEmpty()) return g_testVolumes;
  QStringList roots;
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
    if (v.isValid() && v.isReady()) roots << QDir::toNativeSeparators(v.rootPath());
  roots.removeDuplicates();
  roots.sort(Qt::CaseInsensitive);
  return roots;
}

void SetVolumesForTest(const QStringList& roots) { g_testVolumes = roots; }

QString VolumeOf(const QString& path) {
  if (path.isEmpty() || QDir::isRelativePath(Normal(path))) return {};
  QString best;
  for (const QString& root : MountedVolumes())
    if (Under(path, root) && Normal(root).size() > Normal(best).size()) best = root;
  return best;
}

}  // namespace platform
