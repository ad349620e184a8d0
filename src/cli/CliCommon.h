// Shared pieces of the batch tool: the command table, file choice and JSON number helpers.
#pragma once

#include <functional>
#include <optional>

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include "desktop/Cell.h"
#include "desktop/Settings.h"
#include "desktop/Table.h"
#include "truss/TrussFile.h"

namespace ardela {
struct TrussModel;
}

namespace ardela::cli {

// One sub-command: its name, a one-line summary, its help text and the routine that runs it
// with the arguments after the name; returns the process exit code.
struct Command {
    QString name;
    QString summary;
    QString help;
    std::function<int(const QStringList&)> run;
};

// The commands the tool offers (each source file of the tool adds its own).
QList<Command>& Commands();
struct CommandRegistration {
    explicit CommandRegistration(Command command) { Commands().append(std::move(command)); }
};

// The one analysis file a command takes and which of `known` flags were given. Anything else
// (an unknown option, a second file, no file) is reported on standard error: nullopt, and the
// command exits with kExitUsage.
struct FileArguments {
    QString file;
    QStringList flags;
};
std::optional<FileArguments> ParseFileArguments(const QString& command, const QStringList& args, const QStringList& known);

// The command line as the bytes it was given: every argument decoded for display, and the
// bytes of each kept, so that a file name that is not valid in the locale is still opened as
// the bytes it is. Set once by main.
QStringList SetRawArguments(int argc, char** argv);
// The bytes the user gave for `argument` (its local encoding when main did not see it).
QByteArray NativeName(const QString& argument);

// Reads the analysis file `argument` into the model of `kind`, as the wizard's open routine
// does; on failure says "Could not open analysis file", the name as given and why, and
// returns false.
bool OpenFile(const AnalysisFileKind& kind, const QString& argument);

// The file beside `argument` with its extension replaced by `extension` (".prn"), as bytes.
QByteArray BesideName(const QString& argument, const QByteArray& extension);
// Writes `data` to the file `native` whole or not at all (a new file renamed over the old);
// false with the reason ("a folder is in the way", "Permission denied") in `*reason`.
bool SaveWhole(const QByteArray& native, const QByteArray& data, QString* reason);
// True when Qt can name the file `native` (its bytes read back the same through the locale).
bool NameableByQt(const QByteArray& native);
// Renames `from` to `to`, both bytes; false with the reason.
bool RenameBytes(const QByteArray& from, const QByteArray& to, QString* reason);
// A name given as bytes, for messages.
QString Shown(const QByteArray& native);
// The analysis file `argument` as an absolute name for output (a name that is not valid in the
// locale shows its undecodable bytes as replacement characters).
QString AbsoluteShown(const QString& argument);

// A single as the shortest decimal that reads back as the same single.
QJsonValue SingleToJson(float value);
QJsonValue DoubleToJson(double value);
// A cell as {"kind": ..., "value": ...}.
QJsonValue CellToJson(const Cell& cell);
// The 14 drawing settings as {"TextHeight": cell, ...}.
QJsonObject SettingsJson(const SettingsArray& settings);

// Rows 1 to `count` of a table as JSON: each row an array of its cells from `firstColumn` to
// `lastColumn`, or the bare cell when that is a single column.
template <int Columns>
QJsonArray RowsJson(const Table<Columns>& table, int count, int firstColumn = 1, int lastColumn = Columns)
{
    QJsonArray rows;
    for (int r = 1; r <= count; ++r) {
        QJsonArray row;
        for (int c = firstColumn; c <= lastColumn; ++c)
            row.append(CellToJson(table(r, c)));
        rows.append(lastColumn == firstColumn ? row.first() : QJsonValue(row));
    }
    return rows;
}

// Solves the truss and checks its balance; a failure says why on standard error, an
// unreliable solution is warned about there. False when it could not be solved.
bool SolveChecked(TrussModel& model);

// Writes text to standard output / standard error.
void Out(const QString& text);
void Err(const QString& text);

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

} // namespace ardela::cli
