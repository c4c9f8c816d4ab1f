#pragma once
// The window's carry-on error handling: a risky step sets the error state,
// and the routine tests it right after, as the window's code is written.
// Only the window's own code uses it; below the window, calls return their
// errors. The current directory is the window's business too.
#include "platform/Errors.h"

#include <QString>

namespace desktop {

const platform::ErrorState& Err();
void ClearError();
// Number and description from the operating system's error code.
void RaiseOsError(int osError);

QString CurDir();
// Sets the error state and returns false when the folder can't be entered.
bool ChDir(const QString& path);
// The current directory when it lies on `root`, else the volume's root. Sets
// the error state and returns empty text when the volume can't be read.
QString CurDirOnDrive(const QString& root);
// Sets the error state when `path` is not a folder that can be listed.
bool CanListFolder(const QString& path);

}  // namespace desktop
