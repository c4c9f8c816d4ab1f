// korima-send against the terminal simulator on loopback: exit codes, the
// summary, conversion, settings precedence, bad input, and signals.
#include "TestSupport.h"
#include "config/Settings.h"
#include "platform/Ticks.h"
#include "send/Sender.h"
#include "sim/TerminalSimulator.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>
#include <csignal>
#include <memory>

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

// Runs korima-send in this process with a fast tick source.
Run Send(const QStringList& args, bool terminal = false) {
  platform::TimerTicks ticks(0);
  QBuffer out, err;
  out.open(QIODevice::WriteOnly);
  err.open(QIODevice::WriteOnly);
  Run r;
  {
    Sender sender(QStringList{"korima-send"} + args, out, err, terminal, &ticks);
    QSignalSpy finished(&sender, &Sender::Finished);
    if (auto code = sender.Start()) r.code = *code;
    else if (finished.wait(30000)) r.code = finished.first().first().toInt();
  }
  r.out = out.data();
  r.err = err.data();
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
    o.port = 0;
    o.outPath = dir_.filePath("received.out");
    sim_ = std::make_unique<TerminalSimulator>(o);
    QVERIFY(sim_->Start());
  }
  QStringList To() const {
    return {"--host", "127.0.0.1", "--port", QString::number(sim_->Port()), "--local-port", "0",
            "--settings", dir_.filePath("none.ini")};
  }
  QByteArray Stored() const { return ReadAll(dir_.filePath("received.out")); }

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
    QTest::newRow("silent END") << "silentend" << 5 << "no_reply" << "END:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ";
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
    if (fault == "silentend") o.silentEnd = 1;
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
    if (fault == "inuse") QVERIFY(lastErr.startsWith(QString::number(EADDRINUSE) + " UDP設定に問題がないか確認してください。 "));
    if (fault == "empty") QVERIFY(lastErr.contains("f.csv") && sim_->Received().isEmpty());
    QCOMPARE(r.Json()["status"].toString(), code == 3 ? r.Json()["status"].toString() : lastErr);
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

    sim_->Options().belAt = 1;  // the first file fails: the second is never sent
    const qsizetype before = sim_->Received().size();
    r = Send(To() << "--json" << a << b);
    QCOMPARE(r.code, 7);
    QCOMPARE(r.out.count('\n'), 1);
    QCOMPARE(sim_->Received().mid(before), (QList<QByteArray>{"MASTER\r", "^0A,1*56\r"}));
  }

  void jsonFields() {
    SimOptions o;
    o.nakAt[1] = 2;
    StartSim(o);
    const QString f = File("j.csv", "A,1\r\nB,2\r\n");
    const Run r = Send(To() << "--json" << "--title-line" << "-q" << f);
    QCOMPARE(r.code, 0);
    const QJsonObject j = r.Json();
    QCOMPARE(j.keys(), (QStringList{"bytes", "file", "lines_sent", "outcome", "packets_sent", "seconds", "status"}));
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

    const qsizetype before = sim_->Received().size();
    const QString bad = File("k.csv", "a\r\nb,한\r\n");
    r = Send(To() << "--encoding" << "utf-8" << ok << bad);  // checked before anything is sent
    QCOMPARE(r.code, 3);
    QVERIFY2(r.ErrLines().last().contains("k.csv: line 2, column 3"), r.err.constData());
    QCOMPARE(sim_->Received().size(), before);
    r = Send(To() << "--encoding" << "utf-8" << File("i.csv", "ab\xff\r\n"));
    QCOMPARE(r.code, 3);
    QVERIFY(r.ErrLines().last().contains("line 1, column 3: not valid UTF-8"));
    QCOMPARE(sim_->Received().size(), before);
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
    QVERIFY(sim_->Received().isEmpty());
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
    QTRY_VERIFY_WITH_TIMEOUT(phase == "master" ? sim_->Stats().masters >= 2 : sim_->Stats().silences >= 1, 10000);
    const qsizetype sent = sim_->Received().size();
    ::kill(pid_t(p.processId()), phase == "master" ? SIGINT : SIGTERM);
    QSignalSpy done(&p, &QProcess::finished);
    QVERIFY(done.wait(2000));
    QCOMPARE(p.exitCode(), 130);
    QTest::qWait(100);
    QCOMPARE(sim_->Received().size(), sent);
    QVERIFY(p.readAllStandardError().trimmed().endsWith("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました"));
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
