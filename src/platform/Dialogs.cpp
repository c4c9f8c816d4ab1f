#include "Dialogs.h"

#include "Version.h"

#include <QCoreApplication>
#include <cstdio>

namespace platform {
namespace {
std::function<int(const MsgBoxCall&)> g_msgBoxHandler;
std::function<void()> g_beepHandler;
DialogBackend g_backend;
}  // namespace

int MsgBox(const QString& prompt, int style, const QString& title) {
  MsgBoxCall call{prompt, style, title.isEmpty() ? AppVersion().Title : title};
  if (g_msgBoxHandler) return g_msgBoxHandler(call);
  if (g_backend.msgBox) return g_backend.msgBox(call);
  // No window system: the text still reaches whoever started the program.
  const QByteArray text = (call.title + QStringLiteral(": ") + QString(call.prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))).toUtf8();
  std::fprintf(stderr, "%s\n", text.constData());
  // Nobody to ask: a question takes its default.
  if ((style & 7) == vbOKOnly) return vbOK;
  return style & vbDefaultButton2 ? vbNo : vbYes;
}

void SetMsgBoxHandler(std::function<int(const MsgBoxCall&)> handler) {
  g_msgBoxHandler = std::move(handler);
}

void Beep() {
  if (g_beepHandler) return g_beepHandler();
  if (g_backend.beep) g_backend.beep();
}

void SetBeepHandler(std::function<void()> handler) { g_beepHandler = std::move(handler); }

void SetDialogBackend(DialogBackend backend) { g_backend = std::move(backend); }

}  // namespace platform
