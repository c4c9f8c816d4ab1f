#include "Placement.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
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

namespace {
class CentreOnShow : public QObject {
 public:
  CentreOnShow(QWidget* window, const QWidget* mainWindow) : QObject(window), main_(mainWindow) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    auto* window = static_cast<QWidget*>(watched);
    window->removeEventFilter(this);
    // Once as it is shown, and once when the window system has told its frame.
    if (main_) CenterOver(window, main_);
    QTimer::singleShot(0, window, [window, main = main_] {
      if (main) CenterOver(window, main);
    });
    deleteLater();
    return false;
  }

 private:
  QPointer<const QWidget> main_;
};
}  // namespace

void CenterOverWhenShown(QWidget* window, const QWidget* mainWindow) {
  CenterOver(window, mainWindow);
  if (window->isVisible()) return;
  auto* filter = new CentreOnShow(window, mainWindow);
  window->installEventFilter(filter);
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
