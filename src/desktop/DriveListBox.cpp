#include "DriveListBox.h"

#include "CarryOn.h"
#include "platform/Process.h"
#include "platform/Volumes.h"

#include <cerrno>

namespace desktop {

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
  Reload();
  connect(this, &QComboBox::currentIndexChanged, this, [this] { emit Change(); });
}

void DriveListBox::Reload() {
  const QSignalBlocker quiet(this);
  clear();
  addItems(platform::MountedVolumes());
  const int i = findText(platform::VolumeOf(CurDir()));
  setCurrentIndex(i >= 0 ? i : 0);
}

bool DriveListBox::SetDrive(const QString& path) {
  ClearError();
  const int i = findText(platform::VolumeOf(path));
  if (path.isEmpty() || i < 0) return RaiseOsError(ENODEV), false;
  setCurrentIndex(i);
  return true;
}

}  // namespace desktop
