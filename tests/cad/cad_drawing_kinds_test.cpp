// Guards drawings of other programs opened in the real drawing host against: entities, tables,
// blocks, objects, extended data or header variables lost or changed by a save, a release
// changed, what a wizard adds taking a handle of what was there, and the object model naming
// or filtering the kinds it does not draw wrongly.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "cad/CadProxy.h"
#include "support/HostProcess.h"
#include "support/TestSupport.h"

using namespace ardela::cad;
using ardela::test::HostProcess;

namespace {

// Runs the drawing script of the tests with ezdxf; its output lines, or nullopt without ezdxf.
std::optional<QStringList> RunEzdxf(const QStringList& arguments)
{
    QProcess probe;
    probe.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import ezdxf")});
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        return std::nullopt;
    QProcess py;
    py.start(QStringLiteral("/usr/bin/python3"),
             QStringList{ardela::test::SourceDir() + QStringLiteral("/tests/cad/every_kind_dxf.py")} + arguments);
    EXPECT_TRUE(py.waitForFinished(300000));
    EXPECT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    return QString::fromUtf8(py.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class DrawingKindsTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        const QString socket = m_dir.filePath(QStringLiteral("host"));
        ASSERT_TRUE(m_host.Start(socket, {QStringLiteral("--headless"), QStringLiteral("--socket"), socket,
                                          QStringLiteral("--second-instance")}));
        m_app = ConnectApplication(socket, 5000);
        ASSERT_TRUE(m_app);
    }

    // Entities of model space matching the filter (type or layer), through a selection set.
    int Matching(AcadDocument& doc, std::int16_t code, const QString& value)
    {
        AcadSelectionSetPtr set = doc.SelectionSets()->Add(QStringLiteral("kinds"));
        set->Select(5, std::nullopt, std::nullopt, {code}, {value});
        const int n = set->count();
        set->Delete();
        return n;
    }

    QTemporaryDir m_dir;
    HostProcess m_host;
    AcadApplicationPtr m_app;
};

TEST_P(DrawingKindsTest, AnotherProgramsDrawingKeepsEverythingThroughASaveAndWhatIsAddedFitsIn)
{
    const QString release = QString::fromLatin1(GetParam());
    const QString original = m_dir.filePath(QStringLiteral("plan_%1.dxf").arg(release));
    if (!RunEzdxf({QStringLiteral("write"), release, original}))
        GTEST_SKIP() << "python3-ezdxf is not installed";
    const bool modern = release != QLatin1String("R12");

    AcadDocumentPtr doc = m_app->Documents()->Open(original);
    // Every kind is in model space and named as the object model names it.
    AcadSelectionSetPtr all = doc->SelectionSets()->Add(QStringLiteral("all"));
    all->Select(5, std::nullopt, std::nullopt, {}, {});
    QSet<QString> names;
    for (int i = 0; i < all->count(); ++i)
        names.insert(all->Item(i)->ObjectName());
    all->Delete();
    QSet<QString> expected{"AcDbLine", "AcDbPoint", "AcDbText", "AcDbCircle", "AcDbArc", "AcDbSolid", "AcDbFace",
                           "AcDbPolyline", "AcDb3dPolyline", "AcDbBlockReference", "AcDbDimension"};
    if (modern)
        expected.unite(QSet<QString>{"AcDbEllipse", "AcDbSpline", "AcDbMText", "AcDbHatch", "AcDbLeader",
                                     "AcDbRasterImage", "AcDbXline"});
    EXPECT_EQ(names, expected);
    EXPECT_EQ(Matching(*doc, 0, QStringLiteral("CIRCLE")), 1);
    EXPECT_EQ(Matching(*doc, 0, QStringLiteral("INSERT")), 2);
    EXPECT_EQ(Matching(*doc, 0, QStringLiteral("HATCH")), modern ? 2 : 0);
    EXPECT_EQ(Matching(*doc, 8, QStringLiteral("Walls")), modern ? 4 : 3);

    // A wizard's layer and results.
    AcadLayerPtr results = doc->Layers()->Add(QStringLiteral("Korrin_Results"));
    results->SetColor(1);
    doc->SetActiveLayer(results);
    doc->ModelSpace()->AddLine({0, 0, 0}, {5, 5, 0});
    doc->ModelSpace()->AddText(QStringLiteral("N = 12.5 kN"), {1, 1, 0}, 0.5);
    const QString saved = m_dir.filePath(QStringLiteral("saved_%1.dxf").arg(release));
    doc->SaveAs(saved);
    doc->Close();

    const auto compared = RunEzdxf({QStringLiteral("compare"), original, saved});
    ASSERT_TRUE(compared);
    EXPECT_EQ(*compared, (QStringList{"added LINE Korrin_Results", "added TEXT Korrin_Results",
                                      "added layers KORRIN_RESULTS", "audit 0"}));

    // Opened and saved again untouched, it is the same drawing.
    doc = m_app->Documents()->Open(saved);
    const QString again = m_dir.filePath(QStringLiteral("again_%1.dxf").arg(release));
    doc->SaveAs(again);
    doc->Close();
    const auto second = RunEzdxf({QStringLiteral("compare"), saved, again});
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, QStringList{"audit 0"});
}

INSTANTIATE_TEST_SUITE_P(Releases, DrawingKindsTest, ::testing::Values("R12", "R2000", "R2010", "R2018"));

} // namespace
