#pragma once
// Whole numbers as people type them into settings and options.
#include <QByteArrayView>
#include <QStringView>
#include <limits>
#include <optional>

namespace platform {

// An optional sign and decimal digits, blanks around allowed, within [min, max].
std::optional<qint64> ParseInteger(QStringView text, qint64 min, qint64 max);
std::optional<qint64> ParseInteger(QByteArrayView text, qint64 min, qint64 max);
// Decimal digits and nothing else, within [min, max].
std::optional<qint64> ParseDigits(QStringView text, qint64 min, qint64 max);

}  // namespace platform
