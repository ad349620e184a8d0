// Guards the architecture against an include across an arrow docs/architecture.md does not draw
// (a wizard program using the other's folder, the host reaching the wizards, a cycle): every
// include under src/ is checked against the allowed arrows written in that document.
#include <map>
#include <set>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

using Arrows = std::map<QString, std::set<QString>>;

// The arrows between the lines <!-- include-graph --> and <!-- /include-graph -->, one folder
// a line: "wizard -> cad desktop".
Arrows ReadArrows(const QString& document)
{
    QFile file(document);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    const qsizetype begin = text.indexOf(QLatin1String("<!-- include-graph -->"));
    const qsizetype end = text.indexOf(QLatin1String("<!-- /include-graph -->"));
    Arrows arrows;
    if (begin < 0 || end < begin)
        return arrows;
    for (const QString& line : text.mid(begin, end - begin).split(QLatin1Char('\n'))) {
        const qsizetype arrow = line.indexOf(QLatin1String("->"));
        if (arrow < 0)
            continue;
        std::set<QString>& targets = arrows[line.left(arrow).trimmed()];
        for (const QString& target : line.mid(arrow + 2).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            targets.insert(target);
    }
    return arrows;
}

// The folder a path under src/ belongs to: its first part, or two for the host's folders.
QString FolderOf(const QString& relative)
{
    const QStringList parts = relative.split(QLatin1Char('/'));
    if (parts.size() > 2 && parts[0] == QLatin1String("cadhost"))
        return parts[0] + QLatin1Char('/') + parts[1];
    return parts[0];
}

// Every include of a file under `src` whose folder the arrows do not allow, as "file: include".
QStringList Violations(const QString& src, const Arrows& arrows)
{
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s+\"([^\"]+)\""),
                                            QRegularExpression::MultilineOption);
    QStringList found;
    QDirIterator it(src, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString from = FolderOf(QDir(src).relativeFilePath(path));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = include.globalMatch(text); match.hasNext();) {
            const QString target = match.next().captured(1);
            if (!target.contains(QLatin1Char('/')))
                continue;  // a generated or third-party header beside the file
            const QString to = FolderOf(target);
            const auto allowed = arrows.find(from);
            if (to != from && (allowed == arrows.end() || !allowed->second.count(to)))
                found << QDir(src).relativeFilePath(path) + QStringLiteral(": ") + target;
        }
    }
    return found;
}

QString ArchitectureDocument()
{
    return ardela::test::SourceDir() + QStringLiteral("/docs/architecture.md");
}

} // namespace

TEST(IncludeGraph, EveryIncludeUnderSrcFollowsAnArrowOfTheArchitecture)
{
    const Arrows arrows = ReadArrows(ArchitectureDocument());
    ASSERT_FALSE(arrows.empty()) << "no include-graph block in docs/architecture.md";
    ASSERT_TRUE(arrows.count(QStringLiteral("stress_wizard")));
    const QStringList violations = Violations(ardela::test::SourceDir() + QStringLiteral("/src"), arrows);
    EXPECT_TRUE(violations.isEmpty()) << violations.join(QLatin1Char('\n')).toStdString();
}

TEST(IncludeGraph, VendelIncludingKorrinsFolderIsAViolation)
{
    // The same arrows over a tree where Vendel's window includes a header of Korrin's folder.
    const Arrows arrows = ReadArrows(ArchitectureDocument());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("stress_wizard")));
    QFile file(dir.filePath(QStringLiteral("stress_wizard/frmStress.cpp")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#include \"stress_wizard/frmStress.h\"\n#include \"wizard/StepWindow.h\"\n"
               "#include \"truss_wizard/TrussPicking.h\"\n");
    file.close();
    const QStringList violations = Violations(dir.path(), arrows);
    ASSERT_EQ(violations.size(), 1);
    EXPECT_EQ(violations[0], QStringLiteral("stress_wizard/frmStress.cpp: truss_wizard/TrussPicking.h"));
}
