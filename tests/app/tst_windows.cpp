// The windows, on an in-memory network in virtual time: the main window's
// start-up, states and downloads, what the terminal gets of each kind of file,
// the four windows as drawn, and every way into and out of the dialogs.
#include "MemoryNet.h"
#include "TestSupport.h"
#include "about/frmAbout.h"
#include "app/frmMain.h"
#include "config/frmFolder.h"
#include "config/frmSetting.h"
#include "desktop/Placement.h"
#include "desktop/WindowServices.h"
#include "link/Wording.h"
#include "platform/Cp932.h"
#include "platform/Errors.h"
#include "platform/Volumes.h"
#include "ui_frmAbout.h"
#include "ui_frmFolder.h"
#include "ui_frmMain.h"
#include "ui_frmSetting.h"

#include <QLibraryInfo>
#include <QMenu>
#include <QtTest>

using namespace korima;
using config::frmFolder;
using config::frmSetting;
using Lines = QList<QByteArray>;

namespace {

// The program's folder with its settings file, a working folder with two
// subfolders, another folder to be the current one; a cradle's network in
// virtual time; every box, beep and end of the program recorded.
struct Desk {
  static constexpr const char* kTail = "\"6000\",\"127.0.0.2\",\"6001\",0,0";  // the settings after the folder

  Desk() {
    config::Settings = {};
    WriteSettings(work, kTail);
    for (const QString& folder : {work + "/sub1", work + "/sub2", other}) QDir().mkpath(folder);
  }
  void WriteSettings(const QString& folder, const QByteArray& tail) {
    WriteAll(ini, '"' + platform::ToCp932(folder) + "\"," + tail + "\r\n");
  }
  QString File(const QString& name, const QByteArray& bytes) {
    WriteAll(work + u'/' + name, bytes);
    return work + u'/' + name;
  }
  app::frmMain& Open() {
    window.reset();
    window = std::make_unique<app::frmMain>(net.Services());
    window->Form_Load();
    return *window;
  }
  // Shown, and the current folder away from the working one, where start-up left it.
  app::frmMain& Show() {
    Open().move(200, 150);
    QDir::setCurrent(other);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) QTest::qFail("not shown", __FILE__, __LINE__);
    return *window;
  }
  // The buttons, the lamps and the list: all true when idle, all false while communicating.
  QList<bool> IdleSigns() {
    const Ui::frmMain& f = window->Form();
    const QWidget* w = window.get();
    return {f.cmdComm_0->isEnabled(), !f.cmdComm_1->isEnabled(), f.Status_0->isVisibleTo(w), !f.Status_1->isVisibleTo(w),
            f.cmdSetting->isEnabled(), f.cmdInfo->isEnabled(), f.File1->isEnabled()};
  }

  ScratchTree tree;
  const QString work = tree.Work(), other = tree.Path("other"), ini = tree.Ini();
  CurrentDirGuard cwd;
  platform::ManualClock clock;
  MemoryNet net{clock};
  Recorder rec;
  std::unique_ptr<app::frmMain> window;  // the first to go
};
const QList<bool> kIdle(7, true), kCommunicating(7, false);

// A file sent from the main window: the question it asks, what the terminal
// stores and the status text's last line.
struct Case {
  const char* name;
  QByteArray content;
  int answer;             // the button pressed; 0: no question
  QString title, prompt;  // of the question; the prompt holds `prompt`
  Lines lines;            // stored; none: nothing at all was sent
  QString status;         // %1: the file
  int beeps = 0;
  QByteArray later{};     // the file once the first "MASTER" has gone unanswered
};

