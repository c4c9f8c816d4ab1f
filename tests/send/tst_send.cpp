// korima-send against the terminal simulator on loopback: exit codes, the
// summary, conversion, settings precedence, bad input, and signals.
#include "TestSupport.h"
#include "config/Settings.h"
#include "platform/Errors.h"
#include "platform/Ticks.h"
#include "link/Endpoint.h"
#include "send/Sender.h"
#include "sim/TerminalSimulator.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>
#include <csignal>
#include <memory>
#include <vector>

using namespace korima;
using send::Sender;
using sim::SimOptions;
using sim::TerminalSimulator;

namespace {

struct Run {
  int code = -1;
  QByteArray out, err;
  QStringList ErrLines() const { return QString::fromUtf8(err).split(u'\n', Qt::SkipEmptyParts); }
  QJsonObject Json(int i = 0) const {
    return QJsonDocument::fromJson(out.split('\n').value(i)).object();
  }
};

// Real UDP on a clock whose ticks last 10 µs (0) or `ms` milliseconds.
link::LinkServices Fast(int ms = 0) {
  static platform::RealClock fast(10'000), slow(1'000'000);
  return {&link::EndpointPool::Udp(), ms ? &slow : &fast};
}

// korima-send in this process, writing into buffers, for tests that act on it while it runs.
struct Live {
  explicit Live(const QStringList& args, link::LinkServices services = Fast(), bool terminal = false)
      : sender(QStringList{"korima-send"} + args, out, err, terminal, services) {
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
  }
  QBuffer out, err;
  Sender sender;
  QSignalSpy finished{&sender, &Sender::Finished};
};

// Runs korima-send in this process with a fast tick source.
Run Send(const QStringList& args, bool terminal = false) {
  Run r;
  {
    Live live(args, Fast(), terminal);
    if (auto code = live.sender.Start()) r.code = *code;
    else if (live.finished.wait(30000)) r.code = live.finished.first().first().toInt();
    r.out = live.out.data();
    r.err = live.err.data();
  }
  return r;
}

}  // namespace

class TestSend : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  std::unique_ptr<TerminalSimulator> sim_;
  std::unique_ptr<Recorder> rec_;

  QString File(const QString& name, const QByteArray& bytes) {
    WriteAll(dir_.filePath(name), bytes);
    return dir_.filePath(name);
  }
  void StartSim(SimOptions o = {}) {
    o.outPath = dir_.filePath("received.out");
    sim_ = std::make_unique<TerminalSimulator>(o, QHostAddress::LocalHost, 0);
    QVERIFY(sim_->Start());
  }
  QStringList To() const {
    return {"--host", "127.0.0.1", "--port", QString::number(sim_->Port()), "--local-port", "0",
            "--settings", dir_.filePath("none.ini")};
  }
  QByteArray Stored() const { return ReadAll(dir_.filePath("received.out")); }

  // Cradles on 127.0.0.2, 127.0.0.3, ... at one port, each storing into cradle-N.out.
  std::vector<std::unique_ptr<TerminalSimulator>> StartCradles(QList<SimOptions> options) {
    std::vector<std::unique_ptr<TerminalSimulator>> sims;
    quint16 port = 0;
    for (int i = 0; i < options.size(); ++i) {
      SimOptions o = options[i];
      o.outPath = dir_.filePath(QStringLiteral("cradle-%1.out").arg(i + 1));
      QFile::remove(o.outPath);
      sims.push_back(std::make_unique<TerminalSimulator>(
          o, QHostAddress(QHostAddress("127.0.0.2").toIPv4Address() + quint32(i)), port));
      if (!sims.back()->Start()) return {};
      port = sims.back()->Port();
    }
    return sims;
  }
  QList<QJsonObject> JsonLines(const QByteArray& out) const {
    QList<QJsonObject> objects;
    for (const QByteArray& line : out.split('\n'))
      if (!line.isEmpty()) objects << QJsonDocument::fromJson(line).object();
    return objects;
  }

 private slots:
  void init() { rec_ = std::make_unique<Recorder>(); }
  void cleanup() {
    sim_.reset();
    rec_.reset();
  }

