// The window's toolkit: the file list, the carry-on error state and the
// current folder on its volume, dialog placement.
#include "TestSupport.h"
#include "desktop/CarryOn.h"
#include "desktop/FileListBox.h"
#include "desktop/Placement.h"
#include "platform/Volumes.h"

#include <QApplication>
#include <QtTest>

class TestDesktop : public QObject {
  Q_OBJECT
  CurrentDirGuard cwd_;

 private slots:
  // The folder's data files, case ignored in names and order, hidden ones left
  // out; the list follows the folder and keeps the selected file selected.
  void fileList() {
    QTemporaryDir dir;
    for (const char* name : {"a.csv", "B.CSV", "c.Txt", "d.tsv", "e.csv.bak", "f.txt~", ".g.csv"})
      QVERIFY(WriteAll(dir.filePath(name), "x"));
    QVERIFY(QDir(dir.path()).mkdir("h.csv"));  // folders are not files
    desktop::FileListBox list;
    list.SetPattern(QStringLiteral("*.csv;*.txt"));
    QVERIFY(list.SetPath(dir.path()) && !list.SetPath(dir.filePath("gone")));
    QCOMPARE(list.Path(), dir.path());
    const auto names = [&] {
      QStringList n;
      for (int i = 0; i < list.count(); ++i) n << list.item(i)->text();
      return n;
    };
    QCOMPARE(names(), (QStringList{"a.csv", "B.CSV", "c.Txt"}));
    list.setCurrentRow(0, QItemSelectionModel::NoUpdate);  // current, not selected
    QVERIFY(list.FileName().isEmpty() && list.ListIndex() == -1);
    list.setCurrentRow(1);
    QVERIFY(WriteAll(dir.filePath("A.TXT"), "x"));
    QTRY_COMPARE(names(), (QStringList{"a.csv", "A.TXT", "B.CSV", "c.Txt"}));
    QVERIFY(list.FileName() == "B.CSV" && list.ListIndex() == 2);
    QVERIFY(QFile::remove(dir.filePath("B.CSV")));
    QTRY_COMPARE(list.count(), 3);
    QCOMPARE(list.ListIndex(), -1);  // gone, so nothing is selected
  }

  // Folders the window can't use, each with the system's number for why, which
  // the next call that works clears; the current folder when it lies on a
  // volume (the one whose root is its longest leading part), else the root.
  void carryOn() {
    RUN_UNPRIVILEGED();
    QTemporaryDir dir;
    const QString file = dir.filePath("file"), closed = dir.filePath("closed"), unlisted = dir.filePath("unlisted");
    QVERIFY(WriteAll(file, "x") && QDir(dir.path()).mkdir("closed") && QDir(dir.path()).mkdir("unlisted") &&
            QDir(dir.path()).mkdir("sub"));
    QVERIFY(QFile::setPermissions(closed, QFile::ReadOwner) &&
            QFile::setPermissions(unlisted, QFile::WriteOwner | QFile::ExeOwner));
    const auto says = [](bool ok, int error) {
      return ok == (error == 0) && desktop::Err().Number == error &&
             desktop::Err().Description == (error ? platform::OsErrorText(error) : QString());
    };
    desktop::FileListBox list;
    // A path, and what ChDir, CanListFolder and a file list's SetPath say of it.
    for (const auto& [path, chDir, canList, setPath] :
         {std::tuple<QString, int, int, int>{dir.path(), 0, 0, 0}, {dir.filePath("missing"), ENOENT, ENOENT, ENOENT},
          {"", ENOENT, ENOENT, ENOENT}, {file, ENOTDIR, ENOTDIR, ENOTDIR}, {closed, EACCES, EACCES, 0},
          {unlisted, 0, EACCES, EACCES}}) {
      QVERIFY2(says(desktop::ChDir(path), chDir), qPrintable(path));
      QCOMPARE(desktop::CurDir(), chDir ? dir.path() : path);
      QVERIFY2(says(desktop::CanListFolder(path), canList), qPrintable(path));
      QVERIFY2(says(list.SetPath(path), setPath), qPrintable(path));
      QVERIFY(says(desktop::ChDir(dir.path()), 0));
    }
    desktop::RaiseOsError(0);
    QVERIFY(says(false, EIO));  // a failure never reads as "no error"
    QVERIFY(desktop::ChDir(dir.filePath("sub")));
    platform::SetVolumesForTest({"/", dir.path(), dir.filePath("s"), file});
    // In order: a file is no folder, and says so; the root clears that; the longest volume root wins.
    const QStringList on{desktop::CurDirOnDrive(file), says(false, ENOTDIR) ? "not a folder" : "",
                         desktop::CurDirOnDrive("/"), says(true, 0) ? "cleared" : "", desktop::CurDirOnDrive(dir.path())};
    platform::SetVolumesForTest({});
    QCOMPARE(on, (QStringList{"", "not a folder", "/", "cleared", dir.filePath("sub")}));
  }

  // A dialog centred over the main window by their outer frames, rounded, and
  // not kept on the screen.
  void centering() {
    QCOMPARE(desktop::CenteredOver(QRect(100, 100, 426, 431), QSize(407, 327)), QPoint(110, 152));
    QCOMPARE(desktop::CenteredOver(QRect(-300, 10, 200, 100), QSize(400, 300)), QPoint(-400, -90));
    QCOMPARE(desktop::CenteredOver(QRect(0, 0, 101, 101), QSize(100, 100)), QPoint(1, 1));
  }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
