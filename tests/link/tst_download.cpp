// The wire format, and the download against simulated terminals on an
// in-memory network in virtual time: every wait is exact, and a 50-second
// time-out costs nothing.
#include "MemoryNet.h"
#include "TestSupport.h"
#include "link/Frame.h"
#include "link/Wording.h"
#include "platform/Errors.h"
#include "sim/TerminalSimulator.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

using namespace korima;
using link::Download;
using link::Outcome;
using sim::SimOptions;
using Lines = QList<QByteArray>;
Q_DECLARE_METATYPE(SimOptions)

namespace {

QByteArray Packet(const QByteArray& data, char sep) { return link::FramePacket(data, sep) + '\r'; }
QString Done(qint64 bytes) { return QStringLiteral("%1ﾊﾞｲﾄ中 %1ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了").arg(bytes); }

// A PC on local port 6000 and a terminal at 127.0.0.1:6001.
struct Rig {
  explicit Rig(SimOptions sim = {}) : cradle(&net.AddCradle("127.0.0.1", 6001, Stores(sim))) {
    QObject::connect(download.get(), &Download::LineAcknowledged, [this] { sent << download->Result().sentBytes; });
  }
  SimOptions Stores(SimOptions o) {
    o.outPath = dir.filePath("received.out");
    return o;
  }
  // Starts a download of `content`; Finish runs it to its wrap-up.
  void Start(const QByteArray& content) {
    WriteAll(options.filePath, content);
    QVERIFY(download->Start(options));
  }
  bool Finish() { return RunUntil(clock, [this] { return !download->Running(); }); }
  bool Run(const QByteArray& content) { return Start(content), Finish(); }
  const link::DownloadResult& Result() const { return download->Result(); }
  QString Ending() const { return link::wording::Ending(Result()); }
  QByteArray Stored() const { return ReadAll(dir.filePath("received.out")); }

  QTemporaryDir dir;
  platform::ManualClock clock;
  MemoryNet net{clock};
  sim::Terminal* cradle;
  link::DownloadOptions options{dir.filePath("f.csv"), "6000", "127.0.0.1", "6001"};
  std::unique_ptr<Download> download = std::make_unique<Download>(net.Services());
  QList<qint64> sent;  // characters acknowledged after each line
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
    QTest::newRow("empty line") << QByteArray() << int('0') << QByteArray("^0*B8\r");
    QTest::newRow("double-byte character") << QByteArray("\x82\xA0") << int('1') << QByteArray("^1\x82\xA0*DB\r");
    QTest::newRow("sum a multiple of 256") << QByteArray("H") << int('0') << QByteArray("^0H*00\r");
    QTest::newRow("sum below 16: leading zero") << QByteArray("M") << int('0') << QByteArray("^0M*05\r");
    QTest::newRow("marks inside data are sent unchanged") << QByteArray("^*\r") << int('1') << QByteArray("^1^*\r*4E\r");
    QTest::newRow("a double-byte Sep: lead, then trail byte") << QByteArray("x") << 0x8260 << QByteArray("^\x82\x60x*E2\r");
    QTest::newRow("checksum off by one") << QByteArray() << -1 << QByteArray("^0A,1*57\r");
    QTest::newRow("no CR") << QByteArray() << -1 << QByteArray("^0A,1*56");
    QTest::newRow("Sep not a digit") << QByteArray() << -1 << QByteArray("^AA,1*67\r");
    QTest::newRow("too short") << QByteArray() << -1 << QByteArray("^0*\r");
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

