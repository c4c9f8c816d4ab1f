#include "StatusReport.h"

#include "link/Wording.h"
#include "platform/Dialogs.h"

namespace korima::app {

void StatusReport::Follow(link::Download& d) {
  connect(&d, &link::Download::Waiting, this, [this] { Replace(link::wording::Waiting()); });
  connect(&d, &link::Download::FileOpened, this, [this, &d] { AddLine(link::wording::Opened(d.Options().filePath)); });
  connect(&d, &link::Download::LineAcknowledged, this,
          [this, &d](qint64 before) { Replace(link::wording::Progress(d.Result().fileBytes, before)); });
  connect(&d, &link::Download::Ended, this, &StatusReport::OnEnded);
}

void StatusReport::Replace(const QString& text) {
  text_ = text;
  emit Changed(text_);
}

void StatusReport::AddLine(const QString& text) { Replace(text_ + QStringLiteral("\r\n") + text); }

void StatusReport::OnEnded(const link::DownloadResult& r) {
  switch (r.outcome) {
    case link::Outcome::Stopped:
    case link::Outcome::None: return;  // the stop button has said it
    case link::Outcome::SocketError: return Replace(link::wording::Ending(r));  // the report stands alone
    case link::Outcome::FileError: platform::Beep(); break;
    default: break;
  }
  AddLine(link::wording::Ending(r));
}

}  // namespace korima::app
