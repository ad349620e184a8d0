// Guards the `stress` program and the whole exchange against: results left behind by a failed
// run, a failure reported as success, and a mismatch between what Vendel writes in a comma
// locale, what `stress` reads and writes there, and what Vendel reads back.
#include <memory>
#include <vector>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "stress_wizard/SolverFiles.h"
#include "stress_wizard/StressModel.h"
#include "support/TestSupport.h"
#include "desktop/modMessage.h"

namespace ardela {
namespace {

struct ProgramRun {
    int exitCode = -1;
    QByteArray standardError;
};

class StressProgramTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString File(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    void Write(const char* name, const QByteArray& data)
    {
        QFile file(File(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }

    QByteArray Read(const char* name)
    {
        QFile file(File(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    ProgramRun RunStress()
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QDir(test::BinDir()).filePath(QStringLiteral("stress")), {});
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardError()};
    }

    QTemporaryDir m_dir;
};

// A 20 x 10 plate of two cells pulled by 1000 along x: s1 = 1000 / (1 · 10) = 100.
const QByteArray kTension = "3,2,1,2,2,\r\n0.0,10.0,20.0,\r\n0.0,10.0,\r\n"
                            "0.0,20.0,10.0,0.0,1.0,210000.0,80000.0,\r\n"
                            "0.0,0.0,0.0,10.0,1,\r\n0.0,0.0,0.0,0.0,2,\r\n"
                            "20.0,0.0,1,500.0,\r\n20.0,10.0,1,500.0,\r\n";

TEST_F(StressProgramTest, GoodInputGivesResultsAndAListing)
{
    Write("datein", kTension);
    const ProgramRun run = RunStress();
    EXPECT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    EXPECT_TRUE(run.standardError.isEmpty());
    const QList<QByteArray> lines = Read("dateout.dat").split('\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "2,\r");
    EXPECT_EQ(lines[1], "0,0,10,0,0,10,10,10,\r");
    EXPECT_EQ(lines[2], "10,0,20,0,10,10,20,10,\r");
    for (const int e : {3, 4}) {
        const QList<QByteArray> v = lines[e].split(',');
        ASSERT_EQ(v.size(), 4) << lines[e].toStdString();
        EXPECT_NEAR(v[0].toDouble(), 100.0, 1e-9);
        EXPECT_NEAR(v[1].toDouble(), 0.0, 1e-9);
        EXPECT_NEAR(v[2].toDouble(), 0.0, 1e-9);
    }
    EXPECT_EQ(lines[5], "");
    const QByteArray listing = Read("dateout");
    for (const char* section : {"INPUT", "MESH", "DISPLACEMENTS", "ELEMENT STRESSES", "REACTIONS", "EQUILIBRIUM"})
        EXPECT_TRUE(listing.contains(section)) << section;
    EXPECT_TRUE(listing.contains("Cells: 2 x 1 = 2, elements: 2, holes: 0"));
    EXPECT_TRUE(listing.contains("   -5.000000e+02")) << "the x reactions at the held edge";
}

TEST_F(StressProgramTest, BadInputLeavesNoResultsAndSaysWhy)
{
    const std::pair<QByteArray, const char*> cases[] = {
        {kTension.left(kTension.size() - 8), "datein ends before load 2"},
        {QByteArray(kTension).replace("80000.0", "50000.0"), "strictly between -1 and 0.5"},
        {QByteArray(kTension).replace("0.0,0.0,0.0,10.0,1,", "0.0,0.0,0.0,10.0,7,"), "the code 7"},
        {QByteArray(kTension).replace("20.0,10.0,1,500.0", "25.0,10.0,1,500.0"), "not on a mesh node"},
        {QByteArray(kTension).replace("0.0,0.0,0.0,0.0,2,", "0.0,0.0,0.0,0.0,1,"), "free to move"},
    };
    for (const auto& [input, reason] : cases) {
        Write("dateout.dat", "1,0,0,1,0,0,1,1,1,5,6,7,");  // an earlier run's results
        Write("datein", input);
        const ProgramRun run = RunStress();
        EXPECT_NE(run.exitCode, 0) << reason;
        EXPECT_FALSE(QFile::exists(File("dateout.dat"))) << reason;
        EXPECT_TRUE(run.standardError.contains(reason)) << run.standardError.toStdString();
        EXPECT_TRUE(Read("dateout").contains(reason)) << reason;
    }
    QFile::remove(File("datein"));
    const ProgramRun missing = RunStress();
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_TRUE(missing.standardError.contains("cannot open datein"));
}

TEST_F(StressProgramTest, DateinThatIsAFolderOrADeviceIsRefusedBeforeReading)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("datein")));
    const ProgramRun folder = RunStress();
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_EQ(folder.standardError, "stress: datein is a folder, not the input file\n");
    ASSERT_TRUE(QDir(m_dir.path()).rmdir(QStringLiteral("datein")));

    // A device that never ends: refused at once rather than read until memory runs out.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), File("datein")));
    const ProgramRun device = RunStress();
    EXPECT_EQ(device.exitCode, 1);
    EXPECT_EQ(device.standardError, "stress: datein is not a regular file (a device, a pipe or a socket); stress reads only a file\n");
    EXPECT_TRUE(Read("dateout").contains("not a regular file"));
    EXPECT_FALSE(QFile::exists(File("dateout.dat")));
}

// Files of several megabytes are written in pieces: every line must arrive once, in order.
// A 150 x 100 plate on gridlines k · 0.1 (0.30000000000000004 and its like), held along its
// left edge, its right edge pulled by F = 1500: every element carries s1 = F / (H t) = 150.
TEST_F(StressProgramTest, LargeFilesArriveWholeWithEveryCornerReadingBackExactly)
{
    const int nx = 150, ny = 100;
    std::vector<double> xs, ys;
    for (int k = 0; k <= nx; ++k)
        xs.push_back(k * 0.1);
    for (int k = 0; k <= ny; ++k)
        ys.push_back(k * 0.1);
    const double height = ys.back(), force = 1500.0;
    QByteArray input = QByteArray::number(nx + 1) + ',' + QByteArray::number(ny + 1) + ",1,2," + QByteArray::number(ny + 1) + ",\r\n";
    for (const auto* lines : {&xs, &ys})
        for (const double v : *lines)
            input += QByteArray::number(v, 'g', 17) + ",\r\n";
    const QByteArray right = QByteArray::number(xs.back(), 'g', 17), top = QByteArray::number(height, 'g', 17);
    input += "0.0," + right + ',' + top + ",0.0,10.0,210000.0,81000.0,\r\n";
    input += "0.0,0.0,0.0," + top + ",1,\r\n0.0,0.0,0.0,0.0,2,\r\n";
    for (int k = 0; k <= ny; ++k) {
        const double share = force / ny * ((k == 0 || k == ny) ? 0.5 : 1.0);
        input += right + ',' + QByteArray::number(ys[std::size_t(k)], 'g', 17) + ",1," + QByteArray::number(share, 'g', 17) + ",\r\n";
    }
    Write("datein", input);
    const ProgramRun run = RunStress();
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();

    const QByteArray results = Read("dateout.dat");
    EXPECT_GT(results.size(), 1 << 20) << "written in more than one piece";
    const QList<QByteArray> lines = results.split('\n');
    const int elements = nx * ny;
    ASSERT_EQ(lines.size(), 2 + 2 * elements);
    EXPECT_EQ(lines[0], QByteArray::number(elements) + ",\r");
    int e = 0;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i, ++e) {
            const QList<QByteArray> v = lines[1 + e].split(',');
            ASSERT_EQ(v.size(), 9) << lines[1 + e].toStdString();
            const double expected[8] = {xs[std::size_t(i)], ys[std::size_t(j)], xs[std::size_t(i) + 1], ys[std::size_t(j)],
                                        xs[std::size_t(i)], ys[std::size_t(j) + 1], xs[std::size_t(i) + 1], ys[std::size_t(j) + 1]};
            for (int k = 0; k < 8; ++k)
                ASSERT_EQ(v[k].toDouble(), expected[k]) << "element " << e + 1 << ": " << lines[1 + e].toStdString();
        }
    for (int k = 0; k < elements; ++k) {
        const QList<QByteArray> v = lines[1 + elements + k].split(',');
        ASSERT_EQ(v.size(), 4) << lines[1 + elements + k].toStdString();
        ASSERT_NEAR(v[0].toDouble(), force / (height * 10.0), 1e-6) << "element " << k + 1;
        ASSERT_NEAR(v[1].toDouble(), 0.0, 1e-6) << "element " << k + 1;
    }

