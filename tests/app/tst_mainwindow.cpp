// Start-up and the main window: which boxes come in which order, what the
// window shows afterwards, its two states, the file list and closing.
#include "TestSupport.h"
#include "app/frmMain.h"
#include "config/Settings.h"
#include "platform/Cp932.h"
#include "link/Endpoint.h"
#include "platform/Ticks.h"
#include "send/Sender.h"
#include "sim/TerminalSimulator.h"
#include "ui_frmMain.h"

#include <QApplication>
#include <QBuffer>
#include <QSignalSpy>
#include <QtTest>

using namespace korima;
using app::frmMain;

class TestMainWindow : public QObject {
  Q_OBJECT
  ScratchTree tree_;
  QTemporaryDir& tmp_ = tree_.tmp;
  const QString docs_ = tree_.Docs(), exeDir_ = tree_.ExeDir(), work_ = tree_.Work(), ini_ = tree_.Ini();
  CurrentDirGuard cwd_;
  platform::RealClock clock_{10'000};
  link::LinkServices Services() { return {&link::EndpointPool::Udp(), &clock_}; }

  void WriteSettings(const QString& folder, const QByteArray& tail = "\"6000\",\"127.0.0.1\",\"6001\",0,0\r\n") {
    QVERIFY(WriteAll(ini_, '"' + platform::ToCp932(folder) + "\"," + tail));
  }
  static QStringList Names(const desktop::FileListBox* list) {
    QStringList names;
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    return names;
  }
  void CheckIdle(frmMain& w, bool idle) {
    auto& f = w.Form();
    QCOMPARE(f.cmdComm_0->isEnabled(), idle);
    QCOMPARE(f.cmdComm_1->isEnabled(), !idle);
    QCOMPARE(f.Status_0->isVisibleTo(&w), idle);
    QCOMPARE(f.Status_1->isVisibleTo(&w), !idle);
    QCOMPARE(f.cmdSetting->isEnabled(), idle);
    QCOMPARE(f.cmdInfo->isEnabled(), idle);
    QCOMPARE(f.File1->isEnabled(), idle);
  }

 private slots:
  void initTestCase() {
    for (const char* n : {"b.csv", "A.TXT", "c.dat"}) WriteAll(work_ + "/" + n, "x\r\n");
  }
  void init() {
    QFile::remove(ini_);
    config::Settings = {};
  }

  void freshStartWithoutSettingsFile() {
    Recorder rec;
    bool windowShownBeforeBox = false;
    platform::SetMsgBoxHandler([&](const platform::MsgBoxCall& c) {
      rec.boxes << c;
      for (QWidget* w : QApplication::topLevelWidgets()) windowShownBeforeBox |= w->isVisible();
      return int(platform::vbOK);
    });
    frmMain w(Services());
    w.Form_Load();
    QCOMPARE(rec.Titles(), QStringList{"File Read"});
    QVERIFY(rec.boxes[0].prompt.contains(QStringLiteral("ﾌｧｲﾙなし")));
    QVERIFY(!windowShownBeforeBox);
    QCOMPARE(config::Settings.SettingsPath, exeDir_ + "/Korima.ini");
    QCOMPARE(ReadAll(ini_), '"' + platform::ToCp932(docs_) + "\",\"6000\",\"" + config::kDefaultRemoteHost + "\",\"6001\",0,0\r\n");
    QCOMPARE(w.Form().lblFolder->text(), docs_);
    QCOMPARE(w.Form().File1->Path(), docs_);
    CheckIdle(w, true);
    QCOMPARE(w.Form().lblNote->text(), QStringLiteral("KORIMAはUDPｸﾗｲｱﾝﾄとして動作します。\n"
                                                      "ｲｰｻﾈｯﾄｸﾚｰﾄﾞﾙをUDPｻｰﾊﾞｰに設定してください。"));
    QVERIFY(!w.Form().Progbar->isVisibleTo(&w));
    QCOMPARE(w.windowTitle(), QStringLiteral("KORIMA"));
    QVERIFY(!(w.windowState() & Qt::WindowMinimized));
  }

  void badSettingsFiles_data() {
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QString>("reason");
    QTest::newRow("invalid file") << QByteArray("\"6000\"\r\n") << QStringLiteral("ﾌｧｲﾙ不正");
    QTest::newRow("bad start-up size") << QByteArray("\"6000\",\"h\",\"6001\",0,3\r\n") << QStringLiteral("ﾊﾟﾗﾒｰﾀ不正");
  }
  void badSettingsFiles() {
    QFETCH(QByteArray, tail);
    QFETCH(QString, reason);
    WriteSettings(work_, tail);
    Recorder rec;
    frmMain w(Services());
    w.Form_Load();
    QCOMPARE(rec.Titles(), QStringList{"File Read"});
    QVERIFY(rec.boxes[0].prompt.startsWith(QStringLiteral("INIﾌｧｲﾙ読み込みｴﾗｰ : ") + reason + "\r\n"));
    QCOMPARE(w.Form().lblFolder->text(), docs_);
    QCOMPARE(w.StatusText(), QString());
    CheckIdle(w, true);
  }

  void deletedWorkingFolder() {
    WriteSettings(tmp_.filePath("deleted"));
    const QByteArray before = ReadAll(ini_);
    QDir::setCurrent(work_);
    Recorder rec;
    frmMain w(Services());
    w.Form_Load();
    QCOMPARE(rec.Titles(), QStringList{QStringLiteral("エラー！！")});
    QCOMPARE(w.StatusText(), QStringLiteral("既定ﾌｫﾙﾀﾞが存在しません - 再設定を行ってください！！"));
    QCOMPARE(w.Form().lblStatus->text(), w.StatusText());
    QCOMPARE(w.Form().lblFolder->text(), QDir::toNativeSeparators(work_));
    QCOMPARE(Names(w.Form().File1), (QStringList{"A.TXT", "b.csv"}));
    QCOMPARE(ReadAll(ini_), before);
  }

  void startMinimised() {
    WriteSettings(work_, "\"6000\",\"h\",\"6001\",0,1\r\n");
    Recorder rec;
    frmMain w(Services());
    w.Form_Load();
    QVERIFY(rec.boxes.isEmpty());
    QVERIFY(w.windowState() & Qt::WindowMinimized);
  }

  void commStateTable() {
    WriteSettings(work_);
    Recorder rec;
    frmMain w(Services());
    w.Form_Load();
    w.ShowState(frmMain::CommState::Communicating);
    CheckIdle(w, false);
    QCOMPARE(w.Form().Status_0->geometry(), w.Form().Status_1->geometry());
    w.ShowState(frmMain::CommState::Idle);
    CheckIdle(w, true);
  }

  void fileListAndRefresh() {
    WriteSettings(work_);
    Recorder rec;
    frmMain w(Services());
    w.Form_Load();
    QCOMPARE(Names(w.Form().File1), (QStringList{"A.TXT", "b.csv"}));
    w.Form().File1->setCurrentRow(1);
    // A file copied into the folder shows by itself; the selection stays.
    WriteAll(work_ + "/new.csv", "y\r\n");
    QTRY_COMPARE(Names(w.Form().File1), (QStringList{"A.TXT", "b.csv", "new.csv"}));
    QCOMPARE(w.Form().File1->FileName(), QStringLiteral("b.csv"));
    QFile::remove(work_ + "/new.csv");
    QTRY_COMPARE(Names(w.Form().File1), (QStringList{"A.TXT", "b.csv"}));
    // A double-click on the window's background and F5 re-read the list.
    w.Form().File1->clear();
    QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(100, 395));
    QCOMPARE(Names(w.Form().File1), (QStringList{"A.TXT", "b.csv"}));
    w.Form().File1->clear();
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F5);
    QCOMPARE(Names(w.Form().File1), (QStringList{"A.TXT", "b.csv"}));
  }

  void progressBeyondTwoGiB() {
    WriteSettings(work_);
    Recorder rec;
    frmMain w(Services());
    w.Form_Load();
    w.SetProgressMax(5000000000LL);
    w.SetProgressValue(2500000000LL);
    const QProgressBar* bar = w.Form().Progbar;
    QCOMPARE(bar->minimum(), 0);
    QVERIFY(bar->maximum() > 0);
    QVERIFY(qAbs(double(bar->value()) / bar->maximum() - 0.5) < 0.001);
    w.SetProgressMax(15);
    w.SetProgressValue(9);
    QCOMPARE(bar->maximum(), 15);
    QCOMPARE(bar->value(), 9);
  }

  void startWithoutSelection() {
    WriteSettings(work_);
    Recorder rec;
    frmMain w(Services());
    w.Form_Load();
    w.Form().cmdComm_0->click();
    QCOMPARE(rec.beeps, 1);
    QCOMPARE(rec.boxes.size(), 1);
    QCOMPARE(rec.boxes[0].prompt, QStringLiteral("ﾌｧｲﾙが選択されていません"));
    CheckIdle(w, true);
  }

  void closeWhileIdleEndsTheProgram() {
    WriteSettings(work_);
    Recorder rec;
    frmMain w(Services());
    w.Form_Load();
    bool cancel = false;
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, w.Form_Unload(cancel));
    QCOMPARE(rec.ends, QList<int>{0});
    QVERIFY(!cancel);
  }

  // A UTF-8 file: the window asks before "MASTER". はい converts (the
  // byte-order mark dropped), いいえ sends the bytes, ｷｬﾝｾﾙ sends nothing.
  void utf8FileAsked_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("stored");
    const QByteArray utf8 = "\xEF\xBB\xBF商品,〜\r\nｱ,1\r\n";
    QTest::newRow("はい") << utf8 << int(platform::vbYes) << QByteArray("\x8f\xa4\x95\x69,\x81\x60\r\n\xb1,1\r\n");
    QTest::newRow("いいえ") << utf8 << int(platform::vbNo) << utf8;
    QTest::newRow("ｷｬﾝｾﾙ") << utf8 << int(platform::vbCancel) << QByteArray();
    QTest::newRow("UTF-8 without a byte-order mark") << QByteArray("〜,1\r\n") << int(platform::vbNo) << QByteArray("〜,1\r\n");
    QTest::newRow("CP932: no question") << QByteArray("\x8f\xa4\x95\x69,1\r\n") << -1 << QByteArray("\x8f\xa4\x95\x69,1\r\n");
    QTest::newRow("ASCII: no question") << QByteArray("a,1\r\n") << -1 << QByteArray("a,1\r\n");
  }
  void utf8FileAsked() {
    QFETCH(QByteArray, content);
    QFETCH(int, answer);
    QFETCH(QByteArray, stored);
    const QString folder = tmp_.filePath("utf8");
    QVERIFY(QDir().mkpath(folder));
    WriteAll(folder + "/u.csv", content);
    sim::SimOptions o;
    o.outPath = tmp_.filePath("utf8.out");
    QFile::remove(o.outPath);
    sim::TerminalSimulator sim(o, QHostAddress::LocalHost, 0);
    QVERIFY(sim.Start());
    WriteSettings(folder, "\"0\",\"127.0.0.1\",\"" + QByteArray::number(sim.Port()) + "\",0,0\r\n");
    Recorder rec;
    if (answer > 0) rec.answers << answer;
    frmMain w(Services());
    w.Form_Load();
    QSignalSpy ended(&w.Download(), &link::Download::Ended);
    w.Form().File1->setCurrentRow(0);
    w.Form().cmdComm_0->click();
    if (answer == platform::vbCancel) {
      CheckIdle(w, true);
      QCOMPARE(w.StatusText(), QStringLiteral("送信を中止しました"));
      QTest::qWait(20);
      QVERIFY(sim.Cradle().Received().isEmpty());
    } else {
      QTRY_COMPARE(ended.size(), 1);
      QCOMPARE(w.Download().Result().outcome, link::Outcome::Complete);
      QCOMPARE(ReadAll(o.outPath), stored);
    }
    QCOMPARE(rec.boxes.size(), answer > 0 ? 1 : 0);
    if (answer > 0) {
      QCOMPARE(rec.boxes[0].title, QStringLiteral("UTF-8"));
      QCOMPARE(rec.boxes[0].style, platform::vbYesNoCancel | platform::vbQuestion);
      QVERIFY(rec.boxes[0].prompt.contains(QStringLiteral("UTF-8で書かれています")));
    }
  }

  // Double-click a file: the whole download; close during a second one: it stops, the window stays.
  void downloadFromTheWindow() {
    sim::SimOptions o;
    o.outPath = tmp_.filePath("received.out");
    sim::TerminalSimulator sim(o, QHostAddress::LocalHost, 0);
    QVERIFY(sim.Start());
    WriteSettings(work_, "\"0\",\"127.0.0.1\",\"" + QByteArray::number(sim.Port()) + "\",0,0\r\n");
    Recorder rec;
    frmMain w(Services());
    w.Form_Load();
    w.show();
    QSignalSpy ended(&w.Download(), &link::Download::Ended);
    auto* item = w.Form().File1->item(1);
    QCOMPARE(item->text(), QStringLiteral("b.csv"));
    w.Form().File1->setCurrentItem(item);
    emit w.Form().File1->itemDoubleClicked(item);
    CheckIdle(w, false);
    QVERIFY(w.Form().Progbar->isVisible());
    QTRY_COMPARE(ended.size(), 1);
    CheckIdle(w, true);
    QCOMPARE(ReadAll(tmp_.filePath("received.out")), QByteArray("x\r\n"));
    QVERIFY(w.StatusText().endsWith(QStringLiteral("3ﾊﾞｲﾄ中 3ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了")));
    QVERIFY(!w.Form().Progbar->isVisible());

    sim.Cradle().Options().silentMaster = 1000000;
    w.Form().cmdComm_0->click();
    QTRY_VERIFY(sim.Cradle().Stats().masters >= 3);
    QVERIFY(!w.close());  // a close request acts as the stop button
    QVERIFY(w.isVisible());
    CheckIdle(w, true);
    QVERIFY(!w.Communicating());
    QVERIFY(w.StatusText().endsWith(QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました")));
    QTRY_COMPARE(ended.size(), 2);
    bool cancel = false;
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, w.Form_Unload(cancel));  // the second close ends it
  }

  // The same file through the window and through korima-send: the terminal
  // receives the same datagrams in the same order.
  void windowAndConsoleSendTheSameDatagrams() {
    const QByteArray content = "JAN,\x8f\xa4\x95\x69\r\n^*,\xb1\r\n\r\nlast";
    WriteAll(work_ + "/a.csv", content);
    sim::SimOptions o;
    o.nakAt[2] = 1;
    o.silentAt[3] = 1;
    sim::TerminalSimulator sim(o, QHostAddress::LocalHost, 0);
    QVERIFY(sim.Start());
    WriteSettings(work_, "\"0\",\"127.0.0.1\",\"" + QByteArray::number(sim.Port()) + "\",0,0\r\n");
    Recorder rec;
    QList<QByteArray> byWindow;
    {
      frmMain w(Services());
      w.Form_Load();
      QSignalSpy ended(&w.Download(), &link::Download::Ended);
      w.Form().File1->setCurrentRow(0);
      QCOMPARE(w.Form().File1->currentItem()->text(), QStringLiteral("a.csv"));
      w.Form().cmdComm_0->click();
      QTRY_COMPARE(ended.size(), 1);
      QCOMPARE(w.Download().Result().outcome, link::Outcome::Complete);
      byWindow = sim.Cradle().Received();
    }
    sim.Cradle().Options().nakAt[2] = 1;
    sim.Cradle().Options().silentAt[3] = 1;
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    send::Sender sender({"korima-send", "--settings", ini_, work_ + "/a.csv"}, out, err, false,
                        Services());
    QSignalSpy finished(&sender, &send::Sender::Finished);
    QVERIFY(!sender.Start());
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().first().toInt(), 0);
    QCOMPARE(sim.Cradle().Received().mid(byWindow.size()), byWindow);
    QVERIFY(byWindow.size() >= 8);
    QFile::remove(work_ + "/a.csv");
  }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
