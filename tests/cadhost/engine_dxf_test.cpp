// Guards against drawings lost or changed on the way through DXF: the round trip through the
// real reader and writer, a file laid out by hand, a DXF we write read by ezdxf, DWG names,
// unreadable files, and a failed save destroying the old file.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DocumentList.h"
#include "cadhost/engine/DxfFile.h"
#include "support/EngineChecks.h"
#include "cadhost/engine/EngineError.h"
#include "support/TestSupport.h"

using namespace cadhost;

namespace {

// A drawing with every entity kind, coloured and dashed layers, and an aligned rotated label.
void FillSample(Document& doc)
{
    LinetypeTable::SetSearchFolders({ardela::test::BinDir()});
    doc.LoadLinetype("DASHED", "acad.lin");
    doc.AddLayer("Korrin_Plus");
    doc.SetLayerColor("Korrin_Plus", 5);
    doc.AddLayer("Korrin_Minus");
    doc.SetLayerColor("Korrin_Minus", 1);
    doc.SetLayerLinetype("Korrin_Minus", "DASHED");
    doc.AddLayer("Hidden");
    doc.SetLayerOn("Hidden", false);
    doc.SetLayerFrozen("Hidden", true);
    doc.SetLayerLocked("Hidden", true);
    doc.SetLayerColor("Hidden", 200);
    doc.SetActiveLayer("Korrin_Plus");
    doc.AddLine({0, 0, 0}, {10, 10, 0});
    const ObjectId label = doc.AddText("-1,250.500 ăș", {0, 0, 0}, 2.5);
    doc.SetTextAlignment(label, kAlignBottomCenter);
    doc.SetTextAlignmentPoint(label, {5, 5, 0});
    doc.SetTextRotation(label, std::numbers::pi / 4);
    doc.SetActiveLayer("Korrin_Minus");
    doc.AddPoint({1.25, -2.5, 0});
    doc.AddPolyline({0, 0, 0, 1, 2, 3, 4, 5, 6});
    doc.AddLightWeightPolyline({0, 0, 5, 0, 5, 5});
    doc.AddSolid({100, 50, 0}, {96, 49.2, 0}, {96, 50.8, 0}, {96, 50.8, 0});
    doc.SetActiveLayer("0");
    FontDesc font = doc.GetFont();
    font.typeface = "Arial";
    doc.SetFont(font);
}

std::vector<Entity> Entities(const Document& doc)
{
    std::vector<Entity> out;
    doc.ForEachEntity([&](const Entity& e) { out.push_back(e); });
    return out;
}

QString DebianPython()
{
    return QFileInfo::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3") : QString();
}

} // namespace

TEST(DxfRoundTrip, EveryEntityKindLayerAndTheFontComeBack)
{
    QTemporaryDir dir;
    Document doc("Drawing1.dxf");
    FillSample(doc);
    const QString path = dir.filePath("sample.dxf");
    SaveDocument(doc, path);
    EXPECT_TRUE(doc.Saved());
    EXPECT_EQ(doc.FullName(), path);

    DocumentList docs;
    Document& back = docs.Open(path);
    cadhost::test::ExpectDocumentConsistent(back);
    EXPECT_EQ(back.Name(), QStringLiteral("sample.dxf"));
    EXPECT_TRUE(back.Saved());
    EXPECT_EQ(back.GetFont().typeface, QStringLiteral("Arial"));
    const Layer* minus = back.Layers().Find("Korrin_Minus");
    ASSERT_NE(minus, nullptr);
    EXPECT_EQ(minus->color, 1);
    EXPECT_EQ(minus->linetype.toUpper(), QStringLiteral("DASHED"));
    ASSERT_NE(back.Linetypes().Find("DASHED"), nullptr);
    EXPECT_EQ(back.Linetypes().Find("DASHED")->pattern, (std::vector<double>{0.5, -0.25}));
    const Layer* hidden = back.Layers().Find("Hidden");
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(hidden->color, 200);
    EXPECT_FALSE(hidden->on);
    EXPECT_TRUE(hidden->frozen);
    EXPECT_TRUE(hidden->locked);

    const auto a = Entities(doc), b = Entities(back);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(EntityTypeName(a[i].kind).toStdString());
        EXPECT_EQ(a[i].kind, b[i].kind);
        EXPECT_EQ(a[i].layer, b[i].layer);
        ASSERT_EQ(a[i].points.size(), b[i].points.size());
        for (std::size_t k = 0; k < a[i].points.size(); ++k) {
            EXPECT_NEAR(a[i].points[k].x, b[i].points[k].x, 1e-9);
            EXPECT_NEAR(a[i].points[k].y, b[i].points[k].y, 1e-9);
            EXPECT_NEAR(a[i].points[k].z, b[i].points[k].z, 1e-9);
        }
        EXPECT_EQ(a[i].text, b[i].text);
        if (a[i].kind == EntityKind::Text) {
            EXPECT_EQ(b[i].alignment, kAlignBottomCenter);
            EXPECT_NEAR(b[i].alignmentPoint.x, 5.0, 1e-9);
            EXPECT_NEAR(b[i].alignmentPoint.y, 5.0, 1e-9);
            EXPECT_NEAR(b[i].rotation, std::numbers::pi / 4, 1e-9);
            EXPECT_DOUBLE_EQ(b[i].height, 2.5);
        }
    }
    EXPECT_NE(b.front().id, a.front().id) << "opened entities get fresh ObjectIDs";
}

