// The download against the terminal simulator over real loopback UDP, with a
// fast tick source so that reply waits and silences cost milliseconds.
#include "LinkHarness.h"
#include "TestSupport.h"
#include "config/Settings.h"
#include "link/CheckSum.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Ticks.h"
#include "sim/TerminalSimulator.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

using namespace korima;
using link::Download;
using link::DownloadOptions;
using link::DownloadResult;
using sim::SimOptions;
using sim::TerminalSimulator;

namespace {

const QString kWaiting = QStringLiteral("UDP通信：送受信待ち");
const QString kStopped = QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました");

QString Progress(qint64 max, qint64 sent) {
  return QString::number(max) + QStringLiteral("ﾊﾞｲﾄ中 ") + QString::number(sent) + QStringLiteral("ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ済み");
}
QString Completed(qint64 max) {
  return QString::number(max) + QStringLiteral("ﾊﾞｲﾄ中 ") + QString::number(max) + QStringLiteral("ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了");
}
QString LastLine(const QString& status) { return status.split(QStringLiteral("\r\n")).last(); }

QByteArray Joined(const QList<QByteArray>& lines) {
  QByteArray out;
  for (const QByteArray& l : lines) out += l + "\r\n";
  return out;
}

// One download set-up: a simulator, a download to it, and the window's report.
struct Rig {
  explicit Rig(SimOptions simOptions = {}, int tickMs = 0, platform::TickSource* customTicks = nullptr)
      : ticks(tickMs) {
    simOptions.port = 0;
    simOptions.outPath = dir.filePath("received.out");
    sim = std::make_unique<TerminalSimulator>(simOptions);
    started = sim->Start();
    options.localPort = "0";
    options.remoteHost = "127.0.0.1";
    options.remotePort = QString::number(sim->Port());
    download = std::make_unique<Download>(customTicks ? customTicks : &ticks);
    watch = std::make_unique<Watch>(*download);
  }
  QString Write(const QString& name, const QByteArray& bytes) {
    WriteAll(dir.filePath(name), bytes);
    return dir.filePath(name);
  }
  // As the window's start and stop buttons do.
  void Start(const QString& name) {
    options.filePath = QDir::toNativeSeparators(dir.filePath(name));
    QVERIFY(download->Start(options));
  }
  void Stop() {
    watch->report.AddLine(link::wording::StopPressed());
    download->Stop();
  }
  // Starts the download of `name` and waits for its wrap-up.
  bool Run(const QString& name, int timeoutMs = 30000) {
    QSignalSpy ended(download.get(), &Download::Ended);
    Start(name);
    if (ended.isEmpty()) ended.wait(timeoutMs);
    return ended.size() == 1 && !download->Running();
  }
  const DownloadResult& Result() const { return download->Result(); }
  QString Status() const { return watch->Text(); }
  QByteArray Stored() const { return ReadAll(dir.filePath("received.out")); }