QList<Case> Cases() {
  const auto done = [](qint64 bytes) { return QStringLiteral("%1ﾊﾞｲﾄ中 %1ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了").arg(bytes); };
  const QString cancelled = link::wording::Cancelled(), empty = "<%1> 61:No data available";
  const QString neither = "このﾌｧｲﾙにはShift-JISとして読めないﾊﾞｲﾄがあります(%1行目 %2桁目)。このまま送信しますか？";
  const int yes = platform::vbYes, no = platform::vbNo;
  const QByteArray utf8 = "\xEF\xBB\xBF商品,〜\r\nｱ,1\r\n", euc = "1,\xa4\xb3\xa4\xf3\r\n";
  const QByteArray two = "\x8f\xa4\x95\x69\r\n\x92\x49\r\n", utf16 = "A\t\x8f\xe3";
  QList<Case> cases;
  for (const auto& [name, bytes] : QList<QPair<const char*, QByteArray>>{
           {"ﾐｿ", "\xd0\xbf"}, {"ﾂｰ", "\xc2\xb0"}, {"ﾏｰﾚｰ", "\xcf\xb0\xda\xb0"}, {"ﾗｼﾞｵ", "\xd7\xbc\xde\xb5"},
           {"ﾄｲﾚ用", "\xc4\xb2\xda\x97\x70"}}) {
    const QByteArray line = "4901234567890," + bytes + ",198";
    cases << Case{name, line + "\r\n", 0, "", "", {line}, done(line.size() + 2)};
  }
  return cases
      << Case{"Shift-JIS kanji", "\x8f\xa4\x95\x69,1\r\n", 0, "", "", {"\x8f\xa4\x95\x69,1"}, done(8)}
      << Case{"ASCII", "a,1", 0, "", "", {"a,1"}, done(3)}
      << Case{"UTF-8, はい", utf8, yes, "UTF-8", "UTF-8で書かれています", {"\x8f\xa4\x95\x69,\x81\x60", "\xb1,1"}, done(22)}
      << Case{"UTF-8, いいえ", utf8, no, "UTF-8", "", {"\xEF\xBB\xBF商品,〜", "ｱ,1"}, done(22)}
      << Case{"UTF-8, ｷｬﾝｾﾙ", utf8, platform::vbCancel, "UTF-8", "", {}, cancelled}
      << Case{"UTF-8 without a byte-order mark", "〜,1\r\n", yes, "UTF-8", "", {"\x81\x60,1"}, done(7)}
      << Case{"UTF-16 LE", QByteArray("\xFF\xFE" "A\0\t\0\x0A\x4E\r\0\n\0", 12), yes, "UTF-16",
              "UTF-16で書かれています", {utf16}, done(12)}
      << Case{"UTF-16 BE", QByteArray("\xFE\xFF\0A\0\t\x4E\x0A\0\r\0\n", 12), yes, "UTF-16", "", {utf16}, done(12)}
      << Case{"a stray byte in UTF-8", "商品\r\nab\xff\r\n", no, "Shift-JIS", neither.arg(1).arg(2), {}, cancelled}
      << Case{"EUC-JP, いいえ", euc, no, "Shift-JIS", neither.arg(1).arg(6), {}, cancelled}
      << Case{"EUC-JP, はい: as it is", euc, yes, "Shift-JIS", "", {euc.chopped(2)}, done(8)}
      << Case{"an emoji on line 5", "a\r\nb\r\nc\r\nd\r\n商品😀\r\n", yes, "UTF-8", "", {},
              "ﾚｺｰﾄﾞ5:3文字目 Shift-JISに変換できない文字があります", 1}
      << Case{"nothing but a byte-order mark", "\xEF\xBB\xBF", yes, "UTF-8", "", {}, empty, 1}
      << Case{"emptied", two, 0, "", "", {}, empty, 1, ""}
      << Case{"emptied but for a byte-order mark", two, 0, "", "", {}, empty, 1, "\xEF\xBB\xBF"}
      << Case{"grown", two, 0, "", "", {"\x8f\xa4\x95\x69", "\x92\x49", "\x91\x9d"}, done(14), 0, two + "\x91\x9d\r\n"}
      << Case{"no longer UTF-8", "商品\r\n棚\r\n", yes, "UTF-8", "", {"\x8f\xa4\x95\x69"},
              "ﾚｺｰﾄﾞ2:3文字目 UTF-8として読めないﾊﾞｲﾄがあります", 1, "商品\r\nab\xff\r\n"};
}

