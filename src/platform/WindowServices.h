#pragma once
// The desktop behind the message-box, beep and pointer seams of Dialogs.h.
namespace platform {

// Call once, after the QApplication exists.
void UseWindowServices();

}  // namespace platform
