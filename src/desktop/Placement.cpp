#include "Placement.h"

#include <QEvent>
#include <QPointer>
#include <QWindow>
#include <QWidget>
#include <QWindow>

namespace desktop {

QPoint CenteredOver(const QRect& mainFrame, const QSize& ownFrame) {
  const double left = mainFrame.x() + (double(mainFrame.width()) - ownFrame.width()) / 2.0;
  const double top = mainFrame.y() + (double(mainFrame.height()) - ownFrame.height()) / 2.0;
  return QPoint(qRound(left), qRound(top));
}

void CenterOver(QWidget* window, const QWidget* mainWindow) {
  window->move(CenteredOver(mainWindow->frameGeometry(), window->frameGeometry().size()));
}

namespace {
// Watches the dialog's native window: its first expose comes after the window
// manager has framed it, so only then do the sums see the real frame.
class CentreOnExpose : public QObject {
 public:
  CentreOnExpose(QWidget* window, const QWidget* mainWindow)
      : QObject(window), window_(window), main_(mainWindow) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Expose && window_->isVisible()) {
      if (main_) CenterOver(window_, main_);
      watched->removeEventFilter(this);
      deleteLater();
    }
    return false;
  }

 private:
  QWidget* window_;
  QPointer<const QWidget> main_;
};
}  // namespace

void CenterOverWhenShown(QWidget* window, const QWidget* mainWindow) {
  CenterOver(window, mainWindow);
  if (window->isVisible() || !window->windowHandle()) return;
  window->windowHandle()->installEventFilter(new CentreOnExpose(window, mainWindow));
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

}  // namespace desktop
