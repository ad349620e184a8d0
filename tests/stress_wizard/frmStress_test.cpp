// Guards Vendel's wizard as an engineer uses it, against a real drawing host and the real solver:
// a plate typed or picked is run and drawn as the solver's own result file says, the sheet checks
// count what the engineer sees, the listing lands beside a saved analysis, a broken result file
// or a solver given up on draws nothing, a lost link returns to the first step once, a failing
// redraw does not hold a step change, a link lost while Next waits shows the next step nor a
// second message, rows reached by editing are the rows written, and Options redraws the stresses
// of a saved analysis.
#include <cmath>
#include <csignal>
#include <limits>
#include <deque>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QCborArray>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "cad/CadError.h"
#include "cad/CadLink.h"
#include "cad/CadProxy.h"
#include "cad/ProgramLayers.h"
#include "cad/modHelpers.h"
#include "desktop/FileChooser.h"
#include "desktop/HelpWindow.h"
#include "desktop/Settings.h"
#include "desktop/frmColor.h"
#include "desktop/frmOptions.h"
#include "desktop/modMessage.h"
#include "desktop/modResource.h"
#include "desktop/modShell.h"
#include "stress_wizard/DxfGeometry.h"
#include "stress_wizard/SolverFiles.h"
#include "stress_wizard/StressFile.h"
#include "stress_wizard/StressModel.h"
#include "stress_wizard/frmStress.h"
#include "support/DrawingTestSupport.h"
#include "support/HostProcess.h"
#include "support/PointFeeder.h"
#include "support/TestSupport.h"
#include "support/WizardControls.h"
#include "support/WizardTest.h"
#include "support/WindowTest.h"
#include "wizard/GridEditor.h"
#include "wizard/LinkWatch.h"
#include "wizard/WizardLifetime.h"

using namespace ardela;
using namespace ardela::test;

namespace {

const QString kAttachQuestion =
    QStringLiteral("A fost gasita o aplicatie AutoCAD care ruleaza. Vreti sa va conectati la aplicatia curenta?");

// The numbers of "dateout.dat" read on their own: 4 corners per element, then s1, s2, angle.
struct SolverResults {
    std::vector<std::array<double, 8>> corners;
    std::vector<std::array<double, 3>> stresses;
};

SolverResults ReadResultFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QStringList fields =
        QString::fromLatin1(file.readAll()).split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    SolverResults results;
    if (fields.isEmpty())
        return results;
    const int n = fields[0].toInt();
    EXPECT_EQ(fields.size(), 1 + 11 * n);
    if (fields.size() != 1 + 11 * n)
        return results;
    qsizetype k = 1;
    for (int e = 0; e < n; ++e) {
        std::array<double, 8> c{};
        for (double& v : c)
            v = fields[k++].toDouble();
        results.corners.push_back(c);
    }
    for (int e = 0; e < n; ++e) {
        std::array<double, 3> s{};
        for (double& v : s)
            v = fields[k++].toDouble();
        results.stresses.push_back(s);
    }
    return results;
}

// What the stress drawing holds: outlines on Vendel_Mesh, segments on the two result layers.
struct StressPicture {
    std::vector<std::vector<XY>> outlines;
    std::vector<Segment> plus;
    std::vector<Segment> minus;
};

class VendelWizard : public WizardTest<frmStress> {
protected:
    void SetUp() override
    {
        m_data = std::make_unique<ScopedEnv>("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toUtf8());
        m_config = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toUtf8());
        ardela::ResetModel(Stress());
        ResetStressResults(Stress());
        Settings() = DefaultSettings();
        SelectStringTable(StringTable::Vendel);
        m_sheetNames = {"Grid", "Domains", "Lines", "Loads"};
        ASSERT_NO_FATAL_FAILURE(StartHostAndAnswers(kAttachQuestion));
        OpenWizard();
    }

    void TearDown() override
    {
        CloseWizard();
        SetSolverProgram(QString());
        SetShellClock({});
        SelectStringTable(StringTable::Korrin);
        // Every window the wizard opened (progress, options, messages) went with it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        EXPECT_TRUE(OpenWindows().isEmpty()) << OpenWindows().join(QLatin1Char(' ')).toStdString();
    }

    std::optional<std::int16_t> Answer(const QString&) override
    {
        if (m_answerNo)
            return std::int16_t(MsgResultNo);
        return std::nullopt;
    }

    QString Exchange(const QString& name) const { return m_dir.filePath(QStringLiteral("data/Ardela/Vendel/") + name); }

