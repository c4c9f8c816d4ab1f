#pragma once
// The desktop behind the message-box, beep and pointer seams of Dialogs.h.
namespace desktop {

// Call once, after the QApplication exists.
void UseWindowServices();

// Qt's own texts (the text boxes' context menus, standard buttons) in
// Japanese like the rest of the program, whatever the user's locale. False
// when Qt's Japanese translation is not installed; everything works without it.
bool UseJapaneseQtTranslation();

}  // namespace desktop
