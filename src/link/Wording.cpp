#include "Wording.h"

#include <QDir>

#include "Result.h"

namespace korima::link::wording {
namespace {

const QString kBel = QStringLiteral("ﾊﾝﾄﾞｼｪｲｸ BEL受信");
const QString kFul = QStringLiteral("ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>");
const QString kNak = QStringLiteral("ﾊﾝﾄﾞｼｪｲｸ NAK受信");
const QString kTimeout = QStringLiteral("ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ");

QString Path(const DownloadResult& r) { return QDir::toNativeSeparators(r.filePath); }

// "ﾚｺｰﾄﾞn:", "MASTER:" or "END:": where the handshake failed.
QString Where(const DownloadResult& r) {
  switch (r.phase) {
    case Phase::Connecting: return QStringLiteral("MASTER:");
    case Phase::Ending: return QStringLiteral("END:");
    default: return QStringLiteral("ﾚｺｰﾄﾞ") + QString::number(r.lineNo) + u':';
  }
}

QString FileText(const DownloadResult& r) {
  const QString record = QStringLiteral("ﾚｺｰﾄﾞ") + QString::number(r.lineNo) + u':';
  switch (r.fileProblem) {
    case FileProblem::Read:
      return u'<' + Path(r) + QStringLiteral("#1IN> ") + QString::number(r.error) + u':' + r.errorText;
    case FileProblem::NotUtf8:
      return record + QString::number(r.column) + QStringLiteral("文字目 UTF-8として読めないﾊﾞｲﾄがあります");
    case FileProblem::NotUtf16:
      return record + QString::number(r.column) + QStringLiteral("文字目 UTF-16として読めないﾊﾞｲﾄがあります");
    case FileProblem::NotShiftJis:
      return record + QString::number(r.column) + QStringLiteral("文字目 Shift-JISとして読めないﾊﾞｲﾄがあります");
    case FileProblem::Unconvertible:
      return record + QString::number(r.column) + QStringLiteral("文字目 Shift-JISに変換できない文字があります");
    case FileProblem::TooLong:
      return record + QStringLiteral("1行が長すぎます %1ﾊﾞｲﾄ(上限%2ﾊﾞｲﾄ)").arg(r.lineBytes).arg(kLongestLine);
    case FileProblem::Internal:
      return QStringLiteral("内部ｴﾗｰ: ") + r.errorText;
    case FileProblem::Empty:
    case FileProblem::Open:
    case FileProblem::None: break;
  }
  return u'<' + Path(r) + QStringLiteral("> ") + QString::number(r.error) + u':' + r.errorText;
}

}  // namespace

QString Waiting() { return QStringLiteral("UDP通信：送受信待ち"); }

QString Opened(const QString& path) { return u'<' + QDir::toNativeSeparators(path) + QStringLiteral("> ｵｰﾌﾟﾝ"); }

QString Progress(qint64 total, qint64 sent) {
  return QString::number(total) + QStringLiteral("ﾊﾞｲﾄ中 ") + QString::number(sent) + QStringLiteral("ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ済み");
}

QString StopPressed() { return QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました"); }

QString Cancelled() { return QStringLiteral("送信を中止しました"); }

QString AddressForm() {
  return QStringLiteral("IPv4ｱﾄﾞﾚｽは0～255の10進数4つを.で区切って書いてください(例 192.168.1.100)");
}

QString SameCradle(const QString& name, const QString& address, const QString& holder) {
  return name + QStringLiteral(" (") + address + QStringLiteral(") は ") + holder + QStringLiteral(" と同じｸﾚｰﾄﾞﾙです");
}

QString PortInUse(quint16 port) {
  return QStringLiteral("(ﾛｰｶﾙﾎﾟｰﾄ%1: korima-send.serviceが使っているかもしれません)").arg(port);
}

QString SocketErrorReport(int error, const QString& text) {
  return QString::number(error) + QStringLiteral(" UDP設定に問題がないか確認してください。 ") + text;
}

QString Ending(const DownloadResult& r) {
  switch (r.outcome) {
    case Outcome::Complete: {
      const QString total = QString::number(r.bytesRead);  // what was read and sent, whatever the size was before
      return total + QStringLiteral("ﾊﾞｲﾄ中 ") + total + QStringLiteral("ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了");
    }
    case Outcome::Bel: return Where(r) + kBel;
    case Outcome::Ful: return Where(r) + kFul;
    case Outcome::Nak: return Where(r) + kNak;
    case Outcome::NoReply: return Where(r) + kTimeout;
    case Outcome::FileError: return FileText(r);
    case Outcome::SocketError: return SocketErrorReport(r.error, r.errorText);
    case Outcome::Stopped:
    case Outcome::None: break;
  }
  return {};
}

}  // namespace korima::link::wording

namespace korima::link {

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Complete: return "complete";
    case Outcome::Nak: return "nak";
    case Outcome::NoReply: return "no_reply";
    case Outcome::Bel: return "bel";
    case Outcome::Ful: return "ful";
    case Outcome::FileError: return "file_error";
    case Outcome::SocketError: return "socket_error";
    case Outcome::Stopped: return "stopped";
    case Outcome::None: break;
  }
  return "none";
}

}  // namespace korima::link