  // What goes on the wire and what is counted, for files and settings of each shape.
  void exchanges_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("titleLine");
    QTest::addColumn<Lines>("wire");          // what the terminal received
    QTest::addColumn<QList<qint64>>("sent");  // characters counted after each line
    QTest::newRow("example, NAK once") << QByteArray("A,1\r\nB,2\r\n") << 0
        << Lines{"MASTER\r", "^0A,1*56\r", "^0A,1*56\r", "^1B,2*59\r", "END\r"} << QList<qint64>{3, 6};
    QTest::newRow("title line counted, not sent") << QByteArray("NAME,QTY\r\nA,1\r\n") << 1
        << Lines{"MASTER\r", Packet("A,1", '0'), "END\r"} << QList<qint64>{8, 11};
    QTest::newRow("any title value above 0, title only") << QByteArray("NAME,QTY\r\n") << 2 << Lines{"MASTER\r", "END\r"}
                                                         << QList<qint64>{8};
    QTest::newRow("double-byte characters count one each") << QByteArray("\x82\xA0\x82\xA2\x82\xA4\r\nx\r\n") << 0
        << Lines{"MASTER\r", Packet("\x82\xA0\x82\xA2\x82\xA4", '0'), Packet("x", '1'), "END\r"} << QList<qint64>{3, 4};
    QTest::newRow("line ends of every kind, an empty line, no end at the last")
        << QByteArray("a\r\nb\rc\n\r\nd") << 0
        << Lines{"MASTER\r", Packet("a", '0'), Packet("b", '1'), Packet("c", '2'), Packet("", '3'), Packet("d", '4'), "END\r"}
        << QList<qint64>{1, 2, 3, 3, 4};
    Lines twelve{"MASTER\r"};
    QByteArray content;
    for (int i = 1; i <= 12; ++i) {
      content += QByteArray::number(i) + "\r\n";
      twelve << Packet(QByteArray::number(i), char('0' + (i - 1) % 10));
    }
    QTest::newRow("the sequence digit cycles") << content << 0 << (twelve << "END\r")
                                               << QList<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 13, 15};
  }
  void exchanges() {
    QFETCH(QByteArray, content);
    QFETCH(int, titleLine);
    QFETCH(Lines, wire);
    QFETCH(QList<qint64>, sent);
    Rig rig(SimOptions{.nakAt = {{1, QByteArray(QTest::currentDataTag()).startsWith("example")}}});
    rig.options.titleLine = qint16(titleLine);
    QVERIFY(rig.Run(content));
    QCOMPARE(rig.cradle->Received(), wire);
    QCOMPARE(rig.sent, sent);
    QCOMPARE(rig.Ending(), Done(content.size()));
    QCOMPARE(rig.download->LocalPort(), 0);  // the socket went with the download
  }

  // Each row: how the terminal misbehaves, and how the download must end.
  void faults_data() {
    QTest::addColumn<SimOptions>("sim");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("ends");  // "END" commands sent
    const QString done = Done(15);
    QTest::newRow("four NAKs then ACK") << SimOptions{.nakAt = {{1, 4}}} << done << 3 << 1;
    QTest::newRow("five NAKs") << SimOptions{.nakAt = {{2, 5}}} << "ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ NAK受信" << 1 << 0;
    QTest::newRow("four silent attempts then ACK") << SimOptions{.silentAt = {{3, 4}}} << done << 3 << 1;
    QTest::newRow("five silent attempts") << SimOptions{.silentAt = {{1, 5}}} << "ﾚｺｰﾄﾞ1:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ" << 0 << 0;
    QTest::newRow("NAKs and silences mixed") << SimOptions{.nakAt = {{2, 2}}, .silentAt = {{2, 2}}} << done << 3 << 1;
    QTest::newRow("BEL at a line") << SimOptions{.belAt = 2} << "ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ BEL受信" << 1 << 0;
    QTest::newRow("FUL at a line") << SimOptions{.fulAt = 3} << "ﾚｺｰﾄﾞ3:ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>" << 2 << 0;
    QTest::newRow("BEL at END") << SimOptions{.belAtEnd = true} << "END:ﾊﾝﾄﾞｼｪｲｸ BEL受信" << 3 << 1;
    QTest::newRow("FUL at END") << SimOptions{.fulAtEnd = true} << "END:ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>" << 3 << 1;
    QTest::newRow("END silent four times, then ACK") << SimOptions{.silentEnd = 4} << done << 3 << 5;
    QTest::newRow("END silent five times") << SimOptions{.silentEnd = 5} << "END:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ" << 3 << 5;
    QTest::newRow("END refused five times") << SimOptions{.nakEnd = 5} << "END:ﾊﾝﾄﾞｼｪｲｸ NAK受信" << 3 << 5;
    QTest::newRow("END: NAK and silence count together") << SimOptions{.nakEnd = 2, .silentEnd = 3}
                                                         << "END:ﾊﾝﾄﾞｼｪｲｸ NAK受信" << 3 << 5;
    QTest::newRow("MASTER ignored three times") << SimOptions{.silentMaster = 3} << done << 3 << 1;
    QTest::newRow("a fifth of all datagrams lost") << SimOptions{.dropShare = 0.2, .seed = 7} << done << 3 << -1;
  }
  void faults() {
    QFETCH(SimOptions, sim);
    QFETCH(QString, ending);
    QFETCH(int, stored);
    QFETCH(int, ends);
    Rig rig(sim);
    QVERIFY(rig.Run("abc\r\ndef\r\nghi\r\n"));
    QCOMPARE(rig.Ending(), ending);
    QCOMPARE(rig.cradle->Lines().size(), stored);
    if (ends >= 0) QCOMPARE(rig.cradle->Received().count("END\r"), ends);
    if (ending == Done(15)) QCOMPARE(rig.Stored(), QByteArray("abc\r\ndef\r\nghi\r\n"));
    for (qint64 v : rig.sent) QVERIFY(v <= 15);
  }

  // A network that loses and duplicates a tenth of the datagrams each way and
  // delays and reorders them within the pause before each packet: a transfer
  // reported complete leaves exactly the file in the terminal, though the
  // next one starts at once.
  void unreliableNetwork() {
    Rig rig;
    rig.net.faults = {.loss = 0.1, .duplication = 0.1, .delayTicks = 2, .jitterTicks = 2};
    QByteArray content;
    for (int i = 1; i <= 20; ++i) content += "4901234567" + QByteArray::number(100 + i) + ",1\r\n";
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
      for (bool atMaster : {true, false}) QTest::newRow(qPrintable(odd.toHex() + (atMaster ? " at MASTER" : " at a line"))) << odd << atMaster;
    QTest::newRow("NAK at once for every MASTER") << QByteArray("NAK\r") << true;
  }
  void oddReplies() {
    QFETCH(QByteArray, odd);
    QFETCH(bool, atMaster);
    platform::ManualClock clock;
    MemoryNet net(clock);
    auto& peer = net.AddPeer("127.0.0.1", 6001, [&](const QByteArray& d) {
      return d == "MASTER\r" && !atMaster ? QByteArray("ACK\r") : odd;
    });
    Download d(net.Services());
    QTemporaryDir dir;
    WriteAll(dir.filePath("o.csv"), "a\r\n");
    link::DownloadOptions o{dir.filePath("o.csv"), "6000", "127.0.0.1", "6001"};
    o.connectTimeoutTicks = 250;
    QVERIFY(d.Start(o));
    QVERIFY(RunUntil(clock, [&] { return !d.Running(); }));
    QCOMPARE(d.Result().outcome, Outcome::NoReply);
    QCOMPARE(d.Result().linesSent, 0);
    if (atMaster) {
      QCOMPARE(link::wording::Ending(d.Result()), QStringLiteral("MASTER:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ"));
      QCOMPARE(peer.Received(), Lines(3, "MASTER\r"));  // one per reply wait; 250 ticks end it
      QCOMPARE(d.Result().connectTicks, 250);
    } else {
      QCOMPARE(link::wording::Ending(d.Result()), QStringLiteral("ﾚｺｰﾄﾞ1:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ"));
      QCOMPARE(peer.Received(), (Lines{"MASTER\r"} + Lines(5, Packet("a", '0'))));
      QCOMPARE(d.Result().silentWaits, 50);
    }
  }

  // The pause before every packet is five ticks, counted from the reply
  // before it; "MASTER" waits one whole reply wait of 100 ticks.
  void waitsCountTicks() {
    Rig rig(SimOptions{.silentMaster = 1});
    rig.Start("a\r\n");
    auto at = [&](qint64 tick) {  // what the terminal has received by this tick
      const qint64 end = tick * rig.clock.NsPerTick();
      RunUntil(rig.clock, [&] { return rig.clock.NextDeadlineNs() < 0 || rig.clock.NextDeadlineNs() > end; });
      rig.clock.AdvanceTo(end);
      RunPosted();
      return rig.cradle->Received();
    };
    QCOMPARE(at(4), Lines{});
    QCOMPARE(at(5), Lines{"MASTER\r"});  // after the pause every packet gets
    QCOMPARE(at(104), Lines{"MASTER\r"});
    QCOMPARE(at(105), Lines(2, "MASTER\r"));
    QCOMPARE(at(109), Lines(2, "MASTER\r"));
    QCOMPARE(at(110).mid(0, 3), (Lines{"MASTER\r", "MASTER\r", Packet("a", '0')}));
    QVERIFY(rig.Finish());
    QCOMPARE(rig.Result().connectTicks, 105);
  }

  // Stop in each phase: the download winds up from the event loop, nothing
  // more goes out, the terminal keeps what it took, and a new start goes.
  void stop_data() {
    QTest::addColumn<SimOptions>("sim");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("MASTER repeated") << SimOptions{.silentMaster = 1000} << QByteArray();
    QTest::newRow("pause before a packet") << SimOptions{} << QByteArray();
    QTest::newRow("reply wait") << SimOptions{.silentAt = {{2, 1000}}} << QByteArray("a\r\n");
    QTest::newRow("END") << SimOptions{.silentEnd = 1000} << QByteArray("a\r\nb\r\n");
  }
  void stop() {
    QFETCH(SimOptions, sim);
    QFETCH(QByteArray, stored);
    Rig rig(sim);
    QSignalSpy ended(rig.download.get(), &Download::Ended);
    rig.Start("a\r\nb\r\n");
    const Lines& r = rig.cradle->Received();
    QVERIFY(RunUntil(rig.clock, [&] {
      if (sim.silentMaster) return r.size() >= 3;
      if (sim.silentAt.contains(2)) return r.size() >= 3 && r.last().startsWith("^1");
      if (sim.silentEnd) return !r.isEmpty() && r.last() == "END\r";
      return rig.Result().connected;
    }));
    rig.download->Stop();
    QCOMPARE(ended.size(), 0);  // never inside the caller's handler
    QVERIFY(rig.Finish());
    QCOMPARE(ended.size(), 1);
    const qsizetype sent = r.size();
    RunUntil(rig.clock, [] { return false; }, 1000);
    QCOMPARE(r.size(), sent);
    QCOMPARE(rig.Result().outcome, Outcome::Stopped);
    QCOMPARE(rig.Ending(), QString());  // the stop button has said it
    QCOMPARE(rig.Stored(), stored);

    rig.cradle->Options() = rig.Stores({});
    QVERIFY(rig.Run("a\r\nb\r\n"));
    QCOMPARE(rig.Result().outcome, Outcome::Complete);
    QCOMPARE(rig.Stored(), QByteArray("a\r\nb\r\n"));  // a new download, a new output
  }

  // Destroying a download while it waits frees the suspended coroutine; nothing resumes it.
  void destroyedWhileWaiting() {
    Rig rig(SimOptions{.silentAt = {{1, 1000}}});
    rig.Start("a\r\nb\r\n");
    QVERIFY(RunUntil(rig.clock, [&] { return rig.cradle->Stats().silences >= 1; }));
    rig.download.reset();
    const qsizetype sent = rig.cradle->Received().size();
    RunUntil(rig.clock, [] { return false; }, 100000);
    QCOMPARE(rig.cradle->Received().size(), sent);
    QCOMPARE(rig.clock.NextDeadlineNs(), -1);  // no alarm left behind for the freed download
  }

  void socketErrors_data() {
    QTest::addColumn<QStringList>("options");  // local port, remote port, remote host
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("text");
    QTest::newRow("port in use") << QStringList{"6000 held", "6001", "127.0.0.1"} << int(link::SocketStep::Bind)
                                 << QString::number(EADDRINUSE) + ' ' + platform::OsErrorText(EADDRINUSE) + ' ' +
                                        link::wording::PortInUse(6000);
    QTest::newRow("non-numeric remote port") << QStringList{"0", "abc", "127.0.0.1"} << int(link::SocketStep::RemotePort)
                                             << QString::number(EINVAL) + ' ' + platform::OsErrorText(EINVAL);
    QTest::newRow("non-numeric local port") << QStringList{"x", "6001", "127.0.0.1"} << int(link::SocketStep::LocalPort)
                                            << QString::number(EINVAL) + ' ' + platform::OsErrorText(EINVAL);
    QTest::newRow("empty local port") << QStringList{"", "6001", "127.0.0.1"} << int(link::SocketStep::LocalPort)
                                      << QString::number(EINVAL) + ' ' + platform::OsErrorText(EINVAL);
    QTest::newRow("the kernel refuses the send") << QStringList{"6000", "6001 refused", "127.0.0.1"}
                                                 << int(link::SocketStep::Send)
                                                 << QString::number(EPERM) + ' ' + platform::OsErrorText(EPERM);
    QTest::newRow("an address in a refused form") << QStringList{"6000", "6001", "127.1"} << int(link::SocketStep::Address)
                                                  << QString::number(EINVAL) + " 127.1: " + link::wording::AddressForm();
  }
  void socketErrors() {
    QFETCH(QStringList, options);
    QFETCH(int, step);
    QFETCH(QString, text);
    Rig rig;
    int e = 0;
    auto held = options[0].endsWith(" held") ? rig.net.Bind(6000, e) : nullptr;
    if (options[1].endsWith("refused")) rig.net.faults.refuse = [](quint32, quint16) { return EPERM; };
    rig.options.localPort = options[0].section(' ', 0, 0);
    rig.options.remotePort = options[1].section(' ', 0, 0);
    rig.options.remoteHost = options[2];
    QVERIFY(rig.Run("a\r\n"));
    QCOMPARE(rig.Result().outcome, Outcome::SocketError);
    QCOMPARE(int(rig.Result().socketStep), step);
    QCOMPARE(rig.Ending(), text.section(' ', 0, 0) + QStringLiteral(" UDP設定に問題がないか確認してください。 ") +
                               text.section(' ', 1));
    QCOMPARE(rig.Result().silentWaits, 0);  // a failed send ends at once, no reply is waited for
    QVERIFY(rig.cradle->Received().isEmpty());
  }

  // Downloads on one local port share its socket; each takes the replies of
  // its own cradle, by address and port, then by address alone where one
  // cradle has it. A silent cradle registered first must not take another's replies.
  void routing_data() {
    QTest::addColumn<QStringList>("cradles");  // address:port, and "silent" or "bel" after a blank
    QTest::addColumn<QStringList>("outcomes");
    QTest::newRow("three addresses, one fails") << QStringList{"127.0.0.2:6001", "127.0.0.3:6001 bel", "127.0.0.4:6001"}
                                                << QStringList{"complete", "bel", "complete"};
    QTest::newRow("one address, two ports, one silent") << QStringList{"127.0.0.2:6002 silent", "127.0.0.2:6001"}
                                                        << QStringList{"no_reply", "complete"};
    QTest::newRow("one address, two ports, both answer") << QStringList{"127.0.0.2:6001", "127.0.0.2:6002"}
                                                         << QStringList{"complete", "complete"};
  }
  void routing() {
    QFETCH(QStringList, cradles);
    QFETCH(QStringList, outcomes);
    platform::ManualClock clock;
    MemoryNet net(clock);
    QTemporaryDir dir;
    QList<std::shared_ptr<Download>> downloads;
    QList<QByteArray> contents;
    for (int i = 0; i < cradles.size(); ++i) {
      const QString address = cradles[i].section(':', 0, 0), port = cradles[i].section(':', 1).section(' ', 0, 0);
      net.AddCradle(qPrintable(address), port.toUShort(),
                    SimOptions{.outPath = dir.filePath(QString::number(i)), .belAt = cradles[i].endsWith("bel") ? 3 : 0,
                               .silentMaster = cradles[i].endsWith("silent") ? 1000000 : 0});
      QByteArray content;  // a file of each cradle's own
      for (int l = 1; l <= 40; ++l) content += "cradle" + QByteArray::number(i) + ",line," + QByteArray::number(l) + "\r\n";
      contents << content;
      WriteAll(dir.filePath(QString::number(i) + ".csv"), content);
      downloads << std::make_shared<Download>(net.Services());
      link::DownloadOptions d{dir.filePath(QString::number(i) + ".csv"), "6000", address, port};
      d.connectTimeoutTicks = 3000;
      QVERIFY(downloads.last()->Start(d));
    }
    QVERIFY(RunUntil(clock, [&] { return std::none_of(downloads.begin(), downloads.end(), [](auto& d) { return d->Running(); }); }));
    for (int i = 0; i < cradles.size(); ++i) {
      QCOMPARE(link::OutcomeName(downloads[i]->Result().outcome), outcomes[i]);
      const QByteArray stored = ReadAll(dir.filePath(QString::number(i)));
      QCOMPARE(stored, outcomes[i] == "complete" ? contents[i] : contents[i].left(stored.size()));
      if (outcomes[i] == "complete") QCOMPARE(downloads[i]->Result().silentWaits, 0);  // no reply went astray
    }
  }

  // Over real UDP: thousands of stray datagrams a second at the PC's port
  // from the terminal's own address, among its replies. Every download still
  // completes, no reply goes unread, and the terminal holds the file.
  void floodOverUdp() {
    QTemporaryDir dir;
    sim::TerminalSimulator sim({.outPath = dir.filePath("r.out")}, QHostAddress::LocalHost, 0);
    QVERIFY(sim.Start());
    platform::RealClock clock;
    Download download({&link::EndpointPool::Udp(), &clock});
    const QByteArray content = "line,1\r\nline,2\r\nline,3\r\nline,4\r\nline,5\r\nline,6\r\n";
    link::DownloadOptions o{dir.filePath("f.csv"), "0", "127.0.0.1", QString::number(sim.Port())};
    WriteAll(o.filePath, content);
    QUdpSocket flooder;
    QVERIFY(flooder.bind(QHostAddress::LocalHost, 0));
    QRandomGenerator rng(7);
    qint64 strays = 0;
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, [&] {
      for (int i = 0; download.LocalPort() && i < 32; ++i, ++strays) {
        QByteArray d(rng.bounded(0, 10), Qt::Uninitialized);
        for (char& c : d) c = char(rng.bounded(256));
        if (d.endsWith('\r')) d.chop(1);  // a random word ending in CR could be a real reply
        flooder.writeDatagram(rng.bounded(2) ? d : QByteArray("ACK\r\n"), QHostAddress::LocalHost, download.LocalPort());
      }
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

  // A reply is taken only from the terminal's address; a stranger's ACK, and a
  // second download to the same cradle, are turned away.
  void strangers() {
    Rig rig(SimOptions{.silentMaster = 3});
    rig.Start("a\r\n");
    QVERIFY(RunUntil(rig.clock, [&] { return rig.cradle->Stats().masters == 1; }));
    for (int i = 0; i < 5; ++i) rig.net.Inject("127.0.0.2", 6001, 6000, "ACK\r");
    QVERIFY(RunUntil(rig.clock, [&] { return rig.cradle->Stats().masters == 3; }));
    QCOMPARE(rig.cradle->Stats().packets, 0);  // never acknowledged by the stranger
    Download twin(rig.net.Services());
    QVERIFY(twin.Start(rig.options));
    QVERIFY(RunUntil(rig.clock, [&] { return !twin.Running(); }));
    QCOMPARE(twin.Result().socketStep, link::SocketStep::SameCradle);
    QVERIFY(twin.Result().errorText.contains("127.0.0.1:6001"));
    QVERIFY(rig.Finish());
    QCOMPARE(rig.Result().outcome, Outcome::Complete);
  }
};

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
