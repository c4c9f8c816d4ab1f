#pragma once
// A drop-down of the machine's drives (mounted volumes).
#include <QComboBox>

namespace desktop {

class DriveListBox : public QComboBox {
  Q_OBJECT
 public:
  explicit DriveListBox(QWidget* parent = nullptr);
  QString Drive() const { return currentText(); }
  // Selects the drive that holds `path`; fires Change when the drive differs.
  bool SetDrive(const QString& path);
  void Reload();

 signals:
  void Change();
};

}  // namespace desktop
