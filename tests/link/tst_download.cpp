// The download against simulated terminals on an in-memory network, in
// virtual time: every wait is exact, and a 50-second time-out costs nothing.
#include "MemoryNet.h"
#include "TestSupport.h"
#include "link/Download.h"
#include "link/Frame.h"
#include "link/Wording.h"
#include "platform/Errors.h"

#include <QSignalSpy>
#include <QtTest>

using namespace korima;
using link::Download;
using link::Outcome;
using sim::SimOptions;
using Lines = QList<QByteArray>;

namespace {

QByteArray Packet(const QByteArray& data, char sep) { return link::FramePacket(data, sep) + '\r'; }
QString Done(qint64 bytes) { return QStringLiteral("%1ﾊﾞｲﾄ中 %1ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了").arg(bytes); }

// A PC on local port 6000 and a terminal at 127.0.0.1:6001.
struct Rig {
  explicit Rig(SimOptions sim = {}) : cradle(&net.AddCradle("127.0.0.1", 6001, Prepare(sim))) {
    options.localPort = "6000";
    options.remoteHost = "127.0.0.1";
    options.remotePort = "6001";
    QObject::connect(download.get(), &Download::LineAcknowledged, [this](qint64) { sent << download->Result().sentBytes; });
  }
  SimOptions Prepare(SimOptions o) {
    o.outPath = dir.filePath("received.out");
    return o;
  }
  QString Write(const QByteArray& bytes, const QString& name = "f.csv") {
    WriteAll(dir.filePath(name), bytes);
    return dir.filePath(name);
  }
  // Starts the download of `name` and runs it to its wrap-up.
  bool Run(const QString& name = "f.csv") {
    Start(name);
    return Finish();
  }
  void Start(const QString& name = "f.csv") {
    options.filePath = dir.filePath(name);
    QVERIFY(download->Start(options));
  }
  bool Finish() { return RunUntil(clock, [this] { return !download->Running(); }); }
  const link::DownloadResult& Result() const { return download->Result(); }
  QString Ending() const { return link::wording::Ending(Result()); }
  QByteArray Stored() const { return ReadAll(dir.filePath("received.out")); }

  QTemporaryDir dir;
  platform::ManualClock clock;
  MemoryNet net{clock};
  sim::Terminal* cradle;
  link::DownloadOptions options;
  std::unique_ptr<Download> download = std::make_unique<Download>(net.Services());
  QList<qint64> sent;  // characters acknowledged after each line
};

}  // namespace

