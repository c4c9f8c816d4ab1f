#pragma once
// The program's version record, filled from the one place the build defines it.
#include <QString>

namespace platform {

struct VersionRecord {
  QString Title;
  int Major = 0;
  int Minor = 0;
  int Revision = 0;
  QString CompanyName;
};

const VersionRecord& AppVersion();

}  // namespace platform
