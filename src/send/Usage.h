#pragma once
// korima-send's --help, in the user's language.
#include <QString>

namespace korima::send {

QString UsageText();

}  // namespace korima::send
