#pragma once
// Answers message boxes, counts beeps and turns "end the program" into an
// exception, so that the program's routines run to their end under test.
#include "platform/Dialogs.h"
#include "platform/Process.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtGlobal>
#include <unistd.h>

struct ProgramEnded {
  int code;
};

class Recorder {
 public:
  Recorder() {
    platform::SetMsgBoxHandler([this](const platform::MsgBoxCall& c) {
      boxes.append(c);
      if (!answers.isEmpty()) return answers.takeFirst();
      if ((c.style & 7) == platform::vbOKOnly) return int(platform::vbOK);
      return c.style & platform::vbDefaultButton2 ? int(platform::vbNo) : int(platform::vbYes);  // the default button
    });
    platform::SetBeepHandler([this] { ++beeps; });
    platform::SetEndProgramHandler([this](int code) {
      ends.append(code);
      throw ProgramEnded{code};
    });
  }
  ~Recorder() {
    platform::SetMsgBoxHandler(nullptr);
    platform::SetBeepHandler(nullptr);
    platform::SetEndProgramHandler(nullptr);
  }
  QStringList Titles() const {
    QStringList t;
    for (const auto& b : boxes) t << b.title;
    return t;
  }
  QList<platform::MsgBoxCall> boxes;
  QList<int> answers;  // the buttons pressed, in order; then the default
  int beeps = 0;
  QList<int> ends;
};

inline QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Restores the process's current directory, which the settings reader changes.
class CurrentDirGuard {
 public:
  CurrentDirGuard() : saved_(QDir::currentPath()) {}
  ~CurrentDirGuard() { QDir::setCurrent(saved_); }

 private:
  QString saved_;
};

// A scratch tree: a home with a documents folder, the program's folder
// (where its settings file lives) and a working folder.
struct ScratchTree {
  ScratchTree() {
    QDir root(tmp.path());
    root.mkpath("home/Documents");
    root.mkpath("app");
    root.mkpath("work");
    qputenv("HOME", tmp.filePath("home").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", tmp.filePath("home/.config").toLocal8Bit());
    platform::SetExePathForTest(tmp.filePath("app/Korima"));
  }
  QString Path(const QString& relative) const { return QDir::toNativeSeparators(tmp.filePath(relative)); }
  QString Docs() const { return Path("home/Documents"); }
  QString ExeDir() const { return Path("app"); }
  QString Work() const { return Path("work"); }
  QString Ini() const { return Path("app/Korima.ini"); }
  QTemporaryDir tmp;
};

// Permission checks mean nothing to root. Run as root, this runs the one test
// function again in a child process as the unprivileged user "nobody" and
// returns true with `passed` set; otherwise it returns false and the caller
// runs the check itself. `why` says why the child failed, or could not be run
// (then it starts with kCannotRunAsNobody).
inline const QString kCannotRunAsNobody = QStringLiteral("cannot run as nobody: ");
inline bool RanAsUnprivileged(const char* testFunction, bool& passed, QString& why) {
  if (::geteuid() != 0) return false;
  passed = false;
  const QString runuser = QStandardPaths::findExecutable(QStringLiteral("runuser"));
  if (runuser.isEmpty()) return why = kCannotRunAsNobody + QStringLiteral("runuser is not installed"), true;
  QProcess child;
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(runuser, {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                        QCoreApplication::applicationFilePath(), QString::fromLatin1(testFunction)});
  if (!child.waitForFinished(60000)) return why = QStringLiteral("the child did not finish"), true;
  why = QString::fromLocal8Bit(child.readAll());
  if (child.exitCode() == 126 || child.exitCode() == 127) return why.prepend(kCannotRunAsNobody), true;
  passed = child.exitCode() == 0;
  return true;
}

// In a test function: the rest of it runs as "nobody" when the suite runs as
// root (the child's verdict is taken), and is skipped where it can't be.
#define RUN_UNPRIVILEGED()                                                      \
  do {                                                                          \
    bool passed_ = false;                                                       \
    QString why_;                                                               \
    if (RanAsUnprivileged(QTest::currentTestFunction(), passed_, why_)) {       \
      if (!passed_ && why_.startsWith(kCannotRunAsNobody)) QSKIP(qPrintable(why_)); \
      QVERIFY2(passed_, qPrintable(why_));                                      \
      return;                                                                   \
    }                                                                           \
  } while (false)
