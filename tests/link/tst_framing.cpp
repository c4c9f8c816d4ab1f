// The wire format: checksum, frame, the terminal's side of it, replies.
#include "link/Frame.h"

#include <QtTest>

using namespace korima;

class TestFraming : public QObject {
  Q_OBJECT
 private slots:
  void checkSum_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("sum");
    QTest::newRow("empty data frame") << QByteArray("^0*") << QByteArray("B8");
    QTest::newRow("A,1 frame") << QByteArray("^0A,1*") << QByteArray("56");
    QTest::newRow("double-byte character") << QByteArray("^1\x82\xA0*") << QByteArray("DB");
    QTest::newRow("multiple of 256") << QByteArray("\x80\x80") << QByteArray("00");
    QTest::newRow("leading zero") << QByteArray("\xFF\x06") << QByteArray("05");
    QTest::newRow("nothing") << QByteArray() << QByteArray("00");
  }
  void checkSum() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, sum);
    QCOMPARE(link::CalcCheckSum(bytes), sum);
  }

  // Framed by the PC, read back by the terminal's side.
  void frames_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("sep");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("empty line") << QByteArray() << int('0') << QByteArray("^0*B8");
    QTest::newRow("example line") << QByteArray("A,1") << int('0') << QByteArray("^0A,1*56");
    QTest::newRow("marks inside data are sent unchanged") << QByteArray("^*\r") << int('1') << QByteArray("^1^*\r*4E");
    QTest::newRow("a double-byte Sep: lead, then trail byte") << QByteArray("x") << int(0x8260)
                                                               << QByteArray("^\x82\x60x*E2");
  }
  void frames() {
    QFETCH(QByteArray, data);
    QFETCH(int, sep);
    QFETCH(QByteArray, frame);
    QCOMPARE(link::FramePacket(data, qint16(sep)), frame);
    char parsedSep = 0;
    QByteArray parsed;
    QCOMPARE(link::ParsePacket(frame + '\r', parsedSep, parsed), sep >= '0' && sep <= '9');
    if (sep <= '9') QCOMPARE(parsed, data);
  }

  void badFrames_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::newRow("checksum off by one") << QByteArray("^0A,1*57\r");
    QTest::newRow("no CR") << QByteArray("^0A,1*56");
    QTest::newRow("Sep not a digit") << QByteArray("^AA,1*67\r");
    QTest::newRow("too short") << QByteArray("^0*\r");
  }
  void badFrames() {
    QFETCH(QByteArray, datagram);
    char sep = 0;
    QByteArray data;
    QVERIFY(!link::ParsePacket(datagram, sep, data));
  }

  // A reply is one of four words and its CR, nothing else.
  void replyWords_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QByteArray>("word");
    for (const char* w : {"ACK", "NAK", "BEL", "FUL"}) QTest::newRow(w) << QByteArray(w) + '\r' << QByteArray(w);
    QTest::newRow("bare word") << QByteArray("ACK") << QByteArray();
    QTest::newRow("CR LF") << QByteArray("ACK\r\n") << QByteArray();
    QTest::newRow("LF") << QByteArray("ACK\n") << QByteArray();
    QTest::newRow("NUL terminator") << QByteArray("ACK\0", 4) << QByteArray();
    QTest::newRow("lower case") << QByteArray("ack\r") << QByteArray();
    QTest::newRow("other word") << QByteArray("ACX\r") << QByteArray();
    QTest::newRow("empty") << QByteArray("") << QByteArray();
    QTest::newRow("largest datagram") << QByteArray(65507, 'A') << QByteArray();
  }
  void replyWords() {
    QFETCH(QByteArray, datagram);
    QFETCH(QByteArray, word);
    QCOMPARE(link::ReplyWord(datagram), word);
  }
};

QTEST_GUILESS_MAIN(TestFraming)
#include "tst_framing.moc"