    // Steps 0 to 2 with a new analysis in the current drawing.
    void StartNewAnalysis()
    {
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 1);
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 2);
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 3);
    }

    // The row's cells from table column `first` on, scrolling the sheet so that they show.
    void TypeRow(int row, int first, const QStringList& values)
    {
        for (int k = 0; k < values.size(); ++k) {
            const int column = first + k;
            const int offset = std::max(0, column - 4);
            if (HorzBar(m_grid)->isEnabled() && HorzBar(m_grid)->value() != offset)
                HorzBar(m_grid)->setValue(offset);
            TypeCell(row, column - HorzBar(m_grid)->value(), values[k]);
        }
        if (HorzBar(m_grid)->isEnabled())
            HorzBar(m_grid)->setValue(0);
    }

    // The cantilever 40 x 10 on a 4 x 2 mesh: held along x = 0, 500 daN down at its upper free
    // corner. Typed from the gridline step to the run step.
    void TypeCantilever()
    {
        Control<QRadioButton>(m_wizard, QStringLiteral("optGridlines"), 0)->click();
        for (int i = 0; i < 5; ++i)
            TypeCell(i + 1, 1, QString::number(10 * i));
        EXPECT_FALSE(NextEnabled());  // no horizontal gridline yet
        Control<QRadioButton>(m_wizard, QStringLiteral("optGridlines"), 1)->click();
        for (int i = 0; i < 3; ++i)
            TypeCell(i + 1, 1, QString::number(5 * i));
        ASSERT_TRUE(NextEnabled());
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 4);
        TypeRow(1, 1, {"0", "0", "40", "10", "1", "210000", "81000"});
        ASSERT_TRUE(NextEnabled());
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 5);
        TypeRow(1, 1, {"0", "0", "0", "10", "3"});
        ASSERT_TRUE(NextEnabled());
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 6);
        TypeRow(1, 1, {"40", "10"});
        TypeRow(1, 4, {"-500"});
        ASSERT_TRUE(NextEnabled());
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 7);
    }

    void Pick(int step, PointFeeder& feeder)
    {
        feeder.Start();
        Click(PickButton(std::size_t(step - 3)));
        EXPECT_TRUE(feeder.Done());
    }

    // The same cantilever picked in the drawing; only the values no point gives are typed.
    void PickCantilever()
    {
        PointFeeder feeder(m_feed);
        for (int i = 0; i < 5; ++i)
            feeder.Click(10 * i, 0);
        feeder.End();
        Pick(3, feeder);
        Control<QRadioButton>(m_wizard, QStringLiteral("optGridlines"), 1)->click();
        for (int i = 0; i < 3; ++i)
            feeder.Click(0, 5 * i);
        feeder.End();
        Pick(3, feeder);
        ASSERT_TRUE(NextEnabled());
        EXPECT_EQ(Stress().VertCount, 5);
        EXPECT_EQ(Stress().HorzCount, 3);
        Next();
        feeder.Click(0, 0);
        feeder.Click(40, 10);
        feeder.End();
        Pick(4, feeder);
        TypeRow(1, 5, {"1", "210000", "81000"});
        ASSERT_TRUE(NextEnabled());
        Next();
        feeder.Click(0, 0);
        feeder.Click(0, 10);
        feeder.End();
        Pick(5, feeder);
        TypeRow(1, 5, {"3"});
        ASSERT_TRUE(NextEnabled());
        Next();
        feeder.Click(40, 10);
        feeder.End();
        Pick(6, feeder);
        TypeRow(1, 4, {"-500"});
        ASSERT_TRUE(NextEnabled());
        Next();
        ASSERT_EQ(m_wizard->CurrentStep, 7);
    }

    StressPicture Drawn()
    {
        const QString path = m_dir.filePath(QStringLiteral("drawing%1.dxf").arg(++m_saves));
        m_feed->ActiveDocument()->SaveAs(path);
        const DxfContents drawing = ReadDxf(path);
        return {Polylines(drawing, cad::kVendelMesh), Lines(drawing, cad::kVendelPlus), Lines(drawing, cad::kVendelMinus)};
    }

    // The drawing against the solver's result file: an outline through corners 1, 2, 4, 3 per
    // element, and each principal stress a segment 2 x |s| x scale long along its direction,
    // centred on the element, on the layer of its sign.
    void ExpectDrawingOf(const SolverResults& expected, StressPicture drawn, double scale)
    {
        const std::size_t n = expected.stresses.size();
        ASSERT_EQ(n, 8u);
        ASSERT_EQ(drawn.outlines.size(), n);
        for (std::size_t e = 0; e < n; ++e) {
            const auto& c = expected.corners[e];
            const std::vector<XY> round{{c[0], c[1]}, {c[2], c[3]}, {c[6], c[7]}, {c[4], c[5]}, {c[0], c[1]}};
            ASSERT_EQ(drawn.outlines[e].size(), 5u);
            for (std::size_t v = 0; v < 5; ++v)
                EXPECT_TRUE(Near(drawn.outlines[e][v], round[v], 1e-4)) << "element " << e + 1 << " vertex " << v;
        }
        for (std::size_t e = 0; e < n; ++e) {
            const auto& c = expected.corners[e];
            const XY centre{(c[0] + c[6]) / 2.0, (c[1] + c[7]) / 2.0};
            for (int k = 0; k < 2; ++k) {
                const double sigma = expected.stresses[e][std::size_t(k)];
                const double theta = expected.stresses[e][2] * M_PI / 180.0 + k * M_PI / 2.0;
                const double h = std::abs(sigma) * scale;
                const XY a{centre.first - h * std::cos(theta), centre.second - h * std::sin(theta)};
                const XY b{centre.first + h * std::cos(theta), centre.second + h * std::sin(theta)};
                std::vector<Segment>& layer = sigma > 0 ? drawn.plus : drawn.minus;
                const double tolerance = 1e-4 * std::max(1.0, h);
                const auto found = std::find_if(layer.begin(), layer.end(),
                                                [&](const Segment& s) { return SameSegment(s, a, b, tolerance); });
                ASSERT_NE(found, layer.end()) << "element " << e + 1 << " stress " << k + 1 << " = " << sigma;
                EXPECT_NEAR(found->Length(), 2.0 * h, tolerance);
                layer.erase(found);
            }
        }
        EXPECT_TRUE(drawn.plus.empty()) << drawn.plus.size() << " segments too many on Vendel_Plus";
        EXPECT_TRUE(drawn.minus.empty()) << drawn.minus.size() << " segments too many on Vendel_Minus";
    }

    std::size_t CountOn(const QString& layer)
    {
        cad::AcadDocumentPtr doc = m_feed->ActiveDocument();
        cad::AcadSelectionSetPtr set = doc->SelectionSets()->Add(QStringLiteral("probe"));
        set->Select(5, std::nullopt, std::nullopt, {8}, QStringList{layer});
        const std::size_t count = std::size_t(set->count());
        set->Delete();
        return count;
    }

    // A stand-in solver: a shell script in the test folder.
    void FakeSolver(const QByteArray& body)
    {
        const QString path = m_dir.filePath(QStringLiteral("fake-stress"));
        QFile script(path);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n" + body + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SetSolverProgram(path);
    }

    std::unique_ptr<ScopedEnv> m_data;
    std::unique_ptr<ScopedEnv> m_config;
    bool m_answerNo = false;
    int m_saves = 0;
};

