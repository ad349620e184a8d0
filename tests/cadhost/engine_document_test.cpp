// Guards against broken drawing rules: layer add/delete/freeze rules, selection-set limits and
// modes, text alignment placement, ObjectIDs reused, the line type file misread, system
// variables accepting nonsense, and document naming.
#include <cmath>
#include <algorithm>
#include <numbers>
#include <optional>
#include <random>
#include <tuple>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DocumentList.h"
#include "support/EngineChecks.h"
#include "cadhost/engine/EngineError.h"
#include "support/TestSupport.h"

using namespace cadhost;
using cadhost::test::ExpectDocumentConsistent;

namespace {

void UseOurLinetypeFile()
{
    LinetypeTable::SetSearchFolders({ardela::test::BinDir()});
}

template <typename F>
std::optional<ErrorKind> CodeOf(F&& f)
{
    try {
        f();
    } catch (const EngineError& e) {
        return e.Kind();
    }
    return std::nullopt;
}

bool Selects(Document& doc, const Point3& at)
{
    return !doc.SelectCrossing(Box2::FromCorners(at, at)).empty();
}

} // namespace

TEST(Layers, NamesCompareWithoutCaseAndAddReturnsTheExistingLayer)
{
    Document doc("Drawing1.dxf");
    Layer& first = doc.AddLayer("Korrin_Nodes");
    doc.SetLayerColor("korrin_nodes", 2);
    Layer& again = doc.AddLayer("KORRIN_NODES");
    EXPECT_EQ(&first, &again);
    EXPECT_EQ(again.name, QStringLiteral("Korrin_Nodes"));
    EXPECT_EQ(again.color, 2);
    EXPECT_EQ(doc.Layers().Count(), 2);
    EXPECT_EQ(doc.AddLayer("0").name, QStringLiteral("0"));
    EXPECT_EQ(CodeOf([&] { doc.AddLayer("bad*name"); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.AddLayer(""); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.SetLayerColor("Korrin_Nodes", 0); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.SetLayerColor("Korrin_Nodes", 256); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(doc.Layers().Find("Korrin_Nodes")->color, 2);
    ExpectDocumentConsistent(doc);
}

TEST(Layers, DeleteIsRefusedForLayerZeroTheActiveLayerAndALayerHoldingEntities)
{
    Document doc("Drawing1.dxf");
    doc.AddLayer("Korrin_Beams");
    doc.AddLayer("Empty");
    doc.SetActiveLayer("Korrin_Beams");
    const ObjectId line = doc.AddLine({0, 0, 0}, {1, 1, 0});

    EXPECT_EQ(CodeOf([&] { doc.DeleteLayer("0"); }), ErrorKind::Refused);
    EXPECT_EQ(CodeOf([&] { doc.DeleteLayer("korrin_beams"); }), ErrorKind::Refused);   // active
    doc.SetActiveLayer("0");
    EXPECT_EQ(CodeOf([&] { doc.DeleteLayer("Korrin_Beams"); }), ErrorKind::Refused);   // holds the line
    EXPECT_NE(doc.Layers().Find("Korrin_Beams"), nullptr);

    SelectionSet& set = doc.AddSelectionSet("tempss");
    set.Select(kSelectAll, std::nullopt, std::nullopt, {{8, "Korrin_Beams"}});
    set.Erase();
    doc.DeleteSelectionSet("tempss");
    EXPECT_EQ(doc.Find(line), nullptr);
    doc.DeleteLayer("KORRIN_BEAMS");
    doc.DeleteLayer("Empty");
    EXPECT_EQ(doc.Layers().Count(), 1);
    EXPECT_EQ(CodeOf([&] { doc.DeleteLayer("Empty"); }), ErrorKind::Deleted);
    ExpectDocumentConsistent(doc);
}

TEST(Layers, TheActiveLayerCannotBeFrozenNorAFrozenLayerMadeActive)
{
    Document doc("Drawing1.dxf");
    doc.AddLayer("A");
    doc.SetLayerFrozen("A", true);
    EXPECT_EQ(CodeOf([&] { doc.SetActiveLayer("A"); }), ErrorKind::Refused);
    EXPECT_EQ(CodeOf([&] { doc.SetLayerFrozen("0", true); }), ErrorKind::Refused);
    EXPECT_EQ(CodeOf([&] { doc.SetActiveLayer("missing"); }), ErrorKind::Deleted);
    doc.SetLayerFrozen("A", false);
    doc.SetActiveLayer("a");
    EXPECT_EQ(doc.ActiveLayer(), QStringLiteral("A"));
    ExpectDocumentConsistent(doc);
}

TEST(Layers, EntitiesGoToTheActiveLayerAndLockedOrFrozenLayersStillSelectWithModeFive)
{
    Document doc("Drawing1.dxf");
    doc.AddLayer("Locked");
    doc.AddLayer("Frozen");
    doc.SetActiveLayer("Locked");
    const ObjectId a = doc.AddPoint({0, 0, 0});
    doc.SetActiveLayer("Frozen");
    const ObjectId b = doc.AddLine({0, 0, 0}, {2, 0, 0});
    doc.SetActiveLayer("0");
    doc.SetLayerLocked("Locked", true);
    doc.SetLayerFrozen("Frozen", true);
    EXPECT_EQ(doc.Get(a).layer, QStringLiteral("Locked"));
    SelectionSet& set = doc.AddSelectionSet("all");
    set.Select(kSelectAll, std::nullopt, std::nullopt);
    EXPECT_EQ(set.Items(), (std::vector<ObjectId>{a, b}));
    set.Erase();
    EXPECT_EQ(doc.EntityCount(), 0u);
    EXPECT_EQ(set.Count(), 0);
    ExpectDocumentConsistent(doc);
}

TEST(SelectionSets, NamesAreUniqueAndAtMost128Exist)
{
    Document doc("Drawing1.dxf");
    doc.AddSelectionSet("tempss");
    EXPECT_EQ(CodeOf([&] { doc.AddSelectionSet("TEMPSS"); }), ErrorKind::Refused);
    for (int i = 1; i < Document::kMaxSelectionSets; ++i)
        doc.AddSelectionSet(QStringLiteral("set%1").arg(i));
    EXPECT_EQ(doc.SelectionSetCount(), 128);
    EXPECT_EQ(CodeOf([&] { doc.AddSelectionSet("one too many"); }), ErrorKind::Refused);
    doc.DeleteSelectionSet("Tempss");
    EXPECT_EQ(doc.FindSelectionSet("tempss"), nullptr);
    doc.AddSelectionSet("tempss");
    EXPECT_EQ(CodeOf([&] { doc.DeleteSelectionSet("never made"); }), ErrorKind::Deleted);
}

TEST(SelectionSets, CrossingAtOnePointTakesWhatPassesThroughItAndItemChecksItsIndex)
{
    Document doc("Drawing1.dxf");
    const ObjectId p = doc.AddPoint({5, 5, 0});
    const ObjectId through = doc.AddLine({0, 0, 0}, {10, 10, 0});
    doc.AddLine({0, 1, 0}, {10, 11, 0});   // passes by (5, 6)
    const ObjectId ending = doc.AddLine({5, 5, 0}, {9, 0, 0});
    SelectionSet& set = doc.AddSelectionSet("tempss");
    set.Select(kSelectCrossing, Point3{5, 5, 0}, Point3{5, 5, 0});
    EXPECT_EQ(set.Items(), (std::vector<ObjectId>{p, through, ending}));
    // Selecting again adds nothing twice.
    set.Select(kSelectCrossing, Point3{4, 4, 0}, Point3{6, 6, 0}, {{0, "POINT"}});
    EXPECT_EQ(set.Count(), 3);
    EXPECT_EQ(set.Item(0), p);
    EXPECT_EQ(CodeOf([&] { set.Item(3); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { set.Item(-1); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { set.Select(kSelectCrossing, std::nullopt, std::nullopt); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { set.Select(3, std::nullopt, std::nullopt); }), ErrorKind::InvalidArgument);
}

TEST(SelectionSets, WindowModeTakesOnlyWhatLiesWhollyInside)
{
    Document doc("Drawing1.dxf");
    const ObjectId inside = doc.AddLine({1, 1, 0}, {2, 2, 0});
    doc.AddLine({1, 1, 0}, {20, 2, 0});
    SelectionSet& set = doc.AddSelectionSet("w");
    set.Select(kSelectWindow, Point3{0, 0, 0}, Point3{3, 3, 0});
    EXPECT_EQ(set.Items(), std::vector<ObjectId>{inside});
}

TEST(ObjectIds, AreNeverReusedAndFitIn32Bits)
{
    Document doc("Drawing1.dxf");
    Document other("Drawing2.dxf");
    std::set<ObjectId> seen;
    for (int i = 0; i < 100; ++i) {
        const ObjectId id = doc.AddPoint({double(i), 0, 0});
        EXPECT_TRUE(seen.insert(id).second);
        doc.Erase(id);
        EXPECT_TRUE(seen.insert(other.AddPoint({0, 0, 0})).second);
    }
    EXPECT_LT(*seen.rbegin(), ObjectId(INT32_MAX));
    EXPECT_GT(*seen.begin(), 0);
    EXPECT_EQ(doc.Find(*seen.begin()), nullptr);
    EXPECT_EQ(CodeOf([&] { doc.Get(*seen.begin()); }), ErrorKind::Deleted);
    EXPECT_EQ(CodeOf([&] { doc.AddLine({NAN, 0, 0}, {1, 1, 0}); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.AddLine({1e300, 0, 0}, {1, 1, 0}); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.AddText("x", {0, 0, 0}, 1e300); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.AddPolyline({0, 0, 0, 1}); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.AddLightWeightPolyline({0, 0}); }), ErrorKind::InvalidArgument);
    ExpectDocumentConsistent(doc);
}

TEST(ObjectIds, LayersRedrawnManyTimesKeepTheOtherEntitiesFindableInOrder)
{
    // The wizards erase and redraw their layers over and over; the rest of the drawing must
    // stay put through the packing of erased entities.
    Document doc("Drawing1.dxf");
    const ObjectId keepFirst = doc.AddLine({0, 0, 0}, {5, 5, 0});
    doc.AddLayer("Korrin_Nodes");
    for (int round = 0; round < 40; ++round) {
        SelectionSet& set = doc.AddSelectionSet("tempss");
        set.Select(kSelectAll, std::nullopt, std::nullopt, {{8, "Korrin_Nodes"}});
        set.Erase();
        doc.DeleteSelectionSet("tempss");
        doc.SetActiveLayer("Korrin_Nodes");
        for (int i = 0; i < 200; ++i)
            doc.AddPoint({double(i), double(round), 0});
        doc.SetActiveLayer("0");
    }
    const ObjectId keepLast = doc.AddLine({100, 100, 0}, {101, 101, 0});
    cadhost::test::ExpectDocumentConsistent(doc);
    EXPECT_EQ(doc.EntityCount(), 202u);
    ASSERT_NE(doc.Find(keepFirst), nullptr);
    EXPECT_EQ(doc.Find(keepFirst)->points[1], (Point3{5, 5, 0}));
    EXPECT_EQ(doc.SelectCrossing(Box2{2.5, 2.5, 2.5, 2.5}), std::vector<ObjectId>{keepFirst});
    std::vector<ObjectId> order;
    doc.ForEachEntity([&](const Entity& e) { order.push_back(e.id); });
    EXPECT_EQ(order.front(), keepFirst);
    EXPECT_EQ(order.back(), keepLast);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << "creation order lost";
    const auto points = doc.SelectCrossing(Box2{0, 39, 199, 39});
    EXPECT_EQ(points.size(), 200u);
}

TEST(TextAlignment, LeftTextRefusesAnAlignmentPointAndOtherAlignmentsStartAtTheInsertion)
{
    Document doc("Drawing1.dxf");
    const ObjectId t = doc.AddText("12", {3, 4, 0}, 1.0);
    EXPECT_EQ(doc.Get(t).alignment, kAlignLeft);
    EXPECT_EQ(CodeOf([&] { doc.SetTextAlignmentPoint(t, {5, 5, 0}); }), ErrorKind::Refused);
    EXPECT_EQ(CodeOf([&] { doc.SetTextAlignment(t, 15); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.SetTextAlignment(t, -1); }), ErrorKind::InvalidArgument);
    doc.SetTextAlignment(t, kAlignBottomCenter);
    EXPECT_EQ(doc.Get(t).alignmentPoint, (Point3{3, 4, 0}));
    const ObjectId line = doc.AddLine({0, 0, 0}, {1, 0, 0});
    EXPECT_EQ(CodeOf([&] { doc.SetTextAlignment(line, 7); }), ErrorKind::Refused);
    EXPECT_EQ(CodeOf([&] { doc.SetTextHeight(t, 0.0); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.AddText("x", {0, 0, 0}, -1.0); }), ErrorKind::InvalidArgument);
}

TEST(TextAlignment, BottomCentreSitsOnItsPointAndTopCentreHangsBelowIt)
{
    // Bar labels: a force label sits on the bar's midpoint (13), a bar number hangs under it (7).
    Document doc("Drawing1.dxf");
    const ObjectId force = doc.AddText("1.000", {0, 0, 0}, 2.0);
    doc.SetTextAlignment(force, kAlignBottomCenter);
    doc.SetTextAlignmentPoint(force, {50, 50, 0});
    EXPECT_TRUE(Selects(doc, {50, 51, 0}));      // just above the point, centred
    EXPECT_FALSE(Selects(doc, {50, 49, 0}));     // below the baseline
    EXPECT_TRUE(Selects(doc, {49, 51, 0}));
    EXPECT_TRUE(Selects(doc, {51, 51, 0}));      // spreads to both sides
    EXPECT_FALSE(Selects(doc, {50, 52.5, 0}));   // above the text height

    Document other("Drawing2.dxf");
    const ObjectId number = other.AddText("7", {0, 0, 0}, 2.0);
    other.SetTextAlignment(number, kAlignTopCenter);
    other.SetTextAlignmentPoint(number, {10, 10, 0});
    EXPECT_TRUE(Selects(other, {10, 9, 0}));
    EXPECT_FALSE(Selects(other, {10, 10.5, 0}));
    // Turned by a quarter turn the text's "down" points along +x.
    other.SetTextRotation(number, std::numbers::pi / 2);
    EXPECT_TRUE(Selects(other, {11, 10, 0}));
    EXPECT_FALSE(Selects(other, {9, 10, 0}));
}

TEST(LinetypeFile, OurFileDefinesTheDashPatternsTheProgramsLoad)
{
    QFile file(QDir(ardela::test::BinDir()).filePath("acad.lin"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto defs = ParseLinFile(QString::fromUtf8(file.readAll()), "acad.lin");
    auto find = [&](const char* name) -> const Linetype* {
        for (const auto& lt : defs)
            if (lt.name == QLatin1String(name))
                return &lt;
        return nullptr;
    };
    ASSERT_NE(find("DASHED"), nullptr);
    EXPECT_EQ(find("DASHED")->pattern, (std::vector<double>{0.5, -0.25}));
    ASSERT_NE(find("DASHDOT"), nullptr);
    EXPECT_EQ(find("DASHDOT")->pattern, (std::vector<double>{0.5, -0.25, 0.0, -0.25}));
    EXPECT_NE(find("CENTER"), nullptr);
    EXPECT_NE(find("HIDDEN"), nullptr);
}

TEST(LinetypeFile, MalformedDefinitionsNameTheirLine)
{
    try {
        ParseLinFile("*A,first\nA,.5,-.25\n*B,second\nA,.5,x\n", "bad.lin");
        FAIL() << "a bad dash length was accepted";
    } catch (const EngineError& e) {
        EXPECT_TRUE(e.Message().contains("line 4")) << e.Message().toStdString();
    }
    EXPECT_THROW(ParseLinFile("*A,no pattern\n", "bad.lin"), EngineError);
    EXPECT_THROW(ParseLinFile("A,.5\n", "bad.lin"), EngineError);
    const auto ok = ParseLinFile(";; comment\n*TXT,with text\nA,.5,-.2,[\"X\",STANDARD,S=.1],-.2\n", "x.lin");
    ASSERT_EQ(ok.size(), 1u);
    EXPECT_EQ(ok[0].pattern, (std::vector<double>{0.5, -0.2, -0.2}));
}

TEST(LinetypeFile, LoadFindsNamesInAnyCaseOnceAndLayersTakeOnlyLoadedTypes)
{
    UseOurLinetypeFile();
    Document doc("Drawing1.dxf");
    doc.AddLayer("Korrin_Minus");
    EXPECT_EQ(CodeOf([&] { doc.SetLayerLinetype("Korrin_Minus", "DASHED"); }), ErrorKind::Refused);
    EXPECT_EQ(doc.Linetypes().Find("dashed"), nullptr);
    doc.LoadLinetype("dashed", "acad.lin");
    ASSERT_NE(doc.Linetypes().Find("DASHED"), nullptr);
    EXPECT_EQ(CodeOf([&] { doc.LoadLinetype("DASHED", "acad.lin"); }), ErrorKind::Refused);
    doc.SetLayerLinetype("Korrin_Minus", "Dashed");
    EXPECT_EQ(doc.Layers().Find("Korrin_Minus")->linetype, QStringLiteral("DASHED"));
    doc.SetLayerLinetype("Korrin_Minus", "Continuous");
    EXPECT_EQ(CodeOf([&] { doc.LoadLinetype("NOSUCH", "acad.lin"); }), ErrorKind::Refused);
    EXPECT_EQ(CodeOf([&] { doc.LoadLinetype("DASHDOT", "missing.lin"); }), ErrorKind::Refused);
}

TEST(Variables, OsmodeTakesSixteenBitSnapModesAndRefusesNonsense)
{
    Document doc("Drawing1.dxf");
    doc.SetVariable("OSMODE", 33);
    EXPECT_EQ(doc.GetVariable("osmode").toInt(), 33);
    doc.SetVariable("OSMODE", QVariant(qint16(8)));
    EXPECT_EQ(doc.GetVariable("OSMODE").toInt(), 8);
    EXPECT_EQ(CodeOf([&] { doc.SetVariable("OSMODE", -1); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.SetVariable("OSMODE", 2.5); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.SetVariable("OSMODE", "abc"); }), ErrorKind::InvalidArgument);
    EXPECT_EQ(CodeOf([&] { doc.SetVariable("NOSUCHVAR", 1); }), ErrorKind::Refused);
    EXPECT_EQ(doc.GetVariable("OSMODE").toInt(), 8);
}

TEST(TextStyle, SetFontReplacesTheTypefaceAndKeepsTheRest)
{
    Document doc("Drawing1.dxf");
    FontDesc font = doc.GetFont();
    font.bold = true;
    font.charset = 238;
    font.pitchAndFamily = 34;
    doc.SetFont(font);
    FontDesc back = doc.GetFont();
    back.typeface = "Arial";
    doc.SetFont(back);
    EXPECT_EQ(doc.GetFont(), (FontDesc{"Arial", true, false, 238, 34}));
    EXPECT_EQ(doc.ActiveTextStyle().name, QStringLiteral("Standard"));
}

TEST(Documents, NewDrawingsAreNumberedAndSavedStateFollowsEdits)
{
    DocumentList docs;
    Document& a = docs.Add();
    Document& b = docs.Add();
    EXPECT_EQ(a.Name(), QStringLiteral("Drawing1.dxf"));
    EXPECT_EQ(b.Name(), QStringLiteral("Drawing2.dxf"));
    EXPECT_TRUE(a.FullName().isEmpty());
    EXPECT_EQ(docs.Active(), &b);
    docs.Close(&b);
    EXPECT_EQ(docs.Active(), &a);
    EXPECT_EQ(docs.Add().Name(), QStringLiteral("Drawing3.dxf"));
    EXPECT_TRUE(a.Saved());
    a.AddPoint({0, 0, 0});
    EXPECT_FALSE(a.Saved());
    a.MarkSaved();
    EXPECT_TRUE(a.Saved());
    EXPECT_EQ(CodeOf([&] { docs.Item(5); }), ErrorKind::InvalidArgument);
}

TEST(Documents, ListenersHearEveryChangeUntilRemoved)
{
    Document doc("Drawing1.dxf");
    int heard = 0;
    const int token = doc.AddListener([&](const Document&) { ++heard; });
    doc.AddLine({0, 0, 0}, {1, 0, 0});
    doc.AddLayer("X");
    EXPECT_EQ(heard, 2);
    doc.RemoveListener(token);
    doc.AddPoint({0, 0, 0});
    EXPECT_EQ(heard, 2);
}

TEST(DocumentInvariants, HoldAfterEveryEditOfARandomSession)
{
    std::mt19937 rng(1208);
    std::uniform_int_distribution<int> action(0, 19), pickLayer(0, 3);
    std::uniform_real_distribution<double> at(-100, 100);
    const QString layers[4] = {"0", "Korrin_Nodes", "korrin_beams", "Vendel_Mesh"};
    Document doc("Drawing1.dxf");
    int refused = 0;
    for (int step = 0; step < 600; ++step) {
        const QString layer = layers[pickLayer(rng)];
        try {
            switch (action(rng)) {
            case 0: doc.AddLayer(layer); break;
            case 1: doc.SetActiveLayer(layer); break;
            case 2: doc.SetLayerFrozen(layer, rng() % 2 == 0); break;
            case 3: doc.SetLayerOn(layer, rng() % 2 == 0); break;
            case 4: doc.DeleteLayer(layer); break;
            case 5: doc.AddLine({at(rng), at(rng), 0}, {at(rng), at(rng), 0}); break;
            case 6: doc.AddPoint({at(rng), at(rng), 0}); break;
            case 7: {
                const ObjectId t = doc.AddText("12", {at(rng), at(rng), 0}, 2.0);
                doc.SetTextAlignment(t, int(rng() % 15));
                if (doc.Get(t).alignment != kAlignLeft)
                    doc.SetTextAlignmentPoint(t, {at(rng), at(rng), 0});
                doc.SetTextRotation(t, at(rng));
                break;
            }
            case 8: doc.AddSolid({0, 0, 0}, {at(rng), 0, 0}, {0, at(rng), 0}, {0, at(rng), 0}); break;
            case 9: {
                SelectionSet& set = doc.AddSelectionSet("tempss");
                set.Select(kSelectAll, std::nullopt, std::nullopt, {{8, layer}});
                set.Erase();
                doc.DeleteSelectionSet("tempss");
                break;
            }
            case 10: {
                SelectionSet& set = doc.AddSelectionSet("tempss");
                const Point3 p{at(rng), at(rng), 0};
                set.Select(kSelectCrossing, p, Point3{p.x + 20, p.y + 20, 0});
                set.Erase();
                doc.DeleteSelectionSet("tempss");
                break;
            }
            case 11: doc.Undo(); break;
            case 12: doc.Redo(); break;
            default: doc.AddLightWeightPolyline({at(rng), at(rng), at(rng), at(rng), at(rng), at(rng)}); break;
            }
        } catch (const EngineError&) {
            ++refused;   // a rule said no; the drawing must be as it was
        }
        cadhost::test::ExpectDocumentConsistent(doc);
        if (::testing::Test::HasFailure())
            FAIL() << "after step " << step;
    }
    EXPECT_GT(refused, 10) << "the session never ran into a rule";
    EXPECT_GT(doc.EntityCount(), 20u);
}

namespace {

// Every entity as (ObjectID, layer, first point x), in creation order.
std::vector<std::tuple<ObjectId, QString, double>> Snapshot(const Document& doc)
{
    std::vector<std::tuple<ObjectId, QString, double>> out;
    doc.ForEachEntity([&](const Entity& e) { out.emplace_back(e.id, e.layer, e.points[0].x); });
    return out;
}

} // namespace

TEST(Undo, AddEraseAndTextChangesGoBackAndForthKeepingTheirObjectIds)
{
    Document doc("Drawing1.dxf");
    EXPECT_FALSE(doc.Undo());
    const ObjectId a = doc.AddLine({1, 0, 0}, {2, 0, 0});
    const ObjectId b = doc.AddLine({3, 0, 0}, {4, 0, 0});
    const ObjectId t = doc.AddText("first", {5, 0, 0}, 2.5);
    const auto all = Snapshot(doc);
    doc.SetTextString(t, "second");
    doc.Erase(a);
    ASSERT_TRUE(doc.Undo());   // the erase
    EXPECT_EQ(Snapshot(doc), all);
    ASSERT_TRUE(doc.Undo());   // the text
    EXPECT_EQ(doc.Get(t).text, QStringLiteral("first"));
    ASSERT_TRUE(doc.Undo());   // the text's adding
    EXPECT_EQ(doc.Find(t), nullptr);
    EXPECT_EQ(doc.EntityCount(), 2u);
    cadhost::test::ExpectDocumentConsistent(doc);
    ASSERT_TRUE(doc.Redo());
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.Get(t).text, QStringLiteral("second"));
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.Find(a), nullptr);
    EXPECT_NE(doc.Find(b), nullptr);
    EXPECT_FALSE(doc.Redo());
    cadhost::test::ExpectDocumentConsistent(doc);
    // A new change forgets what could be redone.
    ASSERT_TRUE(doc.Undo());
    doc.AddPoint({9, 9, 0});
    EXPECT_FALSE(doc.CanRedo());
    EXPECT_FALSE(doc.Redo());
    EXPECT_NE(doc.Find(a), nullptr);
}

TEST(Undo, AStepHoldsEveryChangeBetweenItsEndsAndLayerChangesUndoToo)
{
    Document doc("Drawing1.dxf");
    {
        const Document::Step step(doc);
        doc.AddLayer("Korrin_Nodes");
        doc.SetLayerColor("Korrin_Nodes", 1);
        doc.SetActiveLayer("Korrin_Nodes");
        doc.AddPoint({1, 1, 0});
        doc.AddPoint({2, 2, 0});
    }
    doc.SetLayerColor("Korrin_Nodes", 5);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.Layers().Find("Korrin_Nodes")->color, 1);
    ASSERT_TRUE(doc.Undo());   // the whole step at once
    EXPECT_EQ(doc.EntityCount(), 0u);
    EXPECT_EQ(doc.Layers().Find("Korrin_Nodes"), nullptr);
    EXPECT_EQ(doc.ActiveLayer(), QStringLiteral("0"));
    EXPECT_FALSE(doc.CanUndo());
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.EntityCount(), 2u);
    EXPECT_EQ(doc.ActiveLayer(), QStringLiteral("Korrin_Nodes"));
    EXPECT_EQ(doc.Layers().Find("Korrin_Nodes")->color, 1);
    cadhost::test::ExpectDocumentConsistent(doc);
    // A selection set's Erase is one step, whatever it takes.
    SelectionSet& set = doc.AddSelectionSet("tempss");
    set.Select(kSelectAll, std::nullopt, std::nullopt);
    set.Erase();
    EXPECT_EQ(doc.EntityCount(), 0u);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.EntityCount(), 2u);
    // A refused change records nothing.
    EXPECT_THROW(doc.DeleteLayer("0"), EngineError);
    EXPECT_THROW(doc.SetLayerColor("Korrin_Nodes", 300), EngineError);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.EntityCount(), 0u) << "a refused change took the place of the step before it";
}

TEST(Undo, ALargeEraseComesBackAndGoesAgainWithoutRebuildingTheIndex)
{
    Document doc("Drawing1.dxf");
    std::vector<ObjectId> ids;
    {
        const Document::Step drawing(doc);
        for (int i = 0; i < 3000; ++i)
            ids.push_back(doc.AddLine({double(i), 0, 0}, {double(i), 1, 0}));
    }
    const auto all = Snapshot(doc);
    // Two thirds erased in one step, as a wizard clears its layers: the erased slots outnumber
    // the live ones, yet the step can bring them back, so their slots stay where they are.
    SelectionSet& set = doc.AddSelectionSet("tempss");
    set.Select(kSelectCrossing, Point3{-0.5, -0.5, 0}, Point3{1999.5, 1.5, 0});
    ASSERT_EQ(set.Count(), 2000);
    set.Erase();
    EXPECT_EQ(doc.EntityCount(), 1000u);
    const std::size_t rebuilds = doc.IndexRebuilds();
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.IndexRebuilds(), rebuilds) << "restoring the erased entities rebuilt the index";
    EXPECT_EQ(Snapshot(doc), all);
    for (ObjectId id : ids)
        ASSERT_NE(doc.Find(id), nullptr);
    ExpectDocumentConsistent(doc);
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.EntityCount(), 1000u);
    EXPECT_EQ(doc.Find(ids[0]), nullptr);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.IndexRebuilds(), rebuilds);
    EXPECT_EQ(Snapshot(doc), all);
    EXPECT_EQ(doc.SelectCrossing(Box2{-0.5, -0.5, 2999.5, 1.5}).size(), 3000u);
    // Once no step can bring them back, erased slots are packed again.
    doc.ClearUndo();
    set.Select(kSelectAll, std::nullopt, std::nullopt);
    set.Erase();
    EXPECT_EQ(doc.IndexRebuilds(), rebuilds);
    doc.ClearUndo();
    doc.Erase(doc.AddLine({0, 0, 0}, {1, 1, 0}));
    EXPECT_EQ(doc.IndexRebuilds(), rebuilds + 1);
    EXPECT_EQ(doc.EntityCount(), 0u);
}

TEST(Undo, ErasedEntitiesComeBackInCreationOrderAfterManySmallErases)
{
    Document doc("Drawing1.dxf");
    std::vector<ObjectId> ids;
    {
        const Document::Step drawing(doc);
        for (int i = 0; i < 2000; ++i)
            ids.push_back(doc.AddLine({double(i), 0, 0}, {double(i), 1, 0}));
    }
    const auto all = Snapshot(doc);
    // 1100 erased, two a step: the erased entities come to outnumber the live ones, yet every
    // one of them stays in its slot while a step can bring it back.
    for (std::size_t i = 0; i < 1100; i += 2) {
        const Document::Step pair(doc);
        doc.Erase(ids[i * 18 / 10]);
        doc.Erase(ids[i * 18 / 10 + 1]);
    }
    EXPECT_EQ(doc.EntityCount(), 900u);
    for (int i = 0; i < 550; ++i)
        ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Snapshot(doc), all);
    cadhost::test::ExpectDocumentConsistent(doc);
    // The spatial index finds them again too.
    EXPECT_EQ(doc.SelectCrossing(Box2{-0.5, -0.5, 1999.5, 1.5}).size(), 2000u);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.EntityCount(), 0u);
    EXPECT_FALSE(doc.CanUndo());
}
