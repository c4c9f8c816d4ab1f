#include "WindowServices.h"

#include "Charset.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QMessageBox>
#include <QPushButton>

namespace desktop {

void UseWindowServices() {
  platform::DialogBackend b;
  b.msgBox = [](const platform::MsgBoxCall& call) {
    const QMessageBox::Icon icon = call.style & platform::vbCritical   ? QMessageBox::Critical
                                   : call.style & platform::vbQuestion ? QMessageBox::Question
                                                             : QMessageBox::NoIcon;
    QMessageBox box(icon, call.title, call.prompt, QMessageBox::Ok);
    const int buttons = call.style & 7;
    if (buttons == platform::vbYesNoCancel || buttons == platform::vbYesNo) {
      const bool cancel = buttons == platform::vbYesNoCancel;
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | (cancel ? QMessageBox::Cancel : QMessageBox::NoButton));
      // The window's own spellings, whatever Qt's translation says.
      box.button(QMessageBox::Yes)->setText(QStringLiteral("はい"));
      box.button(QMessageBox::No)->setText(QStringLiteral("いいえ"));
      if (cancel) box.button(QMessageBox::Cancel)->setText(QStringLiteral("ｷｬﾝｾﾙ"));
      box.setDefaultButton(call.style & platform::vbDefaultButton2 ? QMessageBox::No : QMessageBox::Yes);
      box.setEscapeButton(cancel ? QMessageBox::Cancel : QMessageBox::No);
    }
    ApplyJapaneseCharset(&box);
    switch (box.exec()) {
      case QMessageBox::Yes: return int(platform::vbYes);
      case QMessageBox::No: return int(platform::vbNo);
      case QMessageBox::Cancel: return int(platform::vbCancel);
      default: return int(platform::vbOK);
    }
  };
  b.beep = [] { QApplication::beep(); };

  platform::SetDialogBackend(std::move(b));
}

bool UseJapaneseQtTranslation() {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace desktop
