#include "app/frmMain.h"
#include "desktop/Charset.h"
#include "platform/Version.h"
#include "desktop/WindowServices.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  desktop::UseWindowServices();
  desktop::UseJapaneseQtTranslation();
  // The desktop entry's id, so that the desktop matches the window to its menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.korima.Korima"));
  QApplication::setApplicationName(platform::AppVersion().Title);
  QApplication::setFont(desktop::DefaultWindowFont());
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/frmMain.png")));
  QApplication::setQuitOnLastWindowClosed(false);  // the main window's unload ends the program

  korima::app::frmMain window;
  window.Form_Load();
  window.show();
  return app.exec();
}
