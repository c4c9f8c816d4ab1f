// korima-terminal-sim: a terminal in its cradle, on loopback, for people and tests.
#include "sim/TerminalSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <climits>
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

// A whole number within [min, max], or a complaint that names the option.
bool ParseNumber(const QCommandLineParser& p, const QString& name, qint64 min, qint64 max, qint64& value,
                 QTextStream& err) {
  bool ok = false;
  value = p.value(name).toLongLong(&ok);
  if (ok && value >= min && value <= max) return true;
  err << "korima-terminal-sim: bad value for --" << name << ": \"" << p.value(name) << "\" (expected a whole number "
      << min << ".." << max << ")\n";
  return false;
}

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser p;
  p.setApplicationDescription(QStringLiteral(
      "Answers like a handheld terminal in its cradle, on loopback. Lines are counted as the "
      "terminal receives them, from 1. Accepted lines go to --out as they arrive; a MASTER after "
      "an END starts a new download and a new output file."));
  p.addHelpOption();
  p.addOptions({
      {"host", "Loopback address to listen on (default: 127.0.0.1).", "addr", "127.0.0.1"},
      {"port", "UDP port to listen on (default: 6001).", "port", "6001"},
      {"out", "File that receives the stored lines, CP932 with CR LF (default: none).", "file"},
      {"nak", "NAK line L n times before taking it (repeatable; default: never).", "L:n"},
      {"silent", "Stay silent n times at line L (repeatable; default: never).", "L:n"},
      {"bel", "Answer BEL at line L or at END (default: never).", "L|END"},
      {"ful", "Answer FUL at line L or at END (default: never).", "L|END"},
      {"nak-end", "NAK the END command n times (default: 0).", "n", "0"},
      {"silent-end", "Ignore the END command n times (default: 0).", "n", "0"},
      {"silent-master", "Ignore MASTER n times (default: 0).", "n", "0"},
      {"drop", "Lose this share (0..1) of incoming datagrams (default: 0).", "share", "0"},
      {"seed", "Seed for --drop (default: 1).", "n", "1"},
      {"delay", "Delay every reply by this many milliseconds (default: 0).", "ms", "0"},
      {"crlf", "End replies with CR LF instead of CR."},
      {"once", "Exit after the first acknowledged END."},
  });
  p.process(app);
  QTextStream err(stderr), out(stdout);

  SimOptions o;
  o.address = QHostAddress(p.value("host"));
  o.outPath = p.value("out");
  o.terminator = p.isSet("crlf") ? QByteArray("\r\n") : QByteArray("\r");
  auto bad = [&](const char* name, const QString& value, const char* expected) {
    err << "korima-terminal-sim: bad value for --" << name << ": \"" << value << "\" (expected " << expected << ")\n";
    return 2;
  };
  if (o.address.isNull()) return bad("host", p.value("host"), "a loopback address");
  for (const QString& s : p.values("nak"))
    if (!ParseLineCount(s, o.nakAt)) return bad("nak", s, "L:n");
  for (const QString& s : p.values("silent"))
    if (!ParseLineCount(s, o.silentAt)) return bad("silent", s, "L:n");
  if (p.isSet("bel") && !ParseWhere(p.value("bel"), o.belAt, o.belAtEnd)) return bad("bel", p.value("bel"), "a line number or END");
  if (p.isSet("ful") && !ParseWhere(p.value("ful"), o.fulAt, o.fulAtEnd)) return bad("ful", p.value("ful"), "a line number or END");
  qint64 port = 0, nakEnd = 0, silentEnd = 0, silentMaster = 0, seed = 0, delay = 0;
  if (!ParseNumber(p, "port", 0, 65535, port, err) || !ParseNumber(p, "nak-end", 0, INT_MAX, nakEnd, err) ||
      !ParseNumber(p, "silent-end", 0, INT_MAX, silentEnd, err) ||
      !ParseNumber(p, "silent-master", 0, INT_MAX, silentMaster, err) ||
      !ParseNumber(p, "seed", 0, UINT_MAX, seed, err) || !ParseNumber(p, "delay", 0, INT_MAX, delay, err))
    return 2;
  bool ok = false;
  o.dropShare = p.value("drop").toDouble(&ok);
  if (!ok || o.dropShare < 0 || o.dropShare > 1) return bad("drop", p.value("drop"), "a share from 0 to 1");
  o.port = quint16(port);
  o.nakEnd = int(nakEnd);
  o.silentEnd = int(silentEnd);
  o.silentMaster = int(silentMaster);
  o.seed = quint32(seed);
  o.delayMs = int(delay);

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
