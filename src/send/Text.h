#pragma once
// korima-send's own messages, translated as one body of text whatever file
// says them.
#include <QCoreApplication>

namespace korima::send {

struct Text {
  Q_DECLARE_TR_FUNCTIONS(korima::send::Sender)
};

inline const QString kProgram = QStringLiteral("korima-send");

}  // namespace korima::send