TEST_F(VendelWizard, OpensOnTheWelcomeStepInRomanian)
{
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Vendel - Bun Venit"));
    EXPECT_FALSE(NavRowButton(m_wizard, NavBack)->isEnabled());
    EXPECT_TRUE(NextEnabled());
    EXPECT_FALSE(NavRowButton(m_wizard, NavRun)->isVisible());
    EXPECT_EQ(NavRowButton(m_wizard, NavCancel)->text(), QStringLiteral("Anuleaza"));
    EXPECT_EQ(NavRowButton(m_wizard, NavNext)->text(), QStringLiteral("&Continua >"));
    EXPECT_EQ(Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 1)->text(), QStringLiteral("Deschide o Analiza &Existenta"));
}

TEST_F(VendelWizard, TypedCantileverIsDrawnAsTheSolverWroteItAndItsFilesStayWhenNeverSaved)
{
    StartNewAnalysis();
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Vendel - Definirea Retelei"));
    EXPECT_EQ(Control<QLabel>(m_wizard, QStringLiteral("lblGridlines"), 0)->text(), QStringLiteral("Numar de Linii Verticale:"));
    ASSERT_NO_FATAL_FAILURE(TypeCantilever());
    // Leaving the sheet steps drew the subdomain and the held line; entering the run step
    // erased the mesh with the old results.
    EXPECT_EQ(CountOn(cad::kVendelDomains), 1u);
    EXPECT_EQ(CountOn(cad::kVendelLines), 1u);
    EXPECT_EQ(CountOn(cad::kVendelMesh), 0u);
    EXPECT_TRUE(NavRowButton(m_wizard, NavRun)->isVisible());
    EXPECT_EQ(NavRowButton(m_wizard, NavCancel)->text(), QStringLiteral("Inchide"));
    // Leaving the load step drew the loads: one arrow (a head and a line).
    EXPECT_EQ(CountOn(cad::kVendelLoads), 2u);

    m_dialogAnswers.push_back(QString());  // the save is cancelled: the run goes on
    m_shown.clear();
    Click(NavRowButton(m_wizard, NavRun));
    EXPECT_TRUE(m_shown.empty()) << m_shown.front().prompt.toStdString();
    EXPECT_TRUE(m_wizard->IsDirty());
    EXPECT_FALSE(Control<QLabel>(m_wizard, QStringLiteral("picProgress"))->isVisible());
    for (const char* name : {"datein", "dateout", "dateout.dat"})
        EXPECT_TRUE(QFile::exists(Exchange(QLatin1String(name)))) << name;
    ExpectDrawingOf(ReadResultFile(Exchange(QStringLiteral("dateout.dat"))), Drawn(), 20.0);
}

TEST_F(VendelWizard, PickedCantileverGivesTheSameDrawingAsTheTypedOne)
{
    StartNewAnalysis();
    ASSERT_NO_FATAL_FAILURE(PickCantilever());
    m_dialogAnswers.push_back(QString());
    Click(NavRowButton(m_wizard, NavRun));
    const StressPicture picked = Drawn();
    ExpectDrawingOf(ReadResultFile(Exchange(QStringLiteral("dateout.dat"))), picked, 20.0);

    // A new analysis in the same drawing, typed.
    for (int i = 0; i < 7; ++i)
        Back();
    ASSERT_EQ(m_wizard->CurrentStep, 0);
    StartNewAnalysis();
    EXPECT_EQ(Stress().VertCount, 0);
    ASSERT_NO_FATAL_FAILURE(TypeCantilever());
    m_dialogAnswers.push_back(QString());
    Click(NavRowButton(m_wizard, NavRun));
    const StressPicture typed = Drawn();
    ASSERT_EQ(typed.outlines, picked.outlines);
    ASSERT_EQ(typed.plus.size(), picked.plus.size());
    ASSERT_EQ(typed.minus.size(), picked.minus.size());
    for (std::size_t i = 0; i < typed.plus.size(); ++i)
        EXPECT_TRUE(SameSegment(typed.plus[i], picked.plus[i].from, picked.plus[i].to, 1e-3)) << i;
    for (std::size_t i = 0; i < typed.minus.size(); ++i)
        EXPECT_TRUE(SameSegment(typed.minus[i], picked.minus[i].from, picked.minus[i].to, 1e-3)) << i;
}

TEST_F(VendelWizard, SavedRunPutsTheListingBesideTheAnalysisAndLeavesNoExchangeFile)
{
    StartNewAnalysis();
    ASSERT_NO_FATAL_FAILURE(TypeCantilever());
    const QString path = m_dir.filePath(QStringLiteral("beam.vdl"));
    m_dialogAnswers.push_back(path);
    m_shown.clear();
    Click(NavRowButton(m_wizard, NavRun));
    EXPECT_TRUE(m_shown.empty());
    EXPECT_FALSE(m_wizard->IsDirty());
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Vendel - Ruleaza Analiza - beam.vdl"));
    QFile listing(m_dir.filePath(QStringLiteral("beam.prn")));
    ASSERT_TRUE(listing.open(QIODevice::ReadOnly));
    EXPECT_GT(listing.size(), 0);
    for (const char* name : {"datein", "dateout", "dateout.dat", "beam.prn"})
        EXPECT_FALSE(QFile::exists(Exchange(QLatin1String(name)))) << name;
    EXPECT_EQ(CountOn(cad::kVendelMesh), 8u);

    // Back to the loads: the caption names the file, Run goes and Cancel reads "Anuleaza".
    Back();
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Vendel - Incarcari - beam.vdl"));
    EXPECT_FALSE(NavRowButton(m_wizard, NavRun)->isVisible());
    EXPECT_EQ(NavRowButton(m_wizard, NavCancel)->text(), QStringLiteral("Anuleaza"));
}

