// korima-send: KORIMA's download for terminals, scripts and schedulers.
#include "send/Sender.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

// Only writes a byte: the stop itself runs on the event loop.
void OnSignal(int) {
  const char c = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QFile out, err;
  out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
  err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);

  korima::send::Sender sender(app.arguments(), out, err, ::isatty(STDERR_FILENO) == 1);
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &sender, [&] {
      char buf[16];
      [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], buf, sizeof buf);
      sender.Interrupt();
    });
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
  }
  QObject::connect(&sender, &korima::send::Sender::Finished, &app, [](int code) { QCoreApplication::exit(code); },
                   Qt::QueuedConnection);
  if (auto code = sender.Start()) return *code;
  return app.exec();
}
