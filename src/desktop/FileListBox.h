#pragma once
// A list of one folder's files that match a pattern such as "*.csv;*.txt".
// Extensions match without regard to case, as users of these files expect.
// The list follows the folder: a file copied in or removed shows at once.
#include <QFileSystemWatcher>
#include <QListWidget>

namespace desktop {

class FileListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit FileListBox(QWidget* parent = nullptr);

  QString Path() const { return path_; }
  // Sets the error state and keeps the old folder when `path` isn't a readable folder.
  bool SetPath(const QString& path);
  QString Pattern() const { return pattern_; }
  void SetPattern(const QString& pattern);
  // Re-reads the folder; the selected file stays selected while it exists.
  void Refresh();
  QString FileName() const;
  int ListIndex() const;

 private:
  QString path_;
  QString pattern_ = QStringLiteral("*.*");
  QFileSystemWatcher watcher_;
};

}  // namespace desktop
