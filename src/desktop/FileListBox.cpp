#include "FileListBox.h"

#include "CarryOn.h"
#include "platform/FileList.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>

namespace desktop {

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& dir) {
    if (QDir(dir) == QDir(path_)) Refresh();
  });
}

bool FileListBox::SetPath(const QString& path) {
  ClearError();
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists()) return RaiseOsError(ENOENT), false;
  if (!info.isDir()) return RaiseOsError(ENOTDIR), false;
  if (!info.isReadable()) return RaiseOsError(EACCES), false;
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

void FileListBox::Refresh() {
  const QString selected = FileName();
  const QString current = currentItem() ? currentItem()->text() : QString();
  clear();
  if (path_.isEmpty()) return;
  const QStringList names = platform::files::ListFiles(path_, pattern_);
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
