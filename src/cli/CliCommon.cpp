// Shared pieces of the batch tool.
#include "cli/CliCommon.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include <QFileInfo>
#include <QJsonObject>

#include "desktop/Error.h"
#include "truss/TrussSolver.h"
#include "desktop/modMessage.h"

namespace ardela::cli {

QList<Command>& Commands()
{
    static QList<Command> commands;
    return commands;
}

std::optional<FileArguments> ParseFileArguments(const QString& command, const QStringList& args, const QStringList& known)
{
    FileArguments parsed;
    for (const QString& a : args) {
        if (known.contains(a)) {
            parsed.flags.append(a);
        } else if (a.startsWith(u'-') || !parsed.file.isEmpty()) {
            Err(QStringLiteral("ardela %1: unexpected argument \"%2\"\n").arg(command, a));
            return std::nullopt;
        } else {
            parsed.file = a;
        }
    }
    if (parsed.file.isEmpty()) {
        Err(QStringLiteral("ardela %1: no analysis file given (see ardela %1 --help)\n").arg(command));
        return std::nullopt;
    }
    return parsed;
}

bool OpenFile(const AnalysisFileKind& kind, const QString& path)
{
    try {
        ReadAnalysisFile(kind, QFileInfo(path).absoluteFilePath());
        return true;
    } catch (const ModelError& error) {
        ShowMessage(AnalysisFileFailureMessage() + QStringLiteral(": ") + error.Text(), MsgCritical);
        return false;
    }
}

QJsonValue DoubleToJson(double value)
{
    if (!std::isfinite(value))
        return QJsonValue(QString::number(value));
    return QJsonValue(value);
}

QJsonValue SingleToJson(float value)
{
    if (!std::isfinite(value))
        return QJsonValue(QString::number(value));
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    double shortest = 0.0;
    std::from_chars(buf, res.ptr, shortest);
    return QJsonValue(shortest);
}

QJsonValue CellToJson(const Cell& cell)
{
    QJsonObject o;
    o.insert(QStringLiteral("kind"), QString::fromLatin1(KindName(cell.GetKind())));
    switch (cell.GetKind()) {
    case Cell::Kind::Empty: break;
    case Cell::Kind::Int16: o.insert(QStringLiteral("value"), int(cell.Int16Value())); break;
    case Cell::Kind::Int32: o.insert(QStringLiteral("value"), int(cell.Int32Value())); break;
    case Cell::Kind::Single: o.insert(QStringLiteral("value"), SingleToJson(cell.SingleValue())); break;
    case Cell::Kind::Double: o.insert(QStringLiteral("value"), DoubleToJson(cell.DoubleValue())); break;
    case Cell::Kind::Bool: o.insert(QStringLiteral("value"), cell.BoolValue()); break;
    case Cell::Kind::Text: o.insert(QStringLiteral("value"), cell.TextValue()); break;
    }
    return o;
}

QJsonObject SettingsJson(const SettingsArray& settings)
{
    QJsonObject o;
    for (std::size_t i = 0; i < kSettingCount; ++i)
        o.insert(SettingKeys()[i], CellToJson(settings[i]));
    return o;
}

void Out(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void Err(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

bool SolveChecked(TrussModel& model)
{
    QString detail;
    const CheckedSolution solution = SolveTrussChecked(model, &detail);
    if (!solution.solved) {
        if (!detail.isEmpty())
            Err(QStringLiteral("(%1)\n").arg(detail));
        return false;
    }
    if (solution.Unreliable())
        Err(QStringLiteral("warning: ") + UnreliableSolutionWarning(solution.residual) + u'\n');
    return true;
}

} // namespace ardela::cli
