#pragma once
// The data files of a folder, as the window's file list shows them and as
// korima-send sends them: the names that match a pattern such as
// "*.csv;*.txt" (case ignored), hidden ones left out (rsync's and Ansible's
// temporary files start with "."), sorted by name with case ignored.
#include <QString>
#include <QStringList>

namespace platform::files {

// `special`: FIFOs and devices too, so that the reader can refuse them
// instead of their being passed over without a word.
QStringList ListFiles(const QString& folder, const QString& patterns, bool special = false);

}  // namespace platform::files
