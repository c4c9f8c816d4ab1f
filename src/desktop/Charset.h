#pragma once
// Japanese text in every control, whatever the system's locale: each font asks
// for its own face first, then for the Gothic faces a Japanese desktop has.
#include <QFont>
#include <QStringList>

class QWidget;

namespace desktop {

QStringList JapaneseFontFamilies(const QString& preferred = {});
// The default face for the program's windows.
QFont DefaultWindowFont();
void ApplyJapaneseCharset(QWidget* window);

}  // namespace desktop
