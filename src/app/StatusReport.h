#pragma once
// What the window reports of its downloads: the status label, which keeps
// the last texts as a record (some replace it, some add a line under it),
// and the beep that goes with a file that can't be sent. The window shows
// Text() in its label; tests read it headless.
#include "link/Download.h"

#include <QObject>
#include <QString>

namespace korima::app {

class StatusReport : public QObject {
  Q_OBJECT
 public:
  explicit StatusReport(QObject* parent = nullptr) : QObject(parent) {}
  // Reports every download of `download` from now on.
  void Follow(link::Download& download);

  QString Text() const { return text_; }
  void Replace(const QString& text);
  void AddLine(const QString& text);  // under the text there is, CR LF between

 signals:
  void Changed(const QString& text);

 private:
  void OnEnded(const link::DownloadResult& result);
  QString text_;
};

}  // namespace korima::app
