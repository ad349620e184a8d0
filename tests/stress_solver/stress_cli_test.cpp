// Guards `ardela stress` and `ardela dump` on .vdl files against: results that differ from the
// closed form, a missing listing beside the file, a failed analysis reported as success, and a
// dump that loses rows or cell kinds.
#include <memory>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "stress_wizard/StressFile.h"
#include "stress_wizard/StressModel.h"
#include "support/TestSupport.h"

namespace ardela {
namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out, err;
};

ToolRun RunArdela(const QStringList& args)
{
    QProcess process;
    process.start(QDir(test::BinDir()).filePath(QStringLiteral("ardela")), args);
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// A 30 x 10 plate of three cells, thickness 2, pulled by 2 x 150 at x = 30: s1 = 300 / 20 = 15.
std::unique_ptr<StressModel> TensionPlate()
{
    auto m = std::make_unique<StressModel>();
    m->VertCount = 4;
    m->HorzCount = 2;
    for (int r = 1; r <= 4; ++r)
        m->GridLines(r, 1) = 10.0 * (r - 1);
    m->GridLines(1, 2) = 0.0;
    m->GridLines(2, 2) = 10.0f;
    m->DomainCount = 1;
    const float domain[7] = {0, 0, 30, 10, 2, 210000, 81000};
    for (int c = 1; c <= 7; ++c)
        m->Domains(1, c) = domain[c - 1];
    m->LineCount = 2;
    const float lines[2][5] = {{0, 0, 0, 10, 1}, {0, 0, 30, 0, 2}};
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 5; ++c)
            m->ConstrainedLines(r, c) = lines[r - 1][c - 1];
    m->NodalLoadCount = 2;
    for (int r = 1; r <= 2; ++r) {
        m->NodalLoads(r, 1) = 30.0;
        m->NodalLoads(r, 2) = 10.0 * (r - 1);
        m->NodalLoads(r, 3) = 150.0f;
    }
    return m;
}

void Save(const StressModel& model, const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WriteStressFile(model, DefaultSettings()));
}

TEST(ArdelaStress, SolvesASavedAnalysisAndWritesTheListingBesideIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("plate.vdl"));
    Save(*TensionPlate(), path);
    const ToolRun run = RunArdela({QStringLiteral("stress"), path, QStringLiteral("--json")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(run.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.left(200).toStdString();
    const QJsonArray elements = doc.object().value(QStringLiteral("elements")).toArray();
    ASSERT_EQ(elements.size(), 3);
    for (const QJsonValue& e : elements) {
        EXPECT_NEAR(e[QStringLiteral("s1")].toDouble(), 15.0, 1e-4);
        EXPECT_NEAR(e[QStringLiteral("s2")].toDouble(), 0.0, 1e-4);
        EXPECT_NEAR(e[QStringLiteral("angle")].toDouble(), 0.0, 1e-4);
    }
    const QJsonArray corners = elements[2][QStringLiteral("corners")].toArray();
    ASSERT_EQ(corners.size(), 4);
    EXPECT_EQ(corners[0].toArray(), (QJsonArray{20, 0}));
    EXPECT_EQ(corners[1].toArray(), (QJsonArray{30, 0}));
    EXPECT_EQ(corners[2].toArray(), (QJsonArray{20, 10}));
    EXPECT_EQ(corners[3].toArray(), (QJsonArray{30, 10}));

    QFile listing(dir.filePath(QStringLiteral("plate.prn")));
    ASSERT_TRUE(listing.open(QIODevice::ReadOnly));
    EXPECT_TRUE(listing.readAll().contains("EQUILIBRIUM"));
}

TEST(ArdelaStress, FailedAnalysisExitsWithTheReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("loose.vdl"));
    auto model = TensionPlate();
    model->LineCount = 1;  // only x held: the plate can slide along y
    Save(*model, path);
    const ToolRun run = RunArdela({QStringLiteral("stress"), path});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("free to move")) << run.err.toStdString();
    QFile listing(dir.filePath(QStringLiteral("loose.prn")));
    ASSERT_TRUE(listing.open(QIODevice::ReadOnly));
    EXPECT_TRUE(listing.readAll().contains("free to move"));

    EXPECT_EQ(RunArdela({QStringLiteral("stress"), dir.filePath(QStringLiteral("none.vdl"))}).exitCode, 1);
    EXPECT_EQ(RunArdela({QStringLiteral("stress")}).exitCode, 2);
}

TEST(ArdelaDump, ShowsAPlaneStressFileWithItsCellKinds)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("plate.vdl"));
    Save(*TensionPlate(), path);
    const ToolRun run = RunArdela({QStringLiteral("dump"), path});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(o[QStringLiteral("counts")][QStringLiteral("vertical")].toInt(), 4);
    EXPECT_EQ(o[QStringLiteral("counts")][QStringLiteral("loads")].toInt(), 2);
    const QJsonArray vertical = o[QStringLiteral("vertical")].toArray();
    ASSERT_EQ(vertical.size(), 4);
    EXPECT_EQ(vertical[3][QStringLiteral("value")].toDouble(), 30.0);
    EXPECT_EQ(vertical[3][QStringLiteral("kind")].toString(), QStringLiteral("double"));
    const QJsonArray horizontal = o[QStringLiteral("horizontal")].toArray();
    ASSERT_EQ(horizontal.size(), 2);
    EXPECT_EQ(horizontal[1][QStringLiteral("kind")].toString(), QStringLiteral("single"));
    EXPECT_EQ(o[QStringLiteral("domains")].toArray()[0].toArray().size(), 7);
    EXPECT_EQ(o[QStringLiteral("lines")].toArray().size(), 2);
    EXPECT_TRUE(o[QStringLiteral("settings")].toObject().contains(QStringLiteral("ScaleFactor")));
}

} // namespace
} // namespace ardela
