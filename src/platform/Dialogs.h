#pragma once
// Message boxes, the beep, the screen's mouse pointer and a single yield.
// These are seams: without a window system they go to standard error or do
// nothing; the window program installs its desktop services (WindowServices.h).
#include <QString>
#include <functional>

namespace platform {

enum MsgBoxStyle { vbOKOnly = 0, vbCritical = 16 };

struct MsgBoxCall {
  QString prompt;
  int style = vbOKOnly;
  QString title;
};

// Blocks until dismissed. The title defaults to the application title.
void MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = {});
// Tests answer boxes here: the handler sees each call and returns at once.
void SetMsgBoxHandler(std::function<void(const MsgBoxCall&)> handler);

void Beep();
void SetBeepHandler(std::function<void()> handler);

enum MousePointerShape { vbDefault = 0, vbHourglass = 11 };
void SetMousePointer(int shape);
int MousePointer();

// What a window system puts behind the seams above.
struct DialogBackend {
  std::function<void(const MsgBoxCall&)> msgBox;
  std::function<void()> beep;
  std::function<void(int oldShape, int newShape)> pointer;
};
void SetDialogBackend(DialogBackend backend);

// Runs the events that are pending now, once.
void DoEvents();

}  // namespace platform
