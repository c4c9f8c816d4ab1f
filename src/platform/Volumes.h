#pragma once
// Drives, as the desktop has them: on Windows the drive roots, elsewhere the
// mounted volumes, each named by its root path.
#include <QString>
#include <QStringList>

namespace platform {

QStringList MountedVolumes();
void SetVolumesForTest(const QStringList& roots);  // empty: back to the real list
// The volume whose root is the longest leading part of `path`; empty when none.
QString VolumeOf(const QString& path);

}  // namespace platform
