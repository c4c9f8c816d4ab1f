#include "WindowServices.h"

#include "Charset.h"
#include "Dialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

void UseWindowServices() {
  DialogBackend b;
  b.msgBox = [](const MsgBoxCall& call) {
    QMessageBox box(call.style & vbCritical ? QMessageBox::Critical : QMessageBox::NoIcon, call.title,
                    call.prompt, QMessageBox::Ok);
    ApplyJapaneseCharset(&box);
    box.exec();
  };
  b.beep = [] { QApplication::beep(); };
  b.pointer = [](int oldShape, int newShape) {
    if (oldShape == vbHourglass) QGuiApplication::restoreOverrideCursor();
    if (newShape == vbHourglass) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  };
  SetDialogBackend(std::move(b));
}

}  // namespace platform
