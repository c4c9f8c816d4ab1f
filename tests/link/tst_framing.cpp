// Packet framing and checksum.
#include "link/CheckSum.h"

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

  void checkSumOfText() {
    QCOMPARE(link::CalcCheckSum(QStringLiteral("^1あ*")), QStringLiteral("DB"));
    QCOMPARE(link::CalcCheckSum(QStringLiteral("^0A,1*")), QStringLiteral("56"));
  }

  void frames_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("sep");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("empty line") << QByteArray() << int('0') << QByteArray("^0*B8");
    QTest::newRow("example line") << QByteArray("A,1") << int('0') << QByteArray("^0A,1*56");
    QTest::newRow("marks inside data are sent unchanged") << QByteArray("^*\r") << int('1')
                                                          << QByteArray("^1^*\r*") + link::CalcCheckSum(QByteArray("^1^*\r*"));
    QTest::newRow("unchecked Sep") << QByteArray("x") << int('A') << QByteArray("^Ax*") + link::CalcCheckSum(QByteArray("^Ax*"));
  }
  void frames() {
    QFETCH(QByteArray, data);
    QFETCH(int, sep);
    QFETCH(QByteArray, frame);
    QCOMPARE(link::FramePacket(data, qint16(sep)), frame);
  }

};

QTEST_GUILESS_MAIN(TestFraming)
#include "tst_framing.moc"
