// The settings file: what the reader takes and what it refuses, the window's
// routines that rebuild it and say so, where it lives, and that a save never
// costs the old file.
#include "TestSupport.h"
#include "config/SettingsLocation.h"
#include "config/WindowSettings.h"

#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace korima::config;
using platform::vbOKOnly;

namespace {
// A record in the file's order, and back.
QStringList Fields(const SettingsRecord& r) {
  return {r.WorkFolder, r.LocalPort, r.RemoteHost, r.RemotePort, QString::number(r.TitleLine),
          QString::number(r.StartUpSize)};
}
SettingsRecord Record(const QStringList& f) {
  return {f[0], qint16(f[4].toInt()), qint16(f[5].toInt()), {}, f[1], f[2], f[3]};
}
QString Box(int style, const QString& title, const QString& prompt) {
  return QStringLiteral("%1 %2: %3").arg(style).arg(title, prompt);
}
QString ReadError(const QString& reason) {
  return Box(vbOKOnly, "File Read", "INIﾌｧｲﾙ読み込みｴﾗｰ : " + reason + "\r\nINIﾌｧｲﾙを初期化します\r\n"
                                    "保存ﾌｫﾙﾀﾞの初期値はﾏｲﾄﾞｷｭﾒﾝﾄﾌｫﾙﾀﾞです\r\n運用に適したﾌｫﾙﾀﾞを再設定してください");
}
}  // namespace

class TestSettings : public QObject {
  Q_OBJECT
  ScratchTree tree_;
  QTemporaryDir& tmp_ = tree_.tmp;
  const QString docs_ = tree_.Docs(), work_ = tree_.Work(), ini_ = tree_.Ini();
  CurrentDirGuard cwd_;
  QStringList told_;  // what the main window was told

  MainWindowHooks Hooks() {
    return {[this](const QString& s) { told_ << "status: " + s; },
            [this](const QString& s) { told_ << "folder: " + s; }};
  }
  QStringList Said(const Recorder& rec) const {
    QStringList said;
    for (const auto& b : rec.boxes) said << Box(b.style, b.title, b.prompt);
    return said + told_;
  }
  // The scratch tree's paths are ASCII: their bytes are CP932 as they are.
  QByteArray DefaultLine() const {
    return '"' + docs_.toLatin1() + "\",\"6000\",\"" + kDefaultRemoteHost + "\",\"6001\",0,0\r\n";
  }

