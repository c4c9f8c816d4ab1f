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
