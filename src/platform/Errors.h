#pragma once
// Process-wide error state: the number and text of the last failed operation,
// tested right after a risky step in the carry-on style the program uses.
#include <QString>

namespace platform {

struct ErrorState {
  int Number = 0;
  QString Description;
};

const ErrorState& Err();
void ClearError();
void RaiseError(int number, const QString& description);
// Number and description come from the operating system's error code.
void RaiseOsError(int osError);
QString OsErrorText(int osError);

// Error numbers for the few failures that have no operating-system call behind them.
int InvalidArgumentError();
int NoDataError();
int IllegalByteSequenceError();

}  // namespace platform