// Each window: its size, caption and tab order; each control in it: its name,
// place and size in twips, its text (a group box's title; none where the
// program sets it) and its tip.
struct Control {
  const char* name;
  int l, t, w, h;
  const char* text = nullptr;
  const char* tip = nullptr;
};
const struct Window {
  const char* name;
  QSize size;
  const char *title, *tabs;
  std::vector<Control> controls;
} kWindows[] = {
    {"main", {424, 401}, "KORIMA", "cmdComm_0 cmdComm_1 cmdSetting cmdInfo File1",
     {{"cmdComm_0", 120, 4800, 1212, 492, "通信ｽﾀｰﾄ"}, {"cmdComm_1", 120, 5400, 1212, 492, "通信ｽﾄｯﾌﾟ"},
      {"cmdSetting", 4920, 4800, 1332, 492, "設定"}, {"cmdInfo", 4920, 5400, 1332, 492, "ﾊﾞｰｼﾞｮﾝ"},
      {"Label2", 120, 120, 1212, 252, "ﾌｧｲﾙﾘｽﾄ"}, {"Label1", 120, 2160, 1215, 255, "既定ﾌｫﾙﾀﾞ"},
      {"Label4", 120, 2520, 1215, 255, "最終ｽﾃｰﾀｽ"}, {"lblFolder", 1440, 2160, 4815, 255},
      {"lblStatus", 1440, 2520, 4815, 1095}, {"File1", 1440, 120, 4812, 1890}, {"Progbar", 120, 4320, 6135, 375},
      {"lblNote", 120, 3720, 6135, 495}, {"Status_0", 1440, 4800, 3375, 1095}, {"Status_1", 1440, 4800, 3375, 1095}}},
    {"setting", {405, 297}, "ｵﾌﾟｼｮﾝ設定",
     "cmdOK_0 cmdOK_1 cmdFolderRef optTitle_0 optTitle_1 optStartUpSize_0 optStartUpSize_1 txtRemotePort "
     "txtRemoteHost txtLocalPort",
     {{"cmdOK_0", 4800, 3000, 1215, 612, "OK"}, {"cmdOK_1", 4800, 3720, 1215, 612, "ｷｬﾝｾﾙ"},
      {"Frame1", 120, 120, 5895, 1575, "UDP設定", "UDPﾊﾟﾗﾒｰﾀを指定してください"},
      {"Label3", 120, 360, 1575, 255, "ﾛｰｶﾙﾎﾟｰﾄ(Bind)"}, {"Label4", 120, 720, 1575, 255, "ﾘﾓｰﾄﾎｽﾄ"},
      {"Label5", 120, 1080, 1575, 255, "ﾘﾓｰﾄﾎﾟｰﾄ"},
      {"txtLocalPort", 1800, 360, 3975, 270, nullptr, "ﾊﾞｲﾝﾄﾞするﾛｰｶﾙﾎﾟｰﾄ番号を指定してください"},
      {"txtRemoteHost", 1800, 720, 3975, 270, nullptr, "ﾘﾓｰﾄﾎｽﾄのIPｱﾄﾞﾚｽを指定してください"},
      {"txtRemotePort", 1800, 1080, 3975, 270, nullptr, "ﾘﾓｰﾄﾎﾟｰﾄ番号を指定してください"},
      {"Frame4", 120, 1800, 5892, 1092, "既定ﾌｫﾙﾀﾞ", "既定ﾌｫﾙﾀﾞを選択してください"},
      {"lblFolder", 120, 240, 5655, 255}, {"cmdFolderRef", 120, 600, 1092, 372, "参照"},
      {"Frame5", 120, 3000, 1932, 1212, "読込ﾓｰﾄﾞ",
       "読込対象ﾌｧｲﾙの1行目をﾃﾞｰﾀとして扱う場合は、｢1行目-ﾃﾞｰﾀ｣を選択してください"},
      {"optTitle_0", 120, 360, 1572, 252, "1行目-ﾃﾞｰﾀ"}, {"optTitle_1", 120, 720, 1572, 252, "1行目-ﾀｲﾄﾙ"},
      {"Frame6", 2160, 3000, 1452, 1212, "ｽﾀｰﾄｻｲｽﾞ", "KORIMAを最小化して起動する場合は、｢ｱｲｺﾝ｣を選択してください"},
      {"optStartUpSize_0", 120, 360, 1092, 252, "ﾉｰﾏﾙ"}, {"optStartUpSize_1", 120, 720, 1092, 252, "ｱｲｺﾝ"}}},
    {"folder", {331, 213}, "既定ﾌｫﾙﾀﾞ", "cmdOK_0 cmdOK_1 Drive1 Dir1",
     {{"cmdOK_0", 3720, 120, 1215, 375, "OK"}, {"cmdOK_1", 3720, 600, 1215, 375, "ｷｬﾝｾﾙ"},
      {"Drive1", 120, 120, 3372, 276}, {"Dir1", 120, 480, 3372, 2520}}},
    {"about", {299, 145}, "Korimaのﾊﾞｰｼﾞｮﾝ情報", "cmdOK",
     {{"cmdOK", 2976, 828, 1380, 345}, {"lblTitle", 840, 240, 3276, 240, "Korima"},
      {"lblVersion", 840, 480, 3276, 228, "Ver.1.0.0"}, {"lblCompany", 840, 840, 1812, 228, "Korima Developers"},
      {"Image1", 120, 1320, 4215, 780}}},
};

