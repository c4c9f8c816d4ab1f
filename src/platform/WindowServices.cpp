#include "WindowServices.h"

#include "Charset.h"
#include "Dialogs.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
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

bool UseJapaneseQtTranslation() {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace platform
