// korima-send in this process, on an in-memory network of simulated cradles,
// in virtual time. What needs the real program, real signals or a network of
// its own is at the end.
#include "MemoryNet.h"
#include "TestSupport.h"
#include "link/Wording.h"
#include "send/Progress.h"
#include "send/Sender.h"
#include "sim/TerminalSimulator.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>

using namespace korima;
using sim::SimOptions;
Q_DECLARE_METATYPE(SimOptions)

namespace {

struct Run {
  int code = -1;
  QByteArray out, err;
  QStringList ErrLines() const { return QString::fromUtf8(err).split(u'\n', Qt::SkipEmptyParts); }
  QList<QJsonObject> Records() const {
    QList<QJsonObject> records;
    for (const QByteArray& line : out.split('\n'))
      if (!line.isEmpty()) records << QJsonDocument::fromJson(line).object();
    return records;
  }
  // Each record's values of `keys`, space-separated.
  QStringList Fields(const QStringList& keys) const {
    QStringList all;
    for (const QJsonObject& r : Records()) {
      QStringList values;
      for (const QString& key : keys) values << r[key].toVariant().toString();
      all << values.join(' ');
    }
    return all;
  }
};

// A shop: cradles at 127.0.0.2, .3, ... port 6001, each storing what its
// terminal takes in a file of its own; the PC's settings name no cradle.
struct Shop {
  Shop() { WriteAll(dir.filePath("settings.ini"), "\"/\",\"6000\",\"\",\"6001\",0,0\r\n"); }
  sim::Terminal& Cradle(int n, SimOptions o = {}) {
    o.outPath = Stored(n);
    return net.AddCradle(qPrintable(QStringLiteral("127.0.0.%1").arg(n + 1)), 6001, o);
  }
  QString Stored(int n) const { return dir.filePath(QStringLiteral("cradle-%1.out").arg(n)); }
  QString File(const QString& name, const QByteArray& bytes) {
    WriteAll(dir.filePath(name), bytes);
    return dir.filePath(name);
  }
  // Runs korima-send until it finishes; `each` runs between events.
  Run Send(const QStringList& args, bool terminal = false, const std::function<void(send::Sender&)>& each = {}) {
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    send::Sender sender(QStringList{"korima-send", "--settings", dir.filePath("settings.ini")} + args, out, err, terminal,
                        net.Services());
    QSignalSpy finished(&sender, &send::Sender::Finished);
    int code = -1;
    if (auto started = sender.Start()) code = *started;
    else if (RunUntil(clock, [&] { return each && (each(sender), false), !finished.isEmpty(); })) code = finished[0][0].toInt();
    return {code, out.data(), err.data()};
  }
  QTemporaryDir dir;
  platform::ManualClock clock;
  MemoryNet net{clock};
};

QString Sha256(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(); }

}  // namespace

class TestSend : public QObject {
  Q_OBJECT

