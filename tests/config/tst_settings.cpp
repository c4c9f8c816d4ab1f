// The settings file: its exact bytes, what the reader accepts, what it does
// with everything else, and that a failed save never costs the old file.
#include "TestSupport.h"
#include "config/WindowSettings.h"
#include "config/SettingsLocation.h"
#include "platform/Cp932.h"
#include "platform/Errors.h"
#include "platform/Process.h"

#include <QRandomGenerator>
#include <QtTest>
#include <cerrno>

using namespace korima::config;

namespace {
const QByteArray kDefaultLineTail =
    QByteArray("\",\"6000\",\"") + kDefaultRemoteHost + "\",\"6001\",0,0\r\n";
}

// A record as the settings dialog hands it over.
korima::config::SettingsRecord Record(const QString& folder, const QString& local, const QString& host, const QString& remote,
                              qint16 title, qint16 size) {
  korima::config::SettingsRecord r;
  r.WorkFolder = folder;
  r.LocalPort = local;
  r.RemoteHost = host;
  r.RemotePort = remote;
  r.TitleLine = title;
  r.StartUpSize = size;
  return r;
}

class TestSettings : public QObject {
  Q_OBJECT

  ScratchTree tree_;
  QTemporaryDir& tmp_ = tree_.tmp;
  const QString exeDir_ = tree_.ExeDir(), docs_ = tree_.Docs(), work_ = tree_.Work(), ini_ = tree_.Ini();
  QStringList statusCalls_;
  CurrentDirGuard cwd_;

  MainWindowHooks Hooks() {
    MainWindowHooks h;
    h.SetStatus = [this](const QString& s) { statusCalls_ << s; };
    h.ShowFolder = [this](const QString& s) { statusCalls_ << QStringLiteral("folder:") + s; };
    return h;
  }
  QByteArray DefaultLine() const { return '"' + platform::ToCp932(docs_) + kDefaultLineTail; }

 private slots:
  void initTestCase() {
    QVERIFY(tmp_.isValid());
  }
  void init() {
    QFile::remove(ini_);
    Settings = {};
    Settings.SettingsPath = ini_;
    statusCalls_.clear();
  }

