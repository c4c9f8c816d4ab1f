#pragma once
// An error as a value: the number and text of what failed, where a call
// returns it. The window's carry-on error state is the desktop's.
#include <QString>

namespace platform {

struct ErrorState {
  int Number = 0;
  QString Description;
};

QString OsErrorText(int osError);
// EACCES when `path` exists, else ENOENT: what a failed open most likely met
// when the call that failed left no errno.
int MissingOrDenied(const QString& path);

}  // namespace platform
