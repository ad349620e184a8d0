// Guards the exchange files against: a wrong layout of "datein" (line breaks, column order,
// direction codes, decimals), commas from the user's locale, leftovers of an earlier run, a
// truncated or malformed "dateout.dat" read as if it were whole, and the 16-bit element count.
#include <memory>
#include <vector>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "stress_wizard/SolverFiles.h"
#include "stress_wizard/StressModel.h"
#include "support/TestSupport.h"
#include "desktop/modMessage.h"

namespace ardela {
namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

class SolverFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_model = std::make_unique<StressModel>();
        m_previous = SetMessageHandler([this](const QString& prompt, std::int16_t style, const QString&) {
            m_messages.append(prompt);
            m_styles.push_back(style);
            return std::int16_t(MsgResultOk);
        });
    }
    void TearDown() override { SetMessageHandler(m_previous); }

    QString File(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // A plate 0..100 x 0..50 with one subdomain, one held edge and three load rows.
    void FillPlate()
    {
        StressModel& m = *m_model;
        m.VertCount = 3;
        m.HorzCount = 2;
        m.GridLines(1, 1) = 0.0;
        m.GridLines(2, 1) = 50.0;
        m.GridLines(3, 1) = 100.0f;
        m.GridLines(1, 2) = 0.0;
        m.GridLines(2, 2) = 49.96;
        m.GridLines(4, 1) = 777.0;  // a leftover row beyond the count
        m.DomainCount = 1;
        const double domain[7] = {0, 0, 100, 50, 1, 210000, 81000};
        for (int c = 1; c <= 7; ++c)
            m.Domains(1, c) = float(domain[c - 1]);
        m.LineCount = 1;
        m.ConstrainedLines(1, 1) = 0.0;
        m.ConstrainedLines(1, 2) = 0.0;
        m.ConstrainedLines(1, 3) = 0.0;
        m.ConstrainedLines(1, 4) = 50.0;
        m.ConstrainedLines(1, 5) = 3.0f;
        m.NodalLoadCount = 3;
        m.NodalLoads(1, 1) = 100.0;
        m.NodalLoads(1, 2) = 50.0;
        m.NodalLoads(1, 3) = 0.0f;
        m.NodalLoads(1, 4) = -500.0f;
        m.NodalLoads(2, 1) = 100.0;
        m.NodalLoads(2, 2) = 0.0;
        m.NodalLoads(2, 3) = 250.0f;
        m.NodalLoads(2, 4) = 7.46f;
        m.NodalLoads(3, 1) = 50.0;
        m.NodalLoads(3, 2) = 50.0;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<StressModel> m_model;
    MessageHandler m_previous;
    QStringList m_messages;
    std::vector<std::int16_t> m_styles;
};

TEST_F(SolverFilesTest, WritesTheHandLaidPlateFile)
{
    FillPlate();
    ASSERT_TRUE(WriteSolverInput(*m_model, m_dir.path()));
    EXPECT_EQ(ReadAll(File("datein")),
              QByteArray("3,2,1,1,3,\r\n"
                         "0.0,50.0,100.0,\r\n"
                         "0.0,50.0,\r\n"
                         "0.0,100.0,50.0,0.0,1.0,210000.0,81000.0,\r\n"
                         "0.0,0.0,0.0,50.0,3,\r\n"
                         "100.0,50.0,2,-500.0,\r\n"
                         "100.0,0.0,1,250.0,\r\n"
                         "100.0,0.0,2,7.5,\r\n"));
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(SolverFilesTest, GridlinesGoEightToALine)
{
    StressModel& m = *m_model;
    m.VertCount = 9;
    m.HorzCount = 8;
    for (int r = 1; r <= 9; ++r) {
        m.GridLines(r, 1) = double(r);
        m.GridLines(r, 2) = float(r) / 2.0f;
    }
    EXPECT_EQ(FormatSolverInput(m), QByteArray("9,8,0,0,0,\r\n"
                                               "1.0,2.0,3.0,4.0,5.0,6.0,7.0,8.0,\r\n"
                                               "9.0,\r\n"
                                               "0.5,1.0,1.5,2.0,2.5,3.0,3.5,4.0,\r\n"));
    m.VertCount = 0;
    m.HorzCount = 3;
    EXPECT_EQ(FormatSolverInput(m), QByteArray("0,3,0,0,0,\r\n0.5,1.0,1.5,\r\n"));
}

TEST_F(SolverFilesTest, CommaLocaleStillWritesPoints)
{
    test::ScopedLocale german("de_DE");
    StressModel& m = *m_model;
    m.VertCount = 2;
    m.HorzCount = 1;
    m.GridLines(1, 1) = QStringLiteral("12,5");
    m.GridLines(2, 1) = 1234.56;
    m.GridLines(1, 2) = -0.75f;
    m.LineCount = 1;
    for (int c = 1; c <= 4; ++c)
        m.ConstrainedLines(1, c) = 2.25;
    m.ConstrainedLines(1, 5) = QStringLiteral("2");
    EXPECT_EQ(FormatSolverInput(m), QByteArray("2,1,0,1,0,\r\n"
                                               "12.5,1234.6,\r\n"
                                               "-0.8,\r\n"
                                               "2.3,2.3,2.3,2.3,2,\r\n"));
}

TEST_F(SolverFilesTest, OldExchangeFilesAreRemovedBeforeWriting)
{
    FillPlate();
    WriteAll(File("dateout"), "old listing");
    WriteAll(File("dateout.dat"), "1,0,0,0,0,0,0,0,0,1,2,3,");
    WriteAll(File("datein"), "old input");
    ASSERT_TRUE(WriteSolverInput(*m_model, m_dir.path()));
    EXPECT_FALSE(QFile::exists(File("dateout")));
    EXPECT_FALSE(QFile::exists(File("dateout.dat")));
    EXPECT_TRUE(ReadAll(File("datein")).startsWith("3,2,1,1,3,"));
}

TEST_F(SolverFilesTest, CellThatIsNotANumberStopsTheWritingWithTheFixedMessage)
{
    FillPlate();
    m_model->Domains(1, 6) = QStringLiteral("steel");
    EXPECT_FALSE(WriteSolverInput(*m_model, m_dir.path()));
    ASSERT_EQ(m_messages.size(), 1);
    // The fixed message, then the table, row and heading of the cell on the next line.
    EXPECT_EQ(m_messages[0], QStringLiteral("An error has ocurred creating the file.\r\nPlease go back and revise your data\r\n"
                                            "subdomains, row 1, E [daN/cm²]: the text \"steel\" is not a number"));
    EXPECT_EQ(m_styles[0], MsgCritical);
    EXPECT_FALSE(QFile::exists(File("datein")));
}

TEST_F(SolverFilesTest, ReadsAHandWrittenResultFile)
{
    WriteAll(File("dateout.dat"), "2\r\n"
                                  "0,0, 10,0\n0 5 , 10, 5\r\n"
                                  "10,0,20,0,10,5,20,5,\r\n"
                                  "200,-3.5e-2,0,\r\n"
                                  "+1.25, -7 ,90,\r\n");
    ASSERT_TRUE(ReadSolverResults(*m_model, m_dir.path()));
    const auto& p = m_model->StressPoints;
    const auto& v = m_model->StressValues;
    ASSERT_EQ(p.size(), 8u);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(p[1], (std::array<float, 2>{10.0f, 0.0f}));
    EXPECT_EQ(p[3], (std::array<float, 2>{10.0f, 5.0f}));
    EXPECT_EQ(p[5], (std::array<float, 2>{20.0f, 0.0f}));
    EXPECT_EQ(p[6], (std::array<float, 2>{10.0f, 5.0f}));
    EXPECT_EQ(v[0], (std::array<float, 3>{200.0f, -0.035f, 0.0f}));
    EXPECT_EQ(v[1], (std::array<float, 3>{1.25f, -7.0f, 90.0f}));
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(SolverFilesTest, TruncatedResultFileIsAFailedRunNotRepeatedValues)
{
    WriteAll(File("dateout.dat"), "2,\r\n0,0,10,0,0,5,10,5,\r\n10,0,20,0,10,5,20,5,\r\n200,0,0,\r\n200,");
    EXPECT_FALSE(ReadSolverResults(*m_model, m_dir.path()));
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(QStringLiteral("ends before the stresses of element 2"))) << m_messages[0].toStdString();
    // Nothing to draw: a single empty element.
    EXPECT_EQ(m_model->StressValues.size(), 1u);
    EXPECT_EQ(m_model->StressValues[0], (std::array<float, 3>{0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(m_model->StressPoints.size(), 4u);
}

TEST_F(SolverFilesTest, MalformedResultFilesAreRejectedWithTheReason)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", "ends before the element count"},
        {"0,", "element count 0"},
        {"-3,", "element count -3"},
        {"1.5,", "element count 1.5"},
        {"1,0,0,1,0,0,1,1,1,5,x7,0,", "\"x7\" is not a number"},
        {"1,0,0,1,0,0,1,1,1,5,6,0,4,", "more values"},
        {"1,0,0,1,0,0,1,1,1,5,1e39,0,", "single-precision range"},
    };
    for (const auto& [text, reason] : cases) {
        m_messages.clear();
        WriteAll(File("dateout.dat"), text);
        EXPECT_FALSE(ReadSolverResults(*m_model, m_dir.path())) << text;
        ASSERT_EQ(m_messages.size(), 1) << text;
        EXPECT_TRUE(m_messages[0].contains(QString::fromLatin1(reason))) << m_messages[0].toStdString();
    }
    m_messages.clear();
    QFile::remove(File("dateout.dat"));
    EXPECT_FALSE(ReadSolverResults(*m_model, m_dir.path()));
    EXPECT_EQ(m_messages.size(), 1);
}

TEST_F(SolverFilesTest, ElementCountsBeyondSixteenBitsAreRead)
{
    constexpr int n = 40000;
    QByteArray text = QByteArray::number(n) + ",\r\n";
    for (int e = 0; e < n; ++e)
        text += QByteArray::number(e) + ",0," + QByteArray::number(e + 1) + ",0," + QByteArray::number(e) + ",1,"
                + QByteArray::number(e + 1) + ",1,\r\n";
    for (int e = 0; e < n; ++e)
        text += QByteArray::number(e) + ",-1,45,\r\n";
    WriteAll(File("dateout.dat"), text);
    ASSERT_TRUE(ReadSolverResults(*m_model, m_dir.path()));
    ASSERT_EQ(m_model->StressValues.size(), std::size_t(n));
    EXPECT_EQ(m_model->StressValues[n - 1], (std::array<float, 3>{float(n - 1), -1.0f, 45.0f}));
    EXPECT_EQ(m_model->StressPoints[4 * n - 1], (std::array<float, 2>{float(n), 1.0f}));
}

TEST_F(SolverFilesTest, RunOfASavedAnalysisKeepsTheListingAndRemovesTheExchangeFiles)
{
    for (const char* name : {"datein", "dateout", "dateout.dat"})
        WriteAll(File(name), name);
    // Never saved: everything stays for the user to look at.
    ASSERT_TRUE(FinishSolverRun(*m_model, m_dir.path()));
    EXPECT_TRUE(QFile::exists(File("dateout.dat")));

    // Saved: the listing goes beside the analysis file, replacing an older one, and the working
    // folder is left empty.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("projects")));
    WriteAll(File("projects/beam.v1.prn"), "an older listing");
    m_model->AnalysisPath = File("projects/beam.v1.vdl");
    m_model->AnalysisTitle = QStringLiteral("beam.v1.vdl");
    ASSERT_TRUE(FinishSolverRun(*m_model, m_dir.path()));
    EXPECT_EQ(ReadAll(File("projects/beam.v1.prn")), QByteArray("dateout"));
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST(ExchangeFolder, IsCreatedInTheUsersDataFolderAndHoldsTheProgramsFiles)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    test::ScopedEnv data("XDG_DATA_HOME", home.path().toLocal8Bit());
    const QString folder = ExchangeFolder();
    EXPECT_EQ(folder, QDir(home.path()).filePath(QStringLiteral("Ardela/Vendel")));
    EXPECT_TRUE(QFileInfo(folder).isDir());

    Stress().VertCount = 1;
    Stress().GridLines(1, 1) = 2.5f;
    const bool written = WriteSolverInput();
    ResetModel(Stress());
    ASSERT_TRUE(written);
    EXPECT_EQ(ReadAll(QDir(folder).filePath(QStringLiteral("datein"))), QByteArray("1,0,0,0,0,\r\n2.5,\r\n"));
}

} // namespace
} // namespace ardela
