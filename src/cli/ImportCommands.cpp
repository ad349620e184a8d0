// ardela import: a truss made from the lines of one layer of a DXF drawing, saved as an analysis
// file; supports from the points of another layer when asked.
#include <cmath>
#include <optional>

#include <QLocale>

#include "cli/CliCommon.h"
#include "cli/DrawingLines.h"
#include "desktop/Error.h"
#include "desktop/Settings.h"
#include "truss/TrussFile.h"
#include "truss/TrussFromLines.h"
#include "truss/TrussModel.h"

namespace ardela::cli {

namespace {

struct ImportArguments {
    QString drawing;
    QString out;
    QString layer;
    QString supports;
    double area = 0.0;
    double modulus = 0.0;
    double tolerance = kDefaultLineTolerance;
};

// A number as given on the command line: with a decimal point, or the locale's separator.
std::optional<double> Number(const QString& text)
{
    bool ok = false;
    double v = QLocale::c().toDouble(text, &ok);
    if (!ok)
        v = QLocale::system().toDouble(text, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<ImportArguments> Parse(const QStringList& args)
{
    ImportArguments a;
    bool haveArea = false;
    bool haveModulus = false;
    QStringList files;
    auto usage = [](const QString& what) {
        Err(QStringLiteral("ardela import: %1\nusage: ardela import DRAWING.dxf --layer NAME --area A --modulus E OUT.krn "
                           "[--tolerance T] [--supports LAYER]\n").arg(what));
        return std::nullopt;
    };
    for (qsizetype k = 0; k < args.size(); ++k) {
        const QString& arg = args[k];
        if (!arg.startsWith(QLatin1String("--"))) {
            files << arg;
            continue;
        }
        if (k + 1 >= args.size())
            return usage(QStringLiteral("%1 needs a value").arg(arg));
        const QString value = args[++k];
        if (arg == QLatin1String("--layer")) {
            a.layer = value;
        } else if (arg == QLatin1String("--supports")) {
            a.supports = value;
        } else if (arg == QLatin1String("--area") || arg == QLatin1String("--modulus") || arg == QLatin1String("--tolerance")) {
            const std::optional<double> v = Number(value);
            const bool tolerance = arg == QLatin1String("--tolerance");
            if (!v || (tolerance ? *v < 0.0 : *v <= 0.0))
                return usage(QStringLiteral("%1 takes a %2 number, not \"%3\"").arg(arg, tolerance ? QStringLiteral("non-negative") : QStringLiteral("positive"), value));
            (arg == QLatin1String("--area") ? a.area : arg == QLatin1String("--modulus") ? a.modulus : a.tolerance) = *v;
            haveArea |= arg == QLatin1String("--area");
            haveModulus |= arg == QLatin1String("--modulus");
        } else {
            return usage(QStringLiteral("unknown option %1").arg(arg));
        }
    }
    if (files.size() != 2)
        return usage(QStringLiteral("a drawing and an analysis file to write are needed"));
    if (a.layer.isEmpty())
        return usage(QStringLiteral("--layer names the layer of the truss's lines"));
    if (!haveArea || !haveModulus)
        return usage(QStringLiteral("--area and --modulus give the section of the bars"));
    a.drawing = files[0];
    a.out = files[1];
    return a;
}

// One support row, held in x and y, for every point of the supports layer; each point must fall
// on a node within the merge distance. Throws ModelError naming a point that does not.
int AddSupports(TrussModel& model, const std::vector<std::array<double, 2>>& points, double tolerance, const QString& layer)
{
    std::vector<bool> held(static_cast<std::size_t>(model.NodeCount) + 1, false);
    std::vector<int> rows;
    for (std::size_t k = 0; k < points.size(); ++k) {
        int node = 0;
        for (int n = 1; n <= model.NodeCount && node == 0; ++n)
            if (std::hypot(model.Nodes(n, 1).ToDouble() - points[k][0], model.Nodes(n, 2).ToDouble() - points[k][1]) <= tolerance)
                node = n;
        if (node == 0)
            throw ModelError(QStringLiteral("point %1 at (%2, %3) on layer %4 is at no node of the truss.")
                                 .arg(k + 1).arg(points[k][0], 0, 'g', 10).arg(points[k][1], 0, 'g', 10).arg(layer));
        if (!held[static_cast<std::size_t>(node)]) {
            held[static_cast<std::size_t>(node)] = true;
            rows.push_back(node);
        }
    }
    if (model.BlockCount + int(rows.size()) > kTableRows)
        throw ModelError(QStringLiteral("more supports than the %1 rows of the support table.").arg(kTableRows));
    for (int node : rows)
        AddSupport(model, node, 1, 1);
    return int(rows.size());
}

int Import(const QStringList& args)
{
    const std::optional<ImportArguments> a = Parse(args);
    if (!a)
        return kExitUsage;
    TrussModel model;
    SettingsArray settings;
    LoadSettings(settings);
    LinesAdded added;
    int supports = 0;
    std::size_t lineCount = 0;
    try {
        const DrawingLines drawing = ReadDrawingLines(NativeName(a->drawing), a->layer, a->supports);
        if (drawing.lines.empty()) {
            Err(QStringLiteral("ardela import: there are no lines on layer %1 of %2 (layers with lines: %3)\n")
                    .arg(a->layer, a->drawing,
                         drawing.layersWithLines.isEmpty() ? QStringLiteral("none") : drawing.layersWithLines.join(QStringLiteral(", "))));
            return kExitFailed;
        }
        lineCount = drawing.lines.size();
        added = AddLinesToModel(model, drawing.lines, float(a->area), float(a->modulus), a->tolerance);
        if (!a->supports.isEmpty()) {
            if (drawing.points.empty())
                throw ModelError(QStringLiteral("there are no points on layer %1 to take supports from.").arg(a->supports));
            supports = AddSupports(model, drawing.points, added.tolerance, a->supports);
        }
    } catch (const ModelError& error) {
        Err(QStringLiteral("ardela import: %1: %2\n").arg(a->drawing, error.Text()));
        return kExitFailed;
    }

    QString reason;
    try {
        if (SaveWhole(NativeName(a->out), WriteTrussFile(model, settings), &reason)) {
            Out(QStringLiteral("%1 node(s) and %2 bar(s) from %3 line(s) on layer %4 (%5 cut where other lines end on them; "
                               "ends within %6 merged)")
                    .arg(added.nodes).arg(added.bars).arg(lineCount).arg(a->layer).arg(added.splitLines)
                    .arg(added.tolerance, 0, 'g', 3));
            if (!a->supports.isEmpty())
                Out(QStringLiteral(", %1 support(s) held in x and y from layer %2").arg(supports).arg(a->supports));
            Out(QStringLiteral("; written to %1\n").arg(a->out));
            return kExitOk;
        }
    } catch (const ModelError& error) {
        reason = error.Text();
    }
    Err(QStringLiteral("ardela import: %1 could not be written: %2\n").arg(a->out, reason));
    return kExitFailed;
}

const CommandRegistration kImport{{
    QStringLiteral("import"),
    QStringLiteral("make a truss from the lines of one layer of a DXF drawing"),
    QStringLiteral("usage: ardela import DRAWING.dxf --layer NAME --area A --modulus E OUT.krn\n"
                   "                    [--tolerance T] [--supports LAYER]\n\n"
                   "Reads the LINE, LWPOLYLINE and POLYLINE entities on layer NAME of the model space\n"
                   "of DRAWING.dxf (blocks are not exploded) and writes the truss they describe as the\n"
                   "analysis file OUT.krn: a node at every distinct line end, ends closer than T times\n"
                   "the size of the lines' box taken as one (T = 1e-6 unless given), and a bar of area\n"
                   "A (cm2) and modulus E (daN/cm2) for every line, cut where another line ends on it.\n"
                   "Nodes are numbered along the longer side of the box. With --supports, every POINT\n"
                   "on LAYER makes the node it lies on a support held in x and y. Duplicate bars,\n"
                   "zero-length lines, arcs and more than 1024 nodes or bars are refused, and then\n"
                   "nothing is written. The drawing options stored in the file are the user's.\n"
                   "Exit status 0 on success, 1 on a failure (said on standard error), 2 on a usage\n"
                   "error.\n"),
    Import,
}};

} // namespace

} // namespace ardela::cli