    // The listing: one line per node and per element, numbered without a gap, and its end.
    const QByteArray listing = Read("dateout");
    EXPECT_TRUE(listing.endsWith("End of the analysis.\r\n"));
    const auto section = [&](const char* title, const char* next) {
        const qsizetype from = listing.indexOf(title), to = listing.indexOf(next);
        return listing.mid(from, to - from).trimmed().split('\n');
    };
    const QList<QByteArray> nodes = section("DISPLACEMENTS", "ELEMENT STRESSES");
    const QList<QByteArray> stresses = section("ELEMENT STRESSES", "REACTIONS");
    ASSERT_EQ(nodes.size(), 2 + (nx + 1) * (ny + 1));
    ASSERT_EQ(stresses.size(), 2 + elements);
    for (int k = 0; k < (nx + 1) * (ny + 1); ++k)
        ASSERT_EQ(nodes[2 + k].simplified().split(' ').value(0).toInt(), k + 1) << nodes[2 + k].toStdString();
    for (int k = 0; k < elements; ++k) {
        const QList<QByteArray> v = stresses[2 + k].simplified().split(' ');
        ASSERT_EQ(v.size(), 9) << stresses[2 + k].toStdString();
        ASSERT_EQ(v[0].toInt(), k + 1);
        // The centre of the element's cell, with three decimals.
        ASSERT_EQ(v[1], QByteArray::number((xs[std::size_t(k % nx)] + xs[std::size_t(k % nx) + 1]) / 2, 'f', 3));
        ASSERT_EQ(v[2], QByteArray::number((ys[std::size_t(k / nx)] + ys[std::size_t(k / nx) + 1]) / 2, 'f', 3));
    }
}

TEST_F(StressProgramTest, VendelsFilesRoundTripThroughTheSolver)
{
    // The plate Vendel describes: a 40 x 20 region in a comma locale, a subdomain typed as
    // singles, the left edge held in x, one corner in y, the right edge pulled by 2 x 300.
    test::ScopedLocale german("de_DE");
    auto model = std::make_unique<StressModel>();
    StressModel& m = *model;
    m.VertCount = 3;
    m.HorzCount = 2;
    m.GridLines(1, 1) = 0.0;
    m.GridLines(2, 1) = 40.0;
    m.GridLines(3, 1) = QStringLiteral("20,0");
    m.GridLines(1, 2) = 20.0;
    m.GridLines(2, 2) = 0.0;
    m.DomainCount = 1;
    const float domain[7] = {0, 0, 40, 20, 0.5f, 210000, 81000};
    for (int c = 1; c <= 7; ++c)
        m.Domains(1, c) = domain[c - 1];
    m.LineCount = 2;
    const float lines[2][5] = {{0, 0, 0, 20, 1}, {0, 0, 0, 0, 2}};
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 5; ++c)
            m.ConstrainedLines(r, c) = lines[r - 1][c - 1];
    m.NodalLoadCount = 2;
    m.NodalLoads(1, 1) = 40.0;
    m.NodalLoads(1, 2) = 0.0;
    m.NodalLoads(1, 3) = 300.0f;
    m.NodalLoads(2, 1) = 40.0;
    m.NodalLoads(2, 2) = 20.0;
    m.NodalLoads(2, 3) = 300.0f;
    m.NodalLoads(2, 4) = QString();