 private slots:
  // One file into one cradle: what goes wrong and how the file is written
  // decide the exit code and what standard error says. Shift-JIS goes byte for
  // byte, UTF-8 and UTF-16 are converted; a file that can't be sent is refused
  // before "MASTER". `later`: the file once the first "MASTER" went unanswered.
  void oneFile_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<SimOptions>("sim");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QByteArray>("later");
    const auto row = [](const char* name, const char* options, const SimOptions& sim, const QByteArray& content, int code,
                        const QByteArray& stored, const QString& says, const QByteArray& later = {}) {
      QTest::newRow(name) << QString(options) << sim << content << code << stored << says << later;
    };
    const QByteArray abc = "abc\r\ndef\r\nghi\r\n", ab = "abc\r\n", sjis = "4901234567890,\xd0\xbf,198\r\n";
    const QByteArray utf8 = "\xEF\xBB\xBF商品,〜−¢\r\n", cp932 = "\x8f\xa4\x95\x69,\x81\x60\x81\x7c\x81\x91\r\n";
    const QByteArray utf16le("\xFF\xFE" "A\0\t\0\x0A\x4E\r\0\n\0", 12), utf16be("\xFE\xFF\0A\0\t\x4E\x0A\0\r\0\n", 12);
    const QString inUse = platform::OsErrorText(EADDRINUSE) + " " + link::wording::PortInUse(6000);
    row("complete", "", {}, abc, 0, abc, "15ﾊﾞｲﾄ中 15ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了");
    row("NAK x5", "", {.nakAt = {{2, 5}}}, abc, 6, ab, "ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ NAK受信");
    row("silence", "", {.silentAt = {{2, 5}}}, abc, 5, ab, "ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ");
    row("BEL", "", {.belAt = 2}, abc, 7, ab, "ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ BEL受信");
    row("FUL", "", {.fulAt = 2}, abc, 8, ab, "ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>");
    row("connect time-out", "--connect-timeout 3", {.silentMaster = 1000000}, abc, 5, "", "MASTER:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ");
    row("port in use", "", {}, abc, 4, "", QString::number(EADDRINUSE) + " UDP設定に問題がないか確認してください。 " + inUse);
    row("port in use, --keep-going: no retry", "--repeat --keep-going", {}, abc, 4, "", inUse);
    row("empty file", "", {}, "", 3, "", "61:No data available");
    row("missing file", "", {}, abc, 3, "", "2:No such file or directory");
    row("a FIFO", "", {}, abc, 3, "", "22:Invalid argument");
    row("a folder with nothing to send", "", {}, abc, 3, "", ": no *.csv or *.txt file to send");
    row("a FIFO in a folder, after MASTER", "", {}, abc, 3, "", "22:Invalid argument");
    row("Shift-JIS that reads as UTF-8 too", "", {}, sjis, 0, sjis, "reads as UTF-8 too");
    row("UTF-8 converted", "", {}, utf8, 0, cp932, "UTF-8: converted");
    row("UTF-16 LE converted", "", {}, utf16le, 0, "A\t\x8f\xe3\r\n", "UTF-16: converted");
    row("UTF-16 BE converted", "", {}, utf16be, 0, "A\t\x8f\xe3\r\n", "UTF-16: converted");
    row("cp932: UTF-8 as it is", "--encoding cp932", {}, utf8, 0, utf8, "");
    row("utf-8: 4°C converted", "--encoding utf-8", {}, "4°C\r\n", 0, "4\x81\x8b" "C\r\n", "");
    row("a stray byte in UTF-8", "", {}, "商品\r\nab\xff\r\n", 3, "", "--encoding cp932 sends it as it is");
    row("EUC-JP", "", {}, "1,\xa4\xb3\xa4\xf3\r\n", 3, "", "ﾚｺｰﾄﾞ1:6文字目 Shift-JISとして読めないﾊﾞｲﾄがあります");
    row("a private-use character", "", {}, "商品,\xef\xa1\xaf\r\n", 3, "", "ﾚｺｰﾄﾞ1:4文字目 Shift-JISに変換できない文字があります");
    row("nothing but a byte-order mark", "", {}, "\xEF\xBB\xBF", 3, "", "61:No data available");
    // What is sent and reported is the file as it is read once the terminal answers.
    const QByteArray two = "商品\r\n棚\r\n";
    row("emptied", "", {.silentMaster = 2}, two, 3, "", "61:No data available", "");
    row("grown", "", {.silentMaster = 2}, two, 0, "\x8f\xa4\x95\x69\r\n\x92\x49\r\n\x91\x9d\r\n", "18ﾊﾞｲﾄ中 18ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了",
        "商品\r\n棚\r\n増\r\n");
    row("no longer UTF-8", "", {.silentMaster = 2}, two, 3, "\x8f\xa4\x95\x69\r\n", "ﾚｺｰﾄﾞ2:3文字目 UTF-8として読めないﾊﾞｲﾄがあります",
        "商品\r\nab\xff\r\n");
  }
  void oneFile() {
    QFETCH(QString, options);
    QFETCH(SimOptions, sim);
    QFETCH(QByteArray, content);
    QFETCH(int, code);
    QFETCH(QByteArray, stored);
    QFETCH(QString, says);
    QFETCH(QByteArray, later);
    const QString row = QTest::currentDataTag();
    Shop shop;
    sim::Terminal& cradle = shop.Cradle(1, sim);
    int e = 0;
    auto held = row.startsWith("port in use") ? shop.net.Bind(6000, e) : nullptr;
    QString file = shop.File("f.csv", content);
    if (row == "missing file") file = shop.dir.filePath("missing.csv");
    if (row.contains("folder")) QDir().mkpath(file = shop.dir.filePath("outbox"));
    if (row.contains("FIFO"))
      QCOMPARE(::mkfifo(qPrintable(row.contains("folder") ? file + "/b.csv" : (file = shop.dir.filePath("fifo.csv"))), 0600), 0);
    if (row.contains("FIFO in a folder")) QVERIFY(QFile::copy(shop.dir.filePath("f.csv"), file + "/a.csv"));
    const Run r = shop.Send(QStringList{"--host", "127.0.0.2", "--json", file} + options.split(' ', Qt::SkipEmptyParts), false,
                            [&](send::Sender&) {
                              if (cradle.Stats().masters == 1 && !later.isNull()) WriteAll(file, std::exchange(later, {}));
                            });
    QCOMPARE(r.code, code);
    // Each exit code stands for one outcome, and the last record's status is a line of its own.
    static const QStringList outcomes{"complete", "", "", "file_error", "socket_error", "no_reply", "nak", "bel", "ful"};
    QCOMPARE(r.Records().last()["outcome"].toString(), outcomes[code]);
    QVERIFY2(r.err.contains(says.toUtf8()) && r.err.contains((r.Records().last()["status"].toString() + '\n').toUtf8()),
             r.err.constData());
    QCOMPARE(ReadAll(shop.Stored(1)), stored);
    QCOMPARE(cradle.Received().count("END\r"), r.Fields({"outcome"}).count("complete"));  // none after a file cut short
    if (code == 3 && !row.contains("after MASTER") && sim.silentMaster == 0) QVERIFY(cradle.Received().isEmpty());
  }

  // Every file to every cradle at once; a cradle's failure ends that cradle's run only, and the exit code
  // is that of the first cradle given that failed. Each record holds every field, on standard output and
  // in --log alike. Zero-padded parts of an address are decimal: 127.0.0.010 is the tenth.
  void records() {
    Shop shop;
    shop.Cradle(1, SimOptions{.nakAt = {{1, 2}}});
    shop.Cradle(2, SimOptions{.fulAt = 1});
    shop.Cradle(3);
    shop.Cradle(9, SimOptions{.belAt = 2});
    const QByteArray content = "NAME\r\n\x8f\xa4\x95\x69,1\r\nA,2\r\n";
    const QString a = shop.File("a.csv", content), log = shop.dir.filePath("t.jsonl");
    const QString hosts = shop.File("hosts.txt", "127.0.0.2   # front\n  127.0.0.3:6001\n127.0.0.4\n127.0.0.010\n");
    const Run r = shop.Send({"--hosts", hosts, "--json", "--log", log, "--title-line", a, shop.File("b.csv", "NAME\r\nB,1\r\n")});
    QCOMPARE(r.code, 8);  // 127.0.0.3 came before 127.0.0.010
    QCOMPARE((QList<QByteArray>{ReadAll(shop.Stored(1)), ReadAll(shop.Stored(3)), ReadAll(shop.Stored(9))}),
             (QList<QByteArray>{"B,1\r\n", "B,1\r\n", "\x8f\xa4\x95\x69,1\r\n"}));
    QStringList seen = r.Fields({"host", "outcome", "bytes"});  // the bytes read and acknowledged
    seen.sort();
    QCOMPARE(seen.join(", "), "127.0.0.010 bel 14, 127.0.0.010 not_sent 0, 127.0.0.2 complete 11, 127.0.0.2 complete 19, "
                              "127.0.0.3:6001 ful 6, 127.0.0.3:6001 not_sent 0, 127.0.0.4 complete 11, 127.0.0.4 complete 19");
    for (const QString& line : r.ErrLines()) QVERIFY2(line.startsWith("127.0.0."), qPrintable(line));
    QCOMPARE(ReadAll(log), r.out);
    QJsonObject j;
    for (const QJsonObject& o : r.Records()) {
      QVERIFY(o["outcome"] != "not_sent" || o["sha256"].isNull());
      if (o["host"] == "127.0.0.2" && o["file"] == a) j = o;
    }
    const QString started = j.take("started").toString(), ended = j.take("ended").toString();  // local, its offset, ms
    const QRegularExpression local("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}([+-]\\d\\d:\\d\\d|Z)$");
    QVERIFY2(local.match(started).hasMatch() && started <= ended, qPrintable(started + ' ' + ended));
    QVERIFY(j.take("seconds").isDouble() && j.take("run").isString());
    const QJsonObject expected{{"file", a}, {"host", "127.0.0.2"}, {"bytes", content.size()}, {"lines_sent", 2},
                               {"packets_sent", 4},  // the title line is not sent; two NAKs, then two ACKs
                               {"outcome", "complete"}, {"sha256", Sha256(content)}, {"status", "19ﾊﾞｲﾄ中 19ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了"}};
    QCOMPARE(QJsonDocument(j).toJson(QJsonDocument::Compact), QJsonDocument(expected).toJson(QJsonDocument::Compact));
  }

  // On a terminal a line per cradle, redrawn at most ten times a second; it counts bytes, so it is
  // full with the last line of double-byte text. Elsewhere every status text, one per line.
  void progress() {
    Shop shop;
    shop.Cradle(1);
    shop.Cradle(2);
    QByteArray kanji;
    for (int i = 0; i < 40; ++i) kanji += "\x8f\xa4\x95\x69\x83\x7d\x83\x58\x83\x5e,120\r\n";
    const QString f = shop.File("k.csv", kanji);
    QString full;  // as the last line is acknowledged
    Run r = shop.Send({"--host", "127.0.0.2", f}, true, [&](send::Sender& s) {
      if (s.ProgressLines().value(0).contains(" 40 lines")) full = s.ProgressLines()[0];
    });
    QCOMPARE(r.code, 0);
    QVERIFY2(full.startsWith(QStringLiteral("[########################] 100% %1/%1 bytes").arg(kanji.size())), qPrintable(full));
    QVERIFY(r.err.count("\x1b[K") < 30);  // 40 lines at 20 a second: two seconds, twenty redraws
    r = shop.Send({"--host", "127.0.0.2", "--host", "127.0.0.3", f}, true);
    // A line each, and back up over both before they are drawn again.
    QVERIFY(r.err.contains("127.0.0.2  k.csv  ") && r.err.contains("127.0.0.3  k.csv  ") && r.err.contains("\x1b[2A"));
    r = shop.Send({"--host", "127.0.0.2", f});
    QCOMPARE(r.ErrLines().size(), 2 + 40 + 1);
    QCOMPARE(r.ErrLines()[2], QStringLiteral("%1ﾊﾞｲﾄ中 0ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ済み").arg(kanji.size()));

    // A change shows a tenth of a second later, and only the line that changed is written again.
    platform::ManualClock clock;
    QBuffer err;
    err.open(QIODevice::WriteOnly);
    QStringList lines{"a 10%", "b waiting"};
    send::Progress bars(err, true, [&] { return lines; }, clock);
    bars.Changed();
    clock.Advance(10);
    lines[0] = "a 20%";
    bars.Changed();
    clock.Advance(9);
    QCOMPARE(err.data(), QByteArray("a 10%\x1b[K\nb waiting\x1b[K\n"));
    clock.Advance(1);
    QCOMPARE(err.data(), QByteArray("a 10%\x1b[K\nb waiting\x1b[K\n\x1b[2A\ra 20%\x1b[K\r\x1b[2B"));
  }

  // What is refused, with exit code 2, before anything is sent: options, hosts
  // and hosts files ("@" stands for a hosts file holding `hostsFile`).
  void usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("hostsFile");
    QTest::addColumn<QString>("says");
    const QByteArray none;
    const QStringList check{"--check-hosts", "@"};
    QTest::newRow("unknown option") << QStringList{"--frobnicate", "x"} << none << "frobnicate";
    QTest::newRow("no file") << QStringList{"--host", "127.0.0.2"} << none << "no FILE";
    QTest::newRow("port not a number") << QStringList{"--port", "abc", "x"} << none << "--port";
    QTest::newRow("local port out of range") << QStringList{"--local-port", "-1", "x"} << none << "--local-port";
    QTest::newRow("bad encoding") << QStringList{"--encoding", "latin1", "x"} << none << "--encoding";
    QTest::newRow("--since alone") << QStringList{"--since", "2026-12-01", "x"} << none << "--history";
    QTest::newRow("no host anywhere") << QStringList{"x"} << none << "no remote host";
    QTest::newRow("two parts") << QStringList{"--host", "127.1", "x"} << none << "not an IPv4 address";
    QTest::newRow("one cradle, two spellings") << QStringList{"--host", "127.0.0.2", "--host", "127.000.000.002", "x"} << none
                                               << "127.0.0.2 and 127.000.000.002 are the same cradle";
    QTest::newRow("hosts: CR line ends") << check << QByteArray("127.0.0.2\r127.0.0.3:7\r") << "cradles: 2";
    QTest::newRow("hosts: UTF-16") << check << QByteArray("\xFF\xFE" "1\0" "2\0", 6) << ":1: UTF-16";
    QTest::newRow("hosts with the options") << QStringList{"--port", "0"} + check << QByteArray("127.0.0.2\n") << "--port";
    QTest::newRow("hosts: NUL") << check << QByteArray("127.0.0.2\n127.0.0.3\0\n", 21) << ":2: a NUL";
    QTest::newRow("hosts: signed port") << check << QByteArray("# front\n\n127.0.0.2:+6001\n") << ":3:";
    QTest::newRow("hosts: blank in port") << check << QByteArray("127.0.0.2: 6001\n") << ":1:";
    QTest::newRow("hosts: octal form") << check << QByteArray("127.1\n") << ":1: \"127.1\"";
    QTest::newRow("hosts: too large") << check << QByteArray(1 << 21, '#') << "File too large";
    QTest::newRow("log: no folder") << QStringList{"--log", "/nonexistent/t.jsonl"} + check << QByteArray("127.0.0.2\n")
                                    << "--log /nonexistent/t.jsonl: cannot be written: No such file or directory";
    QTest::newRow("log: a folder") << QStringList{"--log", "/", "--host", "127.0.0.2", "x"} << none << "Is a directory";
    QTest::newRow("settings: /dev/zero") << QStringList{"--settings", "/dev/zero", "x"} << none << "is not valid";
  }
  void usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, hostsFile);
    QFETCH(QString, says);
    Shop shop;
    args.replaceInStrings(QRegularExpression("^@$"), shop.File("hosts.txt", hostsFile));
    const Run r = shop.Send(args);
    QCOMPARE(r.code, says.startsWith("cradles") ? 0 : 2);
    QVERIFY2(r.err.contains(says.toUtf8()), r.err.constData());
  }

  // Terminal after terminal from an outbox: no "MASTER" while it holds nothing to send; each terminal
  // gets the files as they are when it comes; with --keep-going a failed terminal is recorded and the
  // cradle pauses, so that the same terminal is not failed again at once.
  void terminalAfterTerminal() {
    Shop shop;
    sim::Terminal& cradle = shop.Cradle(1);
    const QString outbox = shop.dir.filePath("outbox/");
    QDir().mkpath(outbox);
    // The second terminal comes late; while the cradle waits for it, b.csv is
    // replaced as rsync does and A.txt taken away.
    QObject::connect(&cradle, &sim::Terminal::Completed,
                     [&] { cradle.Options().silentMaster = cradle.Received().count("END\r") == 2; });
    QList<qint64> mastersAt;  // in ticks
    const auto each = [&](send::Sender&) {
      if (shop.clock.NowNs() >= 12'000'000'000 && !QFile::exists(outbox + "b.csv")) {
        QVERIFY(cradle.Received().isEmpty());
        shop.File("outbox/b.csv", "B\r\n");
        shop.File("outbox/A.txt", "A\r\n");
        shop.File("outbox/.b.csv", "partial\r\n");  // hidden: a copy being written beside
        shop.File("outbox/notes.doc", "x");
      }
      if (cradle.Received().count("MASTER\r") == mastersAt.size()) return;
      mastersAt << shop.clock.NowNs() / shop.clock.NsPerTick();
      if (mastersAt.size() == 3) {
        shop.File("outbox/.new", "NEW\r\n");
        std::rename(qPrintable(outbox + ".new"), qPrintable(outbox + "b.csv"));
        QFile::remove(outbox + "A.txt");
      }
      cradle.Options().belAt = QList<int>{3, 4, 5, 7}.contains(mastersAt.size());  // terminals 2, 3, 5
    };
    const Run r = shop.Send({"--host", "127.0.0.2", "--repeat=6", "--keep-going", "--json", outbox}, false, each);
    QCOMPARE(r.code, 7);  // the first failure
    QCOMPARE(r.Fields({"terminal", "outcome"}).join(", "), "1 complete, 1 complete, 2 bel, 3 bel, 4 complete, 5 bel, 6 complete");
    QCOMPARE(r.Records()[4]["sha256"].toString(), Sha256("NEW\r\n"));
    QCOMPARE(ReadAll(shop.Stored(1)), QByteArray("NEW\r\n"));
    QVERIFY(!cradle.Received().join().contains("partial"));
    // Seconds between "MASTER"s (terminal 1's two files, terminal 2's two tries, then one each): no pause after a
    // completed terminal; after a failure 10 s, doubling, and 10 s again once a terminal has completed.
    QList<qint64> gaps;
    for (qsizetype i = 1; i < mastersAt.size(); ++i) gaps << (mastersAt[i] - mastersAt[i - 1]) / link::kTicksPerSecond;
    QCOMPARE(gaps, (QList<qint64>{0, 0, 1, 10, 20, 0, 10}));
  }

  // Signals: what was cut off decides between 0 and 130.
  void interrupted_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("outcomes");
    QTest::newRow("after the last file") << 0 << QStringList{"complete"};
    QTest::newRow("between two files") << 130 << QStringList{"complete", "not_sent"};
    QTest::newRow("waiting for the next terminal") << 0 << QStringList{"complete"};
    QTest::newRow("during a transfer") << 130 << QStringList{"complete", "stopped"};
    QTest::newRow("pausing after failures, --keep-going") << 0 << QStringList{"bel", "bel"};
  }
  void interrupted() {
    QFETCH(int, code);
    QFETCH(QStringList, outcomes);
    const QString row = QTest::currentDataTag();
    Shop shop;
    sim::Terminal& cradle = shop.Cradle(1, SimOptions{.belAt = row.contains("failures") ? 1 : 0});
    QStringList args{"--host", "127.0.0.2", "--json", shop.File("a.csv", "a\r\n")};
    if (row.contains("two files")) args << shop.File("b.csv", "b\r\n");
    if (row.contains("terminal") || row.contains("transfer") || row.contains("failures")) args << "--repeat";
    if (row.contains("failures")) args << "--keep-going";
    // After the first terminal: none comes, or one that stalls at its line.
    QObject::connect(&cradle, &sim::Terminal::Completed, [&] {
      (row.contains("terminal") ? cradle.Options().silentMaster : cradle.Options().silentAt[1]) = 1000000;
    });
    bool connected = false, sent = false;
    const Run r = shop.Send(args, false, [&](send::Sender& s) {
      if (!std::exchange(connected, true)) {
        if (row.contains("file"))  // as the transfer ends
          QObject::connect(&s.DownloadOf(0), &link::Download::Ended, &s, [&s] { s.Interrupt(); });
        if (row.contains("failures"))  // in the pause after the second failure
          shop.clock.CallAt(15 * shop.clock.NsPerTick() * link::kTicksPerSecond, [&s] { s.Interrupt(); });
      }
      const bool now = cradle.Received().count("MASTER\r") == 2 && cradle.Stats().silences > 0;
      if (now && !row.contains("failures") && !std::exchange(sent, true)) s.Interrupt();
    });
    QCOMPARE(r.code, code);
    QCOMPARE(r.Fields({"outcome"}), outcomes);
  }

  // --history: a day and a cradle a row; terminals complete and failed, and
  // which version of each file they got.
  void history() {
    Shop shop;
    QByteArray log;
    for (const auto& [day, terminal, file, outcome, sha] : QList<std::tuple<QString, int, QString, QString, QString>>{
             {"07", 1, "items", "complete", "aaaa1111bbbb"}, {"08", 1, "items", "complete", "cccc2222dddd"},
             {"08", 2, "items", "no_reply", ""}, {"08", 2, "stock", "not_sent", ""},
             {"08", 3, "items", "complete", "cccc2222dddd"}})
      log += QStringLiteral(R"({"file":"/outbox/%1.csv","host":"192.0.2.11","outcome":"%2","run":"2026-12-%3","sha256":"%4",)"
                            R"("started":"2026-12-%3T08:00:00.000+09:00","terminal":%5})" "\n")
                 .arg(file, outcome, day, sha).arg(terminal).toUtf8();
    const QString path = shop.File("transfers.jsonl", log + "{not a record\n");
    const Run r = shop.Send({"--history", path, "--since", "2026-12-08"});
    QCOMPARE(r.code, 0);
    QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("2026-12-08  192.0.2.11  complete 2  failed 1 (no_reply 1)\n"
                                                      "    items.csv  cccc2222  terminals 2\n"));
    QCOMPARE(shop.Send({"--history", path, "--since", "2026-12-08", "--json"}).out,
             QByteArray(R"({"days":[{"cradles":[{"complete":2,"failed":{"no_reply":1},"files":[{"file":"items.csv",)"
                        R"("sha256":"cccc2222dddd","terminals":2}],"host":"192.0.2.11"}],"date":"2026-12-08"}]})" "\n"));
  }

  // ---- the real program, real signals, real UDP -------------------------------

  // A signal stops like the stop button: exit 130 at once, and the last line
  // says so. Records reach a pipe and the log as each transfer ends: a run
  // killed outright leaves a log whose every line parses.
  void realSignals() {
    Shop shop;
    for (int signal : {SIGINT, SIGTERM, SIGKILL}) {
      sim::TerminalSimulator sim({}, QHostAddress::LocalHost, 0);
      QVERIFY(sim.Start());
      // The second terminal stalls at its line.
      QObject::connect(&sim.Cradle(), &sim::Terminal::Completed, [&sim] { sim.Cradle().Options().silentAt[1] = 1000000; });
      const QString log = shop.dir.filePath(QStringLiteral("%1.jsonl").arg(signal));
      QProcess p;
      p.start(QStringLiteral(KORIMA_SEND), {"--settings", shop.dir.filePath("settings.ini"), "--host", "127.0.0.1", "--port",
                                            QString::number(sim.Port()), "--local-port", "0", "--repeat", "--json", "--log", log,
                                            shop.File("a.csv", "a\r\n")});
      QTRY_VERIFY_WITH_TIMEOUT(sim.Cradle().Stats().silences > 0 && p.canReadLine() && ReadAll(log).endsWith('\n'), 10000);
      ::kill(pid_t(p.processId()), signal);
      QVERIFY(p.waitForFinished(2000));
      for (const QByteArray& line : ReadAll(log).split('\n')) QVERIFY(line.isEmpty() || !QJsonDocument::fromJson(line).isNull());
      if (signal == SIGKILL) continue;
      const QByteArray err = p.readAllStandardError();
      QVERIFY2(p.exitCode() == 130 && err.endsWith("korima-send: interrupted by a signal\n"), err.constData());
    }
  }

  // In networks of their own (netns.sh): a lookup that never answers, one
  // that fails, a send the kernel refuses, loss and duplication.
  void netns() {
    const QString world = qEnvironmentVariable("KORIMA_NETNS");
    if (world.isEmpty()) QSKIP("run through netns.sh");
    Shop shop;
    const QString f = shop.File("s.csv", "4901234567894,1\r\n");
    // The real program, with an event loop meanwhile so that a simulator here
    // answers; `signal` goes to it after 300 ms.
    auto run = [&](const QStringList& args, int signal = 0) {
      QProcess p;
      p.start(QStringLiteral(KORIMA_SEND), QStringList{"--settings", shop.dir.filePath("settings.ini"), "--local-port", "0",
                                                       "-q", "--json"} + args << f);
      QElapsedTimer t;
      for (t.start(); p.state() != QProcess::NotRunning && t.elapsed() < 240000; QTest::qWait(10))
        if (signal && t.elapsed() > 300) ::kill(pid_t(p.processId()), std::exchange(signal, 0));
      return Run{p.state() == QProcess::NotRunning ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
    };
    sim::TerminalSimulator sim(SimOptions{.outPath = shop.dir.filePath("stored")}, QHostAddress::LocalHost, 0);
    QVERIFY(sim.Start());
    const QString port = QString::number(sim.Port());
    QElapsedTimer t;
    t.start();
    if (world == "silent-dns") {  // the time-out bounds the lookup too; a signal ends it at once
      QCOMPARE(run({"--host", "cradle.shop.test", "--connect-timeout", "1"}).code, 4);
      QVERIFY2(t.elapsed() < 2500, qPrintable(QString::number(t.elapsed())));
      QCOMPARE(run({"--host", "cradle.shop.test"}, SIGINT).code, 130);
      QVERIFY2(t.elapsed() < 3500, qPrintable(QString::number(t.elapsed())));
    } else if (world == "no-dns") {  // the resolver's own code and text, with the name; /etc/hosts still serves
      const Run r = run({"--host", "cradle.shop.test"});
      QCOMPARE(r.code, 4);
      QVERIFY2(r.err.contains("確認してください。 cradle.shop.test: ") && !r.err.startsWith(QByteArray::number(EDESTADDRREQ) + ' '),
               r.err.constData());
      QCOMPARE(run({"--host", "localhost", "--port", port}).code, 0);
    } else if (world == "refuse") {
      QCOMPARE(QString::fromUtf8(run({"--host", "127.0.0.2", "--port", "6001"}).err).trimmed(),
               QString::number(EPERM) + " UDP設定に問題がないか確認してください。 " + platform::OsErrorText(EPERM) + " (127.0.0.2:6001)");
    } else if (world == "faults") {  // 5 % lost, 5 % duplicated: none fails at "END" (with one try, one in ten would)
      const Run r = run({"--host", "127.0.0.1", "--port", port, "--repeat=40", "--connect-timeout", "5"});
      QCOMPARE(r.out.count("\"complete\""), 40);
      QCOMPARE(ReadAll(shop.dir.filePath("stored")), ReadAll(f));
    }
  }
};

QTEST_GUILESS_MAIN(TestSend)
#include "tst_send.moc"