  void exitCodes_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("last");
    QTest::newRow("complete") << "" << 0 << "complete" << "15ﾊﾞｲﾄ中 15ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了";
    QTest::newRow("NAK x5") << "nak" << 6 << "nak" << "ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ NAK受信";
    QTest::newRow("silence") << "silent" << 5 << "no_reply" << "ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ";
    QTest::newRow("BEL") << "bel" << 7 << "bel" << "ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ BEL受信";
    QTest::newRow("FUL") << "ful" << 8 << "ful" << "ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>";
    QTest::newRow("NAK for END, then ACK") << "nakend" << 0 << "complete" << "15ﾊﾞｲﾄ中 15ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了";
    QTest::newRow("END silent five times") << "silentend" << 5 << "no_reply" << "END:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ";
    QTest::newRow("END refused five times") << "nakend5" << 6 << "nak" << "END:ﾊﾝﾄﾞｼｪｲｸ NAK受信";
    QTest::newRow("BEL at END") << "belend" << 7 << "bel" << "END:ﾊﾝﾄﾞｼｪｲｸ BEL受信";
    QTest::newRow("connect timeout") << "master" << 5 << "no_reply" << "MASTER:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ";
    QTest::newRow("port in use") << "inuse" << 4 << "socket_error" << "";
    QTest::newRow("empty file") << "empty" << 3 << "file_error" << "";
  }
  void exitCodes() {
    QFETCH(QString, fault);
    QFETCH(int, code);
    QFETCH(QString, outcome);
    QFETCH(QString, last);
    SimOptions o;
    if (fault == "nak") o.nakAt[2] = 5;
    if (fault == "silent") o.silentAt[2] = 5;
    if (fault == "bel") o.belAt = 2;
    if (fault == "ful") o.fulAt = 2;
    if (fault == "nakend") o.nakEnd = 2;
    if (fault == "nakend5") o.nakEnd = 5;
    if (fault == "silentend") o.silentEnd = 5;
    if (fault == "belend") o.belAtEnd = true;
    if (fault == "master") o.silentMaster = 1000000;
    StartSim(o);
    QStringList args = To() << "--json" << "--connect-timeout" << "0.5";
    QUdpSocket holder;
    if (fault == "inuse") {
      QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0));
      args[5] = QString::number(holder.localPort());
    }
    const QString file = File("f.csv", fault == "empty" ? "" : "abc\r\ndef\r\nghi\r\n");
    const Run r = Send(args << file);
    QCOMPARE(r.code, code);
    QCOMPARE(r.Json()["outcome"].toString(), outcome);
    const QString lastErr = r.ErrLines().last();
    if (!last.isEmpty()) QCOMPARE(lastErr, last);
    const QString status = r.Json()["status"].toString();
    if (fault == "inuse") {
      QCOMPARE(status, QString::number(EADDRINUSE) + " UDP設定に問題がないか確認してください。 " + platform::OsErrorText(EADDRINUSE));
      QCOMPARE(lastErr, status + QStringLiteral(" (local port %1)").arg(holder.localPort()));  // the console names the port
    } else if (fault == "empty") {
      QCOMPARE(status, platform::OsErrorText(ENODATA) + " (empty file)");
      QCOMPARE(lastErr, "korima-send: " + file + ": " + status);
      QVERIFY(sim_->Cradle().Received().isEmpty());
    } else {
      QCOMPARE(status, lastErr);
    }
    if (code == 0) QCOMPARE(Stored(), QByteArray("abc\r\ndef\r\nghi\r\n"));
  }

  void severalFiles() {
    StartSim();
    const QString a = File("a.csv", "A,1\r\n"), b = File("b.csv", "B,1\r\nB,2\r\n");
    Run r = Send(To() << "--json" << a << b);
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out.count('\n'), 2);
    QCOMPARE(r.Json(0)["file"].toString(), a);
    QCOMPARE(r.Json(1)["file"].toString(), b);
    QCOMPARE(Stored(), QByteArray("B,1\r\nB,2\r\n"));  // the second download is the terminal's now

    sim_->Cradle().Options().belAt = 1;  // the first file fails: the second is never sent
    const qsizetype before = sim_->Cradle().Received().size();
    r = Send(To() << "--json" << a << b);
    QCOMPARE(r.code, 7);
    QCOMPARE(r.out.count('\n'), 1);
    QCOMPARE(sim_->Cradle().Received().mid(before), (QList<QByteArray>{"MASTER\r", "^0A,1*56\r"}));
  }

  void jsonFields() {
    SimOptions o;
    o.nakAt[1] = 2;
    StartSim(o);
    const QString f = File("j.csv", "A,1\r\nB,2\r\n");
    const Run r = Send(To() << "--json" << "--title-line" << "-q" << f);
    QCOMPARE(r.code, 0);
    const QJsonObject j = r.Json();
    QCOMPARE(j.keys(), (QStringList{"bytes", "file", "host", "lines_sent", "outcome", "packets_sent", "seconds", "status"}));
    QCOMPARE(j["host"].toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(j["file"].toString(), f);
    QCOMPARE(j["bytes"].toInt(), 10);
    QCOMPARE(j["lines_sent"].toInt(), 1);    // the title line is not sent
    QCOMPARE(j["packets_sent"].toInt(), 3);  // two NAKs, then the ACK
    QCOMPARE(j["status"].toString(), QStringLiteral("10ﾊﾞｲﾄ中 10ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了"));
    QVERIFY(j["seconds"].toDouble() >= 0);
    QVERIFY(r.err.isEmpty());  // -q: nothing but failures
  }

  void progressOutput() {
    StartSim();
    const QString f = File("p.csv", "a\r\nb\r\nc\r\n");
    Run r = Send(To() << f, true);  // a terminal: a bar in place of the progress texts
    QCOMPARE(r.code, 0);
    QVERIFY(r.err.contains("\r[") && r.err.contains(" 3 lines"));
    QVERIFY(!r.err.contains("ﾀﾞｳﾝﾛｰﾄﾞ済み"));
    QVERIFY(r.err.contains("ﾀﾞｳﾝﾛｰﾄﾞ完了"));
    r = Send(To() << f);  // not a terminal: every status text, one per line
    QCOMPARE(r.ErrLines().count(), 7);  // the settings note, waiting, opened, three lines, complete
    QCOMPARE(r.ErrLines()[3], QStringLiteral("9ﾊﾞｲﾄ中 0ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ済み"));
    QVERIFY(!r.err.contains('\r'));
    r = Send(To() << "--progress=none" << f);
    QCOMPARE(r.ErrLines().count(), 4);
  }

  void utf8Files() {
    StartSim();
    const QString ok = File("u.csv", "\xEF\xBB\xBF商品,１２０\r\nｱｲｳ,~\r\n");
    Run r = Send(To() << "--encoding" << "utf-8" << ok);
    QCOMPARE(r.code, 0);
    QCOMPARE(Stored(), QByteArray("\x8f\xa4\x95\x69,\x82\x50\x82\x51\x82\x4f\r\n\xb1\xb2\xb3,~\r\n"));

    const qsizetype before = sim_->Cradle().Received().size();
    const QString bad = File("k.csv", "a\r\nb,한\r\n");
    r = Send(To() << "--encoding" << "utf-8" << ok << bad);  // checked before anything is sent
    QCOMPARE(r.code, 3);
    QVERIFY2(r.ErrLines().last().contains("k.csv: line 2, column 3"), r.err.constData());
    QCOMPARE(sim_->Cradle().Received().size(), before);
    r = Send(To() << "--encoding" << "utf-8" << File("i.csv", "ab\xff\r\n"));
    QCOMPARE(r.code, 3);
    QVERIFY(r.ErrLines().last().contains("line 1, column 3: not valid UTF-8"));
    QCOMPARE(sim_->Cradle().Received().size(), before);
  }

  void settingsPrecedence() {
    StartSim();
    const QString f = File("s.csv", "x\r\n");
    const QString ini = dir_.filePath("app/Korima.ini");
    QDir().mkpath(dir_.filePath("app"));
    platform::SetExePathForTest(dir_.filePath("app/korima-send"));
    // Nothing anywhere: no host, no download.
    Run r = Send({f});
    QCOMPARE(r.code, 2);
    QVERIFY(r.ErrLines().last().contains("no remote host"));
    QVERIFY(sim_->Cradle().Received().isEmpty());
    // The window's file beside this program, with an empty host: still refused.
    WriteAll(ini, "\"/\",\"0\",\"\",\"" + QByteArray::number(sim_->Port()) + "\",0,0\r\n");
    QCOMPARE(Send({f}).code, 2);
    // The window's file with a host: used as it is.
    WriteAll(ini, "\"/\",\"0\",\"127.0.0.1\",\"" + QByteArray::number(sim_->Port()) + "\",1,0\r\n");
    r = Send({"--json", f});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.Json()["lines_sent"].toInt(), 0);  // its title-line setting too
    // Options win over the file.
    QCOMPARE(Send({"--json", "--no-title-line", f}).Json()["lines_sent"].toInt(), 1);
    WriteAll(ini, "\"/\",\"0\",\"127.0.0.1\",\"1\",0,0\r\n");
    QCOMPARE(Send({"--port", QString::number(sim_->Port()), f}).code, 0);
    // --settings reads another file; an invalid one gives the defaults and a word on it.
    const QString other = File("other.ini", "\"/\",\"0\",\"127.0.0.1\",\"" + QByteArray::number(sim_->Port()) + "\",0,0\r\n");
    QCOMPARE(Send({"--settings", other, f}).code, 0);
    r = Send({"--settings", File("bad.ini", "\"/\",\"0\"\r\n"), "--host", "127.0.0.1", "--port",
              QString::number(sim_->Port()), "--local-port", "0", f});
    QCOMPARE(r.code, 0);
    QVERIFY(r.ErrLines().first().contains("is not valid: using the defaults"));
    QCOMPARE(ReadAll(dir_.filePath("bad.ini")), QByteArray("\"/\",\"0\"\r\n"));  // never rebuilt here
    QVERIFY(rec_->boxes.isEmpty());
    platform::SetExePathForTest({});
  }

  void badInput_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::newRow("unknown option") << QStringList{"--frobnicate", "x"} << 2 << "frobnicate";
    QTest::newRow("no file") << QStringList{"--host", "127.0.0.1"} << 2 << "no FILE";
    QTest::newRow("port not a number") << QStringList{"--port", "abc", "x"} << 2 << "--port";
    QTest::newRow("port out of range") << QStringList{"--port", "70000", "x"} << 2 << "--port";
    QTest::newRow("local port out of range") << QStringList{"--local-port", "-1", "x"} << 2 << "--local-port";
    QTest::newRow("bad encoding") << QStringList{"--encoding", "latin1", "x"} << 2 << "--encoding";
    QTest::newRow("missing file") << QStringList{"--host", "127.0.0.1", "@missing"} << 3 << "No such file";
    QTest::newRow("a folder") << QStringList{"--host", "127.0.0.1", "@"} << 3 << "Is a directory";
    QTest::newRow("hosts to check missing") << QStringList{"--check-hosts", "@missing"} << 2 << "missing";
    QTest::newRow("bad option beside them") << QStringList{"--check-hosts", "@missing", "--port", "0"} << 2 << "--port";
  }
  void badInput() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, says);
    for (QString& a : args)
      if (a.startsWith('@')) a = dir_.filePath(a.mid(1));
    const Run r = Send(args << "--settings" << dir_.filePath("none.ini") << "-q");
    QCOMPARE(r.code, code);
    QCOMPARE(r.ErrLines().size(), 1);
    QVERIFY2(r.ErrLines()[0].contains(says), r.err.constData());
  }

  // The real program and real signals: it stops like the stop button, exits
  // 130 at once, and sends nothing after the signal.
  void interrupted_data() {
    QTest::addColumn<QString>("phase");
    QTest::newRow("MASTER phase") << "master";
    QTest::newRow("reply wait") << "reply";
  }
  void interrupted() {
    QFETCH(QString, phase);
    SimOptions o;
    if (phase == "master") o.silentMaster = 1000000;
    else o.silentAt[2] = 1000000;
    StartSim(o);
    QProcess p;
    p.start(QStringLiteral(KORIMA_SEND), To() << File("i.csv", "a\r\nb\r\nc\r\n"));
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(phase == "master" ? sim_->Cradle().Stats().masters >= 2 : sim_->Cradle().Stats().silences >= 1, 10000);
    const qsizetype sent = sim_->Cradle().Received().size();
    ::kill(pid_t(p.processId()), phase == "master" ? SIGINT : SIGTERM);
    QSignalSpy done(&p, &QProcess::finished);
    QVERIFY(done.wait(2000));
    QCOMPARE(p.exitCode(), 130);
    QTest::qWait(100);
    QCOMPARE(sim_->Cradle().Received().size(), sent);
    // The last line says what happened, and no bar is drawn after it.
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.endsWith("korima-send: interrupted by a signal\n"), err.constData());
    QVERIFY(!err.contains("通信ｽﾄｯﾌﾟﾎﾞﾀﾝ"));
  }

  // UTF-8 files are found out and converted unless told otherwise; the JIS
  // code points become the CP932 characters they stand for.
  void encodings_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("told");
    const QByteArray utf8 = "\xEF\xBB\xBF商品,〜−—¢£¬¥‾‖\r\n";
    const QByteArray cp932 = "\x8f\xa4\x95\x69,\x81\x60\x81\x7c\x81\x5c\x81\x91\x81\x92\x81\xca\x5c\x7e\x81\x61\r\n";
    QTest::newRow("auto: UTF-8 converted") << QStringList{} << utf8 << cp932 << true;
    QTest::newRow("auto: UTF-8 without a mark") << QStringList{} << QByteArray("ｱ,1\r\n") << QByteArray("\xb1,1\r\n") << true;
    QTest::newRow("auto: CP932 as it is") << QStringList{} << cp932 << cp932 << false;
    QTest::newRow("auto: ASCII as it is") << QStringList{} << QByteArray("a\r\n") << QByteArray("a\r\n") << false;
    QTest::newRow("cp932: UTF-8 as it is") << QStringList{"--encoding", "cp932"} << utf8 << utf8 << false;
    QTest::newRow("utf-8") << QStringList{"--encoding", "utf-8"} << utf8 << cp932 << false;
  }
  void encodings() {
    QFETCH(QStringList, options);
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, stored);
    QFETCH(bool, told);
    StartSim();
    const QString f = File("e.csv", content);
    const Run r = Send(To() << options << f);
    QCOMPARE(r.code, 0);
    QCOMPARE(Stored(), stored);
    QCOMPARE(r.err.contains(": UTF-8: converted to Shift-JIS (CP932)"), told);
  }

  // The file changes between the check and the transfer: a line that no
  // longer converts ends that file as a file error, never as an empty packet.
  void fileChangedAfterTheCheck() {
    SimOptions o;
    o.silentMaster = 2;  // time for the file to change
    StartSim(o);
    const QString f = File("c.csv", "商品\r\n棚\r\n");
    Live live(To() << "--json" << f, Fast());
    QVERIFY(!live.sender.Start());
    QVERIFY(WriteAll(f, "商品\r\nab\xff\r\n"));
    QVERIFY(live.finished.wait(30000));
    QCOMPARE(live.finished.first().first().toInt(), 3);
    QCOMPARE(sim_->Cradle().Lines(), QList<QByteArray>{"\x8f\xa4\x95\x69"});
    QVERIFY(!sim_->Cradle().Received().contains("END\r"));
    const QJsonObject j = QJsonDocument::fromJson(live.out.data().split('\n').first()).object();
    QCOMPARE(j["outcome"].toString(), QStringLiteral("file_error"));
    QCOMPARE(j["status"].toString(), QStringLiteral("ﾚｺｰﾄﾞ2:3文字目 UTF-8として読めないﾊﾞｲﾄがあります"));
  }

  // A signal after the last file completed: the run completed, exit 0.
  void signalAfterTheLastFile() {
    StartSim();
    const QString f = File("l.csv", "a\r\n");
    Live live(To() << "--json" << f, Fast());
    QVERIFY(!live.sender.Start());
    QObject::connect(&live.sender.DownloadOf(0), &link::Download::Ended, &live.sender, [&] { live.sender.Interrupt(); });
    QVERIFY(live.finished.wait(10000));
    QCOMPARE(live.finished.first().first().toInt(), 0);
    QCOMPARE(QJsonDocument::fromJson(live.out.data()).object()["outcome"].toString(), QStringLiteral("complete"));

    // Between two files, the second is never started: the run was cut short.
    const QString g = File("m.csv", "b\r\n");
    Live second(To() << f << g);
    QVERIFY(!second.sender.Start());
    QObject::connect(&second.sender.DownloadOf(0), &link::Download::Ended, &second.sender,
                     [&] { second.sender.Interrupt(); });
    QVERIFY(second.finished.wait(10000));
    QCOMPARE(second.finished.first().first().toInt(), 130);
    QCOMPARE(Stored(), QByteArray("a\r\n"));
  }

  // Each JSON object reaches a pipe when its file ends, not when the program does.
  void jsonReachesAPipeAtOnce() {
    StartSim();
    QObject::connect(&sim_->Cradle(), &sim::Terminal::Completed, sim_.get(), [this] { sim_->Cradle().Options().silentMaster = 1000000; });
    QProcess p;
    p.start(QStringLiteral(KORIMA_SEND), To() << "--json" << File("a.csv", "a\r\n") << File("b.csv", "b\r\n"));
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim_->Cradle().Stats().masters >= 2, 10000);  // the second file waits for a terminal
    QTRY_VERIFY_WITH_TIMEOUT(p.bytesAvailable() > 0 || p.canReadLine(), 3000);
    const QJsonObject j = QJsonDocument::fromJson(p.readLine()).object();
    QCOMPARE(j["outcome"].toString(), QStringLiteral("complete"));
    QVERIFY(p.state() == QProcess::Running);
    p.kill();
    p.waitForFinished();
  }

  // Options are checked before any file is opened; only the program's own line is printed.
  void onlyItsOwnMessages() {
    QProcess p;
    p.start(QStringLiteral(KORIMA_SEND), {"--settings", "", "--host", "127.0.0.1", File("o.csv", "a\r\n")});
    QVERIFY(p.waitForFinished());
    QCOMPARE(p.exitCode(), 2);
    const QByteArray err = p.readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(err.startsWith("korima-send: --settings needs a file name"), err.constData());
  }

  // The address the window writes on its first start is nobody's choice:
  // it is refused unless given with --host.
  void defaultAddressRefused() {
    const QString ini = File("default.ini", QByteArray("\"/\",\"0\",\"") + config::kDefaultRemoteHost + "\",\"6001\",0,0\r\n");
    Run r = Send({"--settings", ini, File("d.csv", "a\r\n")});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.ErrLines().last().contains(QStringLiteral("--host ") + config::kDefaultRemoteHost), r.err.constData());
    // Confirmed with --host, it passes the settings check (a missing file stops the run before any send).
    r = Send({"--settings", ini, "--host", config::kDefaultRemoteHost, dir_.filePath("missing.csv")});
    QCOMPARE(r.code, 3);
  }

  // On a terminal, waiting for "MASTER" to be answered shows how long and how often.
  void waitingIsShown() {
    SimOptions o;
    o.silentMaster = 1000000;
    StartSim(o);
    const Run r = Send(To() << "--connect-timeout" << "3" << File("w.csv", "a\r\n"), true);
    QCOMPARE(r.code, 5);
    QVERIFY2(r.err.contains("\rwaiting for the terminal: ") && r.err.contains("MASTER sent 2 times"), r.err.constData());
  }

  // Every file to every cradle, in parallel; one cradle's failure ends that
  // cradle only, and the exit code is that of the first cradle given that failed.
  void severalCradles() {
    SimOptions ful, bel;
    ful.fulAt = 1;
    bel.belAt = 2;
    auto sims = StartCradles({{}, ful, {}, bel});
    QCOMPARE(int(sims.size()), 4);
    const QString port = QString::number(sims[0]->Port());
    const QString a = File("a.csv", "A,1\r\nA,2\r\n"), b = File("b.csv", "B,1\r\n");
    const Run r = Send({"--host", "127.0.0.2", "--host", "127.0.0.3", "--host", "127.0.0.4:" + port, "--host",
                        "127.0.0.5", "--port", port, "--local-port", "0", "--settings", dir_.filePath("none.ini"),
                        "--json", a, b});
    QCOMPARE(r.code, 8);  // 127.0.0.3 came before 127.0.0.5
    QCOMPARE(ReadAll(dir_.filePath("cradle-1.out")), QByteArray("B,1\r\n"));
    QCOMPARE(ReadAll(dir_.filePath("cradle-3.out")), QByteArray("B,1\r\n"));
    QCOMPARE(ReadAll(dir_.filePath("cradle-4.out")), QByteArray("A,1\r\n"));
    QCOMPARE(sims[1]->Cradle().Stats().accepted, 0);
    const QList<QJsonObject> json = JsonLines(r.out);
    QStringList seen;
    for (const QJsonObject& o : json) seen << o["host"].toString() + ' ' + o["outcome"].toString();
    seen.sort();
    QCOMPARE(seen, (QStringList{"127.0.0.2 complete", "127.0.0.2 complete", "127.0.0.3 ful", "127.0.0.4:" + port + " complete",
                                "127.0.0.4:" + port + " complete", "127.0.0.5 bel"}));
    // Every line says whose it is.
    for (const QString& line : r.ErrLines())
      QVERIFY2(line.startsWith("127.0.0.") || line.startsWith("korima-send: no settings"), qPrintable(line));
    QVERIFY(r.err.contains("127.0.0.3: ﾚｺｰﾄﾞ1:ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>"));
  }

  // On a terminal, one line per cradle, redrawn in place.
  void severalCradlesOnATerminal() {
    auto sims = StartCradles({{}, {}});
    QCOMPARE(int(sims.size()), 2);
    const QString port = QString::number(sims[0]->Port());
    const Run r = Send({"--host", "127.0.0.2", "--host", "127.0.0.3", "--port", port, "--local-port", "0", "--settings",
                        dir_.filePath("none.ini"), File("t.csv", "a\r\nb\r\nc\r\n")}, true);
    QCOMPARE(r.code, 0);
    QVERIFY2(r.err.contains("\r127.0.0.2  t.csv  ") && r.err.contains("\r127.0.0.3  t.csv  "), r.err.constData());
    QVERIFY(r.err.contains("\x1b[2A"));  // back up over both lines before they are drawn again
    QCOMPARE(ReadAll(dir_.filePath("cradle-2.out")), QByteArray("a\r\nb\r\nc\r\n"));
  }

  void hostsFromAFile() {
    auto sims = StartCradles({{}, {}});
    QCOMPARE(int(sims.size()), 2);
    const QString port = QString::number(sims[0]->Port());
    const QString f = File("h.csv", "a\r\n");
    const QString hosts = File("hosts.txt", "# the shop's cradles\n\n127.0.0.2   # front\n  127.0.0.3:" + port.toUtf8() + "\n");
    Run r = Send({"--hosts", hosts, "--port", port, "--local-port", "0", "--settings", dir_.filePath("none.ini"), "--json", f});
    QCOMPARE(r.code, 0);
    QCOMPARE(JsonLines(r.out).size(), 2);
    QCOMPARE(ReadAll(dir_.filePath("cradle-1.out")), QByteArray("a\r\n"));
    QCOMPARE(ReadAll(dir_.filePath("cradle-2.out")), QByteArray("a\r\n"));
    // A bad line is named; the same cradle twice is refused.
    r = Send({"--hosts", File("bad.txt", "127.0.0.2\n\n127.0.0.3:x\n"), "--settings", dir_.filePath("none.ini"), f});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.ErrLines().last().contains("bad.txt:3:"), r.err.constData());
    r = Send({"--host", "127.0.0.2:" + port, "--hosts", hosts, "--port", port, "--settings", dir_.filePath("none.ini"), f});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.ErrLines().last().contains("given twice"), r.err.constData());
    // The dry check reads hosts files the same way.
    QCOMPARE(Send({"--check-hosts", hosts}).code, 0);
    r = Send({"--check-hosts", dir_.filePath("bad.txt")});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.ErrLines().last().contains("bad.txt:3:"), r.err.constData());
    QVERIFY(sims[0]->Cradle().Received().size() == 3);  // nothing more was sent
  }

  // Terminal after terminal: back to "MASTER" after each END, N in all.
  void repeat() {
    StartSim();
    const QString f = File("r.csv", "a\r\n");
    Run r = Send(To() << "--repeat=3" << "--json" << f);
    QCOMPARE(r.code, 0);
    const QList<QJsonObject> json = JsonLines(r.out);
    QCOMPARE(json.size(), 3);
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(json[i]["terminal"].toInt(), i + 1);
      QCOMPARE(json[i]["outcome"].toString(), QStringLiteral("complete"));
    }
    QCOMPARE(sim_->Cradle().Received().count("END\r"), 3);
    QCOMPARE(Stored(), QByteArray("a\r\n"));
  }

  // Without N, until a signal: one while waiting for the next terminal ends
  // with 0 when every transfer that started completed, 130 when one was cut off.
  void repeatUntilASignal_data() {
    QTest::addColumn<bool>("cutOff");
    QTest::newRow("waiting for the next terminal") << false;
    QTest::newRow("during a transfer") << true;
  }
  void repeatUntilASignal() {
    QFETCH(bool, cutOff);
    StartSim();
    const QString f = File("r.csv", "a\r\nb\r\n");
    Live live(To() << "--repeat" << "--json" << f, Fast(1));
    int completed = 0;
    QObject::connect(&sim_->Cradle(), &sim::Terminal::Completed, sim_.get(), [&] {
      if (++completed == 2) {
        if (cutOff) sim_->Cradle().Options().silentAt[2] = 1000000;  // the third terminal stalls at line 2
        else sim_->Cradle().Options().silentMaster = 1000000;         // no third terminal comes
      }
    });
    QVERIFY(!live.sender.Start());
    QTRY_VERIFY(cutOff ? sim_->Cradle().Stats().silences >= 1 : sim_->Cradle().Stats().masters >= 1 && completed == 2 &&
                                                           sim_->Cradle().Options().silentMaster < 1000000);
    QVERIFY(live.finished.isEmpty());
    live.sender.Interrupt();
    QVERIFY(live.finished.wait(10000));
    QCOMPARE(live.finished.first().first().toInt(), cutOff ? 130 : 0);
    const QList<QJsonObject> json = JsonLines(live.out.data());
    QCOMPARE(json.size(), cutOff ? 3 : 2);
    if (cutOff) QCOMPARE(json[2]["outcome"].toString(), QStringLiteral("stopped"));
  }

  // In a network of its own: a lookup that never answers, a name that
  // doesn't resolve, a send the kernel refuses, and loss and duplication.
  void signalDuringALookup() {
    if (qEnvironmentVariable("KORIMA_NETNS") != "silent-dns") QSKIP("run through netns.sh silent-dns");
    for (int signal : {SIGINT, SIGTERM}) {
      QProcess p;
      p.start(QStringLiteral(KORIMA_SEND), {"--host", "cradle.shop.test", "--settings", dir_.filePath("none.ini"),
                                            "--local-port", "0", File("s.csv", "a\r\n")});
      QVERIFY(p.waitForStarted());
      QTest::qWait(300);
      QCOMPARE(p.state(), QProcess::Running);
      QElapsedTimer clock;
      clock.start();
      ::kill(pid_t(p.processId()), signal);
      QVERIFY(p.waitForFinished(2000));
      QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
      QCOMPARE(p.exitCode(), 130);
    }
  }

  void lookupThatFails() {
    if (qEnvironmentVariable("KORIMA_NETNS") != "no-dns") QSKIP("run through netns.sh no-dns");
    const Run r = Send({"--host", "cradle.shop.test", "--settings", dir_.filePath("none.ini"), "--local-port", "0",
                        "-q", "--json", File("s.csv", "a\r\n")});
    QCOMPARE(r.code, 4);
    QCOMPARE(r.ErrLines().size(), 1);
    QVERIFY2(r.ErrLines()[0].contains(QStringLiteral("確認してください。 cradle.shop.test: ")), r.err.constData());
    QCOMPARE(r.Json()["status"].toString(), r.ErrLines()[0]);
    // Among several cradles, it fails that cradle only.
    StartSim();
    const Run two = Send({"--host", "cradle.shop.test", "--host", "127.0.0.1", "--port", QString::number(sim_->Port()),
                          "--settings", dir_.filePath("none.ini"), "--local-port", "0", "-q", "--json",
                          File("t.csv", "b\r\n")});
    QCOMPARE(two.code, 4);
    QCOMPARE(Stored(), QByteArray("b\r\n"));
    QCOMPARE(JsonLines(two.out).size(), 2);
  }

  void sendRefusedByTheKernel() {
    if (qEnvironmentVariable("KORIMA_NETNS") != "refuse") QSKIP("run through netns.sh refuse");
    const Run r = Send({"--host", "127.0.0.2", "--port", "6001", "--settings", dir_.filePath("none.ini"), "--local-port",
                        "0", "-q", "--json", File("s.csv", "a\r\n")});
    QCOMPARE(r.code, 4);
    const QString report = QString::number(EPERM) + QStringLiteral(" UDP設定に問題がないか確認してください。 ") +
                           platform::OsErrorText(EPERM);
    QCOMPARE(r.ErrLines(), QStringList{report + " (127.0.0.2:6001)"});
    QCOMPARE(r.Json()["status"].toString(), report);
    QCOMPARE(r.Json()["packets_sent"].toInt(), 0);
  }

  // Real loss and duplication on loopback, from the firewall: a transfer may
  // fail, but one that says complete put exactly the file into the terminal.
  void lossAndDuplication() {
    if (qEnvironmentVariable("KORIMA_NETNS") != "faults") QSKIP("run through netns.sh faults");
    const QByteArray content = "4901234567894,1\r\n4901234567895,2\r\n4901234567896,3\r\n";
    const QString f = File("f.csv", content);
    int completed = 0;
    for (int i = 0; i < 24; ++i) {
      StartSim();
      Live live(To() << "--connect-timeout" << "3" << f, Fast(1));  // a reply wait of 100 ms
      QVERIFY(!live.sender.Start());
      QVERIFY(live.finished.wait(120000));
      const int code = live.finished.first().first().toInt();
      const QBuffer& err = live.err;
      if (code == 0) {
        ++completed;
        QCOMPARE(Stored(), content);
      }
      QVERIFY2(code == 0 || code == 5 || code == 6, err.data().constData());
    }
    qInfo("%d of 24 transfers completed", completed);
    QVERIFY(completed >= 12);
  }

  // Its own lines in Japanese under a Japanese locale (LANG or LANGUAGE),
  // in English otherwise; the transfer's status texts are the same in both.
  void languages_data() {
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<bool>("japanese");
    QTest::newRow("LANG=ja_JP.UTF-8") << QStringList{"LANG=ja_JP.UTF-8"} << true;
    QTest::newRow("LANGUAGE=ja") << QStringList{"LANG=C.UTF-8", "LANGUAGE=ja"} << true;
    QTest::newRow("LANG=C.UTF-8") << QStringList{"LANG=C.UTF-8"} << false;
    QTest::newRow("LANG=en_US.UTF-8") << QStringList{"LANG=en_US.UTF-8"} << false;
  }
  void languages() {
    QFETCH(QStringList, env);
    QFETCH(bool, japanese);
    auto run = [&](const QStringList& args) {
      QProcess p;
      QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
      for (const char* v : {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"}) e.remove(v);
      for (const QString& v : env) e.insert(v.section('=', 0, 0), v.section('=', 1));
      p.setProcessEnvironment(e);
      QSignalSpy done(&p, &QProcess::finished);
      p.start(QStringLiteral(KORIMA_SEND), args);
      done.wait(30000);  // an event loop: the simulator answers meanwhile
      return QPair<int, QString>(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()));
    };
    const QString none = dir_.filePath("none.ini");
    struct Case { QStringList args; int code; const char* ja; const char* en; };
    const QList<Case> cases = {
        {{"--help"}, 0, "使い方: korima-send [オプション] ファイル...", "Usage: korima-send [OPTIONS] FILE..."},
        {{"--port", "abc", "x"}, 2, "--port の値が正しくありません", "bad value for --port"},
        {{"--frobnicate", "x"}, 2, "オプションの誤り: ", "bad option: "},
        {{"-q", "--settings", none, "--host", "127.0.0.1", dir_.filePath("missing.csv")}, 3, "読めません: ", "cannot be read: "},
        {{"-q", "--settings", none, "--host", "127.0.0.1", "--encoding", "utf-8", File("k.csv", "a\r\nb,한\r\n")}, 3,
         "2 行目 3 文字目: Shift-JIS (CP932) で表せない文字があります", "line 2, column 3: a character that Shift-JIS"},
    };
    for (const Case& c : cases) {
      const auto [code, text] = run(c.args);
      QCOMPARE(code, c.code);
      QVERIFY2(text.contains(QString::fromUtf8(japanese ? c.ja : c.en)), qPrintable(text));
      QVERIFY2(!text.contains(QString::fromUtf8(japanese ? c.en : c.ja)), qPrintable(text));
    }
    // A transfer: the window's status texts, whatever the language.
    StartSim();
    const auto [code, text] = run(To() << "--progress=lines" << File("l.csv", "a\r\n"));
    QCOMPARE(code, 0);
    QVERIFY2(text.contains(QStringLiteral("3ﾊﾞｲﾄ中 0ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ済み\n3ﾊﾞｲﾄ中 3ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了")), qPrintable(text));
    QCOMPARE(text.contains(QStringLiteral("設定ファイル")), japanese);
  }

  // The program needs no display and links no GUI library.
  void noWindowSystem() {
    QProcess ldd;
    ldd.start("ldd", {QStringLiteral(KORIMA_SEND)});
    if (!ldd.waitForFinished()) QSKIP("no ldd");
    const QByteArray libs = ldd.readAllStandardOutput();
    QVERIFY(libs.contains("libQt6Network"));
    QVERIFY(!libs.contains("libQt6Gui") && !libs.contains("libQt6Widgets"));
    QProcess help;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    help.setProcessEnvironment(env);
    help.start(QStringLiteral(KORIMA_SEND), {"--help"});
    QVERIFY(help.waitForFinished());
    QCOMPARE(help.exitCode(), 0);
    QVERIFY(help.readAllStandardOutput().contains("130  interrupted"));
  }
};

QTEST_GUILESS_MAIN(TestSend)
#include "tst_send.moc"
