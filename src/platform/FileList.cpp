#include "FileList.h"

#include <QDir>
#include <QRegularExpression>
#include <algorithm>

namespace platform::files {

QStringList ListFiles(const QString& folder, const QString& patterns, bool special) {
  QList<QRegularExpression> match;
  for (const QString& p : patterns.split(u';', Qt::SkipEmptyParts))
    match << QRegularExpression(QRegularExpression::wildcardToRegularExpression(p.trimmed()),
                                QRegularExpression::CaseInsensitiveOption);
  QDir::Filters filters = QDir::Files | QDir::NoDotAndDotDot;
  if (special) filters |= QDir::System;
  QStringList names;
  for (const QString& name : QDir(folder).entryList(filters))
    if (!name.startsWith(u'.') && std::any_of(match.begin(), match.end(), [&](const auto& re) { return re.match(name).hasMatch(); }))
      names << name;
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
  });
  return names;
}

}  // namespace platform::files
