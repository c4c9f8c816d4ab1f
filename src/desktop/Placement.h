#pragma once
// Where a dialog goes when it centres itself over the main window: the
// outer frames are used, the sums are done in floating point, and the result
// is not clamped to the screen.
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace desktop {

QPoint CenteredOver(const QRect& mainFrame, const QSize& ownFrame);
void CenterOver(QWidget* window, const QWidget* mainWindow);
// Centres now and once more when the window is first exposed: only then has
// the window manager framed it, and the sums want the outer frames.
void CenterOverWhenShown(QWidget* window, const QWidget* mainWindow);
// Dialogs are ownerless windows that stay out of the taskbar.
void MakeFixedDialog(QWidget* window, const QWidget* mainWindow);
void MakeFixedMainWindow(QWidget* window);

}  // namespace desktop
