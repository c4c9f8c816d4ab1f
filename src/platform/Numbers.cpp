#include "Numbers.h"

#include <QString>

namespace platform {

std::optional<qint64> ParseDigits(QStringView t, qint64 min, qint64 max) {
  if (t.isEmpty() || t.size() > 18) return std::nullopt;  // 18 digits can't overflow
  qint64 value = 0;
  for (QChar c : t) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c.unicode() - u'0');
  }
  if (value < min || value > max) return std::nullopt;
  return value;
}

std::optional<qint64> ParseInteger(QStringView text, qint64 min, qint64 max) {
  QStringView t = text.trimmed();
  const bool negative = t.startsWith(u'-');
  if (negative || t.startsWith(u'+')) t = t.mid(1);
  const auto magnitude = ParseDigits(t, 0, std::numeric_limits<qint64>::max());
  if (!magnitude) return std::nullopt;
  const qint64 value = negative ? -*magnitude : *magnitude;
  if (value < min || value > max) return std::nullopt;
  return value;
}

std::optional<qint64> ParseInteger(QByteArrayView text, qint64 min, qint64 max) {
  return ParseInteger(QString::fromLatin1(text), min, max);
}

}  // namespace platform