  void readsValidFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("titleLine");
    QTest::addColumn<int>("startUpSize");
    QTest::newRow("the written form") << QByteArray("\"%W\",\"6000\",\"\",\"6001\",1,0\r\n") << "%W" << "" << 1 << 0;
    QTest::newRow("six fields on six lines") << QByteArray("\"%W\"\r\n\"6000\"\r\n\"h\"\r\n\"6001\"\r\n0\r\n1\r\n")
                                             << "%W" << "h" << 0 << 1;
    QTest::newRow("2 in position 5 is taken") << QByteArray("\"%W\",\"6000\",\"h\",\"6001\",2,0\r\n") << "%W" << "h" << 2 << 0;
    QTest::newRow("no line end") << QByteArray("\"%W\",\"6000\",\"h\",\"6001\",0,0") << "%W" << "h" << 0 << 0;
  }
  void readsValidFiles() {
    QFETCH(QByteArray, content);
    QFETCH(QString, folder);
    QFETCH(QString, host);
    QFETCH(int, titleLine);
    QFETCH(int, startUpSize);
    content.replace("%W", platform::ToCp932(work_));
    QVERIFY(WriteAll(ini_, content));
    Recorder rec;
    ReadSettings(Hooks());
    QCOMPARE(rec.boxes.size(), 0);
    QCOMPARE(Settings.WorkFolder, folder.replace("%W", work_));
    QCOMPARE(Settings.LocalPort, QStringLiteral("6000"));
    QCOMPARE(Settings.RemoteHost, host);
    QCOMPARE(Settings.RemotePort, QStringLiteral("6001"));
    QCOMPARE(int(Settings.TitleLine), titleLine);
    QCOMPARE(int(Settings.StartUpSize), startUpSize);
    QCOMPARE(ReadAll(ini_), content);  // reading never rewrites a good file
    QCOMPARE(QDir::current().absolutePath(), QDir(work_).absolutePath());
  }

  void japaneseAndCommaFolders() {
    for (const QString& name : {QStringLiteral("データ①～"), QStringLiteral("a,b")}) {
      const QString folder = tmp_.filePath(name);
      QVERIFY(QDir().mkpath(folder));
      QVERIFY(WriteAll(ini_, '"' + platform::ToCp932(folder) + "\",\"6000\",\"h\",\"6001\",0,0\r\n"));
      Recorder rec;
      ReadSettings(Hooks());
      QCOMPARE(rec.boxes.size(), 0);
      QCOMPARE(Settings.WorkFolder, folder);
    }
  }

  void rebuildsBadFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("five fields") << QByteArray("\"%W\",\"6000\",\"h\",\"6001\",0\r\n") << "ﾌｧｲﾙ不正";
    QTest::newRow("70000 in position 5") << QByteArray("\"%W\",\"6000\",\"h\",\"6001\",70000,0\r\n") << "ﾌｧｲﾙ不正";
    QTest::newRow("70000 in position 6") << QByteArray("\"%W\",\"6000\",\"h\",\"6001\",0,70000\r\n") << "ﾌｧｲﾙ不正";
    QTest::newRow("text in position 5") << QByteArray("\"%W\",\"6000\",\"h\",\"6001\",yes,0\r\n") << "ﾌｧｲﾙ不正";
    QTest::newRow("empty file") << QByteArray() << "ﾌｧｲﾙ不正";
    QTest::newRow("a lead byte without its trail") << QByteArray("\"%W\",\"6000\",\"h\x82\",\"6001\",0,0\r\n") << "ﾌｧｲﾙ不正";
    QTest::newRow("2 in position 6") << QByteArray("\"%W\",\"6000\",\"h\",\"6001\",1,2\r\n") << "ﾊﾟﾗﾒｰﾀ不正";
    QTest::newRow("-1 in position 6") << QByteArray("\"%W\",\"7000\",\"h\",\"7001\",1,-1\r\n") << "ﾊﾟﾗﾒｰﾀ不正";
  }
  void rebuildsBadFiles() {
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QVERIFY(WriteAll(ini_, content.replace("%W", platform::ToCp932(work_))));
    Recorder rec;
    ReadSettings(Hooks());
    QCOMPARE(rec.boxes.size(), 1);
    QCOMPARE(rec.boxes[0].title, QStringLiteral("File Read"));
    QCOMPARE(rec.boxes[0].style, int(platform::vbOKOnly));
    QCOMPARE(rec.boxes[0].prompt,
             QStringLiteral("INIﾌｧｲﾙ読み込みｴﾗｰ : ") + reason +
                 QStringLiteral("\r\nINIﾌｧｲﾙを初期化します\r\n保存ﾌｫﾙﾀﾞの初期値はﾏｲﾄﾞｷｭﾒﾝﾄﾌｫﾙﾀﾞです\r\n"
                                "運用に適したﾌｫﾙﾀﾞを再設定してください"));
    QCOMPARE(ReadAll(ini_), DefaultLine());
    QCOMPARE(Settings.WorkFolder, docs_);
    QCOMPARE(Settings.LocalPort, QStringLiteral("6000"));
    QCOMPARE(Settings.RemoteHost, QString::fromLatin1(kDefaultRemoteHost));
    QCOMPARE(int(Settings.TitleLine), 0);
    QCOMPARE(int(Settings.StartUpSize), 0);
  }

  void noFileAtAll() {
    Recorder rec;
    ReadSettings(Hooks());
    QCOMPARE(rec.Titles(), QStringList{"File Read"});
    QVERIFY(rec.boxes[0].prompt.startsWith(QStringLiteral("INIﾌｧｲﾙ読み込みｴﾗｰ : ﾌｧｲﾙなし\r\n")));
    QCOMPARE(ReadAll(ini_), DefaultLine());
  }

  // The default working folder is one the settings file can hold: the
  // documents folder, else the home folder, else the root folder, whichever
  // first exists and CP932 can write. The reader returns before the folder
  // test, so no "エラー！！" follows.
  void defaultFolderTheFileCanHold_data() {
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("documents");  // under home; empty: none
    QTest::addColumn<QString>("expected");   // relative to the scratch tree, or "/"
    QTest::newRow("documents") << "h1" << "Documents" << "h1/Documents";
    QTest::newRow("no documents folder: home") << "h2" << "" << "h2";
    QTest::newRow("documents CP932 can't write: home") << "h3" << QStringLiteral("문서") << "h3";
    QTest::newRow("home CP932 can't write: root") << QStringLiteral("zoë") << "Documents" << "/";
    QTest::newRow("no home at all: root") << "" << "" << "/";
  }
  void defaultFolderTheFileCanHold() {
    QFETCH(QString, home);
    QFETCH(QString, documents);
    QFETCH(QString, expected);
    const QString homePath = home.isEmpty() ? tmp_.filePath("nobody") : tmp_.filePath(home);
    if (!home.isEmpty()) QVERIFY(QDir().mkpath(homePath));
    const QString config = tmp_.filePath("config-" + home);
    QVERIFY(QDir().mkpath(config));
    if (!documents.isEmpty()) {
      QVERIFY(QDir().mkpath(homePath + '/' + documents));
      QVERIFY(WriteAll(config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/" + documents.toUtf8() + "\"\n"));
    }
    const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", homePath.toUtf8());
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    Recorder rec;
    ReadSettings(Hooks());
    qputenv("HOME", savedHome);
    qputenv("XDG_CONFIG_HOME", savedConfig);
    const QString folder = expected == "/" ? QStringLiteral("/") : QDir::toNativeSeparators(tmp_.filePath(expected));
    QCOMPARE(rec.Titles(), QStringList{"File Read"});
    QCOMPARE(Settings.WorkFolder, folder);
    QCOMPARE(ReadAll(ini_), '"' + platform::ToCp932(folder) + kDefaultLineTail);
  }

  void deletedWorkingFolder() {
    const QString gone = tmp_.filePath("gone");
    const QByteArray line = '"' + platform::ToCp932(gone) + "\",\"6000\",\"h\",\"6001\",0,0\r\n";
    QVERIFY(WriteAll(ini_, line));
    QDir::setCurrent(work_);
    Recorder rec;
    ReadSettings(Hooks());
    QCOMPARE(rec.boxes.size(), 1);
    QCOMPARE(rec.boxes[0].title, QStringLiteral("エラー！！"));
    QCOMPARE(rec.boxes[0].style, int(platform::vbCritical));
    QCOMPARE(rec.boxes[0].prompt, QStringLiteral("既定ﾌｫﾙﾀﾞが存在しません\r\n再設定を行ってください！！"));
    QCOMPARE(statusCalls_, QStringList{QStringLiteral("既定ﾌｫﾙﾀﾞが存在しません - 再設定を行ってください！！")});
    QCOMPARE(Settings.WorkFolder, QDir::toNativeSeparators(work_));
    QCOMPARE(ReadAll(ini_), line);  // the file keeps the old folder
  }

  void saveWritesTheLineAndRefreshes() {
    QVERIFY(WriteAll(ini_, DefaultLine()));
    Recorder rec;
    const QString folder = tmp_.filePath("データ");
    SaveSettings(Record(folder, "", "127.0.0.5", "7001", 1, 1), Hooks());
    QCOMPARE(rec.boxes.size(), 0);
    QCOMPARE(ReadAll(ini_), '"' + platform::ToCp932(folder) + "\",\"\",\"127.0.0.5\",\"7001\",1,1\r\n");
    QCOMPARE(Settings.WorkFolder, folder);
    QCOMPARE(Settings.LocalPort, QString());
    QCOMPARE(int(Settings.StartUpSize), 1);
    QCOMPARE(statusCalls_, QStringList{QStringLiteral("folder:") + folder});
  }

  void failedSaveKeepsTheOldFile() {
    QVERIFY(WriteAll(ini_, DefaultLine()));
    Recorder rec;
    const QString folder = QStringLiteral("/tmp/한국");
    SaveSettings(Record(folder, "6000", "h", "6001", 0, 0), Hooks());
    QCOMPARE(rec.Titles(), QStringList{"File Write Error"});
    QVERIFY(rec.boxes[0].prompt.startsWith(QStringLiteral("INIﾌｧｲﾙ書き込みｴﾗｰ : Shift-JIS")));
    QCOMPARE(rec.ends.size(), 0);                 // the dialog's save carries on
    QCOMPARE(ReadAll(ini_), DefaultLine());       // and the previous file stands
    QCOMPARE(Settings.WorkFolder, folder);        // the running program takes the values
    QCOMPARE(QDir(exeDir_).entryList(QDir::Files), QStringList{"Korima.ini"});
  }

  // A folder the user can't write holding a file the user can: no temporary
  // file can be made beside it, so the save writes the file in place.
  void saveWhereOnlyTheFileIsWritable() {
    bool passed = false;
    QString why;
    if (RanAsUnprivileged("saveWhereOnlyTheFileIsWritable", passed, why)) {
      if (!passed && (why.startsWith(QStringLiteral("nobody cannot")) || why.startsWith(QStringLiteral("runuser"))))
        QSKIP(qPrintable(why));
      QVERIFY2(passed, qPrintable(why));
      return;
    }
    QTemporaryDir dir;
    const QString folder = dir.filePath("locked"), ini = folder + "/Korima.ini";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(WriteAll(ini, DefaultLine()));
    QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    Settings.SettingsPath = ini;
    Recorder rec;
    SaveSettings(Record(work_, "6100", "h", "6101", 1, 0), Hooks());
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY2(rec.boxes.isEmpty(), rec.boxes.isEmpty() ? "" : qPrintable(rec.boxes[0].prompt));
    QCOMPARE(ReadAll(ini), '"' + platform::ToCp932(work_) + "\",\"6100\",\"h\",\"6101\",1,0\r\n");
  }

  // Installed: the user's configuration folder. Anywhere else: beside the program.
  void whereTheFileLives() {
    const QString bin = tmp_.filePath("usr/bin"), config = tmp_.filePath("cfg");
    QVERIFY(QDir().mkpath(bin));
    SetInstalledBinDirForTest(bin);
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    QCOMPARE(SettingsFilePathFor(bin + "/korima", false), config + "/korima/korima.ini");
    QVERIFY(!QFileInfo::exists(config + "/korima"));  // only a program that uses it creates it
    QCOMPARE(SettingsFilePathFor(bin + "/korima", true), config + "/korima/korima.ini");
    QVERIFY(QFileInfo(config + "/korima").isDir());
    QCOMPARE(SettingsFilePathFor(bin + "/../bin/korima", false), config + "/korima/korima.ini");
    QCOMPARE(WindowProgramSettingsPath(bin + "/korima-send"), config + "/korima/korima.ini");
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(SettingsFilePathFor(bin + "/korima", false), QDir::homePath() + "/.config/korima/korima.ini");
    // A portable copy, the build tree: beside the program, as always.
    QCOMPARE(SettingsFilePathFor(exeDir_ + "/Korima", true), ini_);
    QCOMPARE(SettingsFilePathFor(tmp_.filePath("usr/Korima"), true), QDir::toNativeSeparators(tmp_.filePath("usr/Korima.ini")));
    SetInstalledBinDirForTest({});  // a build that installs nowhere
    QCOMPARE(SettingsFilePathFor(bin + "/korima", true), QDir::toNativeSeparators(bin + "/korima.ini"));
    qputenv("XDG_CONFIG_HOME", tmp_.filePath("home/.config").toLocal8Bit());
  }

  // A configuration folder that can't be made: the first start ends at "File Open Error".
  void configFolderThatCannotBeMade() {
    const QString bin = tmp_.filePath("usr/bin"), blocker = tmp_.filePath("not-a-folder");
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(WriteAll(blocker, "x"));
    SetInstalledBinDirForTest(bin);
    qputenv("XDG_CONFIG_HOME", blocker.toLocal8Bit());
    Settings.SettingsPath = SettingsFilePathFor(bin + "/korima", true);
    Recorder rec;
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, ReadSettings(Hooks()));
    QCOMPARE(rec.Titles(), (QStringList{"File Read", "File Open Error"}));
    SetInstalledBinDirForTest({});
    qputenv("XDG_CONFIG_HOME", tmp_.filePath("home/.config").toLocal8Bit());
  }

  void unopenableFileEndsTheProgram() {
    Settings.SettingsPath = tmp_.filePath("no/such/dir/Korima.ini");
    Recorder rec;
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, SaveSettings(Record(work_, "1", "h", "2", 0, 0), Hooks()));
    QCOMPARE(rec.Titles(), QStringList{"File Open Error"});
    QVERIFY(rec.boxes[0].prompt.startsWith(QStringLiteral("INIﾌｧｲﾙ書き込みｵｰﾌﾟﾝｴﾗｰ : ")));
    QVERIFY(rec.boxes[0].prompt.size() > QStringLiteral("INIﾌｧｲﾙ書き込みｵｰﾌﾟﾝｴﾗｰ : ").size());
    rec.boxes.clear();
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, ReadSettings(Hooks()));
    QCOMPARE(rec.Titles(), (QStringList{"File Read", "File Open Error"}));
  }

  // A write the file system refuses half-way puts the old line back: the
  // next start finds every setting, not a cut line. Run by full_disk.sh.
  void saveOnAFullDisk() {
    const QString ini = qEnvironmentVariable("KORIMA_FULL_DISK");
    if (ini.isEmpty()) QSKIP("run through full_disk.sh");
    const QByteArray before = ReadAll(ini);
    Settings.SettingsPath = ini;
    Recorder rec;
    const QString folder = '/' + QString(6000, u'a');  // more than the free room
    SaveSettings(Record(folder, "6100", "h", "6101", 1, 0), Hooks());
    QCOMPARE(rec.Titles(), QStringList{"File Write Error"});
    QVERIFY2(rec.boxes[0].prompt.endsWith(platform::OsErrorText(ENOSPC)), qPrintable(rec.boxes[0].prompt));
    QCOMPARE(ReadAll(ini), before);
    QCOMPARE(Settings.WorkFolder, folder);  // the running program takes the values, as after any failed save
  }

  // Random and mutated files: the reader either loads a record or rebuilds defaults.
  void fuzzReader() {
    QRandomGenerator rng(20261207);
    const QByteArray seed = '"' + platform::ToCp932(work_) + "\",\"6000\",\"h\",\"6001\",1,0\r\n";
    const char alphabet[] = "\",\r\n 0123456789-+abc\x82\xA0\xFF\t";
    for (int i = 0; i < 3000; ++i) {
      QByteArray content;
      if (i % 2) {
        content = seed;
        for (int m = rng.bounded(1, 6); m > 0; --m) {
          const int at = rng.bounded(int(content.size()) + 1);
          switch (rng.bounded(3)) {
            case 0: content.insert(at, alphabet[rng.bounded(int(sizeof alphabet) - 1)]); break;
            case 1: if (at < content.size()) content.remove(at, 1); break;
            default: if (at < content.size()) content[at] = char(rng.bounded(256)); break;
          }
        }
      } else {
        for (int n = rng.bounded(0, 80); n > 0; --n)
          content += rng.bounded(4) ? alphabet[rng.bounded(int(sizeof alphabet) - 1)] : char(rng.bounded(256));
      }
      QVERIFY(WriteAll(ini_, content));
      Settings = {};
      Settings.SettingsPath = ini_;
      Recorder rec;
      ReadSettings(Hooks());
      QVERIFY2(rec.ends.isEmpty(), content.toHex().constData());
      QVERIFY(Settings.StartUpSize == 0 || Settings.StartUpSize == 1);
      const bool rebuilt = rec.Titles().contains("File Read");
      if (rebuilt) {
        QCOMPARE(ReadAll(ini_), DefaultLine());
        QCOMPARE(rec.boxes[0].title, QStringLiteral("File Read"));
      } else {
        QCOMPARE(ReadAll(ini_), content);
      }
      for (const auto& box : rec.boxes)
        QVERIFY(box.title == QStringLiteral("File Read") || box.title == QStringLiteral("エラー！！"));
    }
  }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
