// ardela stress / ardela dump FILE.vdl: a saved plane-stress analysis run through `stress` in
// batch, or shown whole as JSON.
#include <charconv>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "truss/TrussFile.h"
#include "cli/CliCommon.h"
#include "desktop/Settings.h"
#include "stress_wizard/SolverFiles.h"
#include "stress_wizard/StressFile.h"
#include "stress_wizard/StressModel.h"

namespace ardela::cli {

namespace {

// Opens FILE with the routine the wizard uses, into the program-wide model and settings.
bool OpenPlaneStress(const QString& path)
{
    return OpenFile(StressFileKind(Stress(), Settings()), path);
}

// Copies the solver's listing to `to` (bytes) whole or not at all; false with the reason.
bool CopyListing(const QString& from, const QByteArray& to, QString* reason)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
        *reason = in.errorString();
        return false;
    }
    return SaveWhole(to, in.readAll(), reason);
}

// A single as the shortest decimal that reads back as the same single.
void AppendSingle(QByteArray& out, float value)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr - buf);
}

// {"elements":[{"corners":[[x,y],...],"s1":..,"s2":..,"angle":..},...]}, written as a stream so
// that a million elements need no document tree.
void PrintResultsJson(const StressModel& m)
{
    QByteArray out = "{\"elements\":[";
    for (std::size_t e = 0; e < m.StressValues.size(); ++e) {
        out += e == 0 ? "{\"corners\":[" : ",{\"corners\":[";
        for (std::size_t k = 0; k < 4; ++k) {
            out += k == 0 ? "[" : ",[";
            AppendSingle(out, m.StressPoints[4 * e + k][0]);
            out += ',';
            AppendSingle(out, m.StressPoints[4 * e + k][1]);
            out += ']';
        }
        out += "],\"s1\":";
        AppendSingle(out, m.StressValues[e][0]);
        out += ",\"s2\":";
        AppendSingle(out, m.StressValues[e][1]);
        out += ",\"angle\":";
        AppendSingle(out, m.StressValues[e][2]);
        out += '}';
        if (out.size() > (1 << 20)) {
            Out(QString::fromLatin1(out));
            out.clear();
        }
    }
    out += "]}\n";
    Out(QString::fromLatin1(out));
}

int RunStress(const QStringList& args)
{
    const std::optional<FileArguments> parsed = ParseFileArguments(QStringLiteral("stress"), args, {QStringLiteral("--json")});
    if (!parsed)
        return kExitUsage;
    const QString& file = parsed->file;
    const bool json = parsed->flags.contains(QLatin1String("--json"));
    if (!OpenPlaneStress(file))
        return kExitFailed;
    QTemporaryDir folder;
    if (!folder.isValid()) {
        Err(QStringLiteral("ardela stress: cannot create a working folder: %1\n").arg(folder.errorString()));
        return kExitFailed;
    }
    StressModel& model = Stress();
    if (!WriteSolverInput(model, folder.path()) || !RunSolver(folder.path(), true))
        return kExitFailed;
    const QString listing = QDir(folder.path()).filePath(kSolverListingName);
    const QByteArray prn = BesideName(file, ".prn");
    QString reason;
    if (QFileInfo::exists(listing) && !CopyListing(listing, prn, &reason)) {
        Err(QStringLiteral("ardela stress: cannot write the listing %1: %2\n").arg(Shown(prn), reason));
        return kExitFailed;
    }
    if (!ReadSolverResults(model, folder.path()))
        return kExitFailed;
    if (json)
        PrintResultsJson(model);
    return kExitOk;
}

const CommandRegistration stressCommand({
    QStringLiteral("stress"),
    QStringLiteral("run a saved plane-stress analysis through the solver"),
    QStringLiteral(
        "usage: ardela stress FILE.vdl [--json]\n"
        "\n"
        "Opens FILE.vdl as Vendel does, writes the solver input into a fresh temporary folder,\n"
        "runs `stress` (found beside this program) there without a time limit, reads its results\n"
        "and writes its listing beside the file (FILE.prn). The analysis file is never modified.\n"
        "  --json  also print the results on standard output:\n"
        "          {\"elements\":[{\"corners\":[[x,y] x 4],\"s1\":..,\"s2\":..,\"angle\":..},..]}\n"
        "          corners in the order (x0,y0), (x1,y0), (x0,y1), (x1,y1); s1 >= s2; the angle of\n"
        "          s1 from the x axis in degrees, in (-90, 90].\n"
        "Exit status: 0 solved, 1 the file, the analysis or the results failed (the reason goes\n"
        "to standard error and, for a failed analysis, into FILE.prn), 2 wrong arguments.\n"),
    RunStress,
});

} // namespace

// ardela dump for a plane-stress file: counts, the rows in use of every table, the settings.
int DumpPlaneStress(const QString& path)
{
    if (!OpenPlaneStress(path))
        return kExitFailed;
    const StressModel& m = Stress();
    QJsonObject counts;
    counts.insert(QStringLiteral("vertical"), m.VertCount);
    counts.insert(QStringLiteral("horizontal"), m.HorzCount);
    counts.insert(QStringLiteral("domains"), m.DomainCount);
    counts.insert(QStringLiteral("lines"), m.LineCount);
    counts.insert(QStringLiteral("loads"), m.NodalLoadCount);
    QJsonObject o;
    o.insert(QStringLiteral("file"), AbsoluteShown(path));
    o.insert(QStringLiteral("counts"), counts);
    o.insert(QStringLiteral("vertical"), RowsJson(m.GridLines, m.VertCount, 1, 1));
    o.insert(QStringLiteral("horizontal"), RowsJson(m.GridLines, m.HorzCount, 2, 2));
    o.insert(QStringLiteral("domains"), RowsJson(m.Domains, m.DomainCount));
    o.insert(QStringLiteral("lines"), RowsJson(m.ConstrainedLines, m.LineCount));
    o.insert(QStringLiteral("loads"), RowsJson(m.NodalLoads, m.NodalLoadCount));
    o.insert(QStringLiteral("settings"), SettingsJson(Settings()));
    Out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
    return kExitOk;
}

} // namespace ardela::cli
