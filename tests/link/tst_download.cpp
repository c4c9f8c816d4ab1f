// The wire format, and the download against simulated terminals on an
// in-memory network in virtual time: every wait is exact, and a 50-second
// time-out costs nothing.
#include "MemoryNet.h"
#include "TestSupport.h"
#include "link/Frame.h"
#include "link/Wording.h"
#include "platform/Errors.h"
#include "sim/TerminalSimulator.h"

#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

using namespace korima;
using link::Download;
using link::Outcome;
using sim::SimOptions;
using Counts = QList<qint64>;
Q_DECLARE_METATYPE(SimOptions)

namespace {

QString Done(qint64 bytes) { return QStringLiteral("%1ﾊﾞｲﾄ中 %1ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了").arg(bytes); }
const QString kTimeout = QStringLiteral("ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ");

// What a terminal received, a word a datagram: M for "MASTER", E for "END",
// a packet's Sep and data; the terminal's own parser reads them.
QByteArray Wire(const QList<QByteArray>& received) {
  QByteArrayList words;
  for (const QByteArray& d : received) {
    char sep = 0;
    QByteArray data;
    words << (d == "MASTER\r" || d == "END\r" ? d.left(1) : link::ParsePacket(d, sep, data) ? sep + data : "bad " + d.toHex());
  }
  return words.join('|');
}

// A PC on local port 6000 and a terminal at 127.0.0.1:6001; with `answer`, a scripted one.
struct Rig {
  explicit Rig(SimOptions sim = {}, std::function<QByteArray(const QByteArray&)> answer = {}) {
    sim.outPath = dir.filePath("received.out");
    cradle = &net.AddCradle("127.0.0.1", 6001, sim, std::move(answer));
    QObject::connect(download.get(), &Download::LineAcknowledged, [this] { sent << download->Result().sentBytes; });
  }
  void Start(const QByteArray& content) {
    WriteAll(options.filePath, content);
    QVERIFY(download->Start(options));
  }
  bool Finish() { return RunUntil(clock, [this] { return !download->Running(); }); }
  bool Run(const QByteArray& content) { return Start(content), Finish(); }
  // Runs what falls due until `tick` and stops the clock there: the wire by then.
  QByteArray At(qint64 tick) {
    const qint64 end = tick * clock.NsPerTick();
    RunUntil(clock, [&] { return clock.NextDeadlineNs() < 0 || clock.NextDeadlineNs() > end; });
    clock.AdvanceTo(end);
    RunPosted();
    return Wire(cradle->Received());
  }
  const link::DownloadResult& Result() const { return download->Result(); }
  QString Ending() const { return link::wording::Ending(Result()); }
  QByteArray Stored() const { return ReadAll(dir.filePath("received.out")); }

  QTemporaryDir dir;
  platform::ManualClock clock;
  MemoryNet net{clock};
  sim::Terminal* cradle = nullptr;
  link::DownloadOptions options{dir.filePath("f.csv"), "6000", "127.0.0.1", "6001"};
  std::unique_ptr<Download> download = std::make_unique<Download>(net.Services());
  Counts sent;  // characters acknowledged after each line
};

}  // namespace

