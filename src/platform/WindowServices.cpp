#include "WindowServices.h"

#include "Charset.h"
#include "Dialogs.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

void UseWindowServices() {
  DialogBackend b;
  b.msgBox = [](const MsgBoxCall& call) {
    const QMessageBox::Icon icon = call.style & vbCritical   ? QMessageBox::Critical
                                   : call.style & vbQuestion ? QMessageBox::Question
                                                             : QMessageBox::NoIcon;
    QMessageBox box(icon, call.title, call.prompt, QMessageBox::Ok);
    if ((call.style & 7) == vbYesNoCancel) {
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      // The window's own spellings, whatever Qt's translation says.
      box.button(QMessageBox::Yes)->setText(QStringLiteral("はい"));
      box.button(QMessageBox::No)->setText(QStringLiteral("いいえ"));
      box.button(QMessageBox::Cancel)->setText(QStringLiteral("ｷｬﾝｾﾙ"));
      box.setDefaultButton(QMessageBox::Yes);
      box.setEscapeButton(QMessageBox::Cancel);
    }
    ApplyJapaneseCharset(&box);
    switch (box.exec()) {
      case QMessageBox::Yes: return int(vbYes);
      case QMessageBox::No: return int(vbNo);
      case QMessageBox::Cancel: return int(vbCancel);
      default: return int(vbOK);
    }
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
