// korima-send: KORIMA's download for terminals, scripts and schedulers.
#include "platform/Process.h"
#include "send/Sender.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

int main(int argc, char** argv) {
  // Only the program's own lines reach the user: Qt's warnings are not among them.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  });
  QCoreApplication app(argc, argv);
  // The program's own messages in the user's language where there is a
  // translation (Japanese); the transfer's status texts are Japanese anyway.
  QTranslator translator;
  if (translator.load(QLocale(), QStringLiteral("korima-send"), QStringLiteral("_"), QStringLiteral(":/i18n")))
    QCoreApplication::installTranslator(&translator);
  // Qt's own texts (the option parser's errors) in the same language, where
  // Qt's translations are installed: a message is never half English.
  QTranslator qtTranslator;
  if (qtTranslator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&qtTranslator);
  // The descriptors themselves, unbuffered: each JSON object and status line
  // reaches a pipe as it is written, not when the program ends.
  QFile out, err;
  out.open(1, QIODevice::WriteOnly | QIODevice::Unbuffered);
  err.open(2, QIODevice::WriteOnly | QIODevice::Unbuffered);

  korima::send::Sender sender(app.arguments(), out, err, platform::StandardErrorIsTerminal());
  platform::OnStopSignal([&sender] { sender.Interrupt(); });
  QObject::connect(&sender, &korima::send::Sender::Finished, &app, [](int code) { QCoreApplication::exit(code); },
                   Qt::QueuedConnection);
  if (auto code = sender.Start()) platform::EndProgram(*code);
  // Ended without waiting for a host lookup that may still hang in its thread.
  platform::EndProgram(app.exec());
}