  QTemporaryDir dir;
  platform::TimerTicks ticks;
  std::unique_ptr<TerminalSimulator> sim;
  DownloadOptions options;
  std::unique_ptr<Download> download;
  std::unique_ptr<Watch> watch;
  bool started = false;
};

// After every wrap-up the label says why the download ended: never a
// progress text or the waiting text, and the outcome agrees with it.
void CheckEndingSaysWhy(const Rig& rig) {
  const QString last = LastLine(rig.Status());
  QVERIFY2(!last.endsWith(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ済み")) && last != kWaiting && !last.endsWith(QStringLiteral("> ｵｰﾌﾟﾝ")),
           qPrintable(rig.Status()));
  using link::Outcome;
  switch (rig.Result().outcome) {
    case Outcome::Complete: QVERIFY(last.endsWith(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ完了"))); break;
    case Outcome::Stopped: QCOMPARE(last, kStopped); break;
    case Outcome::SocketError: QVERIFY(last.contains(QStringLiteral(" UDP設定に問題がないか確認してください。 "))); break;
    case Outcome::FileError: QVERIFY(last.startsWith(u'<') || last.startsWith(QStringLiteral("ﾚｺｰﾄﾞ"))); break;
    case Outcome::Nak: QVERIFY(last.endsWith(QStringLiteral("NAK受信"))); break;
    case Outcome::NoReply: QVERIFY(last.endsWith(QStringLiteral("受信ﾀｲﾑｱｳﾄ"))); break;
    case Outcome::Bel: QVERIFY(last.endsWith(QStringLiteral("BEL受信"))); break;
    case Outcome::Ful: QVERIFY(last.endsWith(QStringLiteral("<PDTﾒﾓﾘﾌﾙ>"))); break;
    case Outcome::None: QFAIL("a download ended without an outcome");
  }
  QVERIFY(!rig.download->Running());
}

}  // namespace

class TestDownload : public QObject {
  Q_OBJECT
  std::unique_ptr<Recorder> rec_;

 private slots:
  void init() { rec_ = std::make_unique<Recorder>(); }
  void cleanup() { rec_.reset(); }

  void exampleExchangeByteForByte() {
    SimOptions o;
    o.nakAt[1] = 1;
    Rig rig(o);
    QVERIFY(rig.started);
    rig.Write("ex.csv", "A,1\r\nB,2\r\n");
    QVERIFY(rig.Run("ex.csv"));
    QCOMPARE(rig.sim->Received(),
             (QList<QByteArray>{"MASTER\r", "^0A,1*56\r", "^0A,1*56\r", "^1B,2*59\r", "END\r"}));
    QCOMPARE(rig.Status(), Progress(10, 3) + "\r\n" + Completed(10));
    QCOMPARE(rig.Stored(), QByteArray("A,1\r\nB,2\r\n"));
    QVERIFY(!rig.download->Running());
    QCOMPARE(rig.download->LocalPort(), 0);  // the socket went with the download
  }

  void statusAfterEachAck() {
    Rig rig;
    const QString path = rig.Write("three.csv", "abc\r\ndef\r\nghi\r\n");
    QVERIFY(rig.Run("three.csv"));
    QCOMPARE(rig.Result().fileBytes, 15);
    QCOMPARE(rig.watch->history,
             (QStringList{kWaiting, kWaiting + "\r\n<" + path + "> ｵｰﾌﾟﾝ", Progress(15, 0), Progress(15, 3),
                          Progress(15, 6), Progress(15, 6) + "\r\n" + Completed(15)}));
    QCOMPARE(rig.watch->sent, (QList<qint64>{3, 6, 9}));
  }

  // Each row: how the terminal misbehaves, and how the download must end.
  void faults_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("lastStatus");
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("endSent");
    const QString done = Completed(15);
    QTest::newRow("four NAKs then ACK") << "nak 1 4" << done << 3 << true;
    QTest::newRow("five NAKs") << "nak 2 5" << QStringLiteral("ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ NAK受信") << 1 << false;
    QTest::newRow("four silent attempts then ACK") << "silent 3 4" << done << 3 << true;
    QTest::newRow("five silent attempts") << "silent 1 5" << QStringLiteral("ﾚｺｰﾄﾞ1:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ") << 0 << false;
    QTest::newRow("NAKs and silences mixed") << "nak 2 2 silent 2 2" << done << 3 << true;
    QTest::newRow("BEL at a line") << "bel 2" << QStringLiteral("ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ BEL受信") << 1 << false;
    QTest::newRow("FUL at a line") << "ful 3" << QStringLiteral("ﾚｺｰﾄﾞ3:ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>") << 2 << false;
    QTest::newRow("BEL at END") << "belend" << QStringLiteral("END:ﾊﾝﾄﾞｼｪｲｸ BEL受信") << 3 << true;
    QTest::newRow("FUL at END") << "fulend" << QStringLiteral("END:ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>") << 3 << true;
    QTest::newRow("silence at END") << "silentend" << QStringLiteral("END:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ") << 3 << true;
    QTest::newRow("NAK for END, twice") << "nakend" << done << 3 << true;
    QTest::newRow("MASTER ignored three times") << "silentmaster" << done << 3 << true;
    QTest::newRow("a fifth of all datagrams lost") << "drop" << done << 3 << true;
  }
  void faults() {
    QFETCH(QString, fault);
    QFETCH(QString, lastStatus);
    QFETCH(int, stored);
    QFETCH(bool, endSent);
    SimOptions o;
    const QStringList w = fault.split(' ');
    for (int i = 0; i < w.size(); ++i) {
      if (w[i] == "nak") { o.nakAt[w[i + 1].toInt()] = w[i + 2].toInt(); i += 2; }
      else if (w[i] == "silent") { o.silentAt[w[i + 1].toInt()] = w[i + 2].toInt(); i += 2; }
      else if (w[i] == "bel") o.belAt = w[++i].toInt();
      else if (w[i] == "ful") o.fulAt = w[++i].toInt();
      else if (w[i] == "belend") o.belAtEnd = true;
      else if (w[i] == "fulend") o.fulAtEnd = true;
      else if (w[i] == "silentend") o.silentEnd = 1;
      else if (w[i] == "nakend") o.nakEnd = 2;
      else if (w[i] == "silentmaster") o.silentMaster = 3;
      else if (w[i] == "drop") { o.dropShare = 0.2; o.seed = 7; }
    }
    Rig rig(o);
    rig.Write("d.csv", "abc\r\ndef\r\nghi\r\n");
    QVERIFY(rig.Run("d.csv"));
    QCOMPARE(LastLine(rig.Status()), lastStatus);
    QCOMPARE(rig.sim->Lines().size(), stored);
    QCOMPARE(rig.sim->Received().contains("END\r"), endSent);
    if (lastStatus == Completed(15)) QCOMPARE(rig.Stored(), QByteArray("abc\r\ndef\r\nghi\r\n"));
    if (fault == "nakend") QCOMPARE(rig.sim->Received().count("END\r"), 3);
    QVERIFY(!rig.download->Running());
    for (qint64 v : rig.watch->sent) QVERIFY(v <= 15);
    CheckEndingSaysWhy(rig);
  }

  void nakRepeatsTheIdenticalPacket() {
    SimOptions o;
    o.nakAt[1] = 4;
    Rig rig(o);
    rig.Write("n.csv", "x\r\n");
    QVERIFY(rig.Run("n.csv"));
    const QByteArray packet = link::FramePacket("x", '0') + '\r';
    QCOMPARE(rig.sim->Received().count(packet), 5);
  }

  // Only a reply word and its CR is a reply. Anything else from the terminal's
  // address is as if nothing had come: it never acknowledges, never ends a
  // transfer, and never makes the next command go out before its wait is over.
  void oddReplies_data() {
    QTest::addColumn<QByteArray>("odd");
    QTest::addColumn<bool>("atMaster");
    const QList<QPair<const char*, QByteArray>> odd = {
        {"bare ACK", "ACK"}, {"bare NAK", "NAK"}, {"bare BEL", "BEL"}, {"bare FUL", "FUL"},
        {"CR LF", "ACK\r\n"}, {"trailing NUL", QByteArray("ACK\r\0", 5)}, {"NUL before CR", QByteArray("ACK\0\r", 5)},
        {"junk", "\x8f\xa4\x95\x69\r"}, {"lower case", "ack\r"}, {"empty", ""}};
    for (const auto& [name, bytes] : odd) {
      QTest::newRow(qPrintable(QString("%1 at MASTER").arg(name))) << bytes << true;
      QTest::newRow(qPrintable(QString("%1 at a line").arg(name))) << bytes << false;
    }
    QTest::newRow("NAK at once for every MASTER") << QByteArray("NAK\r") << true;
  }
  void oddReplies() {
    QFETCH(QByteArray, odd);
    QFETCH(bool, atMaster);
    ScriptedPeer peer;
    peer.answer = [&](const QByteArray& d) { return d == "MASTER\r" && !atMaster ? QByteArray("ACK\r") : odd; };
    ManualTicks ticks;
    Rig rig({}, 0, &ticks);
    rig.options.remotePort = QString::number(peer.Port());
    rig.options.connectTimeoutTicks = 250;
    rig.Write("o.csv", "a\r\n");
    QSignalSpy ended(rig.download.get(), &Download::Ended);
    rig.Start("o.csv");
    // One tick at a time, each after the datagrams of the moment have arrived.
    for (int i = 0; i < 6000 && ended.isEmpty(); ++i) {
      QTest::qWait(0);
      if (!peer.socket.hasPendingDatagrams()) ticks.Advance(1);
    }
    QCOMPARE(ended.size(), 1);
    QCOMPARE(rig.Result().outcome, link::Outcome::NoReply);
    QCOMPARE(rig.Result().linesSent, 0);
    if (atMaster) {
      QCOMPARE(LastLine(rig.Status()), QStringLiteral("MASTER:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ"));
      QCOMPARE(peer.received, QList<QByteArray>(3, "MASTER\r"));  // one per reply wait; 250 ticks end it
    } else {
      QCOMPARE(LastLine(rig.Status()), QStringLiteral("ﾚｺｰﾄﾞ1:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ"));
      QCOMPARE(peer.received.count(link::FramePacket("a", '0') + '\r'), 5);
      QCOMPARE(rig.Result().silentWaits, 50);
      QVERIFY(!peer.received.contains("END\r"));
    }
    CheckEndingSaysWhy(rig);
  }

  // Replies that end in anything but CR never acknowledge; empty datagrams from
  // the terminal's address are dropped and the download carries on.
  void nearMissAndEmptyReplies() {
    ScriptedPeer peer;
    peer.replies = {"ACK\r", "ACK\n", "ACK ", "ACK\r\n", "ACK\r", "ACK\r", "ACK\r"};
    Rig rig;
    rig.options.remotePort = QString::number(peer.Port());
    rig.Write("u.csv", "q\r\nr\r\n");
    QSignalSpy ended(rig.download.get(), &Download::Ended);
    QObject::connect(&peer.socket, &QUdpSocket::readyRead, &peer, [&] {  // an empty datagram before every reply
      peer.socket.writeDatagram(QByteArray(), QHostAddress::LocalHost, peer.lastPort);
    });
    rig.Start("u.csv");
    QTRY_COMPARE(ended.size(), 1);
    const QByteArray first = link::FramePacket("q", '0') + '\r';
    QCOMPARE(peer.received.count(first), 4);  // three odd replies, then the ACK
    QCOMPARE(peer.received.last(), QByteArray("END\r"));
    QCOMPARE(rig.Result().outcome, link::Outcome::Complete);
    QCOMPARE(rig.Result().packetsSent, 5);
    QCOMPARE(rig.Result().linesSent, 2);
    CheckEndingSaysWhy(rig);
  }

  // Thousands of stray datagrams a second from the terminal's own address:
  // every download still completes and the terminal holds exactly the file.
  void flood() {
    Rig rig(SimOptions{}, 10);
    QByteArray content;
    for (int i = 1; i <= 6; ++i) content += "line," + QByteArray::number(i) + "\r\n";
    rig.Write("f.csv", content);
    QUdpSocket flooder;
    QVERIFY(flooder.bind(QHostAddress::LocalHost, 0));
    QRandomGenerator rng(7);
    const QList<QByteArray> nearMisses = {"ACK\n", "ACK ", QByteArray("ACK\0", 4), "ACK\r\n", "AC\r", "ack\r",
                                          "ACKK\r", "NAK\n", "BEL ", "FUL\n", ""};
    quint16 target = 0;
    qint64 floodSent = 0;
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, [&] {
      if (!target) return;
      for (int i = 0; i < 32; ++i) {
        QByteArray d;
        if (rng.bounded(2)) d = nearMisses[rng.bounded(int(nearMisses.size()))];
        else {
          d.resize(rng.bounded(0, 10));
          for (char& c : d) c = char(rng.bounded(256));
          if (d.endsWith('\r')) d.chop(1);  // a random word ending in CR could be a real reply
        }
        flooder.writeDatagram(d, QHostAddress::LocalHost, target);
        ++floodSent;
      }
    });
    pump.setTimerType(Qt::PreciseTimer);
    pump.start(1);
    for (int run = 0; run < 8; ++run) {
      QSignalSpy ended(rig.download.get(), &Download::Ended);
      rig.Start("f.csv");
      target = rig.download->LocalPort();
      QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 30000);
      target = 0;
      QVERIFY2(rig.Result().outcome == link::Outcome::Complete, qPrintable(rig.Status()));
      QCOMPARE(rig.Result().silentWaits, 0);  // the terminal answered every time: no reply went unread
      QCOMPARE(rig.Stored(), content);
      CheckEndingSaysWhy(rig);
    }
    QVERIFY(floodSent > 5000);
  }