class TestDownload : public QObject {
  Q_OBJECT
 private slots:
  // What goes on the wire and what is counted, for files and settings of each shape.
  void exchanges_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("titleLine");
    QTest::addColumn<Lines>("wire");         // what the terminal received
    QTest::addColumn<QList<qint64>>("sent");  // characters counted after each line
    QTest::newRow("example, NAK once") << QByteArray("A,1\r\nB,2\r\n") << 0
        << Lines{"MASTER\r", "^0A,1*56\r", "^0A,1*56\r", "^1B,2*59\r", "END\r"} << QList<qint64>{3, 6};
    QTest::newRow("title line counted, not sent") << QByteArray("NAME,QTY\r\nA,1\r\n") << 1
        << Lines{"MASTER\r", Packet("A,1", '0'), "END\r"} << QList<qint64>{8, 11};
    QTest::newRow("any title value above 0, title only") << QByteArray("NAME,QTY\r\n") << 2
        << Lines{"MASTER\r", "END\r"} << QList<qint64>{8};
    QTest::newRow("double-byte characters count one each") << QByteArray("\x82\xA0\x82\xA2\x82\xA4\r\nx\r\n") << 0
        << Lines{"MASTER\r", Packet("\x82\xA0\x82\xA2\x82\xA4", '0'), Packet("x", '1'), "END\r"} << QList<qint64>{3, 4};
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
    SimOptions o;
    if (QByteArray(QTest::currentDataTag()).startsWith("example")) o.nakAt[1] = 1;
    Rig rig(o);
    rig.options.titleLine = qint16(titleLine);
    rig.Write(content);
    QVERIFY(rig.Run());
    QCOMPARE(rig.cradle->Received(), wire);
    QCOMPARE(rig.sent, sent);
    QCOMPARE(rig.Ending(), Done(content.size()));
    QCOMPARE(rig.download->LocalPort(), 0);  // the socket went with the download
  }

  // Each row: how the terminal misbehaves, and how the download must end.
  void faults_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("ends");  // "END" commands sent
    const QString done = Done(15);
    QTest::newRow("four NAKs then ACK") << "nak 1 4" << done << 3 << 1;
    QTest::newRow("five NAKs") << "nak 2 5" << QStringLiteral("ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ NAK受信") << 1 << 0;
    QTest::newRow("four silent attempts then ACK") << "silent 3 4" << done << 3 << 1;
    QTest::newRow("five silent attempts") << "silent 1 5" << QStringLiteral("ﾚｺｰﾄﾞ1:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ") << 0 << 0;
    QTest::newRow("NAKs and silences mixed") << "nak 2 2 silent 2 2" << done << 3 << 1;
    QTest::newRow("BEL at a line") << "bel 2" << QStringLiteral("ﾚｺｰﾄﾞ2:ﾊﾝﾄﾞｼｪｲｸ BEL受信") << 1 << 0;
    QTest::newRow("FUL at a line") << "ful 3" << QStringLiteral("ﾚｺｰﾄﾞ3:ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>") << 2 << 0;
    QTest::newRow("BEL at END") << "belend" << QStringLiteral("END:ﾊﾝﾄﾞｼｪｲｸ BEL受信") << 3 << 1;
    QTest::newRow("FUL at END") << "fulend" << QStringLiteral("END:ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>") << 3 << 1;
    QTest::newRow("END silent four times, then ACK") << "silentend 4" << done << 3 << 5;
    QTest::newRow("END silent five times") << "silentend 5" << QStringLiteral("END:ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ") << 3 << 5;
    QTest::newRow("END refused five times") << "nakend 5" << QStringLiteral("END:ﾊﾝﾄﾞｼｪｲｸ NAK受信") << 3 << 5;
    QTest::newRow("END: NAK and silence count together") << "nakend 2 silentend 3"
                                                         << QStringLiteral("END:ﾊﾝﾄﾞｼｪｲｸ NAK受信") << 3 << 5;
    QTest::newRow("MASTER ignored three times") << "silentmaster 3" << done << 3 << 1;
    QTest::newRow("a fifth of all datagrams lost") << "drop" << done << 3 << -1;
  }
  void faults() {
    QFETCH(QString, fault);
    QFETCH(QString, ending);
    QFETCH(int, stored);
    QFETCH(int, ends);
    SimOptions o;
    const QStringList w = fault.split(' ');
    auto n = [&](int i) { return w.value(i).toInt(); };
    for (int i = 0; i < w.size(); ++i) {
      if (w[i] == "nak") o.nakAt[n(i + 1)] = n(i + 2), i += 2;
      else if (w[i] == "silent") o.silentAt[n(i + 1)] = n(i + 2), i += 2;
      else if (w[i] == "bel") o.belAt = n(++i);
      else if (w[i] == "ful") o.fulAt = n(++i);
      else if (w[i] == "belend") o.belAtEnd = true;
      else if (w[i] == "fulend") o.fulAtEnd = true;
      else if (w[i] == "silentend") o.silentEnd = n(++i);
      else if (w[i] == "nakend") o.nakEnd = n(++i);
      else if (w[i] == "silentmaster") o.silentMaster = n(++i);
      else if (w[i] == "drop") o.dropShare = 0.2, o.seed = 7;
    }
    Rig rig(o);
    rig.Write("abc\r\ndef\r\nghi\r\n");
    QVERIFY(rig.Run());
    QCOMPARE(rig.Ending(), ending);
    QCOMPARE(rig.cradle->Lines().size(), stored);
    if (ends >= 0) QCOMPARE(rig.cradle->Received().count("END\r"), ends);
    if (ending == Done(15)) QCOMPARE(rig.Stored(), QByteArray("abc\r\ndef\r\nghi\r\n"));
    for (qint64 v : rig.sent) QVERIFY(v <= 15);
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
      QCOMPARE(peer.Received().count(Packet("a", '0')), 5);
      QCOMPARE(d.Result().silentWaits, 50);
      QVERIFY(!peer.Received().contains("END\r"));
    }
  }

  // The pause before every packet is five ticks, counted from the reply
  // before it; "MASTER" waits one whole reply wait of 100 ticks.
  void waitsCountTicks() {
    Rig rig;
    rig.cradle->Options().silentMaster = 1;
    rig.Write("a\r\n");
    rig.Start();
    auto at = [&](qint64 tick) {  // what the terminal has received by this tick
      const qint64 end = tick * rig.clock.NsPerTick();
      RunUntil(rig.clock, [&] { return rig.clock.NextDeadlineNs() < 0 || rig.clock.NextDeadlineNs() > end; });
      rig.clock.AdvanceTo(end);
      RunPosted();
      return rig.cradle->Received();
    };
    QCOMPARE(at(99), Lines{"MASTER\r"});
    QCOMPARE(at(100), Lines(2, "MASTER\r"));
    QCOMPARE(at(104), Lines(2, "MASTER\r"));
    QCOMPARE(at(105).mid(0, 3), (Lines{"MASTER\r", "MASTER\r", Packet("a", '0')}));
    QVERIFY(rig.Finish());
    QCOMPARE(rig.Result().connectTicks, 100);
  }

  // Stop in each phase: the download winds up from the event loop, nothing
  // more goes out, the terminal keeps what it took, and a new start goes.
  void stop_data() {
    QTest::addColumn<QString>("phase");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("MASTER repeated") << "master" << QByteArray();
    QTest::newRow("pause before a packet") << "pause" << QByteArray();
    QTest::newRow("reply wait") << "reply" << QByteArray("a\r\n");
    QTest::newRow("END") << "end" << QByteArray("a\r\nb\r\n");
  }
  void stop() {
    QFETCH(QString, phase);
    QFETCH(QByteArray, stored);
    SimOptions o;
    if (phase == "master") o.silentMaster = 1000;
    if (phase == "reply") o.silentAt[2] = 1000;
    if (phase == "end") o.silentEnd = 1000;
    Rig rig(o);
    rig.Write("a\r\nb\r\n");
    QSignalSpy ended(rig.download.get(), &Download::Ended);
    rig.Start();
    const Lines& r = rig.cradle->Received();
    QVERIFY(RunUntil(rig.clock, [&] {
      if (phase == "master") return r.size() >= 3;
      if (phase == "pause") return rig.Result().connected;
      if (phase == "reply") return r.size() >= 3 && r.last().startsWith("^1");
      return !r.isEmpty() && r.last() == "END\r";
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

    rig.cradle->Options() = rig.Prepare({});
    QVERIFY(rig.Run());
    QCOMPARE(rig.Result().outcome, Outcome::Complete);
    QCOMPARE(rig.Stored(), QByteArray("a\r\nb\r\n"));  // a new download, a new output
  }

  // Destroying a download while it waits frees the suspended coroutine; nothing resumes it.
  void destroyedWhileWaiting() {
    Rig rig(SimOptions{.silentAt = {{1, 1000}}});
    rig.Write("a\r\nb\r\n");
    rig.Start();
    QVERIFY(RunUntil(rig.clock, [&] { return rig.cradle->Stats().silences >= 1; }));
    rig.download.reset();
    const qsizetype sent = rig.cradle->Received().size();
    RunUntil(rig.clock, [] { return false; }, 100000);
    QCOMPARE(rig.cradle->Received().size(), sent);
    QCOMPARE(rig.clock.NextDeadlineNs(), -1);  // no alarm left behind for the freed download
  }

  void socketErrors_data() {
    QTest::addColumn<QString>("localPort");
    QTest::addColumn<QString>("remotePort");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("step");
    QTest::newRow("port in use") << "6000 held" << "6001" << int(EADDRINUSE) << int(link::SocketStep::Bind);
    QTest::newRow("non-numeric remote port") << "0" << "abc" << int(EINVAL) << int(link::SocketStep::RemotePort);
    QTest::newRow("non-numeric local port") << "x" << "6001" << int(EINVAL) << int(link::SocketStep::LocalPort);
    QTest::newRow("empty local port") << "" << "6001" << int(EINVAL) << int(link::SocketStep::LocalPort);
    QTest::newRow("the kernel refuses the send") << "6000" << "6001 refused" << int(EPERM) << int(link::SocketStep::Send);
    QTest::newRow("an address in a refused form") << "6000" << "6001 127.1" << int(EINVAL) << int(link::SocketStep::Address);
  }
  void socketErrors() {
    QFETCH(QString, localPort);
    QFETCH(QString, remotePort);
    QFETCH(int, number);
    QFETCH(int, step);
    Rig rig;
    int e = 0;
    auto held = localPort.endsWith(" held") ? rig.net.Bind(6000, e) : nullptr;
    rig.options.localPort = localPort.section(' ', 0, 0);
    rig.options.remotePort = remotePort.section(' ', 0, 0);
    if (remotePort.endsWith("refused")) rig.net.faults.refuse = [](quint32, quint16) { return EPERM; };
    if (remotePort.endsWith("127.1")) rig.options.remoteHost = "127.1";
    rig.Write("a\r\n");
    QVERIFY(rig.Run());
    QCOMPARE(rig.Result().outcome, Outcome::SocketError);
    QCOMPARE(int(rig.Result().socketStep), step);
    QString text = platform::OsErrorText(number);
    if (rig.Result().socketStep == link::SocketStep::Address) text = "127.1: " + link::wording::AddressForm();
    if (number == EADDRINUSE) text += ' ' + link::wording::PortInUse(6000);  // the service may hold it
    QCOMPARE(rig.Ending(), QString::number(number) + QStringLiteral(" UDP設定に問題がないか確認してください。 ") + text);
    QCOMPARE(rig.Result().silentWaits, 0);  // a failed send ends at once, no reply is waited for
    QVERIFY(rig.cradle->Received().isEmpty());
  }

  // Downloads on one local port share its socket; each takes the replies of
  // its own cradle: by address and port, then by address alone where one
  // cradle has it, never from a stranger.
  void routing_data() {
    QTest::addColumn<QStringList>("cradles");  // address:port, "silent" or "bel" after a blank
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
      SimOptions o;
      o.outPath = dir.filePath(QString::number(i));
      if (cradles[i].endsWith("bel")) o.belAt = 3;
      if (cradles[i].endsWith("silent")) o.silentMaster = 1000000;
      net.AddCradle(qPrintable(address), port.toUShort(), o);
      downloads << std::make_shared<Download>(net.Services());
      QByteArray content;  // a file of each cradle's own
      for (int l = 1; l <= 40; ++l) content += "cradle" + QByteArray::number(i) + ",line," + QByteArray::number(l) + "\r\n";
      contents << content;
      WriteAll(dir.filePath(QString::number(i) + ".csv"), content);
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

  // A reply is taken only from the terminal's address; a stranger's ACK, and a
  // second download to the same cradle, are turned away.
  void strangers() {
    Rig rig(SimOptions{.silentMaster = 3});
    rig.Write("a\r\n");
    rig.Start();
    QVERIFY(RunUntil(rig.clock, [&] { return rig.cradle->Stats().masters == 1; }));
    for (int i = 0; i < 5; ++i) rig.net.Inject("127.0.0.2", 6001, 6000, "ACK\r");
    QVERIFY(RunUntil(rig.clock, [&] { return rig.cradle->Stats().masters == 3; }));
    QCOMPARE(rig.cradle->Stats().packets, 0);  // never acknowledged by the stranger

    Download twin(rig.net.Services());
    link::DownloadOptions o = rig.options;
    QVERIFY(twin.Start(o));
    QVERIFY(RunUntil(rig.clock, [&] { return !twin.Running(); }));
    QCOMPARE(twin.Result().outcome, Outcome::SocketError);
    QVERIFY(twin.Result().errorText.contains("127.0.0.1:6001"));
    QVERIFY(rig.Finish());
    QCOMPARE(rig.Result().outcome, Outcome::Complete);
  }
};

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
