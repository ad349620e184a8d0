// Writing "datein", reading "dateout.dat", and where the exchange files and the solver live.
#include "stress_wizard/SolverFiles.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>

#include "desktop/Error.h"
#include "stress_wizard/StressModel.h"
#include "desktop/modLocale.h"
#include "desktop/modMessage.h"
#include "desktop/modShell.h"

namespace ardela {

namespace {

// The largest mesh the gridline tables describe.
constexpr qint64 kMostElements = qint64(kTableRows - 1) * qint64(kTableRows - 1);

// The number form: rounded to one decimal in the user's locale, without grouping, then turned
// into the file form (point as separator) by FormatField.
QString NumberForm(const Cell& cell, const QString& where)
{
    double value = 0.0;
    try {
        value = cell.ToDouble();
    } catch (const ModelError& error) {
        throw ModelError(QStringLiteral("%1: %2").arg(where, error.Text()));
    }
    if (!std::isfinite(value))
        throw ModelError(cell.GetKind() == Cell::Kind::Text
                             ? QStringLiteral("%1: '%2' is not a number").arg(where, cell.ToText())
                             : QStringLiteral("%1: %2 is not a finite number").arg(where, cell.ToText()));
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return FormatField(locale.toString(value, 'f', 1), 0);
}

// A force cell: empty, or a text of blanks only, is no force.
double ForceValue(const Cell& cell)
{
    if (cell.GetKind() == Cell::Kind::Text && cell.TextValue().trimmed().isEmpty())
        return 0.0;
    return cell.ToDouble();
}

// Values followed by commas, `perLine` to a line (the last line may be shorter).
void AppendValues(QString& out, const QStringList& values, int perLine)
{
    for (qsizetype k = 0; k < values.size(); ++k) {
        out += values[k] + u',';
        if ((k + 1) % perLine == 0 || k + 1 == values.size())
            out += QStringLiteral("\r\n");
    }
}

bool IsSeparator(char c)
{
    return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Free-form values of the result text, each checked to be a whole number. `what` describes the
// value for a message and is only called when something is wrong.
class ResultReader {
public:
    explicit ResultReader(const QByteArray& text) : m_begin(text.constData()), m_end(text.constData() + text.size()) {}

    template <typename Describe>
    std::string_view Next(const Describe& what)
    {
        while (m_pos < m_end - m_begin && IsSeparator(m_begin[m_pos]))
            ++m_pos;
        if (m_pos == m_end - m_begin)
            throw ModelError(QStringLiteral("the result file ends before %1").arg(what()));
        const qsizetype start = m_pos;
        while (m_pos < m_end - m_begin && !IsSeparator(m_begin[m_pos]))
            ++m_pos;
        return std::string_view(m_begin + start, std::size_t(m_pos - start));
    }

    template <typename Describe>
    double Number(const Describe& what)
    {
        std::string_view t = Next(what);
        const std::string_view original = t;
        if (!t.empty() && t.front() == '+')
            t.remove_prefix(1);
        double value = 0;
        const auto res = std::from_chars(t.data(), t.data() + t.size(), value);
        if (t.empty() || t.front() == '+' || res.ec != std::errc() || res.ptr != t.data() + t.size() || !std::isfinite(value))
            throw ModelError(QStringLiteral("%1 \"%2\" is not a number")
                                 .arg(what(), QString::fromLatin1(original.data(), qsizetype(original.size()))));
        return value;
    }

    template <typename Describe>
    float Single(const Describe& what)
    {
        const double value = Number(what);
        if (std::fabs(value) > double(std::numeric_limits<float>::max()))
            throw ModelError(QStringLiteral("%1 is outside the single-precision range").arg(what()));
        return static_cast<float>(value);
    }

    bool AtEnd()
    {
        while (m_pos < m_end - m_begin && IsSeparator(m_begin[m_pos]))
            ++m_pos;
        return m_pos == m_end - m_begin;
    }

private:
    const char* m_begin;
    const char* m_end;
    qsizetype m_pos = 0;
};

} // namespace

QByteArray FormatSolverInput(const StressModel& m)
{
    // F: the non-zero force components among the loads in use (an empty cell is zero).
    int forces = 0;
    for (int r = 1; r <= m.NodalLoadCount; ++r)
        forces += (ForceValue(m.NodalLoads(r, 3)) != 0.0) + (ForceValue(m.NodalLoads(r, 4)) != 0.0);

    QString out;
    out += QStringLiteral("%1,%2,%3,%4,%5,\r\n")
               .arg(m.VertCount)
               .arg(m.HorzCount)
               .arg(m.DomainCount)
               .arg(m.LineCount)
               .arg(forces);
    for (int column = 1; column <= 2; ++column) {
        QStringList values;
        const int count = column == 1 ? m.VertCount : m.HorzCount;
        for (int r = 1; r <= count; ++r)
            values.append(NumberForm(m.GridLines(r, column), QStringLiteral("gridlines, row %1, Coord %2").arg(r).arg(column == 1 ? u'x' : u'y')));
        AppendValues(out, values, 8);
    }
    // The subdomain line takes the table's columns in the order 1, 3, 4, 2, 5, 6, 7.
    for (int r = 1; r <= m.DomainCount; ++r) {
        QStringList values;
        for (const int c : {1, 3, 4, 2, 5, 6, 7})
            values.append(NumberForm(m.Domains(r, c), QStringLiteral("subdomains, row %1, %2").arg(r).arg(DomainHeadings()[std::size_t(c - 1)])));
        AppendValues(out, values, 7);
    }
    for (int r = 1; r <= m.LineCount; ++r) {
        QStringList values;
        for (int c = 1; c <= 4; ++c)
            values.append(NumberForm(m.ConstrainedLines(r, c), QStringLiteral("constrained lines, row %1, %2").arg(r).arg(LineHeadings()[std::size_t(c - 1)])));
        values.append(FormatField(m.ConstrainedLines(r, 5).ToText(), 0));
        AppendValues(out, values, 5);
    }
    for (int r = 1; r <= m.NodalLoadCount; ++r) {
        const auto where = [r](const char* field) { return QStringLiteral("loads, row %1, %2").arg(r).arg(QLatin1String(field)); };
        const QString x = NumberForm(m.NodalLoads(r, 1), where("Coord x"));
        const QString y = NumberForm(m.NodalLoads(r, 2), where("Coord y"));
        for (const int direction : {1, 2}) {
            const Cell& force = m.NodalLoads(r, 2 + direction);
            if (ForceValue(force) != 0.0)
                AppendValues(out, {x, y, QString::number(direction), NumberForm(force, where(direction == 1 ? "Fx" : "Fy"))}, 4);
        }
    }
    return out.toLatin1();
}

bool WriteSolverInput(const StressModel& model, const QString& folder)
{
    const QDir dir(folder);
    for (const QString& name : {kSolverInputName, kSolverListingName, kSolverResultsName}) {
        const QString path = dir.filePath(name);
        if (QFileInfo::exists(path) && !QFile::remove(path))
            ShowMessage(QStringLiteral("Could not delete ") + name + QStringLiteral(".") + kCrLf
                            + QStringLiteral("Please exit the aplication and try again."),
                        MsgCritical);
    }
    try {
        const QByteArray text = FormatSolverInput(model);
        QSaveFile file(dir.filePath(kSolverInputName));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
            throw ModelError(QStringLiteral("cannot write %1").arg(file.fileName()));
        return true;
    } catch (const ModelError& error) {
        ShowMessage(WithCause(QStringLiteral("An error has ocurred creating the file.") + kCrLf
                                  + QStringLiteral("Please go back and revise your data"),
                              error.Text()),
                    MsgCritical);
        return false;
    }
}

void ParseSolverResults(const QByteArray& text, std::vector<std::array<float, 2>>& points,
                        std::vector<std::array<float, 3>>& values)
{
    ResultReader in(text);
    const double n = in.Number([] { return QStringLiteral("the element count"); });
    if (n != std::floor(n) || n < 1 || n > double(kMostElements))
        throw ModelError(QStringLiteral("the element count %1 is not between 1 and %2").arg(n).arg(kMostElements));
    const std::size_t count = static_cast<std::size_t>(n);
    std::vector<std::array<float, 2>> p(4 * count);
    std::vector<std::array<float, 3>> v(count);
    for (std::size_t k = 0; k < p.size(); ++k) {
        const auto what = [k] { return QStringLiteral("corner %1 of element %2").arg(k % 4 + 1).arg(k / 4 + 1); };
        p[k][0] = in.Single(what);
        p[k][1] = in.Single(what);
    }
    for (std::size_t k = 0; k < count; ++k) {
        const auto what = [k] { return QStringLiteral("the stresses of element %1").arg(k + 1); };
        for (float& value : v[k])
            value = in.Single(what);
    }
    if (!in.AtEnd())
        throw ModelError(QStringLiteral("the result file holds more values than %1 elements need").arg(count));
    points = std::move(p);
    values = std::move(v);
}

bool ReadSolverResults(StressModel& model, const QString& folder)
{
    try {
        QFile file(QDir(folder).filePath(kSolverResultsName));
        if (!file.open(QIODevice::ReadOnly)) {
            // The solver's own reason, from its listing, says more than a missing file.
            const QString reason = SolverFailureReason(folder);
            throw ModelError(reason.isEmpty() ? QStringLiteral("the solver left no results (%1)").arg(file.errorString())
                                              : QStringLiteral("the solver stress says: %1").arg(reason));
        }
        const QByteArray text = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw ModelError(QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        ParseSolverResults(text, model.StressPoints, model.StressValues);
        return true;
    } catch (const ModelError& e) {
        ResetStressResults(model);
        ShowMessage(QStringLiteral("The results of the analysis could not be read:") + kCrLf + e.Text(), MsgCritical);
    } catch (const std::bad_alloc&) {
        ResetStressResults(model);
        ShowMessage(QStringLiteral("The results of the analysis could not be read:") + kCrLf
                        + QStringLiteral("there is not enough memory"),
                    MsgCritical);
    }
    return false;
}

QString SolverFailureReason(const QString& folder)
{
    QFile listing(QDir(folder).filePath(kSolverListingName));
    if (!listing.open(QIODevice::ReadOnly))
        return QString();
    const QString text = QString::fromLatin1(listing.read(1 << 20));
    static const QString marker = QStringLiteral("The analysis failed: ");
    const qsizetype at = text.indexOf(marker);
    if (at < 0)
        return QString();
    QString reason = text.mid(at + marker.size());
    reason = reason.left(reason.indexOf(u'\r') >= 0 ? reason.indexOf(u'\r') : reason.indexOf(u'\n')).trimmed();
    if (reason.endsWith(u'.'))
        reason.chop(1);
    return reason;
}

bool WriteSolverInput()
{
    const QString folder = ExchangeFolder();
    return !folder.isEmpty() && WriteSolverInput(Stress(), folder);
}

bool ReadSolverResults()
{
    const QString folder = ExchangeFolder();
    return !folder.isEmpty() && ReadSolverResults(Stress(), folder);
}

bool FinishSolverRun(const StressModel& model, const QString& folder)
{
    if (model.AnalysisPath.isEmpty())
        return true;
    const QDir dir(folder);
    bool kept = true;
    const QString listing = dir.filePath(kSolverListingName);
    if (QFileInfo::exists(listing) && !model.AnalysisTitle.isEmpty()) {
        // Beside the analysis file, where the engineer looks for it.
        const qsizetype dot = model.AnalysisTitle.lastIndexOf(u'.');
        const QString copy = QFileInfo(model.AnalysisPath)
                                 .dir()
                                 .filePath((dot >= 0 ? model.AnalysisTitle.left(dot) : model.AnalysisTitle)
                                           + QStringLiteral(".prn"));
        QFile in(listing);
        QSaveFile out(copy);
        QByteArray data;
        kept = in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly);
        if (kept) {
            data = in.readAll();
            kept = in.error() == QFileDevice::NoError && out.write(data) == data.size() && out.commit();
        }
        if (!kept) {
            out.cancelWriting();
            ShowMessage(QStringLiteral("Could not keep the solver listing as ") + copy + QStringLiteral("."), MsgCritical);
            return false;
        }
    }
    for (const QString& name : {kSolverInputName, kSolverListingName, kSolverResultsName})
        QFile::remove(dir.filePath(name));
    return kept;
}

QString ExchangeFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString folder = QDir(base).filePath(QStringLiteral("Ardela/Vendel"));
    if (base.isEmpty() || !QDir().mkpath(folder)) {
        ShowMessage(QStringLiteral("Could not create the working folder ") + folder + QStringLiteral("."), MsgCritical);
        return QString();
    }
    return folder;
}

namespace {

QString& SolverOverride()
{
    static QString program;
    return program;
}

} // namespace

QString SolverProgram()
{
    if (!SolverOverride().isEmpty())
        return SolverOverride();
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("stress"));
}

QString SetSolverProgram(const QString& program)
{
    return std::exchange(SolverOverride(), program);
}

bool RunSolver(const QString& folder, bool noTimeLimit)
{
    QString program = SolverProgram();
    program.replace(u'"', QStringLiteral("\"\"\""));
    bool crashed = false;
    if (!RunAndWait(u'"' + program + u'"', false, noTimeLimit, folder, &crashed))
        return false;
    if (crashed) {
        ShowMessage(QStringLiteral("The results of the analysis could not be read:") + kCrLf
                        + QStringLiteral("the solver stress crashed before it had finished."),
                    MsgCritical);
        return false;
    }
    return true;
}

} // namespace ardela
