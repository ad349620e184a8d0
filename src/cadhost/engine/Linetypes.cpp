// Line type files and the drawing's loaded line types.
#include "cadhost/engine/Linetypes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "cadhost/engine/EngineError.h"

namespace cadhost {

namespace {

QStringList& Folders()
{
    static QStringList folders;
    return folders;
}

// Reads one dash length; the C locale, as line type files always use a point.
double ParseDash(const QString& text, const QString& fileName, int lineNo)
{
    bool ok = false;
    const double v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok)
        throw EngineError(QStringLiteral("%1, line %2: \"%3\" is not a dash length.")
                              .arg(fileName).arg(lineNo).arg(text.trimmed()));
    return v;
}

} // namespace

std::vector<Linetype> ParseLinFile(const QString& text, const QString& fileName)
{
    std::vector<Linetype> result;
    const QStringList lines = text.split(QLatin1Char('\n'));
    bool expectPattern = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        const int lineNo = i + 1;
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('*'))) {
            if (expectPattern)
                throw EngineError(QStringLiteral("%1, line %2: the line type \"%3\" has no pattern line.")
                                      .arg(fileName).arg(lineNo).arg(result.back().name));
            const int comma = line.indexOf(QLatin1Char(','));
            Linetype lt;
            lt.name = (comma < 0 ? line.mid(1) : line.mid(1, comma - 1)).trimmed();
            lt.description = comma < 0 ? QString() : line.mid(comma + 1).trimmed();
            if (lt.name.isEmpty())
                throw EngineError(QStringLiteral("%1, line %2: a line type without a name.").arg(fileName).arg(lineNo));
            result.push_back(lt);
            expectPattern = true;
            continue;
        }
        if (!expectPattern)
            throw EngineError(QStringLiteral("%1, line %2: a pattern line without a \"*name\" line before it.")
                                  .arg(fileName).arg(lineNo));
        if (!line.startsWith(QLatin1String("A,"), Qt::CaseInsensitive))
            throw EngineError(QStringLiteral("%1, line %2: a pattern line must begin with \"A,\".").arg(fileName).arg(lineNo));
        // Complex elements in brackets (text, shapes) are not drawn; their dash stays.
        QString body = line.mid(2);
        for (int open = body.indexOf(QLatin1Char('[')); open >= 0; open = body.indexOf(QLatin1Char('['))) {
            const int close = body.indexOf(QLatin1Char(']'), open);
            if (close < 0)
                throw EngineError(QStringLiteral("%1, line %2: an unclosed \"[\".").arg(fileName).arg(lineNo));
            body.remove(open, close - open + 1);
        }
        for (const QString& field : body.split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!field.trimmed().isEmpty())
                result.back().pattern.push_back(ParseDash(field, fileName, lineNo));
        if (result.back().pattern.empty())
            throw EngineError(QStringLiteral("%1, line %2: the pattern has no dashes.").arg(fileName).arg(lineNo));
        expectPattern = false;
    }
    if (expectPattern)
        throw EngineError(QStringLiteral("%1: the line type \"%2\" has no pattern line.").arg(fileName, result.back().name));
    return result;
}

LinetypeTable::LinetypeTable()
{
    m_items.push_back(Linetype{QStringLiteral("ByBlock"), {}, {}});
    m_items.push_back(Linetype{QStringLiteral("ByLayer"), {}, {}});
    m_items.push_back(Linetype{QStringLiteral("Continuous"), QStringLiteral("Solid line"), {}});
}

const Linetype& LinetypeTable::At(int index) const
{
    if (index < 0 || index >= Count())
        throw EngineError(ErrorKind::InvalidArgument, QStringLiteral("Line type index %1 is out of range.").arg(index));
    return m_items[std::size_t(index)];
}

const Linetype* LinetypeTable::Find(const QString& name) const
{
    for (const Linetype& lt : m_items)
        if (lt.name.compare(name, Qt::CaseInsensitive) == 0)
            return &lt;
    return nullptr;
}

void LinetypeTable::Load(const QString& name, const QString& fileName)
{
    if (Find(name))
        throw EngineError(QStringLiteral("The line type \"%1\" is already loaded.").arg(name));
    QString path = fileName;
    if (QFileInfo(fileName).isRelative()) {
        path.clear();
        for (const QString& folder : Folders()) {
            const QString candidate = QDir(folder).filePath(fileName);
            if (QFileInfo::exists(candidate)) {
                path = candidate;
                break;
            }
        }
    }
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw EngineError(QStringLiteral("The line type file \"%1\" cannot be found.").arg(fileName));
    const std::vector<Linetype> defs = ParseLinFile(QString::fromUtf8(file.readAll()), fileName);
    for (const Linetype& lt : defs)
        if (lt.name.compare(name, Qt::CaseInsensitive) == 0) {
            m_items.push_back(lt);
            return;
        }
    throw EngineError(QStringLiteral("The line type \"%1\" is not defined in \"%2\".").arg(name, fileName));
}

void LinetypeTable::Define(const Linetype& linetype)
{
    for (Linetype& lt : m_items)
        if (lt.name.compare(linetype.name, Qt::CaseInsensitive) == 0) {
            if (!linetype.pattern.empty() || !linetype.description.isEmpty())
                lt = Linetype{lt.name, linetype.description, linetype.pattern};
            return;
        }
    m_items.push_back(linetype);
}

void LinetypeTable::SetSearchFolders(const QStringList& folders)
{
    Folders() = folders;
}

QStringList LinetypeTable::SearchFolders()
{
    return Folders();
}

} // namespace cadhost