QString TabOrder(QWidget* window) {
  QStringList names;
  for (QWidget* w = window->nextInFocusChain(); w != window && names.size() < 40; w = w->nextInFocusChain())
    if (w->focusPolicy() & Qt::TabFocus && w->window() == window && !w->objectName().startsWith("qt_"))
      names << w->objectName();
  return names.join(u' ');
}

// As a close box or a window manager asks.
bool AskToClose(QWidget* w) {
  QCloseEvent e;
  return QApplication::sendEvent(w, &e), e.isAccepted();
}

// A row per entry, by its name; the test function takes its entry's index with Row().
template <class Table>
void Rows(const Table& table) {
  QTest::addColumn<int>("i");
  int i = 0;
  for (const auto& row : table) QTest::newRow(row.name) << i++;
}
int Row() { return *static_cast<int*>(QTest::qData("i", qMetaTypeId<int>())); }

// Start-up: the folder in the settings file (none: no file) and the rest of
// it; the box shown first, the folder shown and the status.
const struct StartUp {
  const char *name, *written, *tail, *box, *shown, *status;
  bool minimised;
} kStartUps[] = {
    {"no settings file", nullptr, "", "File Read", "home/Documents", "", false},
    {"folder gone: the current one", "gone", Desk::kTail, "エラー！！", "work",
     "既定ﾌｫﾙﾀﾞが存在しません - 再設定を行ってください！！", false},
    {"minimised", "work", "\"6000\",\"h\",\"6001\",0,1", "", "work", "", true},
};

// The settings dialog: the title line and start-up size stored and as shown; the way out.
const struct SettingsRow {
  const char* name;
  QList<int> stored, shown;
  const char* way;
} kSettingsRows[] = {
    {"as stored, OK", {1, 0}, {1, 0}, "ok"},
    {"title line out of range, Cancel", {2, 0}, {0, 1}, "cancel"},
    {"start-up size out of range, close box", {1, 5}, {1, 1}, "close"},
};

// The picker: the dialog's caption, the folder opened, the way out and the
// caption afterwards. %W: the working folder, %O: the current one.
const struct PickerRow {
  const char *name, *caption, *open, *way, *result;
} kPickerRows[] = {
    {"a folder; its parent highlighted, OK", "%W/sub1", "%W/sub1", "ok", "%W/sub1"},
    {"a subfolder opened by activation, OK", "%W", "%W", "activate", "%W/sub2"},
    {"a volume that can't be read, OK", "%W", "%W", "volume", "%W"},
    {"deleted folder, Cancel", "%W/gone", "%O", "cancel", "%W/gone"},
    {"volume no longer present, close box", "/media/korima-absent/data", "%O", "close", "/media/korima-absent/data"},
    {"empty caption, Cancel", "", "%O", "cancel", ""},
};

const struct {
  const char* name;
} kWays[] = {{"OK"}, {"Enter"}, {"Escape"}, {"close box"}};

}  // namespace

class TestWindows : public QObject {
  Q_OBJECT
  std::unique_ptr<Desk> d_;

  app::frmMain& Main() { return *d_->window; }
  frmSetting* OpenSettings() {
    Main().Form().cmdSetting->click();
    return Main().SettingDialog();
  }
  QWidget* Open(const QString& window) {
    if (window == "main") return &Main();
    if (window == "about") return Main().cmdInfo_Click(), Main().AboutBox();
    frmSetting* s = OpenSettings();
    if (window == "setting") return s;
    s->cmdFolderRef_Click();
    return s->Picker();
  }
  bool CentredOverMain(QWidget* w) {
    return w->pos() == desktop::CenteredOver(Main().frameGeometry(), w->frameGeometry().size());
  }

 private slots:
  void init() { d_ = std::make_unique<Desk>(); }
  void cleanup() {
    d_.reset();
    platform::SetVolumesForTest({});
    while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();  // one failure, not all after it
  }

