// The download over real UDP and real name lookups, end to end: what the
// in-memory network can't show. The lookups and the firewall run in network
// namespaces of their own (netns.sh); the rest on loopback.
#include "TestSupport.h"
#include "link/Download.h"
#include "link/Endpoint.h"
#include "link/Wording.h"
#include "platform/Errors.h"
#include "platform/Ticks.h"
#include "sim/TerminalSimulator.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

using namespace korima;
using link::Download;
using link::Outcome;

namespace {

// Ticks of 10 µs unless asked: a reply wait lasts a millisecond.
struct Rig {
  explicit Rig(qint64 nsPerTick = 10'000) : clock(nsPerTick) {
    QVERIFY(sim.Start());
    options = {dir.filePath("f.csv"), "0", "127.0.0.1", QString::number(sim.Port())};
    WriteAll(options.filePath, content);
  }
  bool Run(int timeoutMs = 30000) {
    QSignalSpy ended(&download, &Download::Ended);
    if (!download.Start(options)) return false;
    return ended.wait(timeoutMs) && !download.Running();
  }
  QTemporaryDir dir;
  QByteArray content = "line,1\r\nline,2\r\nline,3\r\nline,4\r\nline,5\r\nline,6\r\n";
  sim::TerminalSimulator sim{sim::SimOptions{.outPath = dir.filePath("received.out")}, QHostAddress::LocalHost, 0};
  platform::RealClock clock;
  Download download{{&link::EndpointPool::Udp(), &clock}};
  link::DownloadOptions options;
};

QString World() { return qEnvironmentVariable("KORIMA_NETNS"); }

}  // namespace

class TestUdp : public QObject {
  Q_OBJECT
 private slots:
  // Thousands of stray datagrams a second at the PC's port from the
  // terminal's own address, between and among its replies: every download
  // still completes, no reply goes unread, and the terminal holds the file.
  void flood() {
    Rig rig(platform::TickClock::kProgramTickNs);
    QUdpSocket flooder;
    QVERIFY(flooder.bind(QHostAddress::LocalHost, 0));
    QRandomGenerator rng(7);
    const QList<QByteArray> nearMisses = {"ACK\n", "ACK ", QByteArray("ACK\0", 4), "ACK\r\n", "AC\r", "ack\r", ""};
    quint16 target = 0;
    qint64 floodSent = 0;
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, [&] {
      for (int i = 0; target && i < 32; ++i, ++floodSent) {
        QByteArray d = nearMisses[rng.bounded(int(nearMisses.size()))];
        if (rng.bounded(2)) {
          d.resize(rng.bounded(0, 10));
          for (char& c : d) c = char(rng.bounded(256));
          if (d.endsWith('\r')) d.chop(1);  // a random word ending in CR could be a real reply
        }
        flooder.writeDatagram(d, QHostAddress::LocalHost, target);
      }
    });
    pump.start(1);
    for (int run = 0; run < 8; ++run) {
      QSignalSpy ended(&rig.download, &Download::Ended);
      QVERIFY(rig.download.Start(rig.options));
      target = rig.download.LocalPort();
      QVERIFY(ended.wait(30000));
      target = 0;
      QCOMPARE(link::OutcomeName(rig.download.Result().outcome), "complete");
      QCOMPARE(rig.download.Result().silentWaits, 0);
      QCOMPARE(ReadAll(rig.dir.filePath("received.out")), rig.content);
      QCOMPARE(rig.download.LocalPort(), 0);
    }
    QVERIFY(floodSent > 5000);
  }

  // A name is looked up (here from /etc/hosts: no name server is asked).
  void hostNameIsLookedUp() {
    if (World() != "no-dns") QSKIP("run through netns.sh no-dns");
    Rig rig;
    rig.options.remoteHost = "localhost";
    QVERIFY(rig.Run());
    QCOMPARE(rig.download.Result().outcome, Outcome::Complete);
  }

  // A name the resolver can't find ends the download at once with the
  // resolver's own code and text, and the name.
  void lookupThatFails() {
    if (World() != "no-dns") QSKIP("run through netns.sh no-dns");
    Rig rig;
    rig.options.remoteHost = "cradle.shop.test";
    QVERIFY(rig.Run());
    QCOMPARE(rig.download.Result().outcome, Outcome::SocketError);
    const QString ending = link::wording::Ending(rig.download.Result());
    QVERIFY2(ending.contains(QStringLiteral(" UDP設定に問題がないか確認してください。 cradle.shop.test: ")), qPrintable(ending));
    QVERIFY2(!ending.startsWith(QString::number(EDESTADDRREQ) + ' '), qPrintable(ending));
    QVERIFY(rig.sim.Cradle().Received().isEmpty());
  }

  // A lookup that never answers holds up nothing: the start returns at
  // once, events keep running, and a stop ends the download.
  void lookupThatNeverAnswers() {
    if (World() != "silent-dns") QSKIP("run through netns.sh silent-dns");
    Rig rig;
    rig.options.remoteHost = "cradle.shop.test";
    QSignalSpy ended(&rig.download, &Download::Ended);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.download.Start(rig.options));
    QVERIFY2(clock.elapsed() < 500, "the start blocked on the lookup");
    int beats = 0;
    QTimer heart;
    QObject::connect(&heart, &QTimer::timeout, [&] { ++beats; });
    heart.start(10);
    QTest::qWait(400);
    QVERIFY2(beats >= 5, qPrintable(QString::number(beats)));
    QVERIFY(rig.download.Running());
    rig.download.Stop();
    QVERIFY(ended.wait(1000));
    QCOMPARE(rig.download.Result().outcome, Outcome::Stopped);
  }

  // The kernel refuses the send (a firewall rule): its own errno is
  // reported, not the socket library's folded one, and nothing is waited for.
  void sendRefusedByTheKernel() {
    if (World() != "refuse") QSKIP("run through netns.sh refuse");
    Rig rig;
    rig.options.remoteHost = "127.0.0.2";
    QVERIFY(rig.Run());
    QCOMPARE(rig.download.Result().outcome, Outcome::SocketError);
    QCOMPARE(rig.download.Result().silentWaits, 0);
    QCOMPARE(link::wording::Ending(rig.download.Result()),
             QString::number(EPERM) + QStringLiteral(" UDP設定に問題がないか確認してください。 ") + platform::OsErrorText(EPERM));
  }
};

QTEST_GUILESS_MAIN(TestUdp)
#include "tst_udp.moc"