class TestDownload : public QObject {
  Q_OBJECT
 private slots:
  // Framed by the PC and read back by the terminal's side; anything else is no frame.
  void frames_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("sep");
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("double-byte character") << QByteArray("\x82\xA0") << int('1') << QByteArray("^1\x82\xA0*DB\r");
    QTest::newRow("sum a multiple of 256") << QByteArray("H") << int('0') << QByteArray("^0H*00\r");
    QTest::newRow("sum below 16: leading zero") << QByteArray("M") << int('0') << QByteArray("^0M*05\r");
    QTest::newRow("marks inside data are sent unchanged") << QByteArray("^*\r") << int('1') << QByteArray("^1^*\r*4E\r");
    QTest::newRow("a double-byte Sep: lead, then trail byte") << QByteArray("x") << 0x8260 << QByteArray("^\x82\x60x*E2\r");
    QTest::newRow("checksum off by one") << QByteArray() << -1 << QByteArray("^0A,1*57\r");
    QTest::newRow("LF for CR") << QByteArray() << -1 << QByteArray("^0A,1*56\n");
    QTest::newRow("Sep not a digit") << QByteArray() << -1 << QByteArray("^AA,1*67\r");
  }
  void frames() {
    QFETCH(QByteArray, data);
    QFETCH(int, sep);
    QFETCH(QByteArray, datagram);
    if (sep >= 0) QCOMPARE(link::FramePacket(data, qint16(sep)) + '\r', datagram);
    char parsedSep = 0;
    QByteArray parsed;
    QCOMPARE(link::ParsePacket(datagram, parsedSep, parsed), sep >= '0' && sep <= '9');
    QCOMPARE(parsed, sep <= '9' ? data : QByteArray());
  }

  // What goes on the wire, what is counted after each line and how it ends,
  // for files, settings and terminals of each shape.
  void transfers_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("titleLine");
    QTest::addColumn<SimOptions>("sim");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<Counts>("sent");
    QTest::addColumn<QString>("ending");
    const auto row = [](const char* tag, const QByteArray& content, int titleLine, const SimOptions& sim, const char* wire,
                        const Counts& sent, const QString& ending) {
      QTest::newRow(tag) << content << titleLine << sim << QByteArray(wire) << sent << ending;
    };
    row("title line counted, not sent", "NAME,QTY\r\nA,1\r\n", 1, {}, "M|0A,1|E", {8, 11}, Done(15));
    row("any title value above 0, title only", "NAME,QTY\r\n", 2, {}, "M|E", {8}, Done(10));
    row("double-byte characters count one each, line ends of every kind, an empty line, no end at the last",
        "\x82\xA0\x82\xA2\x82\xA4\r\nb\rc\n\r\nd\ne\nf\ng\nh\ni\nj\nk", 0, {},
        "M|0\x82\xA0\x82\xA2\x82\xA4|1b|2c|3|4d|5e|6f|7g|8h|9i|0j|1k|E", {3, 4, 5, 5, 6, 7, 8, 9, 10, 11, 12, 13}, Done(29));
    // How the terminal misbehaves, with a file of three lines; the Sep cycles above.
    const char* abc = "a\r\nb\r\nc\r\n";
    const QString done = Done(9);
    row("four NAKs then ACK", abc, 0, {.nakAt = {{1, 4}}}, "M|0a|0a|0a|0a|0a|1b|2c|E", {1, 2, 3}, done);
    row("four silent attempts then ACK", abc, 0, {.silentAt = {{3, 4}}}, "M|0a|1b|2c|2c|2c|2c|2c|E", {1, 2, 3}, done);
    row("silences, then NAKs", abc, 0, {.nakAt = {{2, 2}}, .silentAt = {{2, 3}}}, "M|0a|1b|1b|1b|1b|1b", {1},
        "ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ NAK受信");
    row("BEL at END", abc, 0, {.belAtEnd = true}, "M|0a|1b|2c|E", {1, 2, 3}, "END:ﾊﾝﾄﾞｼｪｲｸ BEL受信");
    row("FUL at END", abc, 0, {.fulAtEnd = true}, "M|0a|1b|2c|E", {1, 2, 3}, "END:ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>");
    row("END silent four times, then ACK", abc, 0, {.silentEnd = 4}, "M|0a|1b|2c|E|E|E|E|E", {1, 2, 3}, done);
    row("END: NAK and silence count together", abc, 0, {.nakEnd = 2, .silentEnd = 3}, "M|0a|1b|2c|E|E|E|E|E", {1, 2, 3},
        "END:ﾊﾝﾄﾞｼｪｲｸ NAK受信");
  }
  void transfers() {
    QFETCH(QByteArray, content);
    QFETCH(int, titleLine);
    QFETCH(SimOptions, sim);
    QFETCH(QByteArray, wire);
    QFETCH(Counts, sent);
    QFETCH(QString, ending);
    Rig rig(sim);
    rig.options.titleLine = qint16(titleLine);
    QVERIFY(rig.Run(content));
    QCOMPARE(Wire(rig.cradle->Received()), wire);
    QCOMPARE(rig.sent, sent);
    QCOMPARE(rig.Ending(), ending);
    QCOMPARE(rig.download->LocalPort(), 0);  // the socket went with the download
  }

  // A tenth of the datagrams lost and a tenth duplicated each way, all delayed and
  // reordered within the pause before each packet: a transfer reported complete
  // leaves exactly the file in the terminal, though the next one starts at once.
  void unreliableNetwork() {
    Rig rig;
    rig.net.faults = {.loss = 0.1, .duplication = 0.1, .delayTicks = 2, .jitterTicks = 2};
    const QByteArray content = QByteArray("4901234567894,1\r\n").repeated(20);
    int complete = 0;
    for (int run = 0; run < 30; ++run) {
      QVERIFY(rig.Run(content));
      if (rig.Result().outcome != Outcome::Complete) continue;  // five attempts lost: said so, never "complete"
      QCOMPARE(rig.Stored(), content);
      ++complete;
    }
    QVERIFY(complete >= 27);
  }

  // Only a reply word and its CR is a reply. Anything else from the terminal's
  // address is as if nothing had come: it never acknowledges, never ends a
  // transfer, and never makes the next command go out before its wait is over.
  void oddReplies_data() {
    QTest::addColumn<QByteArray>("odd");
    QTest::addColumn<bool>("atMaster");
    for (const QByteArray& odd : {QByteArray("ACK"), QByteArray("NAK"), QByteArray("BEL"), QByteArray("FUL"),
                                  QByteArray("ACK\r\n"), QByteArray("ACK\r\0", 5), QByteArray("ACK\0\r", 5),
                                  QByteArray("ACK\n"), QByteArray("ACX\r"), QByteArray("\x8f\xa4\x95\x69\r"),
                                  QByteArray("ack\r"), QByteArray(""), QByteArray(65507, 'A')})
      for (bool atMaster : {true, false})
        QTest::newRow(qPrintable(odd.left(8).toHex() + (atMaster ? " at MASTER" : " at a line"))) << odd << atMaster;
    QTest::newRow("NAK at once for every MASTER") << QByteArray("NAK\r") << true;
  }
  void oddReplies() {
    QFETCH(QByteArray, odd);
    QFETCH(bool, atMaster);
    Rig rig({}, [&](const QByteArray& d) { return d == "MASTER\r" && !atMaster ? QByteArray("ACK\r") : odd; });
    rig.options.connectTimeoutTicks = 250;
    QVERIFY(rig.Run("a\r\n"));
    QCOMPARE(rig.Ending(), (atMaster ? "MASTER:" : "ﾚｺｰﾄﾞ1:") + kTimeout);
    // One "MASTER" per reply wait until the 250 ticks are over; five attempts at a line, ten reply waits each.
    QCOMPARE(Wire(rig.cradle->Received()), atMaster ? "M|M|M" : "M|0a|0a|0a|0a|0a");
    QCOMPARE(atMaster ? rig.Result().connectTicks : rig.Result().silentWaits, atMaster ? 250 : 50);
  }

  // The pause before every packet, a repeated one too, is five ticks, counted
  // from the reply before it; "MASTER" and "END" wait one reply wait of 100 ticks. A reply
  // is taken from the terminal's address, the newest counting, even from
  // another port; a stranger's is not, and a second download to the same
  // cradle is turned away.
  void waitsAndReplies() {
    Rig rig(SimOptions{.nakAt = {{1, 1}}, .silentEnd = 1, .silentMaster = 2});
    rig.Start("a\r\n");
    QCOMPARE(rig.At(4), "");
    QCOMPARE(rig.At(5), "M");  // after the pause every packet gets
    rig.net.Inject("127.0.0.2", 6001, 6000, "ACK\r");
    Download twin(rig.net.Services());
    QVERIFY(twin.Start(rig.options));
    QVERIFY(RunUntil(rig.clock, [&] { return !twin.Running(); }));
    QCOMPARE(twin.Result().socketStep, link::SocketStep::SameCradle);
    QVERIFY(twin.Result().errorText.contains("127.0.0.1:6001"));
    QCOMPARE(rig.At(104), "M");
    QCOMPARE(rig.At(105), "M|M");
    rig.net.Inject("127.0.0.1", 7000, 6000, "NAK\r");
    rig.net.Inject("127.0.0.1", 7000, 6000, "ACK\r");
    for (const auto& [tick, wire] : {std::pair{109, "M|M"}, {110, "M|M|0a"}, {114, "M|M|0a"}, {115, "M|M|0a|0a"},
                                     {224, "M|M|0a|0a|E"}, {225, "M|M|0a|0a|E|E"}})
      QCOMPARE(rig.At(tick), wire);
    QVERIFY(rig.Finish());
    QCOMPARE(rig.Ending(), Done(3));
    QCOMPARE(rig.Result().connectTicks, 105);
  }

  // Stop in each phase: the download winds up from the event loop, nothing
  // more goes out, the terminal keeps what it took, and a new start goes.
  // A download destroyed while it waits is never resumed.
  void stop_data() {
    QTest::addColumn<SimOptions>("sim");
    QTest::addColumn<int>("tick");  // of the stop
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("MASTER repeated") << SimOptions{.silentMaster = 1000} << 250 << QByteArray();
    QTest::newRow("pause before a packet") << SimOptions{} << 7 << QByteArray();
    QTest::newRow("reply wait") << SimOptions{.silentAt = {{2, 1000}}} << 50 << QByteArray("a\r\n");
    QTest::newRow("END") << SimOptions{.silentEnd = 1000} << 60 << QByteArray("a\r\nb\r\n");
    QTest::newRow("destroyed in a reply wait") << SimOptions{.silentAt = {{1, 1000}}} << 50 << QByteArray();
  }
  void stop() {
    QFETCH(SimOptions, sim);
    QFETCH(int, tick);
    QFETCH(QByteArray, stored);
    Rig rig(sim);
    QSignalSpy ended(rig.download.get(), &Download::Ended);
    rig.Start("a\r\nb\r\n");
    const QByteArray sent = rig.At(tick);
    if (QTest::currentDataTag() == QByteArray("destroyed in a reply wait")) {  // frees the suspended coroutine
      rig.download.reset();
      QCOMPARE(rig.clock.NextDeadlineNs(), -1);  // no alarm left behind for the freed download
      QCOMPARE(rig.At(tick + 100000), sent);
      return;
    }
    rig.download->Stop();
    QCOMPARE(ended.size(), 0);  // never inside the caller's handler
    QVERIFY(rig.Finish());
    QCOMPARE(ended.size(), 1);
    QCOMPARE(rig.At(tick + 1000), sent);
    QCOMPARE(rig.Result().outcome, Outcome::Stopped);
    QCOMPARE(rig.Ending(), QString());  // the stop button has said it
    QCOMPARE(rig.Stored(), stored);

    rig.cradle->Options() = {.outPath = rig.cradle->Options().outPath};
    QVERIFY(rig.Run("a\r\nb\r\n"));
    QCOMPARE(rig.Ending(), Done(6));
    QCOMPARE(rig.Stored(), QByteArray("a\r\nb\r\n"));  // a new download, a new output
  }

  // Local port, remote port and host; the step that fails and the text after the error's number.
  void socketErrors_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    using link::SocketStep;
    const QString invalid = platform::OsErrorText(EINVAL);
    QTest::newRow("remote port 0") << "0 0 127.0.0.1" << int(SocketStep::RemotePort) << EINVAL << invalid;
    QTest::newRow("non-numeric local port") << "x 6001 127.0.0.1" << int(SocketStep::LocalPort) << EINVAL << invalid;
    QTest::newRow("the kernel refuses the send") << "6000 6001 127.0.0.1" << int(SocketStep::Send) << EPERM
                                                 << platform::OsErrorText(EPERM);
    QTest::newRow("an address in a refused form") << "6000 6001 127.1" << int(SocketStep::Address) << EINVAL
                                                  << "127.1: " + link::wording::AddressForm();
  }
  void socketErrors() {
    QFETCH(QString, options);
    QFETCH(int, step);
    QFETCH(int, error);
    QFETCH(QString, text);
    Rig rig;
    rig.net.faults.refuse = [](quint32, quint16) { return EPERM; };
    rig.options.localPort = options.section(' ', 0, 0);
    rig.options.remotePort = options.section(' ', 1, 1);
    rig.options.remoteHost = options.section(' ', 2);
    QVERIFY(rig.Run("a\r\n"));
    QCOMPARE(int(rig.Result().socketStep), step);
    QCOMPARE(rig.Ending(), QString::number(error) + QStringLiteral(" UDP設定に問題がないか確認してください。 ") + text);
    QCOMPARE(rig.Result().silentWaits, 0);  // a failed send ends at once, no reply is waited for
  }

  // Downloads on one local port share its socket; each takes the replies of
  // its own cradle, by address and port, then by address alone where one
  // cradle has it: a reply from a third port of an address with two goes to neither.
  void routing_data() {
    QTest::addColumn<QStringList>("cradles");  // address:port, and how it ends unless complete: "bel", "no_reply" (silent)
    QTest::newRow("three addresses, one fails") << QStringList{"127.0.0.2:6001", "127.0.0.3:6001 bel", "127.0.0.4:6001"};
    QTest::newRow("one address, two ports, one silent") << QStringList{"127.0.0.2:6001", "127.0.0.2:6002 no_reply"};
    QTest::newRow("one address, two ports, both answer") << QStringList{"127.0.0.2:6001", "127.0.0.2:6002"};
  }
  void routing() {
    QFETCH(QStringList, cradles);
    Rig rig;  // its own terminal stays idle
    std::vector<std::unique_ptr<Download>> downloads;
    QStringList expected, got;
    for (const QString& cradle : cradles) {
      const QStringList c = cradle.split(QRegularExpression("[: ]"));
      expected << c.value(2, "complete");
      rig.net.AddCradle(qPrintable(c[0]), c[1].toUShort(),
                        {.outPath = rig.dir.filePath(cradle), .belAt = c.contains("bel") ? 3 : 0,
                         .silentMaster = c.contains("no_reply") ? 1000000 : 0});
      link::DownloadOptions o{rig.dir.filePath(cradle + ".csv"), "6000", c[0], c[1]};
      o.connectTimeoutTicks = 3000;
      WriteAll(o.filePath, QByteArray(cradle.toLatin1() + "\r\n").repeated(40));  // a file of each cradle's own
      downloads.push_back(std::make_unique<Download>(rig.net.Services()));
      QVERIFY(downloads.back()->Start(o));
    }
    rig.At(50);
    rig.net.Inject("127.0.0.2", 7000, 6000, "ACK\r");
    QVERIFY(RunUntil(rig.clock, [&] { return std::ranges::none_of(downloads, [](auto& d) { return d->Running(); }); }));
    for (int i = 0; i < cradles.size(); ++i) {
      const link::DownloadResult& r = downloads[i]->Result();
      got << link::OutcomeName(r.outcome);
      const QByteArray sent = ReadAll(rig.dir.filePath(cradles[i] + ".csv")), stored = ReadAll(rig.dir.filePath(cradles[i]));
      QCOMPARE(stored, r.outcome == Outcome::Complete ? sent : sent.left(stored.size()));
      if (r.outcome == Outcome::Complete) QCOMPARE(r.silentWaits, 0);  // no reply went astray
    }
    QCOMPARE(got, expected);
  }

  // Over real UDP, thousands of stray datagrams a second from the terminal's own
  // address among its replies: every download completes, no reply goes unread.
  void floodOverUdp() {
    QTemporaryDir dir;
    sim::TerminalSimulator sim({.outPath = dir.filePath("r.out")}, QHostAddress::LocalHost, 0);
    QVERIFY(sim.Start());
    Download download(link::ProgramServices());
    const QByteArray content = "line,1\r\nline,2\r\nline,3\r\nline,4\r\nline,5\r\nline,6\r\n";
    link::DownloadOptions o{dir.filePath("f.csv"), "0", "127.0.0.1", QString::number(sim.Port())};
    WriteAll(o.filePath, content);
    QUdpSocket flooder;
    qint64 strays = 0;
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, [&] {
      for (int i = 0; download.LocalPort() && i < 32; ++i, ++strays)
        flooder.writeDatagram(i % 2 ? "ACK\r\n" : QByteArray(i % 7, 'x'), QHostAddress::LocalHost, download.LocalPort());
    });
    pump.start(1);
    for (int run = 0; run < 8; ++run) {
      QSignalSpy ended(&download, &Download::Ended);
      QVERIFY(download.Start(o));
      QVERIFY(ended.wait(30000));
      QCOMPARE(link::OutcomeName(download.Result().outcome), "complete");
      QCOMPARE(download.Result().silentWaits, 0);
      QCOMPARE(ReadAll(dir.filePath("r.out")), content);
    }
    QVERIFY(strays > 5000);
  }
};

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
