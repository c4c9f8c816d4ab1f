#pragma once
// The process: its executable, current directory, special folders, signals, ending.
#include <QString>
#include <functional>

class QProcess;

namespace platform {

QString ExePath();
// Lets tests stand in for "a copy of the executable in some folder".
void SetExePathForTest(const QString& path);

QString PathSeparator();


// The user's documents folder, empty when it does not exist.
QString DocumentsFolder();
// The user's home folder, empty when it does not exist; the root of the file system.
QString HomeFolder();
QString RootFolder();


// Figures for the benchmark: the peak resident memory so far (KiB; -1 where
// unknown) and the CPU time the process has used.
long PeakMemoryKiB();
double ProcessCpuSeconds();
// The same of another running process (-1 where unknown), for a benchmark
// that watches a child while it runs.
long PeakMemoryKiBOf(qint64 pid);
double CpuSecondsOf(qint64 pid);

// SIGINT and SIGTERM (Ctrl+C, a service stop) call `handler` on the event
// loop, never inside the signal itself; a second one ends the process at
// once with exit code 130. Needs a QCoreApplication.
void OnStopSignal(std::function<void()> handler);
// True when standard error is a terminal a person watches (not a pipe or a file).
bool StandardErrorIsTerminal();
// A child process that ends with this one, however this one ends.
void EndWithParent(QProcess& child);

// Ends the program at once: no further events run. Tests install a handler that
// throws, so the caller's remaining steps are skipped there as well.
[[noreturn]] void EndProgram(int exitCode = 0);
void SetEndProgramHandler(std::function<void(int)> handler);

}  // namespace platform