TEST_F(VendelWizard, ActivateOnTheDrawingStepMakesLayerZeroCurrentAndStepsAside)
{
    Next();
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 2);
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Vendel - Crearea Desenului"));
    EXPECT_EQ(Control<QPushButton>(m_wizard, QStringLiteral("cmdActivate"))->text(), QStringLiteral(" &Activeaza"));
    cad::AcadDocumentPtr doc = m_feed->ActiveDocument();
    doc->SetActiveLayer(doc->Layers()->Item(cad::kVendelLoads));
    Click(Control<QPushButton>(m_wizard, QStringLiteral("cmdActivate")));
    EXPECT_EQ(doc->ActiveLayer()->Name(), QStringLiteral("0"));
    EXPECT_TRUE(m_wizard->isMinimized());
    m_wizard->showNormal();
}

TEST_F(VendelWizard, GridlineStepNeedsBothDirectionsWithoutGaps)
{
    StartNewAnalysis();
    EXPECT_FALSE(NextEnabled());
    EXPECT_FALSE(DrawButton(0)->isEnabled());
    TypeCell(1, 1, "0");
    TypeCell(2, 1, "10");
    TypeCell(4, 1, "30");  // a gap, then a value
    Control<QRadioButton>(m_wizard, QStringLiteral("optGridlines"), 1)->click();
    EXPECT_EQ(GridCells(m_grid)->item(0, 1)->text(), QStringLiteral("Coord y"));
    EXPECT_TRUE(Control<QLabel>(m_wizard, QStringLiteral("lblGridlines"), 1)->isVisibleTo(Control<QGroupBox>(m_wizard, QStringLiteral("fraStep"), 3)));
    EXPECT_FALSE(Control<QLabel>(m_wizard, QStringLiteral("lblGridlines"), 0)->isVisibleTo(Control<QGroupBox>(m_wizard, QStringLiteral("fraStep"), 3)));
    TypeCell(1, 1, "0");
    TypeCell(2, 1, "5");
    EXPECT_EQ(Control<QLineEdit>(m_wizard, QStringLiteral("txtValue"))->text(), QStringLiteral("2"));
    EXPECT_FALSE(NextEnabled());
    Control<QRadioButton>(m_wizard, QStringLiteral("optGridlines"), 0)->click();
    EXPECT_EQ(Control<QLineEdit>(m_wizard, QStringLiteral("txtValue"))->text(), QStringLiteral("2"));
    EXPECT_EQ(GridCells(m_grid)->item(4, 1)->text(), QStringLiteral("30"));
    TypeCell(3, 1, "20");
    EXPECT_EQ(Control<QLineEdit>(m_wizard, QStringLiteral("txtValue"))->text(), QStringLiteral("4"));
    EXPECT_TRUE(NextEnabled());
    EXPECT_TRUE(DrawButton(0)->isEnabled());
    // The open box counts as typed: a text that is no number stops Next.
    const QRect cell = GridCells(m_grid)->visualRect(GridCells(m_grid)->model()->index(5, 1));
    QTest::mouseClick(GridCells(m_grid)->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::keyClicks(EditBox(m_grid), "4x");
    EXPECT_FALSE(NextEnabled());
    QTest::keyClick(EditBox(m_grid), Qt::Key_Escape);
    EXPECT_TRUE(NextEnabled());
}

TEST_F(VendelWizard, LeavingTheGridlineStepDrawsTheMeshAndTheDrawButtonClearsFirst)
{
    StartNewAnalysis();
    TypeCell(1, 1, "0"); TypeCell(2, 1, "20"); TypeCell(3, 1, "40");
    Control<QRadioButton>(m_wizard, QStringLiteral("optGridlines"), 1)->click();
    TypeCell(1, 1, "0"); TypeCell(2, 1, "10");
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 4);
    EXPECT_EQ(CountOn(cad::kVendelMesh), 5u);
    TypeRow(1, 1, {"0", "0", "40", "10", "1", "210000", "81000"});
    Click(DrawButton(1));
    Click(DrawButton(1));
    EXPECT_EQ(CountOn(cad::kVendelDomains), 1u);
    // Back never repeats the work of a step; forward with changes redraws what was left.
    Back();
    EXPECT_EQ(CountOn(cad::kVendelMesh), 5u);
    Control<QRadioButton>(m_wizard, QStringLiteral("optGridlines"), 0)->click();
    TypeCell(4, 1, "30");
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 4);
    EXPECT_EQ(CountOn(cad::kVendelMesh), 6u);
}

TEST_F(VendelWizard, OpenedAnalysisComesBackOnEveryStepWithItsNameAndDrawing)
{
    StartNewAnalysis();
    ASSERT_NO_FATAL_FAILURE(TypeCantilever());
    const QString path = m_dir.filePath(QStringLiteral("beam.vdl"));
    m_dialogAnswers.push_back(path);
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_TRUE(QFile::exists(path));

    // A new analysis empties everything; opening the file brings it back.
    for (int i = 0; i < 7; ++i)
        Back();
    Next();
    Back();
    ASSERT_EQ(Stress().VertCount, 0);
    Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 1)->click();
    m_dialogAnswers.push_back(path);
    StartNewAnalysis();
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Vendel - Definirea Retelei - beam.vdl"));
    EXPECT_EQ(Control<QLineEdit>(m_wizard, QStringLiteral("txtValue"))->text(), QStringLiteral("3"));  // the horizontal lines are shown
    EXPECT_EQ(CountOn(cad::kVendelMesh), 8u);
    EXPECT_EQ(CountOn(cad::kVendelLoads), 2u);
    for (int step = 3; step < 7; ++step) {
        ASSERT_TRUE(NextEnabled()) << step;
        Next();
    }
    EXPECT_EQ(m_wizard->CurrentStep, 7);
    EXPECT_EQ(Stress().DomainCount, 1);
    EXPECT_EQ(Stress().Domains(1, 6).ToSingle(), 210000.0f);
}

TEST_F(VendelWizard, CancelledOpenStaysOnTheFirstStep)
{
    Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 1)->click();
    m_dialogAnswers.push_back(QString());
    Next();
    EXPECT_EQ(m_wizard->CurrentStep, 0);
    EXPECT_TRUE(m_shown.empty());
}