  void titleLine() {
    SimOptions o;
    Rig rig(o);
    rig.options.titleLine = 1;
    const QString path = rig.Write("t.csv", "NAME,QTY\r\nA,1\r\n");
    QVERIFY(rig.Run("t.csv"));
    QCOMPARE(rig.watch->history.mid(1, 3),
             (QStringList{kWaiting + "\r\n<" + path + "> ｵｰﾌﾟﾝ", Progress(15, 0), Progress(15, 8)}));
    QCOMPARE(rig.sim->Received().mid(0, 3),
             (QList<QByteArray>{"MASTER\r", link::FramePacket("A,1", '0') + '\r', "END\r"}));
    QCOMPARE(rig.sim->Lines(), QList<QByteArray>{"A,1"});
  }

  void titleLineOnlyFile() {
    Rig rig;
    rig.options.titleLine = 2;  // every value above 0 means a title line
    rig.Write("only.csv", "NAME,QTY\r\n");
    QVERIFY(rig.Run("only.csv"));
    QCOMPARE(rig.sim->Received(), (QList<QByteArray>{"MASTER\r", "END\r"}));
    QCOMPARE(LastLine(rig.Status()), Completed(10));
  }

  // Past 2^24 bytes a single-precision total would print rounded, in exponent form.
  void exactByteCountsForLargeFiles() {
    Rig rig;
    rig.options.titleLine = 1;  // a 17 MB title line keeps the transfer short
    const QByteArray content = QByteArray(17000000, 'T') + "\r\nx\r\n";
    rig.Write("big.csv", content);
    QVERIFY(rig.Run("big.csv"));
    QVERIFY(rig.watch->history.contains(Progress(17000005, 0)));
    QVERIFY(rig.watch->history.contains(Progress(17000005, 17000000)));
    QCOMPARE(LastLine(rig.Status()), Completed(17000005));
    QCOMPARE(rig.sim->Lines(), QList<QByteArray>{"x"});
  }