TEST(DxfRoundTrip, CommaLocaleStillWritesPoints)
{
    ardela::test::ScopedLocale locale("de_DE");
    QTemporaryDir dir;
    Document doc("Drawing1.dxf");
    doc.AddLine({0.5, 1.25, 0}, {2.75, 3.5, 0});
    const QString path = dir.filePath("de.dxf");
    SaveDocument(doc, path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("\n1.25\n") || text.contains("\n1.25\r\n"));
    Document back("x");
    DxfFile::Read(path, back);
    ASSERT_EQ(back.EntityCount(), 1u);
    EXPECT_DOUBLE_EQ(Entities(back)[0].points[1].x, 2.75);
}

TEST(DxfRoundTrip, ControlCharactersInATextAreWrittenInCaretNotationAndComeBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Document doc("Drawing1.dxf");
    // A text that, written raw, would end the text and start a LINE entity.
    const QString injected = QStringLiteral("A\n  0\nLINE\n  8\n0\n 10\n1");
    const QString tabbed = QStringLiteral("tab\there ^J caret^");
    const QString crlf = QStringLiteral("one\r\ntwo");
    doc.AddText(injected, {0, 0, 0}, 2.5);
    doc.AddText(tabbed, {0, 5, 0}, 2.5);
    doc.AddText(crlf, {0, 10, 0}, 2.5);
    const QString path = dir.filePath("caret.dxf");
    SaveDocument(doc, path);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    const auto hasLine = [&](const QByteArray& wanted) {
        return std::any_of(lines.begin(), lines.end(), [&](const QByteArray& l) { return l == wanted || l == wanted + '\r'; });
    };
    EXPECT_TRUE(hasLine("A^J  0^JLINE^J  8^J0^J 10^J1"));
    EXPECT_TRUE(hasLine("tab^Ihere ^ J caret^ "));
    EXPECT_TRUE(hasLine("one^M^Jtwo"));

    DocumentList docs;
    Document& back = docs.Open(path);
    std::vector<QString> texts;
    back.ForEachEntity([&](const Entity& e) {
        EXPECT_EQ(e.kind, EntityKind::Text);
        texts.push_back(e.text);
    });
    EXPECT_EQ(texts, (std::vector<QString>{injected, tabbed, crlf}));

    // ezdxf, decoding the caret notation as DXF readers do, reads the same three texts.
    const QString python = DebianPython();
    if (python.isEmpty())
        GTEST_SKIP() << "/usr/bin/python3 is missing";
    const char* script = R"PY(
import sys, ezdxf
from ezdxf.tools.text import caret_decode
doc = ezdxf.readfile(sys.argv[1])
for e in doc.modelspace():
    print(e.dxftype(), caret_decode(e.dxf.text).encode("unicode_escape").decode() if e.dxftype() == "TEXT" else "")
)PY";
    QProcess py;
    py.start(python, {"-c", script, path});
    ASSERT_TRUE(py.waitForFinished(120000));
    if (py.exitCode() != 0 && py.readAllStandardError().contains("No module named"))
        GTEST_SKIP() << "python3-ezdxf is not installed";
    ASSERT_EQ(py.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(py.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
              (QStringList{"TEXT A\\n  0\\nLINE\\n  8\\n0\\n 10\\n1", "TEXT tab\\there ^J caret^", "TEXT one\\r\\ntwo"}));
}