 private slots:
  void init() {
    QFile::remove(ini_);
    Settings = {};
    Settings.SettingsPath = ini_;
    told_.clear();
    QDir::setCurrent(tmp_.path());
    qputenv("HOME", tmp_.filePath("home").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", tmp_.filePath("home/.config").toLocal8Bit());
  }

  // The file as the reader takes it, without a word to the user: its state,
  // then its fields in the file's order, or "-" where the record is left alone.
  void load() {
    static const char* const states[] = {"valid", "missing", "invalid", "bad parameter"};
    const QByteArray line = "\"a\",\"6000\",\"h\",\"6001\",0,0";
    const QList<std::pair<QByteArray, QString>> cases{
        {"\"C:\\D\",\"6000\",\"\",\"6001\",1,0\r\n", "valid C:\\D|6000||6001|1|0"},
        {"\"a\"\r\n\"6000\"\r\n\"h\"\r\n\"6001\"\r\n0\r\n1\r\n", "valid a|6000|h|6001|0|1"},  // a field a line
        {"\"\x83\x66\x81\x5B\x83\x5E\x87\x40,b\",\"6,0\",\"h\",\"6001\",0,1", "valid データ①,b|6,0|h|6001|0|1"},
        // Blanks, text after the quotes, any title line, fields past the sixth.
        {" a , \"b\",\"c\",\"d\"x,  -5 ,\t1  ,7,8", "valid a|b|c|d|-5|1"},
        {"1,2,3,4,5,\"1", "valid 1|2|3|4|5|1"},  // an unclosed quote runs to the end
        {line + QByteArray(65536 - line.size(), ' '), "valid a|6000|h|6001|0|0"},
        {"1,2,3,4,5,2", "bad parameter 1|2|3|4|5|2"}, {"1,2,3,4,5,-1", "bad parameter 1|2|3|4|5|-1"},
        {"\"a\",\"6000\",\"h\",\"6001\",0\r\n", "invalid -"}, {"", "invalid -"},
        {"1,2,3,4,70000,0", "invalid -"}, {"1,2,3,4,0,70000", "invalid -"},
        {"1,2,3,\"4\x82\",0,0", "invalid -"},  // a lead byte without its trail
        {line + QByteArray(65537 - line.size(), ' '), "invalid -"},
        {"fifo", "invalid -"},  // a FIFO without a writer must not hold up the program
        {"missing", "missing -"}};
    QStringList got, want;
    for (const auto& [content, result] : cases) {
      QFile::remove(ini_);
      if (content == "fifo") QVERIFY(::mkfifo(QFile::encodeName(ini_).constData(), 0600) == 0);
      else if (content != "missing") QVERIFY(WriteAll(ini_, content));
      const SettingsRecord untouched = Record({"x", "x", "x", "x", "9", "9"});
      SettingsRecord r = untouched;
      const int state = int(LoadSettingsFile(ini_, r));
      got << states[state] + QStringLiteral(" ") + (Fields(r) == Fields(untouched) ? "-" : Fields(r).join('|'));
      want << result;
    }
    QCOMPARE(got, want);
  }

  // The window's reader: a good file is kept and its folder entered; a bad or
  // missing one is rebuilt with the defaults, saying why; a folder that is
  // gone is said, and the process's current folder taken instead.
  void read() {
    const QByteArray tail = "\",\"7000\",\"h\",\"7001\",1,1\r\n";
    const QStringList gone{Box(platform::vbCritical, "エラー！！", "既定ﾌｫﾙﾀﾞが存在しません\r\n再設定を行ってください！！"),
                           "status: 既定ﾌｫﾙﾀﾞが存在しません - 再設定を行ってください！！"};
    // The file ("missing": none), what is said, the process's current folder afterwards.
    for (const auto& [content, said, cwd] : QList<std::tuple<QByteArray, QStringList, QString>>{
             {'"' + work_.toLatin1() + tail, {}, work_},
             {"missing", {ReadError("ﾌｧｲﾙなし")}, tmp_.path()},
             {"\"a\"\r\n", {ReadError("ﾌｧｲﾙ不正")}, docs_},
             {"1,2,3,4,5,2", {ReadError("ﾊﾟﾗﾒｰﾀ不正")}, docs_},
             {'"' + tmp_.filePath("gone").toLatin1() + tail, gone, tmp_.path()}}) {
      init();
      if (content != "missing") QVERIFY(WriteAll(ini_, content));
      Recorder rec;
      ReadSettings(Hooks());
      QCOMPARE(Said(rec), said);
      const bool rebuilt = said.value(0).contains(" File Read: ");  // said whenever the file is rebuilt
      QCOMPARE(ReadAll(ini_), rebuilt ? DefaultLine() : content);
      QCOMPARE(Fields(Settings) << Settings.SettingsPath << QDir::currentPath(),
               (rebuilt ? QStringList{docs_, "6000", kDefaultRemoteHost, "6001", "0", "0", ini_, cwd}
                        : QStringList{cwd, "7000", "h", "7001", "1", "1", ini_, cwd}));
    }
  }

  // A save writes the record as the file's one line and the running program
  // takes the values; a text the file can't hold is refused with a box, and
  // the old file stays, with no temporary file left beside it.
  void save() {
    const QByteArray data = tmp_.path().toLatin1() + "/\x83\x66\x81\x5B\x83\x5E";  // データ
    // The folder saved, its bytes in the line written (none: refused), why not.
    for (const auto& [folder, bytes, error] :
         {std::tuple<QString, QByteArray, QString>{tmp_.filePath("データ"), data, ""},
          {"/tmp/한국", "", "Shift-JIS(CP932)で表せない文字を含んでいます: /tmp/한국"},
          {"/a\"b", "", "ダブルクォート(\")を含む値は書き込めません: /a\"b"}}) {
      const QStringList values{folder, "", "127.0.0.5", "7001", "-5", "1"};
      QVERIFY(WriteAll(ini_, DefaultLine()));
      told_.clear();
      Recorder rec;
      SaveSettings(Record(values), Hooks());
      const QString box = Box(vbOKOnly, "File Write Error", "INIﾌｧｲﾙ書き込みｴﾗｰ : " + error);
      QCOMPARE(Said(rec), (error.isEmpty() ? QStringList{} : QStringList{box}) << "folder: " + folder);
      QCOMPARE(ReadAll(ini_),
               bytes.isEmpty() ? DefaultLine() : '"' + bytes + "\",\"\",\"127.0.0.5\",\"7001\",-5,1\r\n");
      QCOMPARE(Fields(Settings) << Settings.SettingsPath, values + QStringList{ini_});
      QCOMPARE(QDir(tree_.ExeDir()).entryList(QDir::Files), QStringList{"Korima.ini"});
    }
  }

  // A file that can't be opened for writing ends the program, from a save and
  // from the reader's rebuild alike, with the system's words for why.
  void cannotOpen() {
    QVERIFY(WriteAll(tmp_.filePath("a-file"), "x"));
    for (const auto& [path, error] : {std::pair<QString, int>{tmp_.filePath("no/such/Korima.ini"), ENOENT},
                                      {tree_.ExeDir(), EISDIR}, {tmp_.filePath("a-file/korima/korima.ini"), ENOTDIR}}) {
      Settings.SettingsPath = path;
      Recorder rec;
      QVERIFY_THROWS_EXCEPTION(ProgramEnded, SaveSettings(Record({"/", "1", "h", "2", "0", "0"}), Hooks()));
      QVERIFY_THROWS_EXCEPTION(ProgramEnded, ReadSettings(Hooks()));
      const QString openError =
          Box(vbOKOnly, "File Open Error", "INIﾌｧｲﾙ書き込みｵｰﾌﾟﾝｴﾗｰ : " + platform::OsErrorText(error));
      QCOMPARE(Said(rec), (QStringList{openError, ReadError("ﾌｧｲﾙなし"), openError}));
      QCOMPARE(rec.ends, (QList<int>{1, 1}));
    }
  }

  // A folder only the file in it can be written to: no temporary file can be
  // made beside it, so a save rewrites the file in place, and a write refused
  // half-way (here by a file size limit, as by a full disk) puts the old line back.
  void saveInPlace() {
    RUN_UNPRIVILEGED();
    QTemporaryDir dir;
    const QString folder = dir.filePath("locked"), path = folder + "/Korima.ini";
    QVERIFY(QDir().mkpath(folder) && WriteAll(path, DefaultLine()));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    Settings.SettingsPath = path;
    Recorder rec;
    SaveSettings(Record({"/a\"b", "1", "h", "2", "0", "0"}), {});  // refused before anything is written
    rlimit limit{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &limit) == 0);
    const rlimit small{1024, limit.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
    SaveSettings(Record({'/' + QString(2000, 'a'), "1", "h", "2", "0", "0"}), {});
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limit) == 0);
    const QByteArray kept = ReadAll(path);
    SaveSettings(Record({"/n", "1", "h", "2", "0", "0"}), {});
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(kept, DefaultLine());
    QCOMPARE(ReadAll(path), QByteArray("\"/n\",\"1\",\"h\",\"2\",0,0\r\n"));  // shorter: nothing of the old line left
    QCOMPARE(rec.Titles(), (QStringList{"File Write Error", "File Write Error"}));
    QVERIFY2(rec.boxes[1].prompt.endsWith(platform::OsErrorText(EFBIG)), qPrintable(rec.boxes[1].prompt));
  }

  // Installed: the user's configuration folder, made by a program that uses it
  // (one that can't be made shows when the file can't be opened). Anywhere
  // else: beside the program.
  void whereTheFileLives() {
    const QString bin = tmp_.filePath("usr/bin"), config = tmp_.filePath("cfg"), file = tmp_.filePath("a-file");
    QVERIFY(QDir().mkpath(bin) && WriteAll(file, "x"));
    SetInstalledBinDirForTest(bin);
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    QCOMPARE(SettingsFilePathFor(bin + "/korima", false), config + "/korima/korima.ini");
    QVERIFY(!QFileInfo::exists(config + "/korima"));
    QCOMPARE(SettingsFilePathFor(bin + "/../bin/korima", true), config + "/korima/korima.ini");
    QVERIFY(QFileInfo(config + "/korima").isDir());
    QCOMPARE(WindowProgramSettingsPath(bin + "/korima-send"), config + "/korima/korima.ini");
    qputenv("XDG_CONFIG_HOME", file.toLocal8Bit());
    QCOMPARE(SettingsFilePathFor(bin + "/korima", true), file + "/korima/korima.ini");
    qputenv("XDG_CONFIG_HOME", "relative");  // not a configuration folder
    QVERIFY(QFile::link(bin, tmp_.filePath("bin")));  // as /bin is /usr/bin
    QCOMPARE(SettingsFilePathFor(tmp_.filePath("bin/korima"), false), QDir::homePath() + "/.config/korima/korima.ini");
    QCOMPARE(SettingsFilePathFor(tree_.ExeDir() + "/Korima", true), ini_);
    SetInstalledBinDirForTest({});  // a build that installs nowhere
    QCOMPARE(SettingsFilePathFor(bin + "/korima", true), bin + "/korima.ini");
  }

  // The default working folder is one the file can hold: the documents
  // folder, else home, else the root, whichever first exists and CP932 can write.
  void defaultFolder() {
    QStringList got;
    // A home folder (none when empty), its documents folder (none when empty).
    for (const auto& [home, docs] : {std::pair<QString, QString>{"h1", "Documents"}, {"h2", ""}, {"h3", "문서"},
                                     {"zoë", "Documents"}, {"", ""}}) {
      const QString homePath = tmp_.filePath(home.isEmpty() ? "nobody" : home), config = homePath + "-config";
      QVERIFY(QDir().mkpath(config) && (home.isEmpty() || QDir().mkpath(homePath + '/' + docs)));
      QVERIFY(docs.isEmpty() ||
              WriteAll(config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/" + docs.toUtf8() + "\"\n"));
      qputenv("HOME", homePath.toUtf8());
      qputenv("XDG_CONFIG_HOME", config.toUtf8());
      got << DefaultWorkFolder();
    }
    QCOMPARE(got, (QStringList{tmp_.filePath("h1/Documents"), tmp_.filePath("h2"), tmp_.filePath("h3"), "/", "/"}));
  }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