  // Destroying a download while it waits frees the suspended coroutine.
  void destroyedWhileWaiting() {
    SimOptions o;
    o.silentAt[1] = 1000;
    Rig rig(o);
    rig.Write("w.csv", "a\r\nb\r\n");
    rig.Start("w.csv");
    QTRY_VERIFY(rig.sim->Stats().silences >= 1);
    QVERIFY(rig.download->Running());
    const quint16 port = rig.download->LocalPort();
    rig.download.reset();
    const qsizetype sent = rig.sim->Received().size();
    QTest::qWait(50);  // nothing resumes the freed frame (the sanitizers watch this)
    QCOMPARE(rig.sim->Received().size(), sent);
    QVERIFY(!rig.ticks.IsRunning());  // the tick source is not left running for nobody
    QUdpSocket again;
    QVERIFY(again.bind(QHostAddress::AnyIPv4, port));  // the socket went with the download
  }

  void sequenceDigitCycles() {
    Rig rig;
    QByteArray content;
    for (int i = 1; i <= 12; ++i) content += QByteArray::number(i) + "\r\n";
    rig.Write("s.csv", content);
    QVERIFY(rig.Run("s.csv"));
    QByteArray seps;
    for (const QByteArray& d : rig.sim->Received())
      if (d.startsWith('^')) seps += d[1];
    QCOMPARE(seps, QByteArray("012345678901"));
    QCOMPARE(rig.Stored(), content);
  }

