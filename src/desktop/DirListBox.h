#pragma once
// The folders of a drive as a tree opened down to the current folder: its
// ancestors, the folder itself, and its subfolders. Opening an entry
// (double-click or Enter) makes it the current folder; highlighting does not.
#include <QTreeWidget>

namespace desktop {

class DirListBox : public QTreeWidget {
  Q_OBJECT
 public:
  explicit DirListBox(QWidget* parent = nullptr);
  QString Path() const { return path_; }
  // Sets the error state and keeps the old folder when `path` can't be listed.
  bool SetPath(const QString& path);

 signals:
  void Change();

 private:
  QString path_;
};

}  // namespace desktop
