#pragma once
// Answers message boxes, counts beeps and turns "end the program" into an
// exception, so that the program's routines run to their end under test.
#include "platform/Dialogs.h"
#include "platform/Process.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>
#include <QtGlobal>

struct ProgramEnded {
  int code;
};

class Recorder {
 public:
  Recorder() {
    platform::SetMsgBoxHandler([this](const platform::MsgBoxCall& c) { boxes.append(c); });
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
