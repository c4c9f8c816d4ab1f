#include "FileListBox.h"

#include "platform/Errors.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>

namespace desktop {

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& dir) {
    if (QDir(dir) == QDir(path_)) Refresh();
  });
}

bool FileListBox::SetPath(const QString& path) {
  platform::ClearError();
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists()) return platform::RaiseOsError(ENOENT), false;
  if (!info.isDir()) return platform::RaiseOsError(ENOTDIR), false;
  if (!info.isReadable()) return platform::RaiseOsError(EACCES), false;
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  path_ = QDir::toNativeSeparators(info.absoluteFilePath());
  watcher_.addPath(info.absoluteFilePath());
  Refresh();
  return true;
}

void FileListBox::SetPattern(const QString& pattern) {
  pattern_ = pattern;
  Refresh();
}

bool FileListBox::Matches(const QString& fileName) const {
  for (const QString& p : pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(p.trimmed()),
                                QRegularExpression::CaseInsensitiveOption);
    if (re.match(fileName).hasMatch()) return true;
  }
  return false;
}

void FileListBox::Refresh() {
  const QString selected = FileName();
  const QString current = currentItem() ? currentItem()->text() : QString();
  clear();
  if (path_.isEmpty()) return;
  QDir dir(path_);
  QStringList names;
  for (const QFileInfo& f : dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot))
    if (Matches(f.fileName())) names << f.fileName();
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
  });
  addItems(names);
  if (const int row = int(names.indexOf(current)); row >= 0) {
    setCurrentRow(row, selected == current ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate);
  }
}

QString FileListBox::FileName() const {
  const QListWidgetItem* item = currentItem();
  return item && item->isSelected() ? item->text() : QString();
}

int FileListBox::ListIndex() const {
  const QListWidgetItem* item = currentItem();
  return item && item->isSelected() ? row(item) : -1;
}

}  // namespace desktop
