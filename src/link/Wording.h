#pragma once
// The status texts of a download, made from its events and its result in
// this one place, for the window and the console program alike. They are
// the window's own texts and stay exactly as it shows them.
#include "Result.h"

#include <QString>

namespace korima::link::wording {

QString Waiting();                    // "UDP通信：送受信待ち", once the socket is open
QString Opened(const QString& path);  // "<path> ｵｰﾌﾟﾝ"
QString Progress(qint64 total, qint64 sent);
QString StopPressed();                // the stop button's line
QString Cancelled();                  // the UTF-8 question answered ｷｬﾝｾﾙ
// How an IPv4 address is written, for a host given in a refused form.
QString AddressForm();
// Two names for one cradle in one run: `name` reached `address`, which `holder` already serves.
QString SameCradle(const QString& name, const QString& address, const QString& holder);
// After the text of a local port in use: which port, and who most likely holds it.
QString PortInUse(quint16 port);
// The socket error report: number, the fixed request to check the settings, text.
QString SocketErrorReport(int error, const QString& text);
// The line that says how a download ended; empty for a stop, whose line the
// stop button has already shown.
QString Ending(const DownloadResult& result);

}  // namespace korima::link::wording

namespace korima::link {
// The outcome's name for machines: JSON, logs.
const char* OutcomeName(Outcome outcome);

}  // namespace korima::link::wording