TEST_F(VendelWizard, SubdomainRowMissingAValueEndsTheCountAndALaterValueStopsTheStep)
{
    StartNewAnalysis();
    TypeCell(1, 1, "0"); TypeCell(2, 1, "40");
    Control<QRadioButton>(m_wizard, QStringLiteral("optGridlines"), 1)->click();
    TypeCell(1, 1, "0"); TypeCell(2, 1, "10");
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 4);
    EXPECT_EQ(GridCells(m_grid)->columnCount(), 5);
    EXPECT_EQ(GridCells(m_grid)->item(0, 0)->text(), QStringLiteral("Domain"));
    EXPECT_EQ(GridCells(m_grid)->item(0, 1)->text(), QStringLiteral("Lower x"));
    EXPECT_EQ(HorzBar(m_grid)->maximum(), 3);
    TypeRow(1, 1, {"0", "0", "40", "10", "1", "210000"});  // six of seven
    EXPECT_EQ(Stress().DomainCount, 0);
    EXPECT_FALSE(NextEnabled());
    HorzBar(m_grid)->setValue(3);
    EXPECT_EQ(GridCells(m_grid)->item(0, 4)->text(), QStringLiteral("G [daN/cm²]"));
    HorzBar(m_grid)->setValue(0);
    TypeRow(1, 7, {"81000"});
    EXPECT_EQ(Stress().DomainCount, 1);
    EXPECT_TRUE(NextEnabled());
    TypeRow(3, 2, {"5"});  // a value after a gap
    EXPECT_FALSE(NextEnabled());
    EXPECT_FALSE(DrawButton(1)->isEnabled());
    TypeRow(3, 2, {""});
    EXPECT_TRUE(NextEnabled());

    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 5);
    EXPECT_EQ(HorzBar(m_grid)->maximum(), 1);
    EXPECT_EQ(GridCells(m_grid)->item(0, 0)->text(), QStringLiteral("Line"));
    TypeRow(1, 1, {"0", "0", "0", "10", "3"});
    Next();
    ASSERT_EQ(m_wizard->CurrentStep, 6);
    // A load row with x and y and no force is complete.
    EXPECT_FALSE(NextEnabled());
    EXPECT_EQ(GridCells(m_grid)->item(0, 3)->text(), QStringLiteral("Fx [daN]"));
    TypeRow(1, 1, {"40", "10"});
    EXPECT_EQ(Stress().NodalLoadCount, 1);
    EXPECT_TRUE(NextEnabled());
}

TEST_F(VendelWizard, HelpOpensTheTopicOfTheStepFromF1AndFromTheButton)
{
    StartNewAnalysis();
    QApplication::setActiveWindow(m_wizard);
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_wizard));
    QTest::keyClick(m_wizard, Qt::Key_F1);
    ASSERT_TRUE(HelpWindow::Instance());
    EXPECT_TRUE(HelpWindow::Instance()->Browser()->source().toString().endsWith(QLatin1String("Vendel/4000.html")));
    EXPECT_TRUE(m_wizard->HelpOpened);
    Back();
    Back();
    Back();
    ASSERT_EQ(m_wizard->CurrentStep, 0);
    Click(NavRowButton(m_wizard, NavHelp));
    EXPECT_TRUE(HelpWindow::Instance()->Browser()->source().toString().endsWith(QLatin1String("Vendel/1000.html")));
}

TEST_F(VendelWizard, BrokenOrEmptyResultFileIsSaidAndTheDrawingStaysAsItWas)
{
    StartNewAnalysis();
    ASSERT_NO_FATAL_FAILURE(TypeCantilever());
    m_dialogAnswers.push_back(QString());
    Click(NavRowButton(m_wizard, NavRun));
    const std::size_t segments = CountOn(cad::kVendelPlus) + CountOn(cad::kVendelMinus);
    ASSERT_EQ(segments, 16u);
    const std::vector<std::array<float, 3>> results = Stress().StressValues;

    const std::vector<std::pair<QByteArray, QString>> cases{
        {"printf '8,\\r\\n0,0,10,0,0,5,' > dateout.dat", QStringLiteral("the result file ends before corner 4 of element 1")},
        {"printf '0,\\r\\n' > dateout.dat", QStringLiteral("the element count 0 is not between 1 and 1046529")},
        {"printf '' > dateout.dat", QStringLiteral("the result file ends before the element count")},
        {"printf '1,0,0,1,0,0,1,1,1,x,2,3,' > dateout.dat", QStringLiteral("the stresses of element 1 \"x\" is not a number")},
        {"true", QString()},
    };
    for (const auto& [script, cause] : cases) {
        FakeSolver(script);
        m_dialogAnswers.push_back(QString());
        m_shown.clear();
        Click(NavRowButton(m_wizard, NavRun));
        ASSERT_EQ(m_shown.size(), 1u) << script.toStdString();
        EXPECT_TRUE(m_shown[0].prompt.startsWith(QStringLiteral("The results of the analysis could not be read:\r\n")))
            << m_shown[0].prompt.toStdString();
        if (!cause.isEmpty()) {
            EXPECT_TRUE(m_shown[0].prompt.endsWith(cause)) << m_shown[0].prompt.toStdString();
        }
        EXPECT_EQ(m_shown[0].style, MsgCritical);
        EXPECT_EQ(CountOn(cad::kVendelPlus) + CountOn(cad::kVendelMinus), segments);
        EXPECT_EQ(CountOn(cad::kVendelMesh), 8u);
        EXPECT_EQ(Stress().StressValues, results);
        EXPECT_EQ(Stress().DomainCount, 1);
        EXPECT_FALSE(Control<QLabel>(m_wizard, QStringLiteral("picProgress"))->isVisible());
    }
}

