#include "Placement.h"

#include <QWidget>
#include <QWindow>

namespace platform {

QPoint CenteredOver(const QRect& mainFrame, const QSize& ownFrame) {
  const double left = mainFrame.x() + (double(mainFrame.width()) - ownFrame.width()) / 2.0;
  const double top = mainFrame.y() + (double(mainFrame.height()) - ownFrame.height()) / 2.0;
  return QPoint(qRound(left), qRound(top));
}

void CenterOver(QWidget* window, const QWidget* mainWindow) {
  window->move(CenteredOver(mainWindow->frameGeometry(), window->frameGeometry().size()));
}

void MakeFixedDialog(QWidget* window, const QWidget* mainWindow) {
  window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  window->setFixedSize(window->size());
  // An owner at the window-system level only, so the dialog keeps out of the
  // taskbar while the main window's enabled state stays apart from it.
  window->winId();
  if (mainWindow && mainWindow->windowHandle() && window->windowHandle())
    window->windowHandle()->setTransientParent(mainWindow->windowHandle());
}

void MakeFixedMainWindow(QWidget* window) {
  window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  window->setFixedSize(window->size());
}

}  // namespace platform