  void startUp_data() { Rows(kStartUps); }
  void startUp() {
    const StartUp& c = kStartUps[Row()];
    Desk& d = *d_;
    QFile::remove(d.ini);
    if (c.written) d.WriteSettings(d.tree.Path(c.written), c.tail);
    QDir::setCurrent(d.work);
    app::frmMain& w = d.Open();
    QCOMPARE(d.rec.Titles(), *c.box ? QStringList{c.box} : QStringList());
    QVERIFY(!w.isVisible());  // the boxes come before the window
    QCOMPARE((QStringList{w.Form().lblFolder->text(), w.Form().File1->Path(), w.Form().lblStatus->text()}),
             (QStringList{d.tree.Path(c.shown), d.tree.Path(c.shown), c.status}));
    QCOMPARE(bool(w.windowState() & Qt::WindowMinimized), c.minimised);
    QCOMPARE(d.IdleSigns(), kIdle);
    QVERIFY(!w.Form().Progbar->isVisibleTo(&w));
    const QLabel* note = w.Form().lblNote;
    QCOMPARE(note->text(), "KORIMAはUDPｸﾗｲｱﾝﾄとして動作します。\nｲｰｻﾈｯﾄｸﾚｰﾄﾞﾙをUDPｻｰﾊﾞｰに設定してください。");
    QCOMPARE((QStringList{note->styleSheet(), note->font().families().first()}),
             (QStringList{"color: rgb(255, 0, 0);", "ＭＳ Ｐゴシック"}));
    QVERIFY(note->alignment() == Qt::AlignCenter && note->font().bold() && note->font().pointSize() == 12);
  }

