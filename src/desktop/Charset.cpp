#include "Charset.h"

#include <QWidget>

namespace desktop {

QStringList JapaneseFontFamilies(const QString& preferred) {
  QStringList families;
  if (!preferred.isEmpty()) families << preferred;
  for (const char* f : {"ＭＳ Ｐゴシック", "MS PGothic", "MS UI Gothic", "IPAPGothic", "IPAGothic",
                        "Noto Sans CJK JP", "VL PGothic", "Takao PGothic"})
    if (!families.contains(QString::fromUtf8(f))) families << QString::fromUtf8(f);
  return families;
}

QFont DefaultWindowFont() {
  QFont font;
  font.setFamilies(JapaneseFontFamilies());
  font.setPointSize(9);
  return font;
}

void ApplyJapaneseCharset(QWidget* window) {
  if (!window) return;
  QList<QWidget*> widgets = window->findChildren<QWidget*>();
  widgets.prepend(window);
  for (QWidget* w : widgets) {
    QFont f = w->font();
    const QStringList current = f.families();
    f.setFamilies(JapaneseFontFamilies(current.isEmpty() ? f.family() : current.first()));
    w->setFont(f);
  }
}

}  // namespace desktop
