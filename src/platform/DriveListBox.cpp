#include "DriveListBox.h"

#include "Errors.h"
#include "Process.h"
#include "Volumes.h"

#include <cerrno>

namespace platform {

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
  Reload();
  connect(this, &QComboBox::currentIndexChanged, this, [this] { emit Change(); });
}

void DriveListBox::Reload() {
  const QSignalBlocker quiet(this);
  clear();
  addItems(MountedVolumes());
  const int i = findText(VolumeOf(CurDir()));
  setCurrentIndex(i >= 0 ? i : 0);
}

bool DriveListBox::SetDrive(const QString& path) {
  ClearError();
  const int i = findText(VolumeOf(path));
  if (path.isEmpty() || i < 0) return RaiseOsError(ENODEV), false;
  setCurrentIndex(i);
  return true;
}

}  // namespace platform
