// Guards against the batch tool solving, reporting or exiting differently from the wizard's Run,
// and against it touching the analysis file.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "support/TestSupport.h"

using namespace ardela::test;

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun Ardela(const QStringList& args, const QString& folder = QString())
{
    QProcess p;
    p.setProgram(BinDir() + QStringLiteral("/ardela"));
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.setArguments(args);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start();
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(), p.readAllStandardError()};
}

// A bundled example copied into a temporary folder.
QString CopyExample(const QTemporaryDir& dir, const char* name)
{
    const QString target = dir.filePath(QString::fromLatin1(name));
    EXPECT_TRUE(QFile::copy(SourceDir() + QStringLiteral("/examples/") + QString::fromLatin1(name), target));
    return target;
}

QByteArray Digest(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QJsonObject SolveJson(const QString& path)
{
    const ToolRun r = Ardela({QStringLiteral("solve"), path, QStringLiteral("--json")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out).object();
}

double Force(const QJsonObject& o, int bar) { return o[QStringLiteral("forces")].toArray()[bar - 1].toDouble(); }

} // namespace

TEST(ArdelaSolve, WarrenBridgeChordForcesMatchTheMethodOfSections)
{
    QTemporaryDir dir;
    const QString file = CopyExample(dir, "warren-bridge.krn");
    const QByteArray before = Digest(file);
    const QJsonObject o = SolveJson(file);
    // Span 24 m, seven 2000 daN deck loads, depth 3 m. Section at the top chord over mid-span
    // (moment about bottom node x = 12 m): M = 7000 x 1200 - 2000 x (900 + 600 + 300) = 4.8e6 daN cm.
    EXPECT_NEAR(Force(o, 28), -4.8e6 / 300.0, 16000 * 1e-4);
    // Bottom chord 9-12 m (moment about top node x = 10.5 m): M = 4.65e6.
    EXPECT_NEAR(Force(o, 20), 4.65e6 / 300.0, 15500 * 1e-4);
    const QJsonArray reactions = o[QStringLiteral("reactions")].toArray();
    ASSERT_EQ(reactions.size(), 2);
    EXPECT_NEAR(reactions[0].toArray()[1].toDouble(), 7000.0, 0.5);
    EXPECT_NEAR(reactions[1].toArray()[1].toDouble(), 7000.0, 0.5);
    EXPECT_EQ(o[QStringLiteral("lengths")].toArray().size(), 31);
    EXPECT_EQ(o[QStringLiteral("displacements")].toArray().size(), 17);
    // Mid-span deflection (node 9) is downward: stored positive.
    EXPECT_GT(o[QStringLiteral("displacements")].toArray()[8].toArray()[1].toDouble(), 0.0);
    const QJsonObject sums = o[QStringLiteral("checksums")].toObject();
    EXPECT_NEAR(sums[QStringLiteral("total")].toDouble(),
                sums[QStringLiteral("plus")].toDouble() + sums[QStringLiteral("minus")].toDouble(), 0.01);
    EXPECT_EQ(Digest(file), before) << "the analysis file must not be modified";
    QFile report(dir.filePath(QStringLiteral("warren-bridge.prn")));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray text = report.readAll();
    EXPECT_TRUE(text.startsWith(QByteArray(69, '-') + "\r\nKorrin\r\n"));
    EXPECT_TRUE(text.contains("BEAM STRESSES"));
}

TEST(ArdelaSolve, RoofTrussAndCantileverSatisfyStatics)
{
    QTemporaryDir dir;
    const QJsonObject roof = SolveJson(CopyExample(dir, "roof-truss.krn"));
    // End joint: net vertical 1250 daN against a 1:2 rafter: N = -1250 sqrt(5); tie 2500.
    EXPECT_NEAR(Force(roof, 7), -1250.0 * std::sqrt(5.0), 0.3);
    EXPECT_NEAR(Force(roof, 1), 2500.0, 0.3);
    const QJsonObject cantilever = SolveJson(CopyExample(dir, "wall-cantilever.krn"));
    const QJsonArray r = cantilever[QStringLiteral("reactions")].toArray();
    // 1000 daN at 8 m and 500 daN at 2, 4 and 6 m; wall pins 2 m apart: the horizontal couple is
    // (1000 x 800 + 500 x 1200) / 200 = 7000 daN, the vertical reactions carry 2500 daN.
    EXPECT_NEAR(r[0].toArray()[1].toDouble() + r[1].toArray()[1].toDouble(), 2500.0, 0.2);
    EXPECT_NEAR(r[0].toArray()[0].toDouble(), 7000.0, 0.7);
    EXPECT_NEAR(r[1].toArray()[0].toDouble(), -7000.0, 0.7);
    // Last panel, tip joint: the bottom chord 7-9 and the top chord 8-9 (slope 50/200) carry
    // the 1000 daN tip load: N(8-9) = 1000 / sin = 1000 x sqrt(17), N(7-9) = -4000.
    EXPECT_NEAR(Force(cantilever, 8), 1000.0 * std::sqrt(17.0), 0.5);
    EXPECT_NEAR(Force(cantilever, 4), -4000.0, 0.5);
}

TEST(ArdelaSolve, FailuresExitNonZeroWithTheMessageAndTouchNothing)
{
    QTemporaryDir dir;
    const QString corrupt = dir.filePath(QStringLiteral("corrupt.krn"));
    {
        QFile f(corrupt);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x02\x00\x01\x00", 4));
    }
    const QByteArray before = Digest(corrupt);
    ToolRun r = Ardela({QStringLiteral("solve"), corrupt});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Could not open analysis file")) << r.err.toStdString();
    EXPECT_EQ(Digest(corrupt), before);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("corrupt.prn"))));

    r = Ardela({QStringLiteral("solve"), dir.filePath(QStringLiteral("missing.krn"))});
    EXPECT_EQ(r.exitCode, 1);

    // An unsupported truss: the analysis message, no report.
    const QString file = CopyExample(dir, "warren-bridge.krn");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(4);
    f.write(QByteArray("\x00\x00", 2));  // BlockCount = 0
    f.close();
    r = Ardela({QStringLiteral("solve"), file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Ther was an error runing the analysis.")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("warren-bridge.prn"))));
}

TEST(ArdelaCommandLine, HelpAndWrongArgumentsAreAnswered)
{
    ToolRun r = Ardela({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("solve"));
    EXPECT_TRUE(r.out.contains("dump"));
    r = Ardela({QStringLiteral("solve"), QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("usage: ardela solve"));
    EXPECT_EQ(Ardela({}).exitCode, 2);
    EXPECT_EQ(Ardela({QStringLiteral("solve")}).exitCode, 2);
    EXPECT_EQ(Ardela({QStringLiteral("frobnicate")}).exitCode, 2);
    EXPECT_EQ(Ardela({QStringLiteral("dump"), QStringLiteral("a"), QStringLiteral("b")}).exitCode, 2);
}

TEST(ArdelaDump, PrintsCountsLiveRowsWithKindsAndSettings)
{
    QTemporaryDir dir;
    const ToolRun r = Ardela({QStringLiteral("dump"), CopyExample(dir, "wall-cantilever.krn")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(o[QStringLiteral("counts")].toObject()[QStringLiteral("nodes")].toInt(), 9);
    const QJsonArray nodes = o[QStringLiteral("nodes")].toArray();
    ASSERT_EQ(nodes.size(), 9);
    const QJsonObject x9 = nodes[8].toArray()[0].toObject();
    EXPECT_EQ(x9[QStringLiteral("kind")].toString(), QStringLiteral("single"));
    EXPECT_EQ(x9[QStringLiteral("value")].toDouble(), 800.0);
    EXPECT_EQ(o[QStringLiteral("elements")].toArray()[0].toArray()[0].toObject()[QStringLiteral("kind")].toString(),
              QStringLiteral("16-bit integer"));
    EXPECT_EQ(o[QStringLiteral("settings")].toObject()[QStringLiteral("ScaleFactor")].toObject()[QStringLiteral("value")].toString(),
              QStringLiteral("20"));
}

TEST(ArdelaMessages, FailuresNameTheFileAsGivenAndTheReasonAfterTheFixedMessage)
{
    QTemporaryDir dir;
    const QString example = CopyExample(dir, "roof-truss.krn");
    {
        QFile in(example);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        QFile cut(dir.filePath(QStringLiteral("roof.krn")));
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(in.read(12));
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.krn")));
    // A truss file holds four 16-bit counts, then 17 columns of 1024 cells and the 14 settings,
    // each record at least its 2-byte type code: 8 + 2 x (17 x 1024 + 14) = 34852 bytes.
    const std::pair<const char*, const char*> cases[] = {
        {"roof.krn", "Could not open analysis file: roof.krn: the file ends at byte 12 of 34852\n"},
        {"missing.krn", "Could not open analysis file: missing.krn: no such file\n"},
        {"folder.krn", "Could not open analysis file: folder.krn: a folder, not a file\n"},
    };
    for (const auto& [name, message] : cases) {
        const ToolRun r = Ardela({QStringLiteral("solve"), QString::fromLatin1(name)}, dir.path());
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_EQ(r.err, message);
    }

    // A folder where the report goes: the fixed message, then the report and why.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("roof-truss.prn")));
    const ToolRun blocked = Ardela({QStringLiteral("solve"), QStringLiteral("roof-truss.krn")}, dir.path());
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_EQ(blocked.err, "Ther was an error writing the output.\nPlease go back and revise your input: roof-truss.prn: a folder is in the way\n");
    EXPECT_TRUE(QDir(dir.filePath(QStringLiteral("roof-truss.prn"))).isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "no half-written report is left";
}

TEST(ArdelaMessages, FileNameThatIsNotUtf8IsOpenedAsTheBytesItIs)
{
    QTemporaryDir dir;
    CopyExample(dir, "roof-truss.krn");
    // The same report under the plain name, to compare with.
    const ToolRun plain = Ardela({QStringLiteral("solve"), QStringLiteral("roof-truss.krn")}, dir.path());
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    ASSERT_TRUE(QFile::rename(dir.filePath(QStringLiteral("roof-truss.prn")), dir.filePath(QStringLiteral("roof-truss.prn.expected"))));
    // "café" in Latin-1: the byte 0xE9 alone is not UTF-8. The shell hands the bytes over.
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("ARDELA"), BinDir() + QStringLiteral("/ardela"));
    shell.setProcessEnvironment(env);
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"),
        QStringLiteral("name=$(printf 'caf\\351') && cp roof-truss.krn \"$name.krn\" && \"$ARDELA\" solve \"$name.krn\" && "
                       "cmp -s \"$name.prn\" roof-truss.prn.expected || exit 9")});
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
}

TEST(ArdelaCommandLine, VersionIsTheProjectsVersion)
{
    QFile cmake(SourceDir() + QStringLiteral("/CMakeLists.txt"));
    ASSERT_TRUE(cmake.open(QIODevice::ReadOnly));
    const QByteArray text = cmake.readAll();
    const qsizetype at = text.indexOf("project(Ardela VERSION ");
    ASSERT_GE(at, 0);
    const QByteArray version = text.mid(at + 23).split(' ').first();
    const ToolRun r = Ardela({QStringLiteral("--version")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "ardela " + version + "\n");
}
