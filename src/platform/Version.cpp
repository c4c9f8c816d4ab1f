#include "Version.h"

#include "KorimaVersion.h"

namespace platform {

const VersionRecord& AppVersion() {
  static const VersionRecord record{QStringLiteral(KORIMA_TITLE), KORIMA_VERSION_MAJOR,
                                    KORIMA_VERSION_MINOR, KORIMA_VERSION_PATCH,
                                    QString::fromUtf8(KORIMA_COMPANY)};
  return record;
}

}  // namespace platform
