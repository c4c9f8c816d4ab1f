#pragma once
// korima-send's --help, in the user's language, and its exit codes: one
// table for --help, the manual page and the README.
#include "link/Result.h"

#include <QString>

namespace korima::send {

enum ExitCode {
  kExitComplete = 0,
  kExitUsage = 2,
  kExitFile = 3,
  kExitSocket = 4,
  kExitNoReply = 5,
  kExitNak = 6,
  kExitBel = 7,
  kExitFul = 8,
  kExitInterrupted = 130,
};

int ExitCodeOf(link::Outcome outcome);
QString UsageText();

}  // namespace korima::send
