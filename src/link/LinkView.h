#pragma once
// What the download sees of the main window: the status label, the progress
// bar, the button state and the file list's selection. Nothing else.
#include <QString>

namespace korima::link {

class LinkView {
 public:
  virtual ~LinkView() = default;
  virtual QString StatusText() const = 0;
  virtual void SetStatusText(const QString& text) = 0;
  virtual void SetCommState(int state) = 0;
  virtual QString ListFolder() const = 0;
  virtual QString ListFileName() const = 0;
  virtual int ListIndex() const = 0;  // -1 when nothing is selected
  virtual void SetProgressMax(qint64 max) = 0;
  virtual void SetProgressValue(qint64 value) = 0;
  virtual void SetProgressVisible(bool visible) = 0;
};

}  // namespace korima::link
