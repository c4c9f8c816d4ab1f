#include "Dialogs.h"

#include "Charset.h"
#include "Version.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

namespace platform {
namespace {
std::function<void(const MsgBoxCall&)> g_msgBoxHandler;
std::function<void()> g_beepHandler;
int g_mousePointer = vbDefault;
}  // namespace

void MsgBox(const QString& prompt, int style, const QString& title) {
  MsgBoxCall call{prompt, style, title.isEmpty() ? AppVersion().Title : title};
  if (g_msgBoxHandler) {
    g_msgBoxHandler(call);
    return;
  }
  QMessageBox box(style & vbCritical ? QMessageBox::Critical : QMessageBox::NoIcon, call.title,
                  call.prompt, QMessageBox::Ok);
  ApplyJapaneseCharset(&box);
  box.exec();
}

void SetMsgBoxHandler(std::function<void(const MsgBoxCall&)> handler) {
  g_msgBoxHandler = std::move(handler);
}

void Beep() {
  if (g_beepHandler) return g_beepHandler();
  QApplication::beep();
}

void SetBeepHandler(std::function<void()> handler) { g_beepHandler = std::move(handler); }

void SetMousePointer(int shape) {
  if (shape == g_mousePointer) return;
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    if (g_mousePointer == vbHourglass) QGuiApplication::restoreOverrideCursor();
    if (shape == vbHourglass) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  }
  g_mousePointer = shape;
}

int MousePointer() { return g_mousePointer; }

void DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace platform