  // Idle: 通信ｽﾀｰﾄ without a file says so; the bar counts sizes past 2 GiB;
  // the list shows the data files, and a double-click on the window's
  // background or F5 reads it again.
  void idleWindow() {
    for (const char* n : {"b.csv", "A.TXT", "c.dat"}) d_->File(n, "x\r\n");
    app::frmMain& w = d_->Open();
    w.Form().cmdComm_0->click();
    QVERIFY(d_->rec.beeps == 1 && d_->rec.boxes.size() == 1);
    QCOMPARE(d_->rec.boxes[0].prompt, "ﾌｧｲﾙが選択されていません");
    QCOMPARE(d_->IdleSigns(), kIdle);
    const QProgressBar* bar = w.Form().Progbar;
    w.SetProgressMax(5000000000LL);
    w.SetProgressValue(2500000000LL);
    QVERIFY(bar->maximum() > 0 && qAbs(double(bar->value()) / bar->maximum() - 0.5) < 0.001);
    w.SetProgressMax(15);
    w.SetProgressValue(9);
    QCOMPARE(QPoint(bar->maximum(), bar->value()), QPoint(15, 9));
    auto files = [&w] {  // the names listed, then none, to be listed again
      QStringList names;
      for (int i = 0; i < w.Form().File1->count(); ++i) names << w.Form().File1->item(i)->text();
      return w.Form().File1->clear(), names;
    };
    QCOMPARE(files(), (QStringList{"A.TXT", "b.csv"}));
    QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(100, 395));
    QCOMPARE(files(), (QStringList{"A.TXT", "b.csv"}));
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F5);
    QCOMPARE(files(), (QStringList{"A.TXT", "b.csv"}));
  }

  // A double-click sends the file, its title line kept back. The stop button
  // stops a download (and OK in the settings, with nothing changed, writes
  // them at once and reads the list again), so does a close request, and the
  // window stays; a close when idle ends the program.
  void downloads() {
    Desk& d = *d_;
    sim::Terminal& cradle = d.net.AddCradle("127.0.0.2", 6001);
    d.File("b.csv", "T\r\nx\r\n");
    d.WriteSettings(d.work, "\"6000\",\"127.0.0.2\",\"6001\",1,0");
    app::frmMain& w = d.Show();
    QSignalSpy ended(&w.Download(), &link::Download::Ended);
    w.Form().File1->setCurrentRow(0);
    emit w.Form().File1->itemDoubleClicked(w.Form().File1->item(0));
    QCOMPARE(d.IdleSigns(), kCommunicating);
    QVERIFY(w.Form().Progbar->isVisible());
    QVERIFY(RunUntil(d.clock, [&] { return ended.size() == 1; }));
    QCOMPARE(d.IdleSigns(), kIdle);
    QVERIFY(!w.Form().Progbar->isVisible() && !QGuiApplication::overrideCursor());
    QCOMPARE(cradle.Lines(), Lines{"x"});
    QCOMPARE(w.Form().lblStatus->text(), "6ﾊﾞｲﾄ中 1ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ済み\n6ﾊﾞｲﾄ中 6ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了");

    const QString stopped = link::wording::StopPressed();
    cradle.Options().silentAt[1] = 1000000;
    w.Form().cmdComm_0->click();
    QVERIFY(RunUntil(d.clock, [&] { return cradle.Stats().silences > 0; }));  // the file is open
    w.Form().cmdComm_1->click();
    QCOMPARE(d.IdleSigns(), kIdle);
    QVERIFY(w.StatusText().endsWith(stopped));
    const QByteArray ini = ReadAll(d.ini);
    QVERIFY(QFile::remove(d.ini));
    d.File("late.csv", "z\r\n");
    OpenSettings()->Form().cmdOK_0->click();
    QCOMPARE(ReadAll(d.ini), ini);
    QCOMPARE(w.Form().File1->count(), 2);  // read before the folder's watcher could tell
    QVERIFY(RunUntil(d.clock, [&] { return ended.size() == 2; }));

    d.File("b.csv", QByteArray(98, 'x').append("\r\n").repeated(21000));  // checked a piece at a time
    cradle.Options().silentMaster = 1000000;
    w.Form().cmdComm_0->click();
    QVERIFY(QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor);
    QVERIFY(RunUntil(d.clock, [&] { return w.Download().Result().masters > 2; }));
    QVERIFY(!QGuiApplication::overrideCursor());  // the file checked, the wait is the terminal's
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QCOMPARE(d.IdleSigns(), kIdle);
    QVERIFY(w.StatusText().endsWith(stopped));
    QVERIFY(RunUntil(d.clock, [&] { return ended.size() == 3; }));
    QVERIFY(d.rec.boxes.isEmpty() && d.rec.ends.isEmpty());
    bool cancel = false;
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, w.Form_Unload(cancel));
    QCOMPARE(d.rec.ends, QList<int>{0});
  }

  // The cradle ignores two "MASTER"s: a file changed meanwhile goes as it is then.
  void whatTheTerminalGets_data() { Rows(Cases()); }
  void whatTheTerminalGets() {
    Case c = Cases()[Row()];
    const bool changes = !c.later.isNull();
    Desk& d = *d_;
    sim::Terminal& cradle = d.net.AddCradle("127.0.0.2", 6001, {.silentMaster = 2});
    const QString file = d.File("e.csv", c.content);
    app::frmMain& w = d.Open();
    if (c.answer) d.rec.answers << c.answer;
    QSignalSpy ended(&w.Download(), &link::Download::Ended);
    w.Form().File1->setCurrentRow(0);
    w.Form().cmdComm_0->click();
    RunUntil(d.clock, [&] {
      if (cradle.Stats().masters == 1 && !c.later.isNull()) WriteAll(file, std::exchange(c.later, QByteArray()));
      return !ended.isEmpty();
    });
    QCOMPARE(d.rec.Titles(), c.title.isEmpty() ? QStringList() : QStringList{c.title});
    if (!c.title.isEmpty()) {
      QVERIFY2(d.rec.boxes[0].prompt.contains(c.prompt), qPrintable(d.rec.boxes[0].prompt));
      QCOMPARE(d.rec.boxes[0].style, c.title == "Shift-JIS"
                                         ? platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton2
                                         : platform::vbYesNoCancel | platform::vbQuestion);
    }
    if (c.lines.isEmpty() && !changes) QVERIFY(cradle.Received().isEmpty());
    QCOMPARE(cradle.Lines(), c.lines);
    QCOMPARE(w.StatusText().split("\r\n").last(), c.status.replace("%1", QDir::toNativeSeparators(file)));
    QCOMPARE(d.rec.beeps, c.beeps);
    QCOMPARE(d.IdleSigns(), kIdle);
    QVERIFY(!QGuiApplication::overrideCursor());  // the wait cursor gone, whatever happened
  }

  void windows_data() { Rows(kWindows); }
  void windows() {
    const Window& win = kWindows[Row()];
    d_->Show();
    QWidget* w = Open(win.name);
    QCOMPARE(w->size(), win.size);
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QCOMPARE(w->windowTitle(), win.title);
    QCOMPARE(TabOrder(w), win.tabs);
    QCOMPARE(bool(w->windowFlags() & Qt::WindowMinimizeButtonHint), w == &Main());
    QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
    for (const Control& c : win.controls) {
      QWidget* child = w->findChild<QWidget*>(c.name);
      QVERIFY2(child, c.name);
      auto named = [&c](const auto& value) { return std::pair(QString(c.name), value); };
      const QRect twips(qRound(c.l / 15.0), qRound(c.t / 15.0), qRound(c.w / 15.0), qRound(c.h / 15.0));
      QCOMPARE(named(child->geometry()), named(twips));
      const auto* box = qobject_cast<QGroupBox*>(child);
      if (c.text) QCOMPARE(named(box ? box->title() : child->property("text").toString()), named(QString(c.text)));
      QCOMPARE(named(child->toolTip()), named(QString(c.tip)));
      QVERIFY2(child->font().families().contains("IPAPGothic"), c.name);
    }
  }

  // The dialog shows the settings (a stored value with no button stops the
  // fill: the buttons stay as laid out, the working copy as they show); it
  // keeps the main window from closing; neither Enter nor Escape closes it,
  // every way out enables the main window, only OK writes, and the new folder
  // shows at once.
  void settingsDialog_data() { Rows(kSettingsRows); }
  void settingsDialog() {
    const SettingsRow& c = kSettingsRows[Row()];
    const QString way = c.way;
    d_->Show().move(-300, -250);  // near the screen's corner: the dialog is not clamped
    config::Settings.TitleLine = qint16(c.stored[0]);
    config::Settings.StartUpSize = qint16(c.stored[1]);
    frmSetting* s = OpenSettings();
    auto& f = s->Form();
    QVERIFY(!Main().isEnabled() && !AskToClose(&Main()));
    QVERIFY(CentredOverMain(s) && s->pos().x() < 0);
    QCOMPARE((QStringList{f.txtLocalPort->text(), f.txtRemoteHost->text(), f.txtRemotePort->text(), s->FolderCaption()}),
             (QStringList{"6000", "127.0.0.2", "6001", d_->work}));
    QVERIFY((c.shown[0] ? f.optTitle_1 : f.optTitle_0)->isChecked());
    QVERIFY((c.shown[1] ? f.optStartUpSize_1 : f.optStartUpSize_0)->isChecked());
    QCOMPARE((QList<int>{s->WorkingCopy().TitleLine, s->WorkingCopy().StartUpSize}), c.shown);
    for (QLineEdit* box : {f.txtLocalPort, f.txtRemoteHost, f.txtRemotePort}) {
      QVERIFY(!box->testAttribute(Qt::WA_InputMethodEnabled));  // digits and dots
      box->setText(box->text().chopped(2));
    }
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) QTest::keyClick(f.txtRemotePort, Qt::Key(key));
    QVERIFY(s->isVisible());
    f.optStartUpSize_1->setChecked(true);
    s->cmdFolderRef_Click();
    s->Picker()->Form().Dir1->SetPath(d_->other);
    s->Picker()->cmdOK_Click(0);
    QCOMPARE(s->FolderCaption(), d_->other);
    QVERIFY(QFile::remove(d_->ini));
    QPointer<frmSetting> alive(s);
    if (way == "ok") f.cmdOK_0->click();
    else if (way == "cancel") f.cmdOK_1->click();
    else s->close();
    QTRY_VERIFY(!alive);
    QVERIFY(Main().isEnabled() && d_->rec.boxes.isEmpty());
    const bool saved = way == "ok";
    const QString folder = saved ? d_->other : d_->work;
    QCOMPARE(ReadAll(d_->ini), saved ? '"' + platform::ToCp932(folder) + "\",\"60\",\"127.0.0\",\"60\",1,1\r\n"
                                     : QByteArray());
    QCOMPARE((QStringList{config::Settings.LocalPort, Main().Form().lblFolder->text(), Main().Form().File1->Path(),
                          OpenSettings()->FolderCaption()}),
             (QStringList{saved ? "60" : "6000", folder, folder, folder}));
    QVERIFY(!(Main().windowState() & Qt::WindowMinimized));  // the size takes effect at the next start
  }

  // The picker opens the dialog's folder, or silently the current one; it
  // lists only the open folder's subfolders, and OK returns the open folder,
  // not a highlighted one, nor a volume that can't be read. While it is open,
  // neither the dialog nor the main window closes.
  void picker_data() { Rows(kPickerRows); }
  void picker() {
    const PickerRow& c = kPickerRows[Row()];
    const QString way = c.way, open = c.open;
    auto path = [this](QString p) { return p.replace("%W", d_->work).replace("%O", d_->other); };
    const QString bad = d_->tree.Path("not-a-volume");
    QVERIFY(WriteAll(bad, "x"));
    platform::SetVolumesForTest({"/", bad});
    d_->Show();
    frmSetting* s = OpenSettings();
    s->SetFolderCaption(path(c.caption));
    s->cmdFolderRef_Click();
    QPointer<frmFolder> f(s->Picker());
    auto& dir = *f->Form().Dir1;
    QVERIFY(!s->isEnabled() && !Main().isEnabled());
    QVERIFY(!AskToClose(s) && !AskToClose(&Main()));
    QVERIFY(CentredOverMain(f));
    const QList<QSize> icons = f->windowIcon().availableSizes();
    QVERIFY(icons.contains(QSize(16, 16)) && icons.contains(QSize(32, 32)));
    QCOMPARE(dir.Path(), path(open));
    QCOMPARE(f->Form().Drive1->Drive(), platform::VolumeOf(path(open)));
    QVERIFY(d_->rec.boxes.isEmpty() && d_->rec.beeps == 0);
    QTest::keyClick(&dir, Qt::Key_Escape);
    QVERIFY(f->isVisible() && s->isVisible());
    const auto sub2 = dir.findItems("sub2", Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(sub2.size(), open == "%W" ? 1 : 0);
    if (way == "activate") emit dir.itemActivated(sub2[0], 0);
    if (way == "ok") dir.setCurrentItem(dir.currentItem()->parent());
    if (way == "volume") {
      f->Form().Drive1->setCurrentIndex(f->Form().Drive1->findText(bad));
      QCOMPARE(d_->rec.beeps, 1);
      QCOMPARE(d_->rec.Titles(), QStringList{"Korima"});
      QCOMPARE(d_->rec.boxes[0].prompt, QStringLiteral("ｴﾗｰ %1\r\n").arg(ENOTDIR) + platform::OsErrorText(ENOTDIR));
      QCOMPARE(f->Form().Drive1->Drive(), bad);
      QCOMPARE(dir.Path(), path(open));
    }
    if (way == "cancel") f->cmdOK_Click(1);
    else if (way == "close") f->close();
    else f->cmdOK_Click(0);
    QTRY_VERIFY(!f);
    QCOMPARE(s->FolderCaption(), path(c.result));
    QCOMPARE(s->WorkingCopy().WorkFolder, path(c.result));
    QVERIFY(s->isEnabled() && AskToClose(s));  // enabled again, it closes
  }

  // The about box keeps the main window from closing; each way out enables
  // it again, and then a close request ends the program.
  void aboutBox_data() { Rows(kWays); }
  void aboutBox() {
    const QString way = kWays[Row()].name;
    d_->Show().move(50, 60);
    QPointer<QWidget> a(Open("about"));
    QVERIFY(a->isVisible() && !Main().isEnabled() && !AskToClose(&Main()));
    QVERIFY(CentredOverMain(a));
    if (way == "OK") Main().AboutBox()->Form().cmdOK->click();
    else if (way == "close box") a->close();
    else QTest::keyClick(Main().AboutBox()->Form().cmdOK, way == "Enter" ? Qt::Key_Return : Qt::Key_Escape);
    QTRY_VERIFY(!a);
    QVERIFY(Main().isEnabled() && d_->rec.ends.isEmpty());
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, AskToClose(&Main()));
    QCOMPARE(d_->rec.ends, QList<int>{0});
  }

  // Qt's own texts, such as a text box's context menu, in Japanese like the rest.
  void qtTextsInJapanese() {
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm"))
      QSKIP("Qt's Japanese translation (qt6-translations-l10n) is not installed");
    QVERIFY(desktop::UseJapaneseQtTranslation());
    d_->Show();
    std::unique_ptr<QMenu> menu(OpenSettings()->Form().txtRemoteHost->createStandardContextMenu());
    QStringList texts;
    for (QAction* a : menu->actions()) texts << a->text();
    QVERIFY2(!texts.join(u' ').contains("Undo") && texts.join(u' ').contains("元に戻す"), qPrintable(texts.join(u' ')));
  }

  // Under a window manager the frames are only known once the windows are
  // mapped; each dialog still ends up centred by its frame over the main window's.
  void dialogsCentredByTheirFrames() {
    if (qEnvironmentVariableIsEmpty("KORIMA_WINDOW_MANAGER")) QSKIP("run through centre_under_wm.sh");
    auto offset = [this](QWidget* w) {  // none once framed and centred, to a pixel
      const QPoint o = w->frameGeometry().center() - Main().frameGeometry().center();
      if (w->frameGeometry() == w->geometry()) return QPoint(-1000, -1000);
      return QPoint(qAbs(o.x()) > 1 ? o.x() : 0, qAbs(o.y()) > 1 ? o.y() : 0);
    };
    d_->Show();
    QWidget* picker = Open("folder");
    for (QWidget* w : {static_cast<QWidget*>(Main().SettingDialog()), picker}) QTRY_COMPARE(offset(w), QPoint());
    picker->close();
    Main().SettingDialog()->close();
    QWidget* about = Open("about");
    QTRY_COMPARE(offset(about), QPoint());
  }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