TEST_F(VendelWizard, SolverGivenUpOnAfterTwentySecondsDrawsNothing)
{
    StartNewAnalysis();
    ASSERT_NO_FATAL_FAILURE(TypeCantilever());
    FakeSolver("exec sleep 60");
    qint64 now = 0;
    SetShellClock([&now] { return now += 11000; });
    m_answerNo = true;
    m_dialogAnswers.push_back(QString());
    m_shown.clear();
    Click(NavRowButton(m_wizard, NavRun));
    m_answerNo = false;
    ASSERT_GE(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].prompt, QStringLiteral("The program fake-stress stoped responding for 20 seconds.\r\nDo you want to wait?"));
    // The engineer stopped the wait: the data is not blamed, and nothing else is said.
    ASSERT_EQ(m_shown.size(), 2u);
    EXPECT_EQ(m_shown[1].prompt, QStringLiteral("The program fake-stress was stopped before it had finished.\r\nIt left no results."));
    EXPECT_EQ(CountOn(cad::kVendelPlus) + CountOn(cad::kVendelMinus), 0u);
    EXPECT_FALSE(QFile::exists(Exchange(QStringLiteral("dateout.dat"))));
}

TEST_F(VendelWizard, LinkLostWhileNextWaitsOnTheHostIsSaidOnceAndTheNextStepIsNotShown)
{
    StartNewAnalysis();
    for (int i = 0; i < 3; ++i)
        TypeCell(i + 1, 1, QString::number(10 * i));
    Control<QRadioButton>(m_wizard, QStringLiteral("optGridlines"), 1)->click();
    for (int i = 0; i < 2; ++i)
        TypeCell(i + 1, 1, QString::number(5 * i));
    ASSERT_TRUE(NextEnabled());
    m_shown.clear();
    // Next redraws the gridlines and waits on a host that has stopped answering; the host then
    // dies while the link watch ticks in the wait.
    ASSERT_TRUE(m_host.StopThenKillLater(500));
    Next();
    ExpectTheLinkLostOnceOnTheFirstStep(QStringLiteral("Vendel"));
    EXPECT_EQ(Stress().VertCount, 3);
}

TEST_F(VendelWizard, RowsReachedByEditingAreTheRowsTheCellsWereWrittenTo)
{
    // The rows an edit wrote decide how far the check looks for stray numbers, whatever cell
    // the grid stands on afterwards.
    StartNewAnalysis();
    for (int i = 0; i < 2; ++i)
        TypeCell(i + 1, 1, QString::number(10 * i));
    Control<QRadioButton>(m_wizard, QStringLiteral("optGridlines"), 1)->click();
    for (int i = 0; i < 2; ++i)
        TypeCell(i + 1, 1, QString::number(5 * i));
    ASSERT_TRUE(NextEnabled());
    // A number in row 5, committed by a click on row 1, then the box closed there.
    TypeCell(5, 1, "30");
    ClickCell(1, 1);
    QTest::keyClick(EditBox(m_grid), Qt::Key_Escape);
    EXPECT_FALSE(NextEnabled());
    EXPECT_EQ(Control<QLineEdit>(m_wizard, QStringLiteral("txtValue"))->text(), QStringLiteral("2"));
    EXPECT_GE(m_wizard->RowsReached(3), 5);
}

TEST_F(VendelWizard, LostLinkOnTheLoadStepIsSaidOnceAndTheModelIsKept)
{
    StartNewAnalysis();
    ASSERT_NO_FATAL_FAILURE(TypeCantilever());
    Back();
    ASSERT_EQ(m_wizard->CurrentStep, 6);
    ASSERT_NO_FATAL_FAILURE(KillTheHost());
    QTest::qWait(300);  // further ticks of the watch must not repeat the message
    ExpectTheLinkMessageOnce(QStringLiteral("Vendel"));
    EXPECT_EQ(Stress().VertCount, 5);
    EXPECT_EQ(Stress().NodalLoadCount, 1);
    EXPECT_EQ(Stress().NodalLoads(1, 4).ToSingle(), -500.0f);
    EXPECT_EQ(m_wizard->windowTitle(), QStringLiteral("Vendel - Bun Venit"));
}

TEST_F(VendelWizard, UnsavedModelAfterALostLinkIsAskedAboutBeforeANewAnalysisEmptiesIt)
{
    StartNewAnalysis();
    for (int i = 0; i < 3; ++i)
        TypeCell(i + 1, 1, QString::number(10 * i));
    HostProcess again;
    ASSERT_NO_FATAL_FAILURE(LoseTheLinkAndStartAnotherHost(again));
    ExpectCancelToTheUnsavedModelQuestionStays(QStringLiteral("Vendel"));
    EXPECT_EQ(Stress().VertCount, 3);

    // Yes saves through the dialog, then the new analysis starts empty.
    const QString path = m_dir.filePath(QStringLiteral("kept.vdl"));
    SaveTheUnsavedModelAs(path);
    EXPECT_EQ(Stress().VertCount, 0);
    auto saved = std::make_unique<StressModel>();
    SettingsArray settings;
    ASSERT_NO_THROW(ReadAnalysisFile(StressFileKind(*saved, settings), path));
    EXPECT_EQ(saved->VertCount, 3);
    EXPECT_EQ(saved->GridLines(3, 1).ToDouble(), 20.0);
}

TEST_F(VendelWizard, NoToTheUnsavedModelQuestionEmptiesTheModelAndOpenAsksToo)
{
    StartNewAnalysis();
    TypeCell(1, 1, "0");
    Back();
    Back();
    Back();
    ExpectOpenAndNewToAskAboutTheUnsavedModel(QStringLiteral("Vendel"));
    EXPECT_EQ(Stress().VertCount, 0);
}

