#include "StatusReport.h"

#include "Wording.h"
#include "platform/Dialogs.h"

namespace korima::link {

void StatusReport::Follow(Download& d) {
  connect(&d, &Download::Waiting, this, [this] { Replace(wording::Waiting()); });
  connect(&d, &Download::FileOpened, this, [this, &d] { AddLine(wording::Opened(d.Options().filePath)); });
  connect(&d, &Download::LineAcknowledged, this,
          [this, &d](qint64 before) { Replace(wording::Progress(d.Result().fileBytes, before)); });
  connect(&d, &Download::Ended, this, &StatusReport::OnEnded);
}

void StatusReport::Replace(const QString& text) {
  text_ = text;
  emit Changed(text_);
}

void StatusReport::AddLine(const QString& text) { Replace(text_ + QStringLiteral("\r\n") + text); }

void StatusReport::OnEnded(const DownloadResult& r) {
  switch (r.outcome) {
    case Outcome::Stopped:
    case Outcome::None: return;  // the stop button has said it
    case Outcome::SocketError: return Replace(wording::Ending(r));  // the report stands alone
    case Outcome::FileError: platform::Beep(); break;
    default: break;
  }
  AddLine(wording::Ending(r));
}

}  // namespace korima::link