TEST(DxfRead, AHandLaidFileGivesItsLayersAndEntities)
{
    // Release 12 layout as any CAD program writes it: one layer, a line, a point, a centred text.
    const char* file =
        "  0\nSECTION\n  2\nTABLES\n"
        "  0\nTABLE\n  2\nLAYER\n 70\n1\n"
        "  0\nLAYER\n  2\nVendel_Mesh\n 70\n4\n 62\n3\n  6\nCONTINUOUS\n"
        "  0\nLAYER\n  2\n0\n 70\n1\n 62\n-7\n  6\nCONTINUOUS\n"
        "  0\nENDTAB\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n"
        "  0\nLINE\n  8\nVendel_Mesh\n 10\n1.5\n 20\n2.0\n 30\n0.0\n 11\n7.5\n 21\n-3.25\n 31\n0.0\n"
        "  0\nPOINT\n  8\nVendel_Mesh\n 10\n4.0\n 20\n5.0\n 30\n0.0\n"
        "  0\nTEXT\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n3.0\n  1\nHello\n 50\n90.0\n 72\n1\n 73\n3\n"
        " 11\n20.0\n 21\n30.0\n 31\n0.0\n"
        "  0\nENDSEC\n  0\nEOF\n";
    QTemporaryDir dir;
    QFile f(dir.filePath("hand.dxf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    Document doc("x");
    DxfFile::Read(f.fileName(), doc);
    const Layer* mesh = doc.Layers().Find("vendel_mesh");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->color, 3);
    EXPECT_TRUE(mesh->locked);
    // Layer "0" comes off but not frozen: it is the active layer.
    EXPECT_FALSE(doc.Layers().Find("0")->on);
    EXPECT_FALSE(doc.Layers().Find("0")->frozen);
    cadhost::test::ExpectDocumentConsistent(doc);
    const auto e = Entities(doc);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].kind, EntityKind::Line);
    EXPECT_EQ(e[0].points[1], (Point3{7.5, -3.25, 0}));
    EXPECT_EQ(e[1].kind, EntityKind::Point);
    EXPECT_EQ(e[1].layer, QStringLiteral("Vendel_Mesh"));
    EXPECT_EQ(e[2].kind, EntityKind::Text);
    EXPECT_EQ(e[2].alignment, kAlignTopCenter);
    EXPECT_EQ(e[2].alignmentPoint, (Point3{20, 30, 0}));
    EXPECT_NEAR(e[2].rotation, std::numbers::pi / 2, 1e-12);
    EXPECT_EQ(e[2].text, QStringLiteral("Hello"));
}

