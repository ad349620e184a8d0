// Guards against a report whose layout, numbers, locale separator, line ends or place differ from
// what engineers print, and against report failures that go unreported.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/TestSupport.h"
#include "support/TrussFixtures.h"
#include "truss/TrussReport.h"
#include "truss/TrussSolver.h"

using namespace ardela;
using namespace ardela::test;

namespace {

const QString kReportMessage = QStringLiteral("Ther was an error writing the output.\r\nPlease go back and revise your input");

// Bar 100 long, A = 1, E = 1000 (k = 10), pulled by 10 at node 2: it stretches by exactly 1.
std::unique_ptr<TrussModel> SolvedBar()
{
    auto m = MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 1.0f, 1000.0f}}, {{1, 1, 1}, {2, 0, 1}},
                       {{2, 10.0f, 0.0f}, {1, 0.0f, 2.5f}});
    EXPECT_TRUE(SolveTruss(*m));
    return m;
}

// The expected report, typed from the layout with `sep` as the decimal separator.
QString ExpectedReport(const QString& sep)
{
    const QString dashes(69, u'-');
    QStringList lines = {
        dashes, "Korrin", dashes,
        "Plane truss analysis by the stiffness method",
        "Written by the Ardela engineering team",
        "", dashes, "INPUT", dashes,
        "NODES:     2",
        "BEAMS:     1",
        "BLOCKS:    2",
        "LOADS:     2",
        "", dashes, "NODES", dashes,
        "NODE              X              Y",
        "   1          0.000          0.000",
        "   2        100.000          0.000",
        "", dashes, "BEAMS", dashes,
        "BEAM    NODE I    NODE J           AREA              E",
        "   1         1         2          1.000      1.000 E+3",
        "", dashes, "BLOCKS", dashes,
        "NODE     HORIZONTAL       VERTICAL",
        "   1              1              1",
        "   2              0              1",
        "", dashes, "LOADS", dashes,
        "NODE     HORIZONTAL       VERTICAL",
        "   2             10              0",
        "   1              0            2.5",
        "", dashes, "NODAL DISPLACEMENTS", dashes,
        "NODE     HORIZONTAL       VERTICAL",
        "   1          0.000          0.000",
        "   2          1.000          0.000",
        "", dashes, "BEAM STRESSES", dashes,
        "BEAM    NODE I    NODE J         LENGTH           AREA         STRESS",
        "   1         1         2        100.000          1.000         10.000",
        "", dashes, "CHECKSUM", dashes,
        "S (+)   =               10.000",
        "S (-)   =                0.000",
        "S (+,-) =               10.000",
        "", dashes, "BLOCK STRESSES", dashes,
        "NODE     HORIZONTAL       VERTICAL",
        "   1        -10.000         -2.500",
        "   2          0.000          0.000",
    };
    QString text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    // Only the decimal points of numbers change with the locale.
    if (sep != QLatin1String("."))
        text.replace(u'.', sep);
    return text;
}

} // namespace

TEST(TrussReport, LayoutMatchesTheFixedColumnsInAPointLocale)
{
    ScopedLocale locale("en_US");
    auto m = SolvedBar();
    EXPECT_EQ(ReportText(*m), ExpectedReport(QStringLiteral(".")));
}

TEST(TrussReport, CommaLocalePrintsCommasAndKeepsTheColumns)
{
    ScopedLocale locale("de_DE");
    auto m = SolvedBar();
    const QString text = ReportText(*m);
    EXPECT_EQ(text, ExpectedReport(QStringLiteral(",")));
    EXPECT_TRUE(text.contains(QStringLiteral("   2          1,000          0,000\r\n")));
}