TEST_F(VendelWizard, OptionsChangedAfterARunMarkTheAnalysisChangedAndTheFileKeepsThem)
{
    StartNewAnalysis();
    ASSERT_NO_FATAL_FAILURE(TypeCantilever());
    const QString path = m_dir.filePath(QStringLiteral("options.vdl"));
    m_dialogAnswers.push_back(path);
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_FALSE(m_wizard->IsDirty());
    const StressPicture before = Drawn();

    for (const char* scale : {"5", "2"}) {
        QTimer::singleShot(0, [scale] {
            ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<frmOptions*>(QApplication::activeModalWidget()); }, 5000));
            auto* dialog = qobject_cast<frmOptions*>(QApplication::activeModalWidget());
            dialog->txtScale->selectAll();
            QTest::keyClicks(dialog->txtScale, scale);
            QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        });
        Click(NavRowButton(m_wizard, NavOptions));
    }
    ASSERT_EQ(Settings()[SetScaleFactor].ToDouble(), 2.0);
    EXPECT_TRUE(m_wizard->IsDirty());
    // The second change redrew the stresses too: the model itself is unchanged.
    const StressPicture after = Drawn();
    ASSERT_EQ(after.plus.size(), before.plus.size());
    ASSERT_FALSE(after.plus.empty());
    EXPECT_NEAR(after.plus[0].Length() * 10.0, before.plus[0].Length(), 1e-3 * before.plus[0].Length());

    ExpectClosingToAskAndCancelToKeepTheWindow();

    // The next run saves the new scale into the file, without a dialog, and draws with it.
    Click(NavRowButton(m_wizard, NavRun));
    EXPECT_FALSE(m_wizard->IsDirty());
    auto saved = std::make_unique<StressModel>();
    SettingsArray settings = DefaultSettings();
    ASSERT_NO_THROW(ReadAnalysisFile(StressFileKind(*saved, settings), path));
    EXPECT_EQ(settings[SetScaleFactor].ToDouble(), 2.0);
    EXPECT_EQ(saved->VertCount, 5);
}

TEST_F(VendelWizard, RedrawFailingOnAStepChangeIsSaidOnceAndTheStepStillChanges)
{
    StartNewAnalysis();
    ASSERT_NO_FATAL_FAILURE(TypeCantilever());
    Back();
    ASSERT_EQ(m_wizard->CurrentStep, 6);
    TypeRow(1, 3, {"100"});
    Control<LinkWatch>(m_wizard, QStringLiteral("tmrDoc"))->tmrDoc.stop();
    m_feed->ActiveDocument()->Close();
    m_shown.clear();
    Next();
    EXPECT_EQ(m_wizard->CurrentStep, 7);
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].prompt, QStringLiteral("The drawing could not be brought up to date.\r\n"
                                                 "Use the Draw button of the step to draw it again."));
    EXPECT_EQ(m_shown[0].style, MsgCritical);
}

TEST_F(VendelWizard, ScaleChangedInOptionsRedrawsTheStressesOfASavedAnalysis)
{
    StartNewAnalysis();
    ASSERT_NO_FATAL_FAILURE(TypeCantilever());
    m_dialogAnswers.push_back(m_dir.filePath(QStringLiteral("plate.vdl")));
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_FALSE(m_wizard->IsDirty());
    const StressPicture before = Drawn();
    ASSERT_FALSE(before.plus.empty());

    bool answered = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<frmOptions*>(QApplication::activeModalWidget()); }, 5000));
        auto* dialog = qobject_cast<frmOptions*>(QApplication::activeModalWidget());
        EXPECT_EQ(dialog->cboPlot->count(), 6);
        dialog->txtScale->selectAll();
        QTest::keyClicks(dialog->txtScale, "5");
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        answered = true;
    });
    Click(NavRowButton(m_wizard, NavOptions));
    ASSERT_TRUE(answered);
    EXPECT_EQ(Settings()[SetScaleFactor].ToDouble(), 5.0);
    const StressPicture after = Drawn();
    ASSERT_EQ(after.plus.size(), before.plus.size());
    ASSERT_EQ(after.minus.size(), before.minus.size());
    EXPECT_EQ(after.outlines, before.outlines);
    for (std::size_t i = 0; i < after.plus.size(); ++i) {
        EXPECT_NEAR(after.plus[i].Length() * 4.0, before.plus[i].Length(), 1e-3 * before.plus[i].Length()) << i;
        EXPECT_TRUE(Near(after.plus[i].Middle(), before.plus[i].Middle(), 1e-3)) << i;
    }
}

TEST_F(VendelWizard, ColourChangedInOptionsRecoloursKorrinsLayerInTheSameDrawingToo)
{
    StartNewAnalysis();
    cad::AcadDocumentPtr doc = m_feed->ActiveDocument();
    doc->Layers()->Add(cad::kKorrinPlus)->SetColor(3);
    doc->Layers()->Add(cad::kVendelPlus)->SetColor(3);

    bool answered = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<frmOptions*>(QApplication::activeModalWidget()); }, 5000));
        auto* dialog = qobject_cast<frmOptions*>(QApplication::activeModalWidget());
        dialog->cboPlot->setCurrentIndex(4);
        ASSERT_EQ(dialog->cboPlot->currentText(), QStringLiteral("Plus"));
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<frmColor*>(QApplication::activeModalWidget()); }, 5000));
            auto* picker = qobject_cast<frmColor*>(QApplication::activeModalWidget());
            picker->txtColor->selectAll();
            QTest::keyClick(picker->txtColor, Qt::Key_Delete);
            QTest::keyClicks(picker->txtColor, "magenta");
            QTest::mouseClick(picker->cmdColor[0], Qt::LeftButton);
        });
        QTest::mousePress(dialog->picPlot, Qt::LeftButton);
        QTest::mouseRelease(dialog->picPlot, Qt::LeftButton);
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        answered = true;
    });
    Click(NavRowButton(m_wizard, NavOptions));
    ASSERT_TRUE(answered);
    EXPECT_EQ(doc->Layers()->Item(cad::kVendelPlus)->Color(), 6);
    EXPECT_EQ(doc->Layers()->Item(cad::kKorrinPlus)->Color(), 6);
    EXPECT_EQ(doc->Layers()->Item(cad::kVendelMesh)->Color(), 3);
}

