// korima-shots: renders each of the four windows to PNG, as the program shows
// them, with a settings file in a scratch folder. Used by scripts/screenshots.sh.
#include "about/frmAbout.h"
#include "app/frmMain.h"
#include "link/Wording.h"
#include "config/frmFolder.h"
#include "config/frmSetting.h"
#include "desktop/Charset.h"
#include "platform/Cp932.h"
#include "platform/Process.h"
#include "ui_frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setFont(desktop::DefaultWindowFont());
  // Absolute now: start-up makes the working folder the current directory.
  const QString outDir = QDir(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(".")).absolutePath();
  const QString dataDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
  QTemporaryDir scratch;
  platform::SetExePathForTest(scratch.filePath("Korima"));
  QFile ini(scratch.filePath("Korima.ini"));
  if (!ini.open(QIODevice::WriteOnly)) return 1;
  ini.write("\"" + platform::ToCp932(QDir(dataDir).absolutePath()) + "\",\"6000\",\"127.0.0.1\",\"6001\",0,0\r\n");
  ini.close();

  korima::app::frmMain w;
  w.Form_Load();
  w.move(40, 40);
  w.show();
  w.Form().File1->setCurrentRow(0);
  w.Status().Replace(korima::link::wording::Waiting());
  w.Status().AddLine(korima::link::wording::Opened(w.Form().File1->Path() + "/" + w.Form().File1->FileName()));
  auto save = [&](QWidget* win, const QString& name) {
    QApplication::processEvents();
    win->grab().save(outDir + "/" + name + ".png");
  };
  QTimer::singleShot(300, [&] {
    save(&w, "frmMain");
    w.ShowState(korima::app::frmMain::CommState::Communicating);
    w.SetProgressMax(100);
    w.SetProgressValue(40);
    w.Form().Progbar->setVisible(true);
    save(&w, "frmMain-communicating");
    w.Form().Progbar->setVisible(false);
    w.ShowState(korima::app::frmMain::CommState::Idle);
    w.cmdSetting_Click();
    save(w.SettingDialog(), "frmSetting");
    w.SettingDialog()->cmdFolderRef_Click();
    save(w.SettingDialog()->Picker(), "frmFolder");
    w.SettingDialog()->Picker()->close();
    w.SettingDialog()->close();
    w.cmdInfo_Click();
    save(w.AboutBox(), "frmAbout");
    w.AboutBox()->close();
    QApplication::exit(0);
  });
  return app.exec();
}
