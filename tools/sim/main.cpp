// korima-terminal-sim: a terminal in its cradle, on loopback, for people and tests.
#include "sim/TerminalSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <csignal>

using korima::sim::SimOptions;
using korima::sim::TerminalSimulator;

namespace {

bool ParseLineCount(const QString& text, QMap<int, int>& into) {
  const QStringList parts = text.split(u':');
  bool ok1 = false, ok2 = true;
  const int line = parts.value(0).toInt(&ok1);
  const int count = parts.size() > 1 ? parts[1].toInt(&ok2) : 1;
  if (!ok1 || !ok2 || line < 1 || count < 0) return false;
  into[line] = count;
  return true;
}

// "END" or a line number.
bool ParseWhere(const QString& text, int& line, bool& atEnd) {
  if (text.compare(QStringLiteral("END"), Qt::CaseInsensitive) == 0) return atEnd = true;
  bool ok = false;
  line = text.toInt(&ok);
  return ok && line >= 1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser p;
  p.setApplicationDescription(QStringLiteral(
      "Answers like a handheld terminal in its cradle, on loopback. Lines are counted as the "
      "terminal receives them, from 1."));
  p.addHelpOption();
  p.addOptions({
      {"host", "Loopback address to listen on.", "addr", "127.0.0.1"},
      {"port", "UDP port to listen on.", "port", "6001"},
      {"out", "File that receives the stored lines (CP932, CR LF).", "file"},
      {"nak", "NAK line L n times before taking it (repeatable).", "L:n"},
      {"silent", "Stay silent n times at line L (repeatable).", "L:n"},
      {"bel", "Answer BEL at line L or at END.", "L|END"},
      {"ful", "Answer FUL at line L or at END.", "L|END"},
      {"nak-end", "NAK the END command n times.", "n", "0"},
      {"silent-end", "Ignore the END command n times.", "n", "0"},
      {"silent-master", "Ignore MASTER n times.", "n", "0"},
      {"drop", "Lose this share (0..1) of incoming datagrams.", "share", "0"},
      {"seed", "Seed for --drop.", "n", "1"},
      {"delay", "Delay every reply by this many milliseconds.", "ms", "0"},
      {"crlf", "End replies with CR LF instead of CR."},
      {"once", "Exit after the first acknowledged END."},
  });
  p.process(app);

  SimOptions o;
  o.address = QHostAddress(p.value("host"));
  o.port = quint16(p.value("port").toUInt());
  o.outPath = p.value("out");
  o.terminator = p.isSet("crlf") ? QByteArray("\r\n") : QByteArray("\r");
  bool ok = true;
  for (const QString& s : p.values("nak")) ok &= ParseLineCount(s, o.nakAt);
  for (const QString& s : p.values("silent")) ok &= ParseLineCount(s, o.silentAt);
  if (p.isSet("bel")) ok &= ParseWhere(p.value("bel"), o.belAt, o.belAtEnd);
  if (p.isSet("ful")) ok &= ParseWhere(p.value("ful"), o.fulAt, o.fulAtEnd);
  o.nakEnd = p.value("nak-end").toInt();
  o.silentEnd = p.value("silent-end").toInt();
  o.silentMaster = p.value("silent-master").toInt();
  o.dropShare = p.value("drop").toDouble();
  o.seed = p.value("seed").toUInt();
  o.delayMs = p.value("delay").toInt();
  QTextStream err(stderr), out(stdout);
  if (!ok) {
    err << "korima-terminal-sim: bad option value\n";
    return 2;
  }

  TerminalSimulator sim(o);
  if (!sim.Start()) {
    err << "korima-terminal-sim: " << sim.ErrorText() << "\n";
    return 1;
  }
  out << "listening on " << o.address.toString() << ":" << sim.Port() << Qt::endl;
  const bool once = p.isSet("once");
  QObject::connect(&sim, &TerminalSimulator::Completed, &app, [&] {
    out << "END acknowledged: " << sim.Summary() << Qt::endl;
    if (once) app.quit();
  });
  std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
  std::signal(SIGINT, [](int) { QCoreApplication::quit(); });
  const int rc = app.exec();
  out << "summary: " << sim.Summary() << Qt::endl;
  return rc;
}