TEST(DxfRoundTrip, AnEntitysOwnColourAndLineTypeAreKeptAndKindsNotDrawnAreKeptToo)
{
    // A colleague's drawing: a red dashed line and a blue text on a green layer, a point by
    // layer, and two kinds this program keeps without drawing them.
    const char* file =
        "  0\nSECTION\n  2\nTABLES\n"
        "  0\nTABLE\n  2\nLTYPE\n 70\n1\n"
        "  0\nLTYPE\n  2\nDASHED\n 70\n0\n  3\n__ __\n 72\n65\n 73\n2\n 40\n0.75\n 49\n0.5\n 49\n-0.25\n"
        "  0\nENDTAB\n"
        "  0\nTABLE\n  2\nLAYER\n 70\n1\n"
        "  0\nLAYER\n  2\nGreen\n 70\n0\n 62\n3\n  6\nCONTINUOUS\n"
        "  0\nENDTAB\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n"
        "  0\nLINE\n  8\nGreen\n  6\nDASHED\n 62\n1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n10.0\n 21\n0.0\n 31\n0.0\n"
        "  0\nTEXT\n  8\nGreen\n 62\n5\n 10\n0.0\n 20\n5.0\n 30\n0.0\n 40\n2.0\n  1\nBlue\n"
        "  0\nPOINT\n  8\nGreen\n 10\n1.0\n 20\n1.0\n 30\n0.0\n"
        "  0\nCIRCLE\n  8\nGreen\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n"
        "  0\nCIRCLE\n  8\nGreen\n 10\n9.0\n 20\n0.0\n 30\n0.0\n 40\n1.0\n"
        "  0\nARC\n  8\nGreen\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 40\n5.0\n 50\n0.0\n 51\n90.0\n"
        "  0\nENDSEC\n  0\nEOF\n";
    QTemporaryDir dir;
    const QString original = dir.filePath("colleague.dxf");
    {
        QFile f(original);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    const auto check = [](const Document& doc) {
        const auto e = Entities(doc);
        ASSERT_EQ(e.size(), 6u);
        EXPECT_EQ(EntityTypeName(e[3]), QStringLiteral("CIRCLE"));
        EXPECT_EQ(EntityTypeName(e[5]), QStringLiteral("ARC"));
        EXPECT_EQ(e[0].color, 1);
        EXPECT_EQ(e[0].linetype, QStringLiteral("DASHED"));
        EXPECT_EQ(e[1].color, 5);
        EXPECT_TRUE(e[1].linetype.isEmpty());
        EXPECT_EQ(e[2].color, kColorByLayer);
        EXPECT_TRUE(e[2].linetype.isEmpty());
    };
    Document doc("x");
    EXPECT_EQ(DxfFile::Read(original, doc), 0);
    EXPECT_TRUE(doc.LeftOut().isEmpty());
    check(doc);
    const QString saved = dir.filePath("saved.dxf");
    SaveDocument(doc, saved);
    Document back("y");
    EXPECT_EQ(DxfFile::Read(saved, back), 0);
    EXPECT_TRUE(back.LeftOut().isEmpty());
    check(back);

    // ezdxf reads the same colours and line types from the saved file.
    const QString python = DebianPython();
    if (python.isEmpty())
        GTEST_SKIP() << "/usr/bin/python3 is missing";
    const char* script = R"PY(
import sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
print("errors", len(doc.audit().errors))
for e in doc.modelspace():
    print(e.dxftype(), e.dxf.layer, e.dxf.color, e.dxf.linetype.upper())
)PY";
    QProcess py;
    py.start(python, {"-c", script, saved});
    ASSERT_TRUE(py.waitForFinished(120000));
    if (py.exitCode() != 0 && py.readAllStandardError().contains("No module named"))
        GTEST_SKIP() << "python3-ezdxf is not installed";
    ASSERT_EQ(py.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(py.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
              (QStringList{"errors 0", "LINE Green 1 DASHED", "TEXT Green 5 BYLAYER", "POINT Green 256 BYLAYER",
                           "CIRCLE Green 256 BYLAYER", "CIRCLE Green 256 BYLAYER", "ARC Green 256 BYLAYER"}));
}

TEST(DxfSave, TheSavedViewIsTheDrawingsExtents)
{
    const QString python = DebianPython();
    QProcess probe;
    if (python.isEmpty() || (probe.start(python, {"-c", "import ezdxf"}), !probe.waitForFinished(60000))
        || probe.exitCode() != 0)
        GTEST_SKIP() << "python3-ezdxf is not installed";
    QTemporaryDir dir;
    // Far from the origin: a reader opening the old fixed view saw nothing.
    Document doc("Drawing1.dxf");
    doc.AddLine({1000, 2000, 0}, {1300, 2060, 0});
    doc.AddPoint({1150, 1990, 0});
    const QString path = dir.filePath("view.dxf");
    SaveDocument(doc, path);
    const char* script = R"PY(
import sys, ezdxf
d = ezdxf.readfile(sys.argv[1])
v = d.viewports.get("*Active")[0]
print("center %.6g %.6g" % tuple(v.dxf.center)[:2])
w = v.dxf.height * v.dxf.aspect_ratio
print("fits", v.dxf.height >= 70 and w >= 300, "snug", v.dxf.height < 2 * 70 or w < 2 * 300)
print("extmin %.6g %.6g" % tuple(d.header.get("$EXTMIN"))[:2])
print("extmax %.6g %.6g" % tuple(d.header.get("$EXTMAX"))[:2])
)PY";
    QProcess py;
    py.start(python, {"-c", script, path});
    ASSERT_TRUE(py.waitForFinished(120000));
    ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(py.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
              (QStringList{"center 1150 2025", "fits True snug True", "extmin 1000 1990", "extmax 1300 2060"}));
}

