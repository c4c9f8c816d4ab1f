#include "DirListBox.h"

#include "CarryOn.h"
#include "platform/Volumes.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStyle>

namespace desktop {
namespace {
constexpr int kPathRole = Qt::UserRole;
}

DirListBox::DirListBox(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(false);
  setIndentation(12);
  connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    if (item && SetPath(item->data(0, kPathRole).toString())) emit Change();
  });
}

bool DirListBox::SetPath(const QString& path) {
  if (!CanListFolder(path)) return false;
  const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

  // The chain from the root down to the folder.
  QStringList chain;
  for (QDir d(clean);; ) {
    chain.prepend(d.absolutePath());
    if (d.isRoot() || !d.cdUp()) break;
  }
  clear();
  QTreeWidgetItem* parentItem = nullptr;
  for (const QString& p : chain) {
    const QString name = QDir(p).isRoot() ? QDir::toNativeSeparators(p) : QFileInfo(p).fileName();
    auto* item = parentItem ? new QTreeWidgetItem(parentItem, {name}) : new QTreeWidgetItem(this, {name});
    item->setIcon(0, open);
    item->setData(0, kPathRole, QDir::toNativeSeparators(p));
    item->setExpanded(true);
    parentItem = item;
  }
  const QFileInfoList subs =
      QDir(clean).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& sub : subs) {
    auto* item = new QTreeWidgetItem(parentItem, {sub.fileName()});
    item->setIcon(0, closed);
    item->setData(0, kPathRole, QDir::toNativeSeparators(sub.absoluteFilePath()));
  }
  parentItem->setExpanded(true);
  setCurrentItem(parentItem);
  scrollToItem(parentItem);
  path_ = QDir::toNativeSeparators(clean);
  return true;
}

}  // namespace desktop
