#pragma once
// Message boxes and the beep. These are seams: without a window system they
// go to standard error or do nothing; the window program installs its
// desktop services (desktop/WindowServices.h).
#include <QString>
#include <functional>

namespace platform {

enum MsgBoxStyle { vbOKOnly = 0, vbYesNoCancel = 3, vbYesNo = 4, vbCritical = 16, vbQuestion = 32, vbDefaultButton2 = 256 };
enum MsgBoxResult { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

struct MsgBoxCall {
  QString prompt;
  int style = vbOKOnly;
  QString title;
};

// Blocks until dismissed and returns the button pressed (a MsgBoxResult).
// The title defaults to the application title. A question (vbYesNoCancel,
// vbYesNo) has はい as its default button, いいえ with vbDefaultButton2;
// closing it counts as ｷｬﾝｾﾙ, or as いいえ where there is no ｷｬﾝｾﾙ.
int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = {});
// Tests answer boxes here: the handler sees each call and returns at once
// with the button it presses.
void SetMsgBoxHandler(std::function<int(const MsgBoxCall&)> handler);

void Beep();
void SetBeepHandler(std::function<void()> handler);

// What a window system puts behind the seams above.
struct DialogBackend {
  std::function<int(const MsgBoxCall&)> msgBox;
  std::function<void()> beep;
};
void SetDialogBackend(DialogBackend backend);

}  // namespace platform