TEST(DxfRead, BlockDefinitionsAndPaperSpaceStayOutOfModelSpaceAndAreSavedAgain)
{
    const char* file =
        "  0\nSECTION\n  2\nBLOCKS\n"
        "  0\nBLOCK\n  8\n0\n  2\nTITLE\n 70\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n  3\nTITLE\n"
        "  0\nLINE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n1.0\n 31\n0.0\n"
        "  0\nENDBLK\n  8\n0\n"
        "  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n"
        "  0\nLINE\n  8\n0\n 67\n1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n2.0\n 21\n2.0\n 31\n0.0\n"
        "  0\nPOINT\n  8\n0\n 10\n4.0\n 20\n5.0\n 30\n0.0\n"
        "  0\nENDSEC\n  0\nEOF\n";
    QTemporaryDir dir;
    QFile f(dir.filePath("blocks.dxf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    Document doc("x");
    EXPECT_EQ(DxfFile::Read(f.fileName(), doc), 0);
    const auto e = Entities(doc);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].kind, EntityKind::Point);
    // Saved, the file holds the block's line and the paper-space line again, as they were.
    doc.AddLine({0, 0, 0}, {3, 3, 0});
    SaveDocument(doc, dir.filePath("saved.dxf"));
    QFile saved(dir.filePath("saved.dxf"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    EXPECT_TRUE(bytes.contains("  0\nBLOCK\n  8\n0\n  2\nTITLE\n 70\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n  3\nTITLE\n"
                               "  0\nLINE\n  8\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n1.0\n 31\n0.0\n"));
    EXPECT_TRUE(bytes.contains("  0\nLINE\n  8\n0\n 67\n1\n 10\n0.0\n"));
    Document back("y");
    DxfFile::Read(saved.fileName(), back);
    EXPECT_EQ(back.EntityCount(), 2u);
}

TEST(DxfRead, TruncatedFilesNeverCrashAndGiveAConsistentDrawingOrAnError)
{
    QTemporaryDir dir;
    Document doc("Drawing1.dxf");
    FillSample(doc);
    SaveDocument(doc, dir.filePath("whole.dxf"));
    QFile whole(dir.filePath("whole.dxf"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    int failures = 0;
    for (qsizetype cut = 1; cut < bytes.size(); cut += bytes.size() / 97 + 1) {
        const QString path = dir.filePath(QStringLiteral("cut%1.dxf").arg(cut));
        QFile part(path);
        ASSERT_TRUE(part.open(QIODevice::WriteOnly));
        part.write(bytes.left(cut));
        part.close();
        Document back("x");
        try {
            DxfFile::Read(path, back);
            cadhost::test::ExpectDocumentConsistent(back);
            EXPECT_LE(back.EntityCount(), doc.EntityCount());
        } catch (const EngineError& e) {
            ++failures;
            EXPECT_FALSE(e.Message().isEmpty());
        }
    }
    EXPECT_GT(failures, 0) << "cutting the file before its entities should be refused";
}

TEST(DxfRead, DamagedBytesNeverCrashAndGiveAConsistentDrawingOrAnError)
{
    QTemporaryDir dir;
    Document doc("Drawing1.dxf");
    FillSample(doc);
    SaveDocument(doc, dir.filePath("whole.dxf"));
    QFile whole(dir.filePath("whole.dxf"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    std::mt19937 rng(99);
    std::uniform_int_distribution<qsizetype> at(0, bytes.size() - 1);
    const char junk[] = {'\0', '\n', '-', '9', 'e', '.', ' ', 'A', '\xff'};
    std::uniform_int_distribution<int> pick(0, int(sizeof junk) - 1);
    for (int round = 0; round < 150; ++round) {
        QByteArray damaged = bytes;
        for (int k = 0; k < 1 + round % 5; ++k)
            damaged[at(rng)] = junk[pick(rng)];
        const QString path = dir.filePath(QStringLiteral("damaged%1.dxf").arg(round));
        QFile part(path);
        ASSERT_TRUE(part.open(QIODevice::WriteOnly));
        part.write(damaged);
        part.close();
        Document back("x");
        try {
            DxfFile::Read(path, back);
            cadhost::test::ExpectDocumentConsistent(back);
        } catch (const EngineError& e) {
            EXPECT_FALSE(e.Message().isEmpty());
        }
    }
}

TEST(DxfRead, DwgMissingAndGarbageFilesFailClearlyAndLeaveNoDocument)
{
    QTemporaryDir dir;
    DocumentList docs;
    auto expectFailure = [&](const QString& path, const char* words) {
        try {
            docs.Open(path);
            ADD_FAILURE() << "opened " << path.toStdString();
        } catch (const EngineError& e) {
            EXPECT_EQ(e.Kind(), ErrorKind::Refused);
            EXPECT_TRUE(e.Message().contains(words, Qt::CaseInsensitive)) << e.Message().toStdString();
        }
    };
    QFile dwg(dir.filePath("plan.dwg"));
    ASSERT_TRUE(dwg.open(QIODevice::WriteOnly));
    dwg.write(QByteArray("AC1015") + QByteArray(100, '\0'));
    dwg.close();
    expectFailure(dwg.fileName(), "DWG");
    QFile renamed(dir.filePath("renamed.dxf"));
    ASSERT_TRUE(renamed.open(QIODevice::WriteOnly));
    renamed.write(QByteArray("AC1018") + QByteArray(100, '\x01'));
    renamed.close();
    expectFailure(renamed.fileName(), "DWG");
    expectFailure(dir.filePath("missing.dxf"), "cannot be opened");
    QFile junk(dir.filePath("junk.dxf"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a drawing\n");
    junk.close();
    expectFailure(junk.fileName(), "not a DXF");
    EXPECT_EQ(docs.Count(), 0);
}

TEST(DxfRead, WhatIsNotARegularFileOrTooLargeIsRefusedBeforeReading)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    DocumentList docs;
    const auto messageOf = [&](const QString& path) {
        try {
            docs.Open(path);
        } catch (const EngineError& e) {
            EXPECT_EQ(e.Kind(), ErrorKind::Refused);
            return e.Message();
        }
        return QStringLiteral("opened");
    };
    // A device that never ends, a folder, and a pipe nobody writes into (reading it would wait).
    EXPECT_EQ(messageOf("/dev/zero"), QStringLiteral("The drawing \"/dev/zero\" cannot be opened: it is not a regular file."));
    const QString folder = dir.filePath("plans.dxf");
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_EQ(messageOf(folder), QStringLiteral("The drawing \"%1\" cannot be opened: it is a folder.").arg(folder));
    const QString pipe = dir.filePath("pipe.dxf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(messageOf(pipe), QStringLiteral("The drawing \"%1\" cannot be opened: it is not a regular file.").arg(pipe));
    // One byte past 512 MiB (a sparse file: nothing is written to the disk).
    const QString huge = dir.filePath("huge.dxf");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(512LL * 1024 * 1024 + 1));
    }
    EXPECT_EQ(messageOf(huge), QStringLiteral("The drawing \"%1\" cannot be opened: it holds 536870913 bytes, more than "
                                              "the 512 MiB this program opens.").arg(huge));
    EXPECT_EQ(docs.Count(), 0);
}

TEST(DxfSave, ADwgNameSavesDxfBesideItAndFullNameSaysSo)
{
    QTemporaryDir dir;
    Document doc("Drawing1.dxf");
    doc.AddLine({0, 0, 0}, {1, 1, 0});
    const QString written = SaveDocument(doc, dir.filePath("Truss.dwg"));
    EXPECT_EQ(written, dir.filePath("Truss.dxf"));
    EXPECT_EQ(doc.FullName(), dir.filePath("Truss.dxf"));
    EXPECT_EQ(doc.Name(), QStringLiteral("Truss.dxf"));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("Truss.dxf")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Truss.dwg")));
}

TEST(DxfSave, AFailedSaveKeepsTheOldFileAndTheDocumentUnsaved)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.dxf");
    Document doc("Drawing1.dxf");
    doc.AddLine({0, 0, 0}, {1, 1, 0});
    SaveDocument(doc, path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    doc.AddPoint({3, 3, 0});
    {
        // Files may grow to 1000 bytes only (root is bound by this too): the save runs out of room.
        struct rlimit old {};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 1000;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        EXPECT_THROW(SaveDocument(doc), EngineError);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.dxf"}) << "scratch left behind";
    EXPECT_FALSE(doc.Saved());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    f.close();
    Document never("Drawing2.dxf");
    EXPECT_THROW(SaveDocument(never), EngineError);
    EXPECT_THROW(SaveDocument(never, dir.filePath("no/such/folder/x.dxf")), EngineError);
    EXPECT_TRUE(never.FullName().isEmpty());
}

TEST(DxfForeignReader, EzdxfReadsWhatWeWriteWithoutErrors)
{
    const QString python = DebianPython();
    QProcess probe;
    if (python.isEmpty() || (probe.start(python, {"-c", "import ezdxf"}), !probe.waitForFinished(60000))
        || probe.exitCode() != 0)
        GTEST_SKIP() << "python3-ezdxf is not installed (/usr/bin/python3 -c 'import ezdxf' failed)";
    QTemporaryDir dir;
    Document doc("Drawing1.dxf");
    FillSample(doc);
    const QString path = dir.filePath("for_ezdxf.dxf");
    SaveDocument(doc, path);

    const char* script = R"PY(
import sys, math, re, ezdxf
doc = ezdxf.readfile(sys.argv[1])
audit = doc.audit()
print("errors", len(audit.errors))
print("layer", doc.layers.get("Korrin_Minus").dxf.color, doc.layers.get("Korrin_Minus").dxf.linetype.upper())
h = doc.layers.get("Hidden")
print("hidden", h.is_on(), h.is_frozen(), h.is_locked(), abs(h.dxf.color))
lt = doc.linetypes.get("DASHED")
print("dashed", " ".join("%g" % v for v in lt.pattern_tags.tags[1:] if False) or "ok")
print("font", doc.styles.get("Standard").dxf.font)
for e in doc.modelspace():
    t = e.dxftype()
    if t == "TEXT":
        text = re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), e.dxf.text)
        print("TEXT", e.dxf.layer, e.dxf.halign, e.dxf.valign, "%.6f %.6f" % tuple(e.dxf.align_point)[:2],
              "%.6f" % e.dxf.rotation, e.dxf.height, text.encode("unicode_escape").decode())
    elif t == "POLYLINE":
        print(t, e.dxf.layer, "3d" if e.is_3d_polyline else "2d", " ".join("%g,%g,%g" % tuple(v.dxf.location) for v in e.vertices))
    elif t == "LINE":
        print(t, e.dxf.layer, "%g,%g %g,%g" % (e.dxf.start[0], e.dxf.start[1], e.dxf.end[0], e.dxf.end[1]))
    elif t == "POINT":
        print(t, e.dxf.layer, "%g,%g" % tuple(e.dxf.location)[:2])
    elif t == "SOLID":
        print(t, e.dxf.layer, " ".join("%g,%g" % (p[0], p[1]) for p in (e.dxf.vtx0, e.dxf.vtx1, e.dxf.vtx2, e.dxf.vtx3)))
)PY";
    QProcess py;
    py.start(python, {"-c", script, path});
    ASSERT_TRUE(py.waitForFinished(120000));
    ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(py.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    const QStringList expected = {
        "errors 0",
        "layer 1 DASHED",
        "hidden False True True 200",
        "dashed ok",
        "font Arial.ttf",
        "LINE Korrin_Plus 0,0 10,10",
        "TEXT Korrin_Plus 1 1 5.000000 5.000000 45.000000 2.5 -1,250.500 \\u0103\\u0219",
        "POINT Korrin_Minus 1.25,-2.5",
        "POLYLINE Korrin_Minus 3d 0,0,0 1,2,3 4,5,6",
        "POLYLINE Korrin_Minus 2d 0,0,0 5,0,0 5,5,0",
        "SOLID Korrin_Minus 100,50 96,49.2 96,50.8 96,50.8",
    };
    EXPECT_EQ(lines, expected);
}
