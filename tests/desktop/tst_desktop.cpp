// The toolkit's window services: the file list and dialog placement.
#include "TestSupport.h"
#include "desktop/FileListBox.h"
#include "desktop/Placement.h"

#include <QApplication>
#include <QtTest>

class TestDesktop : public QObject {
  Q_OBJECT
 private slots:
  // The list follows its folder, and keeps the selected file selected.
  void fileListFollowsTheFolder() {
    QTemporaryDir dir;
    QVERIFY(WriteAll(dir.filePath("b.csv"), "x"));
    desktop::FileListBox list;
    list.SetPattern(QStringLiteral("*.csv;*.txt"));
    QVERIFY(list.SetPath(dir.path()));
    list.setCurrentRow(0);
    QCOMPARE(list.FileName(), QStringLiteral("b.csv"));
    QVERIFY(WriteAll(dir.filePath("a.csv"), "x"));
    QTRY_COMPARE(list.count(), 2);
    QCOMPARE(list.FileName(), QStringLiteral("b.csv"));
    QCOMPARE(list.ListIndex(), 1);
    QVERIFY(QFile::remove(dir.filePath("b.csv")));
    QTRY_COMPARE(list.count(), 1);
    QCOMPARE(list.ListIndex(), -1);  // gone, so nothing is selected
  }

  void fileListPattern() {
    QTemporaryDir dir;
    for (const char* name : {"a.csv", "B.CSV", "c.Txt", "d.tsv", "e.csv.bak", "f.txt~", "g.TXT"})
      QVERIFY(WriteAll(dir.filePath(name), "x"));
    QVERIFY(QDir(dir.path()).mkdir("h.csv"));  // folders are not files
    desktop::FileListBox list;
    list.SetPattern(QStringLiteral("*.csv;*.txt"));
    QVERIFY(list.SetPath(dir.path()));
    QStringList names;
    for (int i = 0; i < list.count(); ++i) names << list.item(i)->text();
    QCOMPARE(names, (QStringList{"a.csv", "B.CSV", "c.Txt", "g.TXT"}));
    QCOMPARE(list.ListIndex(), -1);
    QCOMPARE(list.FileName(), QString());
    list.setCurrentRow(1);
    QCOMPARE(list.FileName(), QStringLiteral("B.CSV"));
    QVERIFY(!list.SetPath(dir.filePath("gone")));
    QCOMPARE(list.Path(), QDir::toNativeSeparators(dir.path()));
  }

  void centering_data() {
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QSize>("own");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("middle of the screen") << QRect(100, 100, 426, 431) << QSize(407, 327) << QPoint(110, 152);
    QTest::newRow("near the left edge: off-screen kept") << QRect(-300, 10, 200, 100) << QSize(400, 300)
                                                         << QPoint(-400, -90);
    QTest::newRow("odd difference rounds") << QRect(0, 0, 101, 101) << QSize(100, 100) << QPoint(1, 1);
  }
  void centering() {
    QFETCH(QRect, main);
    QFETCH(QSize, own);
    QFETCH(QPoint, expected);
    QCOMPARE(desktop::CenteredOver(main, own), expected);
  }

};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
