#include "Options.h"

#include "Text.h"
#include "Usage.h"
#include "platform/Numbers.h"
#include "platform/Version.h"

#include <QCommandLineParser>

namespace korima::send {

ParsedArguments ParseArguments(const QStringList& arguments) {
  ParsedArguments parsed;
  auto usage = [&parsed](const QString& why) {
    parsed.error = kProgram + QStringLiteral(": ") + why + Text::tr(" (see korima-send --help)");
    return parsed;
  };
  SendOptions o;
  // --repeat takes an optional value, which the parser has no form for.
  QStringList args;
  for (const QString& a : arguments) {
    if (a == QLatin1String("--repeat")) {
      o.repeat = true;
    } else if (a.startsWith(QLatin1String("--repeat="))) {
      o.repeat = true;
      const auto count = platform::ParseInteger(a.mid(9), 1, 1000000000);
      if (!count) return usage(Text::tr("bad value for --repeat: \"%1\" (a number of terminals, 1 or more)").arg(a.mid(9)));
      o.repeatCount = *count;
    } else {
      args << a;
    }
  }
  QCommandLineParser p;
  p.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
  const QCommandLineOption help({"h", "help"}, ""), version("version", ""), host("host", "", "HOST"),
      hostsFile("hosts", "", "FILE"), port("port", "", "N"), localPort("local-port", "", "N"), title("title-line", ""),
      noTitle("no-title-line", ""), settings("settings", "", "FILE"), encoding("encoding", "", "ENC", "auto"),
      timeout("connect-timeout", "", "S", "0"), progress("progress", "", "MODE", "auto"), quiet({"q", "quiet"}, ""),
      json("json", ""), keepGoing("keep-going", ""), log("log", "", "FILE"), checkHosts("check-hosts", "", "FILE"),
      history("history", "", "FILE"), since("since", "", "DATE");
  p.addOptions({help, version, host, hostsFile, port, localPort, title, noTitle, settings, encoding, timeout, progress,
                quiet, json, keepGoing, log, checkHosts, history, since});
  if (!p.parse(args)) return usage(Text::tr("bad option: %1").arg(p.errorText()));
  if (p.isSet(help)) {
    parsed.print = UsageText();
    return parsed;
  }
  if (p.isSet(version)) {
    const auto& v = platform::AppVersion();
    parsed.print = QStringLiteral("korima-send %1.%2.%3\n").arg(v.Major).arg(v.Minor).arg(v.Revision);
    return parsed;
  }
  auto fileOf = [&](const QCommandLineOption& option, const QString& name, QString& into) {
    if (!p.isSet(option)) return true;
    into = p.value(option);
    return !into.isEmpty() || (usage(Text::tr("%1 needs a file name").arg(name)), false);
  };
  if (!fileOf(checkHosts, "--check-hosts", o.checkHosts) || !fileOf(history, "--history", o.history) ||
      !fileOf(hostsFile, "--hosts", o.hostsFile) || !fileOf(log, "--log", o.logFile))
    return parsed;
  if (p.isSet(since)) {
    o.since = QDate::fromString(p.value(since), Qt::ISODate);
    if (!o.since->isValid()) return usage(Text::tr("bad value for --since: \"%1\" (a date, YYYY-MM-DD)").arg(p.value(since)));
    if (o.history.isEmpty()) return usage(Text::tr("--since goes with --history"));
  }
  o.files = p.positionalArguments();
  o.quiet = p.isSet(quiet);
  o.json = p.isSet(json);
  // --check-hosts checks the other options as a run would read them: a
  // service's options are checked with its hosts file.
  const bool noFiles = !o.checkHosts.isEmpty() || !o.history.isEmpty();
  if (noFiles && !o.files.isEmpty()) return usage(Text::tr("no FILE goes with --check-hosts or --history"));
  if (!noFiles && o.files.isEmpty()) return usage(Text::tr("no FILE given"));
  for (const QString& f : o.files)
    if (f.isEmpty()) return usage(Text::tr("an empty FILE name"));
  for (const QString& h : p.values(host)) {
    if (h.trimmed().isEmpty()) return usage(Text::tr("--host needs a host name or address"));
    o.hosts << h.trimmed();
  }
  if (p.isSet(port)) {
    o.port = p.value(port).trimmed();
    if (!platform::ParseInteger(*o.port, 1, 65535)) return usage(Text::tr("bad value for --port: \"%1\" (1..65535)").arg(*o.port));
  }
  if (p.isSet(localPort)) {
    o.localPort = p.value(localPort).trimmed();
    if (!platform::ParseInteger(*o.localPort, 0, 65535))
      return usage(Text::tr("bad value for --local-port: \"%1\" (0..65535)").arg(*o.localPort));
  }
  if (p.isSet(title) && p.isSet(noTitle)) return usage(Text::tr("--title-line and --no-title-line exclude each other"));
  if (p.isSet(title)) o.titleLine = 1;
  if (p.isSet(noTitle)) o.titleLine = 0;
  if (p.isSet(settings)) {
    o.settingsFile = p.value(settings);
    if (o.settingsFile->isEmpty()) return usage(Text::tr("--settings needs a file name"));
  }
  const QString enc = p.value(encoding).toLower();
  if (enc == "auto") o.encoding = EncodingChoice::Auto;
  else if (enc == "utf-8" || enc == "utf8") o.encoding = EncodingChoice::Utf8;
  else if (enc == "cp932" || enc == "shift_jis" || enc == "sjis") o.encoding = EncodingChoice::AsIs;
  else return usage(Text::tr("bad value for --encoding: \"%1\" (auto, cp932 or utf-8)").arg(p.value(encoding)));
  bool ok = false;
  o.connectTimeout = p.value(timeout).toDouble(&ok);
  if (!ok || !(o.connectTimeout >= 0) || o.connectTimeout > 1e7)
    return usage(Text::tr("bad value for --connect-timeout: \"%1\" (seconds, 0 for none)").arg(p.value(timeout)));
  const QString mode = p.value(progress);
  if (mode == "auto") o.progress = ProgressMode::Auto;
  else if (mode == "bar") o.progress = ProgressMode::Bar;
  else if (mode == "lines") o.progress = ProgressMode::Lines;
  else if (mode == "none") o.progress = ProgressMode::None;
  else return usage(Text::tr("bad value for --progress: \"%1\" (auto, bar, lines or none)").arg(mode));
  o.keepGoing = p.isSet(keepGoing);
  parsed.options = o;
  return parsed;
}

}  // namespace korima::send
