// Shared pieces of the batch tool.
#include "cli/CliCommon.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
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

namespace {

QHash<QString, QByteArray>& RawNames()
{
    static QHash<QString, QByteArray> names;
    return names;
}

// True when the bytes read back the same through the locale's decoding: Qt can name the file.
bool RoundTrips(const QByteArray& native)
{
    return QFile::encodeName(QFile::decodeName(native)) == native;
}

QString ErrnoText(int error)
{
    if (error == EISDIR)
        return QStringLiteral("a folder is in the way");
    if (error == ENOENT)
        return QStringLiteral("no such file or folder");
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QStringList SetRawArguments(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        const QByteArray native(argv[i]);
        const QString decoded = QFile::decodeName(native);
        RawNames().insert(decoded, native);
        args.append(decoded);
    }
    return args;
}

QByteArray NativeName(const QString& argument)
{
    return RawNames().value(argument, QFile::encodeName(argument));
}

QString Shown(const QByteArray& native)
{
    return QFile::decodeName(native);
}

bool NameableByQt(const QByteArray& native)
{
    return RoundTrips(native);
}

bool RenameBytes(const QByteArray& from, const QByteArray& to, QString* reason)
{
    if (::rename(from.constData(), to.constData()) == 0)
        return true;
    *reason = ErrnoText(errno);
    return false;
}

QString AbsoluteShown(const QString& argument)
{
    return QFileInfo(Shown(NativeName(argument))).absoluteFilePath();
}

bool OpenFile(const AnalysisFileKind& kind, const QString& argument)
{
    const QByteArray native = NativeName(argument);
    QString path = QFileInfo(QFile::decodeName(native)).absoluteFilePath();
    if (!RoundTrips(native)) {
        // Qt cannot name these bytes: the file is opened by them and read through its descriptor,
        // which stays open for the run.
        struct stat info {};
        if (::stat(native.constData(), &info) != 0) {
            ShowMessage(AnalysisFileFailureMessage() + QStringLiteral(": ") + Shown(native) + QStringLiteral(": ")
                            + (errno == ENOENT ? QStringLiteral("no such file") : ErrnoText(errno)),
                        MsgCritical);
            return false;
        }
        const int fd = S_ISREG(info.st_mode) ? ::open(native.constData(), O_RDONLY | O_CLOEXEC) : -1;
        if (fd >= 0)
            path = QStringLiteral("/proc/self/fd/%1").arg(fd);
    }
    try {
        ReadAnalysisFile(kind, path);
        return true;
    } catch (const ModelError& error) {
        // The reason names the file as the user gave it.
        QString reason = error.Text();
        if (reason.startsWith(path + QStringLiteral(": ")))
            reason = Shown(native) + reason.mid(path.size());
        ShowMessage(AnalysisFileFailureMessage() + QStringLiteral(": ") + reason, MsgCritical);
        return false;
    }
}

QByteArray BesideName(const QString& argument, const QByteArray& extension)
{
    const QByteArray native = NativeName(argument);
    const qsizetype slash = native.lastIndexOf('/');
    const qsizetype dot = native.lastIndexOf('.');
    return (dot > slash + 1 ? native.left(dot) : native) + extension;
}

bool SaveWhole(const QByteArray& native, const QByteArray& data, QString* reason)
{
    struct stat info {};
    if (::stat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode)) {
        *reason = ErrnoText(EISDIR);
        return false;
    }
    const qsizetype slash = native.lastIndexOf('/');
    QByteArray temp = (slash >= 0 ? native.left(slash + 1) : QByteArray()) + ".ardela-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        *reason = ErrnoText(errno);
        return false;
    }
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, std::size_t(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    const int writeError = written == data.size() ? 0 : (errno ? errno : EIO);
    if (writeError != 0 || ::fchmod(fd, 0644) != 0 || ::close(fd) != 0) {
        *reason = ErrnoText(writeError ? writeError : errno);
        ::unlink(temp.constData());
        return false;
    }
    if (::rename(temp.constData(), native.constData()) != 0) {
        *reason = ErrnoText(errno);
        ::unlink(temp.constData());
        return false;
    }
    return true;
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
