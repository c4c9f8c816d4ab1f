// The four windows: layouts as drawn, and every way into and out of the
// settings dialog, the folder picker and the about box.
#include "TestSupport.h"
#include "about/frmAbout.h"
#include "app/frmMain.h"
#include "config/Settings.h"
#include "config/frmFolder.h"
#include "config/frmSetting.h"
#include "platform/Cp932.h"
#include "platform/Errors.h"
#include "desktop/Placement.h"
#include "link/Endpoint.h"
#include "platform/Ticks.h"
#include "platform/Volumes.h"
#include "desktop/WindowServices.h"
#include "sim/TerminalSimulator.h"
#include "ui_frmAbout.h"
#include "ui_frmFolder.h"
#include "ui_frmMain.h"
#include "ui_frmSetting.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLibraryInfo>
#include <QMenu>
#include <QGroupBox>
#include <QtTest>

using namespace korima;
using app::frmMain;
using config::frmFolder;
using config::frmSetting;

namespace {
QRect Twips(int l, int t, int w, int h) {
  return QRect(qRound(l / 15.0), qRound(t / 15.0), qRound(w / 15.0), qRound(h / 15.0));
}
QStringList TabOrder(QWidget* window) {
  QStringList names;
  QWidget* w = window;
  do {
    w = w->nextInFocusChain();
    if (w != window && w->focusPolicy() & Qt::TabFocus && w->window() == window && !w->objectName().startsWith("qt_"))
      names << w->objectName();
  } while (w != window && names.size() < 40);
  return names;
}
}  // namespace

