// korima-send: KORIMA's download for terminals, scripts and schedulers.
#include "platform/Process.h"
#include "send/Sender.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QFile out, err;
  out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
  err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);

  korima::send::Sender sender(app.arguments(), out, err, platform::StandardErrorIsTerminal());
  platform::OnStopSignal([&sender] { sender.Interrupt(); });
  QObject::connect(&sender, &korima::send::Sender::Finished, &app, [](int code) { QCoreApplication::exit(code); },
                   Qt::QueuedConnection);
  if (auto code = sender.Start()) return *code;
  return app.exec();
}