  void lineEndsAndEmptyLines_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("lines");
    using L = QList<QByteArray>;
    QTest::newRow("empty line sent empty") << QByteArray("a\r\n\r\nb\r\n") << L{"a", "", "b"};
    QTest::newRow("last line without terminator") << QByteArray("a\r\nb") << L{"a", "b"};
    QTest::newRow("LF line ends") << QByteArray("a,1\nb,2\nc,3\n") << L{"a,1", "b,2", "c,3"};
    QTest::newRow("CR line ends") << QByteArray("a,1\rb,2\r") << L{"a,1", "b,2"};
    QTest::newRow("double-byte text") << QByteArray("\x82\xA0\x82\xA2,\xB1\r\n\x87\x40\x81\x60\x5C\r\n")
                                      << L{"\x82\xA0\x82\xA2,\xB1", "\x87\x40\x81\x60\x5C"};
  }
  void lineEndsAndEmptyLines() {
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, lines);
    Rig rig;
    rig.Write("l.txt", content);
    QVERIFY(rig.Run("l.txt"));
    QCOMPARE(rig.sim->Lines(), lines);
    QCOMPARE(rig.Stored(), Joined(lines));
    QCOMPARE(LastLine(rig.Status()), Completed(content.size()));
    QCOMPARE(rig.sim->Stats().badFrames, 0);  // every checksum matched
  }

  // A line one datagram can't carry ends the download at that line, before
  // anything of it is sent; the longest line that fits goes through.
  void longestLine() {
    Rig rig;
    const QByteArray fits(link::kLongestLine, 'x');
    rig.Write("l.csv", "a\r\n" + fits + "\r\n" + fits + "y\r\nb\r\n");
    QVERIFY(rig.Run("l.csv"));
    QCOMPARE(rig.sim->Lines(), (QList<QByteArray>{"a", fits}));
    QCOMPARE(LastLine(rig.Status()), QStringLiteral("ﾚｺｰﾄﾞ3:1行が長すぎます 65502ﾊﾞｲﾄ(上限65501ﾊﾞｲﾄ)"));
    QCOMPARE(rig.Result().outcome, link::Outcome::FileError);
    QCOMPARE(rig.Result().packetsSent, 2);
    QVERIFY(!rig.sim->Received().contains("END\r"));
    QCOMPARE(rec_->beeps, 1);
  }

  // Lines converted from UTF-8 on request (the byte-order mark dropped), or
  // sent as the file's bytes.
  void conversion_data() {
    QTest::addColumn<bool>("convert");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("converted") << true << QByteArray("\x8f\xa4\x95\x69,\x81\x60\r\n\xb1,1\r\n");
    QTest::newRow("as it is") << false << QByteArray("\xEF\xBB\xBF商品,〜\r\nｱ,1\r\n");
  }
  void conversion() {
    QFETCH(bool, convert);
    QFETCH(QByteArray, stored);
    Rig rig;
    rig.Write("u.csv", "\xEF\xBB\xBF商品,〜\r\nｱ,1\r\n");
    if (convert) rig.options.conversion = link::LineConversion::Utf8ToCp932;
    QVERIFY(rig.Run("u.csv"));
    QCOMPARE(rig.Result().outcome, link::Outcome::Complete);
    QCOMPARE(rig.Stored(), stored);
  }

  // A line that can't be converted ends the download before it is sent,
  // naming the line and the column.
  void unconvertibleLineEndsTheDownload() {
    Rig rig;
    rig.Write("u.csv", "商品,1\r\nab,한\r\nc\r\n");
    rig.options.conversion = link::LineConversion::Utf8ToCp932;
    QVERIFY(rig.Run("u.csv"));
    QCOMPARE(rig.sim->Lines(), QList<QByteArray>{"\x8f\xa4\x95\x69,1"});
    QCOMPARE(LastLine(rig.Status()), QStringLiteral("ﾚｺｰﾄﾞ2:4文字目 Shift-JISに変換できない文字があります"));
    QCOMPARE(rig.Result().outcome, link::Outcome::FileError);
    QVERIFY(!rig.sim->Received().contains("END\r"));
    QCOMPARE(rec_->beeps, 1);
  }

  void doubleByteCountsCharacters() {
    Rig rig;
    rig.Write("j.csv", "\x82\xA0\x82\xA2\x82\xA4\r\nx\r\n");  // three characters, six bytes
    QVERIFY(rig.Run("j.csv"));
    QVERIFY(rig.watch->history.contains(Progress(11, 3)));
    QCOMPARE(rig.watch->sent, (QList<qint64>{3, 4}));
  }

  void stopWhileMasterRepeats() {
    SimOptions o;
    o.silentMaster = 1000000;
    Rig rig(o);
    rig.Write("m.csv", "a\r\n");
    QSignalSpy ended(rig.download.get(), &Download::Ended);
    rig.Start("m.csv");
    QTRY_VERIFY(rig.sim->Stats().masters >= 3);
    rig.Stop();
    QVERIFY(!rig.download->Running());
    QVERIFY(!rig.download->Running());
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(rig.Status(), kWaiting + "\r\n" + kStopped);
    QVERIFY(!rig.sim->Received().contains("END\r"));
  }

  // Stop in each phase: the wait ends at once, nothing more goes out, the stop
  // text stays last, and a new start is taken right away.
  void stopIsAStop_data() {
    QTest::addColumn<QString>("phase");
    QTest::newRow("MASTER phase") << "master";
    QTest::newRow("pause before a packet") << "pause";
    QTest::newRow("reply wait") << "reply";
    QTest::newRow("END") << "end";
  }
  void stopIsAStop() {
    QFETCH(QString, phase);
    SimOptions o;
    if (phase == "master") o.silentMaster = 1000;
    if (phase == "reply") o.silentAt[2] = 1000;
    if (phase == "end") o.silentEnd = 1000;
    ManualTicks ticks;
    Rig rig(o, 0, &ticks);
    rig.Write("s.csv", "a\r\nb\r\n");
    QSignalSpy ended(rig.download.get(), &Download::Ended);
    rig.Start("s.csv");
    // Let the exchange run up to the phase, ticking only as far as it needs.
    auto reached = [&] {
      const QList<QByteArray>& r = rig.sim->Received();
      if (phase == "master") return rig.sim->Stats().masters >= 2;
      if (phase == "pause") return rig.Result().connected && ticks.running && r.size() == 1;
      if (phase == "reply") return r.size() >= 3 && r.last().startsWith("^1");
      return !r.isEmpty() && r.last() == "END\r";
    };
    for (int i = 0; i < 2000 && !reached(); ++i) {
      QTest::qWait(1);
      if (!(phase == "pause" && rig.sim->Received().size() == 1)) ticks.Advance(phase == "master" ? 100 : 1);
    }
    QVERIFY2(reached(), qPrintable(phase));
    QVERIFY(rig.download->Running());
    const qsizetype sent = rig.sim->Received().size();
    rig.Stop();
    QCOMPARE(ended.size(), 1);  // wound up in the stop's own handler
    QVERIFY(!rig.download->Running());
    QVERIFY(!ticks.running);  // the timer runs only inside a wait
    QVERIFY(!rig.download->Running());
    for (int i = 0; i < 20; ++i) {
      ticks.Advance(100);
      QTest::qWait(2);
    }
    QCOMPARE(rig.sim->Received().size(), sent);
    QCOMPARE(LastLine(rig.Status()), kStopped);
    QCOMPARE(rig.Result().outcome, link::Outcome::Stopped);
    CheckEndingSaysWhy(rig);
    // The terminal's output holds what it accepted before the stop.
    QCOMPARE(rig.Stored(), QByteArray(phase == "reply" ? "a\r\n" : phase == "end" ? "a\r\nb\r\n" : ""));

    rig.sim->Options() = SimOptions{};
    rig.sim->Options().outPath = rig.dir.filePath("received.out");
    rig.Start("s.csv");
    QVERIFY(rig.download->Running());
    QCOMPARE(rec_->beeps, 0);
    for (int i = 0; i < 5000 && ended.size() < 2; ++i) {
      ticks.Advance(1);
      QTest::qWait(1);
    }
    QCOMPARE(ended.size(), 2);
    QCOMPARE(rig.Result().outcome, link::Outcome::Complete);
    QCOMPARE(rig.Stored(), QByteArray("a\r\nb\r\n"));  // a new download, a new output
    QCOMPARE(rig.sim->Stats().accepted, 2);
  }

  void emptyOrVanishedFile_data() {
    QTest::addColumn<bool>("exists");
    QTest::newRow("empty") << true;
    QTest::newRow("vanished") << false;
  }
  void emptyOrVanishedFile() {
    QFETCH(bool, exists);
    Rig rig;
    const QString path = exists ? rig.Write("e.csv", "") : rig.dir.filePath("e.csv");
    QVERIFY(rig.Run("e.csv"));
    QVERIFY(rig.Status().startsWith("\r\n<" + path + "> "));
    QVERIFY(rig.Status().contains(QString::number(exists ? ENODATA : ENOENT) + ":"));
    QCOMPARE(rec_->beeps, 1);
    QVERIFY(rig.sim->Received().isEmpty());
    QVERIFY(!rig.download->Running());
    CheckEndingSaysWhy(rig);
  }

  void fileGoneAfterAck() {
    Rig rig;
    const QString path = rig.Write("g.csv", "a\r\n");
    QSignalSpy ended(rig.download.get(), &Download::Ended);
    rig.Start("g.csv");  // returns at the first wait, before "MASTER" goes out
    QVERIFY(QFile::remove(path));
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(LastLine(rig.Status()),
             "<" + path + "> " + QString::number(ENOENT) + ":" + platform::OsErrorText(ENOENT));
    QCOMPARE(rec_->beeps, 1);
    QCOMPARE(rig.sim->Received(), QList<QByteArray>{"MASTER\r"});  // no END goes out
    CheckEndingSaysWhy(rig);
  }

  void socketErrorsStayVisible_data() {
    QTest::addColumn<QString>("localPort");
    QTest::addColumn<QString>("remotePort");
    QTest::addColumn<int>("number");
    QTest::newRow("port in use") << "inuse" << "6001" << int(EADDRINUSE);
    QTest::newRow("non-numeric remote port") << "0" << "abc" << int(EINVAL);
    QTest::newRow("non-numeric local port") << "x" << "6001" << int(EINVAL);
    QTest::newRow("empty local port") << "" << "6001" << int(EINVAL);
  }
  void socketErrorsStayVisible() {
    QFETCH(QString, localPort);
    QFETCH(QString, remotePort);
    QFETCH(int, number);
    Rig rig;
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0));
    rig.options.localPort = localPort == "inuse" ? QString::number(holder.localPort()) : localPort;
    if (remotePort != "6001") rig.options.remotePort = remotePort;
    rig.Write("p.csv", "a\r\n");
    QVERIFY(rig.Run("p.csv"));
    QVERIFY2(rig.Status().startsWith(QString::number(number) + QStringLiteral(" UDP設定に問題がないか確認してください。 ") +
                                        platform::OsErrorText(number)),
             qPrintable(rig.Status()));
    QVERIFY(rig.sim->Received().isEmpty());
    QVERIFY(!rig.download->Running());
    QCOMPARE(rig.Result().outcome, link::Outcome::SocketError);
    CheckEndingSaysWhy(rig);
  }

  void hostNameIsLookedUp() {
    Rig rig;
    rig.options.remoteHost = "localhost";
    rig.Write("h.csv", "a\r\n");
    QVERIFY(rig.Run("h.csv"));
    QCOMPARE(rig.Result().outcome, link::Outcome::Complete);
    QCOMPARE(rig.Stored(), QByteArray("a\r\n"));
  }

  // A host name whose lookup never answers: the window's thread goes on
  // running events, and the stop button ends the download at once.
  void lookupThatNeverAnswers() {
    if (qEnvironmentVariable("KORIMA_NETNS") != "silent-dns") QSKIP("run through netns.sh silent-dns");
    Rig rig;
    rig.options.remoteHost = "cradle.shop.test";
    rig.Write("n.csv", "a\r\n");
    QSignalSpy ended(rig.download.get(), &Download::Ended);
    QElapsedTimer clock;
    clock.start();
    rig.Start("n.csv");
    QVERIFY2(clock.elapsed() < 500, "the start button blocked on the lookup");
    int beats = 0;
    QTimer heart;
    QObject::connect(&heart, &QTimer::timeout, [&] { ++beats; });
    heart.start(10);
    QTest::qWait(400);
    QVERIFY2(beats >= 5, qPrintable(QString::number(beats)));  // the event loop kept running (blocked: 0 or 1)
    QVERIFY(rig.download->Running());
    rig.Stop();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(rig.Status(), kWaiting + "\r\n" + kStopped);  // the waiting text came before the lookup
    QVERIFY(rig.sim->Received().isEmpty());
  }

  // A name the resolver can't find ends the download at once with the
  // resolver's own code and text, and the name.
  void lookupThatFails() {
    if (qEnvironmentVariable("KORIMA_NETNS") != "no-dns") QSKIP("run through netns.sh no-dns");
    Rig rig;
    rig.options.remoteHost = "cradle.shop.test";
    rig.Write("n.csv", "a\r\n");
    QVERIFY(rig.Run("n.csv"));
    QCOMPARE(rig.Result().outcome, link::Outcome::SocketError);
    QCOMPARE(rig.Result().silentWaits, 0);
    const QString last = LastLine(rig.Status());
    QVERIFY2(last.contains(QStringLiteral(" UDP設定に問題がないか確認してください。 cradle.shop.test: ")), qPrintable(last));
    QVERIFY2(!last.startsWith(QString::number(EDESTADDRREQ) + ' '), qPrintable(last));
    QVERIFY(rig.sim->Received().isEmpty());
    CheckEndingSaysWhy(rig);
  }

  // The kernel refuses the send (a firewall rule): its own error is reported,
  // and the download ends at once instead of waiting for a reply.
  void sendRefusedByTheKernel() {
    if (qEnvironmentVariable("KORIMA_NETNS") != "refuse") QSKIP("run through netns.sh refuse");
    Rig rig;
    rig.options.remoteHost = "127.0.0.2";
    rig.Write("r.csv", "a\r\n");
    QVERIFY(rig.Run("r.csv"));
    QCOMPARE(rig.Result().outcome, link::Outcome::SocketError);
    QCOMPARE(rig.Result().silentWaits, 0);
    QCOMPARE(rig.Result().masters, 1);
    QCOMPARE(LastLine(rig.Status()), QString::number(EPERM) + QStringLiteral(" UDP設定に問題がないか確認してください。 ") +
                                            platform::OsErrorText(EPERM));
    CheckEndingSaysWhy(rig);
  }

  // Two downloads on one local port share its socket; each takes the replies
  // of its own cradle, even when one cradle answers quicker or fails.
  void twoCradlesOneSocket() {
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
    const quint16 port = probe.localPort();
    const QString local = QString::number(port);
    probe.close();
    SimOptions slow, failing;
    slow.delayMs = 3;
    failing.belAt = 3;
    QTemporaryDir dir;
    QList<std::shared_ptr<TerminalSimulator>> sims;
    QList<std::shared_ptr<platform::TimerTicks>> ticks;  // outlive the downloads that count them
    QList<std::shared_ptr<Download>> downloads;
    for (int i = 0; i < 3; ++i) {
      SimOptions o = i == 0 ? slow : i == 1 ? failing : SimOptions{};
      o.address = QHostAddress(QHostAddress("127.0.0.2").toIPv4Address() + quint32(i));
      o.port = sims.isEmpty() ? 0 : sims[0]->Port();
      o.outPath = dir.filePath(QStringLiteral("c%1.out").arg(i));
      sims << std::make_shared<TerminalSimulator>(o);
      QVERIFY(sims.last()->Start());
      ticks << std::make_shared<platform::TimerTicks>(1);  // a reply wait of 100 ms
      downloads << std::make_shared<Download>(ticks.last().get());
    }
    QByteArray content;
    for (int i = 1; i <= 12; ++i) content += "line," + QByteArray::number(i) + "\r\n";
    WriteAll(dir.filePath("f.csv"), content);
    int ended = 0;
    for (int i = 0; i < 3; ++i) {
      DownloadOptions o;
      o.filePath = dir.filePath("f.csv");
      o.localPort = local;
      o.remoteHost = sims[i]->Address().toString();
      o.remotePort = QString::number(sims[i]->Port());
      QObject::connect(downloads[i].get(), &Download::Ended, [&ended] { ++ended; });
      QVERIFY(downloads[i]->Start(o));
      QCOMPARE(downloads[i]->LocalPort(), port);
    }
    QTRY_COMPARE_WITH_TIMEOUT(ended, 3, 30000);
    QCOMPARE(downloads[0]->Result().outcome, link::Outcome::Complete);
    QCOMPARE(downloads[1]->Result().outcome, link::Outcome::Bel);
    QCOMPARE(downloads[2]->Result().outcome, link::Outcome::Complete);
    QCOMPARE(ReadAll(dir.filePath("c0.out")), content);
    QCOMPARE(ReadAll(dir.filePath("c2.out")), content);
    QUdpSocket again;
    QVERIFY(again.bind(QHostAddress::AnyIPv4, port));  // the last download took the socket with it
  }

  // A reply is taken only from the terminal's address.
  void foreignAckIgnored() {
    ScriptedPeer terminal;  // silent
    ScriptedPeer stranger(QHostAddress("127.0.0.2"));
    QVERIFY(stranger.bound);
    Rig rig;
    rig.options.remotePort = QString::number(terminal.Port());
    rig.Write("f.csv", "a\r\n");
    QSignalSpy ended(rig.download.get(), &Download::Ended);
    rig.Start("f.csv");
    QTRY_VERIFY(!terminal.received.isEmpty());
    const quint16 pcPort = terminal.lastPort;
    for (int i = 0; i < 5; ++i) {
      stranger.socket.writeDatagram("ACK\r", QHostAddress::LocalHost, pcPort);
      QTest::qWait(5);
    }
    QTRY_VERIFY(terminal.received.size() >= 4);
    QVERIFY(!terminal.received.join().contains('^'));  // never acknowledged
    // The terminal itself now answers, as it does every "MASTER" and packet.
    for (int i = 0; i < 10; ++i) terminal.replies << "ACK\r";
    QTRY_VERIFY(terminal.received.join().contains('^'));
    QTRY_COMPARE(ended.size(), 1);
  }

  // Whatever arrives, only a word and its CR is a reply.
  void randomDatagrams() {
    QRandomGenerator rng(42);
    const QList<QByteArray> words = {"ACK", "NAK", "BEL", "FUL"};
    for (int i = 0; i < 4000; ++i) {
      QByteArray d;
      switch (i % 4) {
        case 0: d = words[rng.bounded(4)]; break;  // a bare word
        case 1: d = words[rng.bounded(4)] + char(rng.bounded(256)) + (rng.bounded(2) ? "\r" : ""); break;
        case 2: d.resize(i == 2 ? 65507 : rng.bounded(0, 12)); for (char& c : d) c = char(rng.bounded(256)); break;
        default: d = words[rng.bounded(4)] + '\r'; break;
      }
      const bool reply = d.size() == 4 && d.endsWith('\r') && words.contains(d.left(3));
      QCOMPARE(link::ReplyWord(d), reply ? d.left(3) : QByteArray());
    }
  }

  // The pause before every packet is five ticks, counted from the reply
  // before it; "MASTER" waits one reply wait of 100 ticks.
  void waitsCountTicks() {
    ScriptedPeer peer;
    peer.answer = [](const QByteArray& d) { return d == "MASTER\r" ? QByteArray() : QByteArray("ACK\r"); };
    ManualTicks ticks;
    Rig rig({}, 0, &ticks);
    rig.options.remotePort = QString::number(peer.Port());
    rig.Write("p.csv", "a\r\n");
    rig.Start("p.csv");
    auto settle = [&] { for (int i = 0; i < 20; ++i) QTest::qWait(1); };
    QTRY_COMPARE(peer.received.size(), 1);
    for (int t = 1; t <= 100; ++t) {
      ticks.Advance(1);
      settle();
      QCOMPARE(peer.received.size(), t < 100 ? 1 : 2);  // the next "MASTER" after a whole reply wait
    }
    peer.answer = [](const QByteArray&) { return QByteArray(); };  // the packet stays unanswered
    peer.socket.writeDatagram("ACK\r", QHostAddress::LocalHost, peer.lastPort);
    QTRY_VERIFY(rig.Result().connected);
    for (int t = 1; t <= 5; ++t) {
      settle();
      QCOMPARE(peer.received.size(), 2);
      ticks.Advance(1);
    }
    QTRY_COMPARE(peer.received.size(), 3);
    QCOMPARE(peer.received[2], link::FramePacket("a", '0') + '\r');
  }
};

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
