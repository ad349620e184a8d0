// RunAndWait: starts a program and waits for it, asking every 20 seconds whether to go on waiting.
#pragma once

#include <functional>

#include <QString>

namespace ardela {

// Starts `commandLine` (the program path, quoted when it holds blanks, and its arguments) in
// `workingFolder` (the current folder when empty) with the caller's environment, and waits for it
// in slices of 1000 ms without dispatching window events. Unless `noTimeLimit`, after 20 seconds
// without an end it asks whether to wait on; No ends the program. True when the program ended,
// whatever its exit code; false when the user gave up or the program could not be started (a
// message names it). `showNormally` chooses the window state where the platform has one.
// `crashed`, when given, tells whether the program that ended was ended by a crash (a signal)
// rather than by its own exit.
bool RunAndWait(const QString& commandLine, bool showNormally, bool noTimeLimit,
                const QString& workingFolder = QString(), bool* crashed = nullptr);

// The message after No at the 20-second question: the program was stopped, nothing more.
QString StoppedWaitingMessage(const QString& programName);

// The program's file name as the messages name it: the first word of the command line after
// its last path separator.
QString ProgramFileName(const QString& commandLine);

// The clock RunAndWait measures the 20 seconds with, in milliseconds; tests install a fast one.
// An empty clock restores the steady clock. Returns the previous clock.
using ShellClock = std::function<qint64()>;
ShellClock SetShellClock(ShellClock clock);

} // namespace ardela
