#pragma once
// Sequential text files under small file numbers, in the style the program's
// routines are written in: open, read or write, test, close every open file.
// Bytes are the file's own (CP932); nothing is decoded on the way through.
#include <QByteArray>
#include <QList>
#include <QString>
#include <variant>

namespace platform::files {

// One value for WriteFields: a text goes out between double quotes, an integer bare.
using Field = std::variant<QString, qint64>;

bool OpenInput(int fileNo, const QString& path);
// Output goes to a temporary file beside `path`; only Commit puts it in place,
// so a write that fails half-way leaves the previous file as it was.
bool OpenOutput(int fileNo, const QString& path);
bool Commit(int fileNo);
void CloseAll();

bool Eof(int fileNo);
// One line without its terminator; a line ends at CR LF, CR or LF.
bool LineInput(int fileNo, QByteArray& line);
// The next `count` comma-separated values (quotes removed); false when the file
// runs out of values first.
bool InputFields(int fileNo, int count, QList<QByteArray>& fields);
bool WriteFields(int fileNo, const QList<Field>& fields);

// The pure halves of InputFields / WriteFields.
bool SplitFields(const QByteArray& data, int count, QList<QByteArray>& fields);
// False (with the error state set) when a text can't be written so that it reads back the same.
bool FormatFields(const QList<Field>& fields, QByteArray& line);
// A 16-bit integer field: optional sign and decimal digits, blanks around allowed.
bool ParseInt16(const QByteArray& field, qint16& value);

}  // namespace platform::files
