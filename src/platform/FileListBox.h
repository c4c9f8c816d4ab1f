#pragma once
// A list of one folder's files that match a pattern such as "*.csv;*.txt".
// Extensions match without regard to case, as users of these files expect.
#include <QListWidget>

namespace platform {

class FileListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit FileListBox(QWidget* parent = nullptr);

  QString Path() const { return path_; }
  // Sets the error state and keeps the old folder when `path` isn't a readable folder.
  bool SetPath(const QString& path);
  QString Pattern() const { return pattern_; }
  void SetPattern(const QString& pattern);
  void Refresh();
  QString FileName() const;
  int ListIndex() const;
  bool Matches(const QString& fileName) const;

 private:
  QString path_;
  QString pattern_ = QStringLiteral("*.*");
};

}  // namespace platform