class TestWindows : public QObject {
  Q_OBJECT
  QTemporaryDir tmp_;
  QString work_, other_, ini_;
  CurrentDirGuard cwd_;
  platform::RealClock clock_{10'000};
  link::LinkServices Services() { return {&link::EndpointPool::Udp(), &clock_}; }
  std::unique_ptr<Recorder> rec_;
  std::unique_ptr<frmMain> main_;

  QByteArray Line(const QString& folder, const QByteArray& rest = "\"6000\",\"127.0.0.9\",\"6001\",1,0") {
    return '"' + platform::ToCp932(folder) + "\"," + rest + "\r\n";
  }
  frmSetting* OpenSettings() {
    main_->Form().cmdSetting->click();
    return main_->SettingDialog();
  }

 private slots:
  void initTestCase() {
    QDir root(tmp_.path());
    root.mkpath("home/Documents");
    root.mkpath("app");
    root.mkpath("work/sub1");
    root.mkpath("work/sub2");
    root.mkpath("other");
    qputenv("HOME", tmp_.filePath("home").toLocal8Bit());
    work_ = QDir::toNativeSeparators(tmp_.filePath("work"));
    other_ = QDir::toNativeSeparators(tmp_.filePath("other"));
    ini_ = tmp_.filePath("app/Korima.ini");
    platform::SetExePathForTest(tmp_.filePath("app/Korima"));
  }
  void init() {
    QVERIFY(WriteAll(ini_, Line(work_)));
    QDir::setCurrent(other_);
    rec_ = std::make_unique<Recorder>();
    main_ = std::make_unique<frmMain>(Services());
    main_->Form_Load();
    main_->move(200, 150);
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
  }
  void cleanup() {
    main_.reset();
    rec_.reset();
    platform::SetVolumesForTest({});
  }

  void geometry_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("rect");
    const struct { const char* w; const char* c; int l, t, wd, h; } rows[] = {
        {"main", "cmdComm_0", 120, 4800, 1212, 492}, {"main", "cmdComm_1", 120, 5400, 1212, 492},
        {"main", "cmdSetting", 4920, 4800, 1332, 492}, {"main", "Label2", 120, 120, 1212, 252},
        {"main", "Label1", 120, 2160, 1215, 255}, {"main", "lblFolder", 1440, 2160, 4815, 255},
        {"main", "lblStatus", 1440, 2520, 4815, 1095}, {"main", "Label4", 120, 2520, 1215, 255},
        {"main", "cmdInfo", 4920, 5400, 1332, 492}, {"main", "File1", 1440, 120, 4812, 1890},
        {"main", "Progbar", 120, 4320, 6135, 375}, {"main", "lblNote", 120, 3720, 6135, 495},
        {"main", "Status_0", 1440, 4800, 3375, 1095}, {"main", "Status_1", 1440, 4800, 3375, 1095},
        {"setting", "cmdOK_0", 4800, 3000, 1215, 612}, {"setting", "cmdOK_1", 4800, 3720, 1215, 612},
        {"setting", "Frame4", 120, 1800, 5892, 1092}, {"setting", "lblFolder", 120, 240, 5655, 255},
        {"setting", "cmdFolderRef", 120, 600, 1092, 372}, {"setting", "Frame5", 120, 3000, 1932, 1212},
        {"setting", "optTitle_0", 120, 360, 1572, 252}, {"setting", "optTitle_1", 120, 720, 1572, 252},
        {"setting", "Frame6", 2160, 3000, 1452, 1212}, {"setting", "optStartUpSize_0", 120, 360, 1092, 252},
        {"setting", "optStartUpSize_1", 120, 720, 1092, 252}, {"setting", "Frame1", 120, 120, 5895, 1575},
        {"setting", "txtRemotePort", 1800, 1080, 3975, 270}, {"setting", "txtRemoteHost", 1800, 720, 3975, 270},
        {"setting", "txtLocalPort", 1800, 360, 3975, 270}, {"setting", "Label5", 120, 1080, 1575, 255},
        {"setting", "Label4", 120, 720, 1575, 255}, {"setting", "Label3", 120, 360, 1575, 255},
        {"folder", "cmdOK_0", 3720, 120, 1215, 375}, {"folder", "cmdOK_1", 3720, 600, 1215, 375},
        {"folder", "Drive1", 120, 120, 3372, 276}, {"folder", "Dir1", 120, 480, 3372, 2520},
        {"about", "cmdOK", 2976, 828, 1380, 345}, {"about", "lblTitle", 840, 240, 3276, 240},
        {"about", "lblVersion", 840, 480, 3276, 228}, {"about", "lblCompany", 840, 840, 1812, 228},
        {"about", "Image1", 120, 1320, 4215, 780},
    };
    for (const auto& r : rows)
      QTest::addRow("%s %s", r.w, r.c) << r.w << r.c << Twips(r.l, r.t, r.wd, r.h);
  }
  void geometry() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QRect, rect);
    QWidget* w = nullptr;
    frmSetting* setting = nullptr;
    if (window == "main") w = main_.get();
    if (window == "setting" || window == "folder") w = setting = OpenSettings();
    if (window == "folder") {
      setting->cmdFolderRef_Click();
      w = setting->Picker();
    }
    if (window == "about") {
      main_->cmdInfo_Click();
      w = main_->AboutBox();
    }
    QVERIFY(w);
    QWidget* c = w->findChild<QWidget*>(control);
    QVERIFY(c);
    QCOMPARE(c->geometry(), rect);
  }

  void captions() {
    const QList<QPair<QWidget*, QString>> main = {
        {main_->Form().cmdComm_0, "通信ｽﾀｰﾄ"}, {main_->Form().cmdComm_1, "通信ｽﾄｯﾌﾟ"},
        {main_->Form().cmdSetting, "設定"}, {main_->Form().cmdInfo, "ﾊﾞｰｼﾞｮﾝ"},
        {main_->Form().Label2, "ﾌｧｲﾙﾘｽﾄ"}, {main_->Form().Label1, "既定ﾌｫﾙﾀﾞ"}, {main_->Form().Label4, "最終ｽﾃｰﾀｽ"}};
    frmSetting* s = OpenSettings();
    const QList<QPair<QWidget*, QString>> setting = {
        {s->Form().cmdOK_0, "OK"}, {s->Form().cmdOK_1, "ｷｬﾝｾﾙ"}, {s->Form().cmdFolderRef, "参照"},
        {s->Form().optTitle_0, "1行目-ﾃﾞｰﾀ"}, {s->Form().optTitle_1, "1行目-ﾀｲﾄﾙ"},
        {s->Form().optStartUpSize_0, "ﾉｰﾏﾙ"}, {s->Form().optStartUpSize_1, "ｱｲｺﾝ"},
        {s->Form().Label3, "ﾛｰｶﾙﾎﾟｰﾄ(Bind)"}, {s->Form().Label4, "ﾘﾓｰﾄﾎｽﾄ"}, {s->Form().Label5, "ﾘﾓｰﾄﾎﾟｰﾄ"}};
    for (const auto& [w, text] : main + setting) {
      const QVariant t = w->property("text");
      QCOMPARE(t.toString(), text);
    }
    QCOMPARE(s->Form().Frame4->title(), QStringLiteral("既定ﾌｫﾙﾀﾞ"));
    QCOMPARE(s->Form().Frame6->title(), QStringLiteral("ｽﾀｰﾄｻｲｽﾞ"));
    QCOMPARE(s->Form().Frame6->toolTip(), QStringLiteral("KORIMAを最小化して起動する場合は、｢ｱｲｺﾝ｣を選択してください"));
    QCOMPARE(s->Form().txtRemotePort->toolTip(), QStringLiteral("ﾘﾓｰﾄﾎﾟｰﾄ番号を指定してください"));
    QCOMPARE(s->Form().txtRemoteHost->toolTip(), QStringLiteral("ﾘﾓｰﾄﾎｽﾄのIPｱﾄﾞﾚｽを指定してください"));
    QCOMPARE(s->Form().Frame4->toolTip(), QStringLiteral("既定ﾌｫﾙﾀﾞを選択してください"));
    QCOMPARE(main_->Form().lblNote->styleSheet(), QStringLiteral("color: rgb(255, 0, 0);"));
    QCOMPARE(main_->Form().lblNote->alignment(), Qt::AlignCenter);
  }

  void windowsAndTabOrder() {
    QCOMPARE(main_->size(), QSize(424, 401));
    QCOMPARE(main_->minimumSize(), main_->maximumSize());
    QVERIFY(main_->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(main_->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(TabOrder(main_.get()), (QStringList{"cmdComm_0", "cmdComm_1", "cmdSetting", "cmdInfo", "File1"}));

    frmSetting* s = OpenSettings();
    QCOMPARE(s->size(), QSize(405, 297));
    QCOMPARE(s->windowTitle(), QStringLiteral("ｵﾌﾟｼｮﾝ設定"));
    QVERIFY(!(s->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(TabOrder(s), (QStringList{"cmdOK_0", "cmdOK_1", "cmdFolderRef", "optTitle_0", "optTitle_1",
                                       "optStartUpSize_0", "optStartUpSize_1", "txtRemotePort", "txtRemoteHost", "txtLocalPort"}));
    QCOMPARE(s->Form().Frame1->toolTip(), QStringLiteral("UDPﾊﾟﾗﾒｰﾀを指定してください"));
    QCOMPARE(s->Form().Frame5->toolTip(),
             QStringLiteral("読込対象ﾌｧｲﾙの1行目をﾃﾞｰﾀとして扱う場合は、｢1行目-ﾃﾞｰﾀ｣を選択してください"));
    QCOMPARE(s->Form().txtLocalPort->toolTip(), QStringLiteral("ﾊﾞｲﾝﾄﾞするﾛｰｶﾙﾎﾟｰﾄ番号を指定してください"));
    QVERIFY(!s->Form().txtRemoteHost->testAttribute(Qt::WA_InputMethodEnabled));

    s->cmdFolderRef_Click();
    frmFolder* f = s->Picker();
    QCOMPARE(f->size(), QSize(331, 213));
    QCOMPARE(f->windowTitle(), QStringLiteral("既定ﾌｫﾙﾀﾞ"));
    QCOMPARE(TabOrder(f), (QStringList{"cmdOK_0", "cmdOK_1", "Drive1", "Dir1"}));
    f->close();
    s->close();

    main_->cmdInfo_Click();
    QCOMPARE(main_->AboutBox()->size(), QSize(299, 145));
  }

  void japaneseFontEverywhere() {
    frmSetting* s = OpenSettings();
    for (QWidget* w : {static_cast<QWidget*>(main_->Form().cmdComm_0), static_cast<QWidget*>(s->Form().optTitle_1)}) {
      const QStringList fam = w->font().families();
      QVERIFY(fam.contains(QStringLiteral("IPAPGothic")));
    }
    QCOMPARE(main_->Form().lblNote->font().families().first(), QStringLiteral("ＭＳ Ｐゴシック"));
    QVERIFY(main_->Form().lblNote->font().bold());
    QCOMPARE(main_->Form().lblNote->font().pointSize(), 12);
  }

  void settingsDialogFillAndCentre() {
    main_->move(-300, -250);  // near the screen's corner: the result is not clamped
    frmSetting* s = OpenSettings();
    QVERIFY(!main_->isEnabled());
    QCOMPARE(s->pos(), desktop::CenteredOver(main_->frameGeometry(), s->frameGeometry().size()));
    QVERIFY(s->pos().x() < 0);
    QCOMPARE(s->Form().txtRemoteHost->text(), QStringLiteral("127.0.0.9"));
    QCOMPARE(s->FolderCaption(), work_);
    QVERIFY(s->Form().optTitle_1->isChecked());
    QVERIFY(s->Form().optStartUpSize_0->isChecked());
    QCOMPARE(s->WorkingCopy().TitleLine, 1);
  }

  // Every way out of the dialog enables the main window; only OK writes.
  void settingsDialogWaysOut_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("saves");
    QTest::newRow("OK") << "ok" << true;
    QTest::newRow("Cancel") << "cancel" << false;
    QTest::newRow("close box") << "close" << false;
  }
  void settingsDialogWaysOut() {
    QFETCH(QString, way);
    QFETCH(bool, saves);
    frmSetting* s = OpenSettings();
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {  // neither key closes it
      QTest::keyClick(s->Form().txtRemotePort, Qt::Key(key));
      QVERIFY(s->isVisible());
    }
    s->Form().txtLocalPort->clear();
    s->Form().optStartUpSize_1->setChecked(true);
    s->cmdFolderRef_Click();
    s->Picker()->Form().Dir1->SetPath(other_);
    s->Picker()->cmdOK_Click(0);
    QCOMPARE(s->FolderCaption(), other_);
    QVERIFY(s->isEnabled());
    QPointer<frmSetting> alive(s);
    if (way == "ok") s->Form().cmdOK_0->click();
    else if (way == "cancel") s->Form().cmdOK_1->click();
    else s->close();
    QTRY_VERIFY(!alive);
    QVERIFY(main_->isEnabled());
    QVERIFY(rec_->boxes.isEmpty());
    if (saves) {
      QCOMPARE(ReadAll(ini_), Line(other_, "\"\",\"127.0.0.9\",\"6001\",1,1"));
      QCOMPARE(config::Settings.LocalPort, QString());
      QCOMPARE(main_->Form().lblFolder->text(), other_);
      QCOMPARE(main_->Form().File1->Path(), other_);
      QVERIFY(!(main_->windowState() & Qt::WindowMinimized));  // takes effect at the next start
    } else {
      QCOMPARE(ReadAll(ini_), Line(work_));
      QCOMPARE(config::Settings.WorkFolder, work_);
      QCOMPARE(config::Settings.LocalPort, QStringLiteral("6000"));
      QCOMPARE(OpenSettings()->FolderCaption(), work_);
    }
  }

  void okWithoutChangeRewritesAndRefreshes() {
    QVERIFY(WriteAll(ini_, Line(work_, "\"6000\",\"127.0.0.9\",\"6001\",1,0")));
    WriteAll(work_ + "/late.csv", "z\r\n");
    const QByteArray before = ReadAll(ini_);
    QVERIFY(QFile::remove(ini_));
    OpenSettings()->cmdOK_Click(0);
    QCOMPARE(ReadAll(ini_), before);
    QCOMPARE(main_->Form().File1->count(), 1);
    QCOMPARE(main_->Form().File1->item(0)->text(), QStringLiteral("late.csv"));
    QFile::remove(work_ + "/late.csv");
  }

  void storedTitleLineOutOfRange() {
    config::Settings.TitleLine = 2;
    config::Settings.StartUpSize = 0;
    frmSetting* s = OpenSettings();
    QVERIFY(s && s->isVisible());
    QCOMPARE(s->Form().txtRemotePort->text(), config::Settings.RemotePort);
    QCOMPARE(s->FolderCaption(), work_);
    QVERIFY(s->Form().optTitle_0->isChecked());        // the layout's choices stand
    QVERIFY(s->Form().optStartUpSize_1->isChecked());
    QCOMPARE(s->WorkingCopy().StartUpSize, 1);         // and the working copy matches them
  }

  void pickerStartsAtTheFolder() {
    frmSetting* s = OpenSettings();
    s->SetFolderCaption(work_ + "/sub1");
    s->cmdFolderRef_Click();
    frmFolder* f = s->Picker();
    QVERIFY(!s->isEnabled());
    QVERIFY(!main_->isEnabled());
    QCOMPARE(f->Form().Dir1->Path(), QDir::toNativeSeparators(work_ + "/sub1"));
    QCOMPARE(f->Form().Drive1->Drive(), platform::VolumeOf(work_));
    QCOMPARE(f->pos(), desktop::CenteredOver(main_->frameGeometry(), f->frameGeometry().size()));
    // Highlighting is not opening: OK returns the open folder.
    const auto sibling = f->Form().Dir1->findItems("sub2", Qt::MatchExactly | Qt::MatchRecursive);
    QVERIFY(sibling.isEmpty());  // only the open folder's subfolders are listed
    auto* parentItem = f->Form().Dir1->currentItem()->parent();
    f->Form().Dir1->setCurrentItem(parentItem);
    f->cmdOK_Click(0);
    QCOMPARE(s->FolderCaption(), QDir::toNativeSeparators(work_ + "/sub1"));
    QVERIFY(s->isEnabled());
    QCOMPARE(s->WorkingCopy().WorkFolder, s->FolderCaption());
  }

  void pickerOpensAFolderByActivation() {
    frmSetting* s = OpenSettings();
    s->cmdFolderRef_Click();
    frmFolder* f = s->Picker();
    const auto items = f->Form().Dir1->findItems("sub2", Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(items.size(), 1);
    emit f->Form().Dir1->itemActivated(items[0], 0);
    QCOMPARE(f->Form().Dir1->Path(), QDir::toNativeSeparators(work_ + "/sub2"));
    QTest::keyClick(f->Form().Dir1, Qt::Key_Escape);  // neither key closes the picker
    QVERIFY(f->isVisible());
    f->close();  // the close box: nothing changes
    QCOMPARE(s->FolderCaption(), work_);
    QVERIFY(s->isEnabled());
  }

  void pickerFallsBackSilently_data() {
    QTest::addColumn<QString>("caption");
    QTest::newRow("deleted folder") << QString(tmp_.filePath("gone"));
    QTest::newRow("volume no longer present") << QStringLiteral("/media/korima-absent/data");
    QTest::newRow("empty caption") << QString();
  }
  void pickerFallsBackSilently() {
    QFETCH(QString, caption);
    QDir::setCurrent(other_);  // start-up left the process in the working folder
    frmSetting* s = OpenSettings();
    s->SetFolderCaption(caption);
    s->cmdFolderRef_Click();
    QVERIFY(rec_->boxes.isEmpty());
    QCOMPARE(rec_->beeps, 0);
    QCOMPARE(s->Picker()->Form().Dir1->Path(), other_);  // the process's current directory
    s->Picker()->cmdOK_Click(1);
    QCOMPARE(s->FolderCaption(), caption);
  }

  void pickerUnreadableVolume() {
    const QString bad = tmp_.filePath("not-a-volume");
    QVERIFY(WriteAll(bad, "x"));
    platform::SetVolumesForTest({"/", bad});
    frmSetting* s = OpenSettings();
    s->cmdFolderRef_Click();
    frmFolder* f = s->Picker();
    const QString before = f->Form().Dir1->Path();
    f->Form().Drive1->setCurrentIndex(f->Form().Drive1->findText(bad));
    QCOMPARE(rec_->beeps, 1);
    QCOMPARE(rec_->boxes.size(), 1);
    QCOMPARE(rec_->boxes[0].prompt, QStringLiteral("ｴﾗｰ ") + QString::number(ENOTDIR) + "\r\n" +
                                        platform::OsErrorText(ENOTDIR));
    QCOMPARE(rec_->boxes[0].title, QStringLiteral("Korima"));
    QCOMPARE(f->Form().Drive1->Drive(), bad);
    QCOMPARE(f->Form().Dir1->Path(), before);
    f->cmdOK_Click(0);
    QCOMPARE(s->FolderCaption(), before);
  }

  // A disabled window takes no close request; once enabled again, it closes as before.
  void disabledWindowsStayOpen() {
    auto askToClose = [](QWidget* w) {  // as a close box or a window manager asks
      QCloseEvent e;
      e.setAccepted(true);
      QApplication::sendEvent(w, &e);
      return e.isAccepted();
    };
    main_->Form().cmdInfo->click();
    QVERIFY(!askToClose(main_.get()));
    QVERIFY(rec_->ends.isEmpty());
    main_->AboutBox()->close();
    QTRY_VERIFY(!main_->AboutBox());

    frmSetting* s = OpenSettings();
    QVERIFY(!askToClose(main_.get()));
    QVERIFY(rec_->ends.isEmpty());
    s->cmdFolderRef_Click();
    QPointer<frmFolder> picker(s->Picker());
    QVERIFY(!askToClose(s));
    QVERIFY(s->isVisible() && picker && picker->isVisible());
    QVERIFY(!askToClose(main_.get()));
    picker->cmdOK_Click(1);
    QTRY_VERIFY(!picker);
    QVERIFY(askToClose(s));  // enabled again: the close box works
    QVERIFY(main_->isEnabled());
    QVERIFY(rec_->ends.isEmpty());
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, askToClose(main_.get()));
    QCOMPARE(rec_->ends, QList<int>{0});
  }

  // OK in the settings dialog straight after a stop: the stopped download's
  // file can't stand in the save's way, and the program goes on.
  void saveRightAfterAStop() {
    sim::SimOptions o;
    o.silentAt[1] = 1000000;
    sim::TerminalSimulator sim(o, QHostAddress::LocalHost, 0);
    QVERIFY(sim.Start());
    QVERIFY(WriteAll(work_ + "/d.csv", "a\r\nb\r\n"));
    QVERIFY(WriteAll(ini_, Line(work_, "\"0\",\"127.0.0.1\",\"" + QByteArray::number(sim.Port()) + "\",0,0")));
    main_ = std::make_unique<frmMain>(Services());
    main_->Form_Load();
    main_->show();
    main_->Form().File1->setCurrentRow(0);
    main_->Form().cmdComm_0->click();
    QTRY_VERIFY(sim.Cradle().Stats().silences >= 1);  // the file is open and a reply is awaited
    main_->Form().cmdComm_1->click();
    frmSetting* s = OpenSettings();
    QVERIFY(s);
    s->Form().txtRemotePort->setText("6002");
    s->Form().cmdOK_0->click();
    QVERIFY(rec_->ends.isEmpty());
    QVERIFY(rec_->boxes.isEmpty());
    QCOMPARE(ReadAll(ini_), Line(work_, "\"0\",\"127.0.0.1\",\"6002\",0,0"));
    QFile::remove(work_ + "/d.csv");
  }

  void pickerCarriesBothIconSizes() {
    frmSetting* s = OpenSettings();
    s->cmdFolderRef_Click();
    const QList<QSize> sizes = s->Picker()->windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(32, 32)));
  }

  void aboutBox_data() {
    QTest::addColumn<QString>("way");
    QTest::newRow("OK") << "ok";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
  }
  void aboutBox() {
    QFETCH(QString, way);
    main_->move(50, 60);
    main_->Form().cmdInfo->click();
    about::frmAbout* a = main_->AboutBox();
    QVERIFY(a && a->isVisible());
    QVERIFY(!main_->isEnabled());
    QCOMPARE(a->windowTitle(), QStringLiteral("Korimaのﾊﾞｰｼﾞｮﾝ情報"));
    QCOMPARE(a->Form().lblTitle->text(), QStringLiteral("Korima"));
    QCOMPARE(a->Form().lblVersion->text(), QStringLiteral("Ver.1.0.0"));
    QCOMPARE(a->Form().lblCompany->text(), QStringLiteral("Korima Developers"));
    QCOMPARE(a->pos(), desktop::CenteredOver(main_->frameGeometry(), a->frameGeometry().size()));
    QPointer<about::frmAbout> alive(a);
    if (way == "ok") a->Form().cmdOK->click();
    else if (way == "enter") QTest::keyClick(a->Form().cmdOK, Qt::Key_Return);
    else if (way == "escape") QTest::keyClick(a->Form().cmdOK, Qt::Key_Escape);
    else a->close();
    QTRY_VERIFY(!alive);
    QVERIFY(main_->isEnabled());
  }

  // Qt's own texts, such as a text box's context menu, in Japanese like the rest.
  void qtTextsInJapanese() {
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm"))
      QSKIP("Qt's Japanese translation (qt6-translations-l10n) is not installed");
    QVERIFY(desktop::UseJapaneseQtTranslation());
    frmSetting* s = OpenSettings();
    std::unique_ptr<QMenu> menu(s->Form().txtRemoteHost->createStandardContextMenu());
    QStringList texts;
    for (QAction* a : menu->actions()) texts << a->text();
    QVERIFY2(!texts.join(u' ').contains("Undo") && texts.join(u' ').contains(QStringLiteral("元に戻す")),
             qPrintable(texts.join(u' ')));
  }

  // Under a window manager the frames are only known once the windows are
  // mapped; each dialog still ends up centred by its frame over the main window's.
  void dialogsCentredByTheirFrames() {
    if (qEnvironmentVariableIsEmpty("KORIMA_WINDOW_MANAGER")) QSKIP("run through centre_under_wm.sh");
    main_->move(200, 150);
    auto centred = [this](QWidget* w) {
      const QPoint d = w->frameGeometry().center() - main_->frameGeometry().center();
      return w->frameGeometry() != w->geometry() && qAbs(d.x()) <= 1 && qAbs(d.y()) <= 1;
    };
    auto where = [this](QWidget* w) {
      QString t;
      QDebug(&t) << w->frameGeometry() << w->geometry() << "over" << main_->frameGeometry();
      return t;
    };
    frmSetting* s = OpenSettings();
    QTRY_VERIFY2(centred(s), qPrintable(where(s)));
    s->cmdFolderRef_Click();
    QTRY_VERIFY2(centred(s->Picker()), qPrintable(where(s->Picker())));
    s->Picker()->close();
    s->close();
    main_->Form().cmdInfo->click();
    QTRY_VERIFY2(centred(main_->AboutBox()), qPrintable(where(main_->AboutBox())));
    main_->AboutBox()->close();
  }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
