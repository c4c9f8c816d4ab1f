// korima-terminal-sim: terminals in their cradles, on loopback, for people and tests.
#include "platform/Numbers.h"
#include "platform/Process.h"
#include "sim/TerminalSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <climits>
#include <memory>
#include <vector>

using korima::sim::SimOptions;
using korima::sim::TerminalSimulator;

namespace {

QTextStream err(stderr), out(stdout);

// A fault value may end in "@C": it is then for cradle C only.
struct Value {
  QString text;
  int cradle = 0;  // 0: every cradle
};

bool SplitCradle(const QString& raw, Value& v) {
  const qsizetype at = raw.lastIndexOf(u'@');
  v.text = at < 0 ? raw : raw.left(at);
  if (at < 0) return true;
  const auto c = platform::ParseInteger(raw.mid(at + 1), 1, INT_MAX);
  v.cradle = int(c.value_or(0));
  return c.has_value();
}

bool ParseLineCount(const QString& text, QMap<int, int>& into) {
  const QStringList parts = text.split(u':');
  const auto line = platform::ParseInteger(parts.value(0), 1, INT_MAX);
  const auto count = parts.size() > 1 ? platform::ParseInteger(parts[1], 0, INT_MAX) : std::optional<qint64>(1);
  if (!line || !count || parts.size() > 2) return false;
  into[int(*line)] = int(*count);
  return true;
}

// "END" or a line number.
bool ParseWhere(const QString& text, int& line, bool& atEnd) {
  if (text.compare(QStringLiteral("END"), Qt::CaseInsensitive) == 0) return atEnd = true;
  const auto v = platform::ParseInteger(text, 1, INT_MAX);
  line = int(v.value_or(0));
  return v.has_value();
}

bool ParseCount(const QString& text, int& value) {
  const auto v = platform::ParseInteger(text, 0, INT_MAX);
  value = int(v.value_or(0));
  return v.has_value();
}

int Bad(const QString& name, const QString& value, const char* expected) {
  err << "korima-terminal-sim: bad value for --" << name << ": \"" << value << "\" (expected " << expected << ")\n";
  return 2;
}

// A whole number within [min, max], or a complaint that names the option.
bool ParseNumber(const QCommandLineParser& p, const QString& name, qint64 min, qint64 max, qint64& value) {
  const auto v = platform::ParseInteger(p.value(name), min, max);
  value = v.value_or(0);
  if (v) return true;
  err << "korima-terminal-sim: bad value for --" << name << ": \"" << p.value(name) << "\" (expected a whole number "
      << min << ".." << max << ")\n";
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser p;
  p.setApplicationDescription(QStringLiteral(
      "Answers like handheld terminals in their cradles, on loopback. Lines are counted as the "
      "terminal receives them, from 1. Accepted lines go to --out as they arrive; a MASTER after "
      "an END starts a new download and a new output file. A fault value ending in @C is for "
      "cradle C only (for example --bel 3@2); without it, for every cradle. "
      "The Japanese documentation of KORIMA is README.ja.md, and man korima under a Japanese locale."));
  p.addHelpOption();
  p.addOptions({
      {"host", "Loopback address to listen on (default: 127.0.0.1; with --cradles, 127.0.0.2).", "addr"},
      {"port", "UDP port to listen on (default: 6001).", "port", "6001"},
      {"cradles", "Stand for N cradles, each on the next loopback address and the same port (default: 1).", "N", "1"},
      {"out", "File that receives the stored lines, CP932 with CR LF; with --cradles, %n in it is the "
              "cradle's number (default: none).", "file"},
      {"nak", "NAK line L n times before taking it (repeatable; default: never).", "L:n[@C]"},
      {"silent", "Stay silent n times at line L (repeatable; default: never).", "L:n[@C]"},
      {"bel", "Answer BEL at line L or at END (default: never).", "L|END[@C]"},
      {"ful", "Answer FUL at line L or at END (default: never).", "L|END[@C]"},
      {"nak-end", "NAK the END command n times (default: 0).", "n[@C]"},
      {"silent-end", "Ignore the END command n times (default: 0).", "n[@C]"},
      {"silent-master", "Ignore MASTER n times (default: 0).", "n[@C]"},
      {"drop", "Lose this share (0..1) of incoming datagrams (default: 0).", "share", "0"},
      {"seed", "Seed for --drop (default: 1).", "n", "1"},
      {"delay", "Delay every reply by this many milliseconds (default: 0).", "ms", "0"},
      {"crlf", "End replies with CR LF instead of CR."},
      {"once", "Exit after every cradle has acknowledged an END."},
  });
  p.process(app);

  qint64 cradles = 1, port = 0, seed = 0, delay = 0;
  if (!ParseNumber(p, "cradles", 1, 200, cradles) || !ParseNumber(p, "port", 0, 65535, port) ||
      !ParseNumber(p, "seed", 0, UINT_MAX, seed) || !ParseNumber(p, "delay", 0, INT_MAX, delay))
    return 2;
  const QString hostText = p.isSet("host") ? p.value("host") : cradles > 1 ? "127.0.0.2" : "127.0.0.1";
  const QHostAddress first(hostText);
  if (first.isNull() || first.protocol() != QAbstractSocket::IPv4Protocol || !first.isLoopback())
    return Bad("host", hostText, "a loopback IPv4 address");
  const QString outPattern = p.value("out");
  if (cradles > 1 && !outPattern.isEmpty() && !outPattern.contains(QStringLiteral("%n")))
    return Bad("out", outPattern, "a file name with %n in it, for the cradle's number");

  std::vector<SimOptions> options(static_cast<size_t>(cradles));
  std::vector<QHostAddress> addresses;
  for (qint64 i = 0; i < cradles; ++i) {
    SimOptions& o = options[size_t(i)];
    addresses.emplace_back(first.toIPv4Address() + quint32(i));
    if (!addresses.back().isLoopback()) return Bad("cradles", QString::number(cradles), "cradles that stay on 127.0.0.0/8");
    o.outPath = QString(outPattern).replace(QStringLiteral("%n"), QString::number(i + 1));
    o.terminator = p.isSet("crlf") ? QByteArray("\r\n") : QByteArray("\r");
    o.seed = quint32(seed) + quint32(i);
    bool ok = false;
    o.dropShare = p.value("drop").toDouble(&ok);
    if (!ok || o.dropShare < 0 || o.dropShare > 1) return Bad("drop", p.value("drop"), "a share from 0 to 1");
  }
  // Each fault goes to its cradle, or to all of them.
  auto each = [&](const QString& name, const char* expected, auto apply) -> int {
    for (const QString& raw : p.values(name)) {
      Value v;
      if (!SplitCradle(raw, v) || v.cradle > cradles) return Bad(name, raw, expected);
      for (qint64 i = 0; i < cradles; ++i)
        if ((v.cradle == 0 || v.cradle == i + 1) && !apply(options[size_t(i)], v.text)) return Bad(name, raw, expected);
    }
    return 0;
  };
  if (int rc = each("nak", "L:n", [](SimOptions& o, const QString& t) { return ParseLineCount(t, o.nakAt); })) return rc;
  if (int rc = each("silent", "L:n", [](SimOptions& o, const QString& t) { return ParseLineCount(t, o.silentAt); })) return rc;
  if (int rc = each("bel", "a line number or END", [](SimOptions& o, const QString& t) { return ParseWhere(t, o.belAt, o.belAtEnd); })) return rc;
  if (int rc = each("ful", "a line number or END", [](SimOptions& o, const QString& t) { return ParseWhere(t, o.fulAt, o.fulAtEnd); })) return rc;
  if (int rc = each("nak-end", "a whole number", [](SimOptions& o, const QString& t) { return ParseCount(t, o.nakEnd); })) return rc;
  if (int rc = each("silent-end", "a whole number", [](SimOptions& o, const QString& t) { return ParseCount(t, o.silentEnd); })) return rc;
  if (int rc = each("silent-master", "a whole number", [](SimOptions& o, const QString& t) { return ParseCount(t, o.silentMaster); })) return rc;

  std::vector<std::unique_ptr<TerminalSimulator>> sims;
  for (size_t i = 0; i < options.size(); ++i) {
    sims.push_back(std::make_unique<TerminalSimulator>(options[i], addresses[i], quint16(port), int(delay)));
    if (!sims.back()->Start()) {
      err << "korima-terminal-sim: " << addresses[i].toString() << ": " << sims.back()->ErrorText() << "\n";
      return 1;
    }
  }
  for (const auto& sim : sims)
    out << "listening on " << sim->Address().toString() << ":" << sim->Port() << Qt::endl;
  const bool once = p.isSet("once");
  int completedCradles = 0;
  QList<bool> completed(int(sims.size()), false);
  for (int i = 0; i < int(sims.size()); ++i)
    QObject::connect(&sims[size_t(i)]->Cradle(), &korima::sim::Terminal::Completed, &app, [&, i] {
      const QString who = sims.size() > 1 ? QStringLiteral("cradle %1: ").arg(i + 1) : QString();
      out << who << "END acknowledged: " << sims[size_t(i)]->Cradle().Summary() << Qt::endl;
      if (!std::exchange(completed[i], true)) ++completedCradles;
      if (once && completedCradles == int(sims.size())) app.quit();
    });
  // Ends through the event loop, so that the summary below is printed.
  platform::OnStopSignal([] { QCoreApplication::quit(); });
  const int rc = app.exec();
  for (size_t i = 0; i < sims.size(); ++i)
    out << (sims.size() > 1 ? QStringLiteral("cradle %1 ").arg(i + 1) : QString()) << "summary: " << sims[i]->Cradle().Summary()
        << Qt::endl;
  return rc;
}
