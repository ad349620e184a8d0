// ardela solve / ardela dump: a saved truss re-run in batch, or shown whole as JSON.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "truss/TrussFile.h"
#include "cli/CliCommon.h"
#include "desktop/AnsiCodec.h"
#include "desktop/Error.h"
#include "desktop/modMessage.h"
#include "desktop/Settings.h"
#include "truss/TrussModel.h"
#include "truss/TrussReport.h"
#include "truss/TrussSolver.h"

namespace ardela::cli {

// The plane-stress dump (StressCommands.cpp).
int DumpPlaneStress(const QString& path);

namespace {

// Opens FILE with the routine the wizard uses, into the program-wide model and settings.
bool OpenTruss(const QString& path)
{
    return OpenFile(TrussFileKind(Truss(), Settings()), path);
}

QJsonObject SolutionJson(const TrussModel& m)
{
    QJsonArray lengths, forces, reactions, displacements;
    for (int e = 1; e <= m.ElementCount; ++e) {
        lengths.append(DoubleToJson(m.Elements(e, 5).ToDouble()));
        forces.append(DoubleToJson(m.Elements(e, 6).ToDouble()));
    }
    for (int b = 1; b <= m.BlockCount; ++b)
        reactions.append(QJsonArray{DoubleToJson(m.Blocks(b, 4).ToDouble()), DoubleToJson(m.Blocks(b, 5).ToDouble())});
    for (int n = 1; n <= m.NodeCount; ++n)
        displacements.append(QJsonArray{SingleToJson(m.Displacements[std::size_t(2 * n - 2)]),
                                        SingleToJson(m.Displacements[std::size_t(2 * n - 1)])});
    QJsonObject sums;
    sums.insert(QStringLiteral("plus"), SingleToJson(m.SumPlus));
    sums.insert(QStringLiteral("minus"), SingleToJson(m.SumMinus));
    sums.insert(QStringLiteral("total"), SingleToJson(m.SumTotal));
    QJsonObject o;
    o.insert(QStringLiteral("lengths"), lengths);
    o.insert(QStringLiteral("forces"), forces);
    o.insert(QStringLiteral("reactions"), reactions);
    o.insert(QStringLiteral("displacements"), displacements);
    o.insert(QStringLiteral("checksums"), sums);
    o.insert(QStringLiteral("equilibrium"), DoubleToJson(EquilibriumResidual(m)));
    return o;
}

// The report beside the analysis file, as the wizard writes it; a failure gives the fixed
// message, then the report's name and why.
bool WriteReportBeside(const TrussModel& model, const QString& argument)
{
    const QByteArray target = BesideName(argument, ".prn");
    QString reason;
    try {
        if (SaveWhole(target, ToAnsi(ReportText(model)), &reason))
            return true;
    } catch (const ModelError& error) {
        reason = error.Text();
    }
    ShowMessage(ReportFailureMessage() + QStringLiteral(": ") + Shown(target) + QStringLiteral(": ") + reason, MsgCritical);
    return false;
}

int Solve(const QStringList& args)
{
    const std::optional<FileArguments> parsed = ParseFileArguments(QStringLiteral("solve"), args, {QStringLiteral("--json")});
    if (!parsed)
        return kExitUsage;
    const QString& file = parsed->file;
    const bool json = parsed->flags.contains(QLatin1String("--json"));
    if (!OpenTruss(file))
        return kExitFailed;
    TrussModel& model = Truss();
    if (!SolveChecked(model))
        return kExitFailed;
    if (!WriteReportBeside(model, file))
        return kExitFailed;
    if (json)
        Out(QString::fromUtf8(QJsonDocument(SolutionJson(model)).toJson(QJsonDocument::Compact)) + u'\n');
    return kExitOk;
}

int Dump(const QStringList& args)
{
    if (args.size() != 1 || args[0].startsWith(u'-')) {
        Err(QStringLiteral("ardela dump: give exactly one analysis file (see ardela dump --help)\n"));
        return kExitUsage;
    }
    if (args[0].endsWith(QLatin1String(".vdl"), Qt::CaseInsensitive))
        return DumpPlaneStress(args[0]);
    if (!OpenTruss(args[0]))
        return kExitFailed;
    const TrussModel& m = Truss();
    QJsonObject counts;
    counts.insert(QStringLiteral("nodes"), m.NodeCount);
    counts.insert(QStringLiteral("elements"), m.ElementCount);
    counts.insert(QStringLiteral("blocks"), m.BlockCount);
    counts.insert(QStringLiteral("loads"), m.LoadCount);
    QJsonObject o;
    o.insert(QStringLiteral("file"), AbsoluteShown(args[0]));
    o.insert(QStringLiteral("counts"), counts);
    o.insert(QStringLiteral("nodes"), RowsJson(m.Nodes, m.NodeCount));
    o.insert(QStringLiteral("elements"), RowsJson(m.Elements, m.ElementCount));
    o.insert(QStringLiteral("blocks"), RowsJson(m.Blocks, m.BlockCount));
    o.insert(QStringLiteral("loads"), RowsJson(m.Loads, m.LoadCount));
    o.insert(QStringLiteral("settings"), SettingsJson(Settings()));
    Out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
    return kExitOk;
}

const CommandRegistration solveCommand({
    QStringLiteral("solve"),
    QStringLiteral("solve a saved truss and write its report beside it"),
    QStringLiteral(
        "usage: ardela solve FILE.krn [--json]\n"
        "\n"
        "Opens FILE.krn as Korrin does, solves the truss and writes the report beside the file\n"
        "(FILE.prn). The analysis file itself is never modified.\n"
        "  --json  also print the solution on standard output: bar lengths and forces, support\n"
        "          reactions [rx, ry], nodal displacements [x, y] (y positive downward) and the\n"
        "          checksums, and \"equilibrium\": the largest out-of-balance nodal force relative\n"
        "          to the largest load or bar force (about 1e-6 for a sound solution).\n"
        "A solution out of balance by more than 0.1% is reported on standard error as a warning.\n"
        "Exit status: 0 solved and reported, 1 the file, the analysis or the report failed\n"
        "(the message goes to standard error), 2 wrong arguments.\n"),
    Solve,
});

const CommandRegistration dumpCommand({
    QStringLiteral("dump"),
    QStringLiteral("print a saved truss or plane-stress analysis as JSON"),
    QStringLiteral(
        "usage: ardela dump FILE.krn | FILE.vdl\n"
        "\n"
        "Prints the whole model as JSON: the counts, the live rows of the four tables with each\n"
        "cell's kind and value, and the 14 drawing settings the file carries. A .vdl file gives\n"
        "the vertical and horizontal gridlines, subdomains, constrained lines and loads.\n"),
    Dump,
});

} // namespace

} // namespace ardela::cli