// Counts the paint events of one widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(VendelWizard, ProgressBarOfALargePlateIsPaintedOncePerPercentNotPerElement)
{
    // A 40 x 40 plate: 1600 elements, 4800 drawing steps.
    auto model = std::make_unique<StressModel>();
    model->VertCount = model->HorzCount = 41;
    for (int i = 1; i <= 41; ++i) {
        model->GridLines(i, 1) = Cell(double(i - 1));
        model->GridLines(i, 2) = Cell(double(i - 1));
    }
    model->DomainCount = 1;
    const double domain[7] = {0, 0, 40, 40, 1, 210000, 81000};
    for (int c = 1; c <= 7; ++c)
        model->Domains(1, c) = Cell(domain[c - 1]);
    model->LineCount = 1;
    const double line[5] = {0, 0, 0, 40, 3};
    for (int c = 1; c <= 5; ++c)
        model->ConstrainedLines(1, c) = Cell(line[c - 1]);
    model->NodalLoadCount = 1;
    model->NodalLoads(1, 1) = Cell(40.0);
    model->NodalLoads(1, 2) = Cell(40.0);
    model->NodalLoads(1, 4) = Cell(-500.0);
    const QString path = m_dir.filePath(QStringLiteral("square.vdl"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(WriteStressFile(*model, DefaultSettings()));
    }
    Control<QRadioButton>(m_wizard, QStringLiteral("optFile"), 1)->click();
    m_dialogAnswers.push_back(path);
    StartNewAnalysis();
    for (int step = 3; step < 7; ++step)
        Next();
    ASSERT_EQ(m_wizard->CurrentStep, 7);
    PaintCounter counter;
    Control<QLabel>(m_wizard, QStringLiteral("picProgress"))->installEventFilter(&counter);
    m_shown.clear();
    Click(NavRowButton(m_wizard, NavRun));
    EXPECT_TRUE(m_shown.empty());
    EXPECT_EQ(Stress().StressValues.size(), 1600u);
    EXPECT_EQ(CountOn(cad::kVendelMesh), 1600u);
    EXPECT_GT(counter.paints, 10);
    EXPECT_LE(counter.paints, 110);
}

} // namespace

TEST_F(VendelWizard, FailedSolverRunSaysTheSolversOwnReasonAndKeepsItsListingBesideTheAnalysis)
{
    StartNewAnalysis();
    ASSERT_NO_FATAL_FAILURE(TypeCantilever());
    // Saved and drawn once, so that the failed runs below have a mesh and results to keep.
    const QString path = m_dir.filePath(QStringLiteral("plate.vdl"));
    m_dialogAnswers.push_back(path);
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_FALSE(m_wizard->IsDirty());
    const std::size_t segments = CountOn(cad::kVendelPlus) + CountOn(cad::kVendelMinus);
    ASSERT_EQ(segments, 16u);

    // The real solver refuses a constrained-line code it does not know.
    Stress().ConstrainedLines(1, 5) = Cell(5.0f);
    m_shown.clear();
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_TRUE(m_shown[0].prompt.startsWith(QStringLiteral("The results of the analysis could not be read:\r\nthe solver stress says: ")))
        << m_shown[0].prompt.toStdString();
    EXPECT_TRUE(m_shown[0].prompt.contains(QStringLiteral("the code 5 of constrained line 1 is unknown"))) << m_shown[0].prompt.toStdString();
    EXPECT_FALSE(m_shown[0].prompt.contains(QStringLiteral("No such file")));
    // Its listing stands beside the analysis for a look; the exchange files are gone.
    QFile listing(m_dir.filePath(QStringLiteral("plate.prn")));
    ASSERT_TRUE(listing.open(QIODevice::ReadOnly));
    EXPECT_TRUE(listing.readAll().contains("the code 5 of constrained line 1 is unknown"));
    for (const char* name : {"datein", "dateout", "dateout.dat"})
        EXPECT_FALSE(QFile::exists(Exchange(QLatin1String(name)))) << name;
    EXPECT_EQ(CountOn(cad::kVendelPlus) + CountOn(cad::kVendelMinus), segments);

    // A solver that crashes is said to have crashed.
    Stress().ConstrainedLines(1, 5) = Cell(3.0f);
    FakeSolver("kill -SEGV $$");
    m_shown.clear();
    Click(NavRowButton(m_wizard, NavRun));
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].prompt, QStringLiteral("The results of the analysis could not be read:\r\nthe solver stress crashed before it had finished."));
    EXPECT_EQ(CountOn(cad::kVendelMesh), 8u);
}

TEST_F(VendelWizard, NotANumberInAnOpenedPlateIsNamedByTableRowAndField)
{
    auto plate = std::make_unique<StressModel>();
    StressModel& m = *plate;
    m.VertCount = 2;
    m.HorzCount = 2;
    m.GridLines(1, 1) = Cell(0.0f);
    m.GridLines(2, 1) = Cell(10.0f);
    m.GridLines(1, 2) = Cell(0.0f);
    m.GridLines(2, 2) = Cell(5.0f);
    m.DomainCount = 1;
    const float domain[] = {0, 0, 10, 5, 1, 210000, std::numeric_limits<float>::quiet_NaN()};
    for (int c = 1; c <= 7; ++c)
        m.Domains(1, c) = Cell(domain[c - 1]);
    const QString path = m_dir.filePath(QStringLiteral("nan.vdl"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(WriteStressFile(m, DefaultSettings()));
    }
    ASSERT_TRUE(Stress().VertCount == 0);
    SettingsArray settings = DefaultSettings();
    ReadAnalysisFile(StressFileKind(Stress(), settings), path);
    m_shown.clear();
    EXPECT_FALSE(WriteSolverInput());
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_TRUE(m_shown[0].prompt.startsWith(QStringLiteral("An error has ocurred creating the file.\r\nPlease go back and revise your data\r\n"
                                                            "subdomains, row 1, G [daN/cm²]: ")))
        << m_shown[0].prompt.toStdString();
    EXPECT_TRUE(m_shown[0].prompt.endsWith(QStringLiteral(" is not a finite number"))) << m_shown[0].prompt.toStdString();
}