TEST(TrussReport, EmptySectionsKeepTheirBannerAndHeading)
{
    ScopedLocale locale("en_US");
    auto m = MakeTruss({{0, 0}}, {}, {}, {});
    const QString text = ReportText(*m);
    EXPECT_TRUE(text.contains(QStringLiteral("LOADS\r\n") + QString(69, u'-') + QStringLiteral("\r\nNODE     HORIZONTAL       VERTICAL\r\n\r\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("BLOCK STRESSES\r\n") + QString(69, u'-') + QStringLiteral("\r\nNODE     HORIZONTAL       VERTICAL\r\n")));
}

TEST(TrussReport, AValueWiderThanItsFieldKeepsItsLeftmostCharacters)
{
    ScopedLocale locale("en_US");
    auto m = MakeTruss({{0, 0}}, {}, {{1, 1, 1}}, {});
    m->Blocks(1, 1) = Cell(std::int16_t(12345));
    EXPECT_TRUE(ReportText(*m).contains(QStringLiteral("\r\n1234              1              1\r\n")));
}

TEST(TrussReport, FileNameComesFromTheAnalysisFolderAndTitle)
{
    EXPECT_EQ(ReportPath(QStringLiteral("/work/frame.krn"), QStringLiteral("frame.krn")), QStringLiteral("/work/frame.prn"));
    EXPECT_EQ(ReportPath(QStringLiteral("/work/a.b.krn"), QStringLiteral("a.b.krn")), QStringLiteral("/work/a.b.prn"));
    // A folder named like the file: the report still goes beside the file.
    EXPECT_EQ(ReportPath(QStringLiteral("/p/frame.krn/frame.krn"), QStringLiteral("frame.krn")),
              QStringLiteral("/p/frame.krn/frame.prn"));
    EXPECT_EQ(ReportPath(QStringLiteral("C:\\frame.krn\\frame.krn"), QStringLiteral("frame.krn")),
              QStringLiteral("C:\\frame.krn\\frame.prn"));
    EXPECT_THROW(ReportPath(QStringLiteral("/work/frame"), QStringLiteral("frame")), ModelError);
}

TEST(TrussReport, WriteReportWritesCrLfTextBesideTheAnalysisFile)
{
    ScopedLocale locale("en_US");
    QTemporaryDir dir;
    auto m = SolvedBar();
    m->AnalysisTitle = QStringLiteral("bar.krn");
    m->AnalysisPath = dir.filePath(m->AnalysisTitle);
    MessageRecorder messages;
    ASSERT_TRUE(WriteReport(*m));
    EXPECT_TRUE(messages.Messages().empty());
    QFile f(dir.filePath(QStringLiteral("bar.prn")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), ExpectedReport(QStringLiteral(".")).toLatin1());
}

TEST(TrussReport, AModelWithoutAFileWritesNothingAndSaysNothing)
{
    auto m = SolvedBar();
    MessageRecorder messages;
    EXPECT_FALSE(WriteReport(*m));
    EXPECT_TRUE(messages.Messages().empty());
}

TEST(TrussReport, FailuresShowTheReportMessage)
{
    QTemporaryDir dir;
    auto m = SolvedBar();
    MessageRecorder messages;
    // No "." in the title.
    m->AnalysisTitle = QStringLiteral("bar");
    m->AnalysisPath = dir.filePath(m->AnalysisTitle);
    EXPECT_FALSE(WriteReport(*m));
    // A folder that does not exist.
    m->AnalysisTitle = QStringLiteral("bar.krn");
    m->AnalysisPath = dir.filePath(QStringLiteral("missing/bar.krn"));
    EXPECT_FALSE(WriteReport(*m));
    // A cell that cannot be formatted as a number.
    m->AnalysisPath = dir.filePath(m->AnalysisTitle);
    m->Elements(1, 3) = Cell(QStringLiteral("ten"));
    EXPECT_FALSE(WriteReport(*m));
    ASSERT_EQ(messages.Messages().size(), 3u);
    for (const auto& message : messages.Messages()) {
        EXPECT_EQ(message.prompt, kReportMessage);
        EXPECT_EQ(message.style, MsgCritical);
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("bar.prn"))));
}