    MessageHandler previous = SetMessageHandler([](const QString& prompt, std::int16_t, const QString&) {
        ADD_FAILURE() << prompt.toStdString();
        return std::int16_t(MsgResultOk);
    });
    // The solver the wizard starts: `stress` beside the running program, in the given folder.
    ASSERT_TRUE(WriteSolverInput(m, m_dir.path()));
    ASSERT_TRUE(RunSolver(m_dir.path(), false));
    ASSERT_TRUE(ReadSolverResults(m, m_dir.path()));
    SetMessageHandler(previous);

    ASSERT_EQ(m.StressValues.size(), 2u);
    // s1 = 600 / (0.5 · 20) = 60; the corners of the second cell in the order of the file.
    for (const auto& v : m.StressValues) {
        EXPECT_NEAR(v[0], 60.0f, 1e-4f);
        EXPECT_NEAR(v[1], 0.0f, 1e-4f);
        EXPECT_NEAR(v[2], 0.0f, 1e-4f);
    }
    EXPECT_EQ(m.StressPoints[4], (std::array<float, 2>{20.0f, 0.0f}));
    EXPECT_EQ(m.StressPoints[5], (std::array<float, 2>{40.0f, 0.0f}));
    EXPECT_EQ(m.StressPoints[6], (std::array<float, 2>{20.0f, 20.0f}));
    EXPECT_EQ(m.StressPoints[7], (std::array<float, 2>{40.0f, 20.0f}));
}

} // namespace
} // namespace ardela
