// Guards the "*.vdl" file against: cells changing kind or value through a save and open, rows
// beyond the counts being dropped, a wrong layout (counts, table order, settings), and a damaged
// file half-replacing the model.
#include <memory>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "desktop/AnalysisFile.h"
#include "truss/TrussFile.h"
#include "truss/TrussModel.h"
#include "desktop/FileChooser.h"
#include "stress_wizard/StressFile.h"
#include "stress_wizard/StressModel.h"
#include "support/TestSupport.h"
#include "desktop/modMessage.h"

namespace ardela {
namespace {

class StressFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("plate.vdl"));
        m_previousMessages = SetMessageHandler([this](const QString& prompt, std::int16_t, const QString&) {
            m_messages.append(prompt);
            return std::int16_t(MsgResultOk);
        });
        const QString path = m_path;
        m_previousDialogs = SetFileDialogHandler([path](FileDialogMode, const FileDialogRequest&) {
            return std::optional<FileDialogChoice>(ChoiceForPath(path));
        });
    }
    void TearDown() override
    {
        SetMessageHandler(m_previousMessages);
        SetFileDialogHandler(m_previousDialogs);
    }

    QTemporaryDir m_dir;
    QString m_path;
    QStringList m_messages;
    MessageHandler m_previousMessages;
    FileDialogHandler m_previousDialogs;
};

TEST_F(StressFileTest, SaveAndOpenGiveBackEveryCellWithItsKind)
{
    auto saved = std::make_unique<StressModel>();
    SettingsArray savedSettings = DefaultSettings();
    saved->VertCount = 3;
    saved->HorzCount = 2;
    saved->DomainCount = 1;
    saved->LineCount = 1;
    saved->NodalLoadCount = 1;
    saved->GridLines(1, 1) = 12.345678901234;          // picked: double
    saved->GridLines(2, 1) = 7.5f;                     // typed: single
    saved->GridLines(3, 1) = QStringLiteral("x=°");    // typed text
    saved->GridLines(1, 2) = std::int16_t(-3);
    saved->GridLines(1024, 2) = std::int32_t(123456);  // last row, beyond the count
    saved->Domains(1, 6) = 2.1e6f;
    saved->Domains(1024, 7) = true;
    saved->Domains(500, 1) = false;
    saved->ConstrainedLines(1, 5) = QStringLiteral("3");
    saved->ConstrainedLines(17, 2) = QString();
    saved->NodalLoads(1, 4) = -500.0;
    savedSettings[SetScaleFactor] = 20.5;
    savedSettings[SetColor] = true;
    saved->AnalysisPath = m_path;
    ASSERT_TRUE(SaveAnalysisFile(StressFileKind(*saved, savedSettings)));

    auto opened = std::make_unique<StressModel>();
    SettingsArray openedSettings;
    ASSERT_TRUE(OpenAnalysisFile(StressFileKind(*opened, openedSettings)));
    EXPECT_EQ(opened->VertCount, 3);
    EXPECT_EQ(opened->HorzCount, 2);
    EXPECT_EQ(opened->DomainCount, 1);
    EXPECT_EQ(opened->LineCount, 1);
    EXPECT_EQ(opened->NodalLoadCount, 1);
    EXPECT_TRUE(opened->GridLines == saved->GridLines);
    EXPECT_TRUE(opened->Domains == saved->Domains);
    EXPECT_TRUE(opened->ConstrainedLines == saved->ConstrainedLines);
    EXPECT_TRUE(opened->NodalLoads == saved->NodalLoads);
    EXPECT_EQ(opened->GridLines(1, 1).GetKind(), Cell::Kind::Double);
    EXPECT_EQ(opened->GridLines(2, 1).GetKind(), Cell::Kind::Single);
    EXPECT_EQ(opened->GridLines(3, 1).TextValue(), QStringLiteral("x=°"));
    EXPECT_EQ(opened->GridLines(1024, 2).GetKind(), Cell::Kind::Int32);
    for (std::size_t i = 0; i < kSettingCount; ++i)
        EXPECT_TRUE(openedSettings[i] == savedSettings[i]) << SettingKeys()[i].toStdString();
    EXPECT_EQ(opened->AnalysisPath, m_path);
    EXPECT_EQ(opened->AnalysisTitle, QStringLiteral("plate.vdl"));
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(StressFileTest, EmptyModelHasTheHandCountedLayout)
{
    auto model = std::make_unique<StressModel>();
    model->VertCount = 2;
    model->NodalLoadCount = 0x0102;
    model->GridLines(1, 1) = 1.0;
    SettingsArray settings;
    const QByteArray image = WriteStressFile(*model, settings);
    // 5 counts, then 2048 + 7168 + 5120 + 4096 + 14 records of 2 bytes; one double adds 8 bytes.
    EXPECT_EQ(image.size(), 10 + 2 * 18446 + 8);
    EXPECT_EQ(image.left(10), QByteArray::fromHex("02000000000000000201"));
    // The first record is row 1 of column 1 of the gridlines: type 5 and the double 1.0.
    EXPECT_EQ(image.mid(10, 10), QByteArray::fromHex("0500000000000000f03f"));
    // Row 2 of the same column follows: an empty record.
    EXPECT_EQ(image.mid(20, 2), QByteArray::fromHex("0000"));
    EXPECT_EQ(kEmptyStressFileSize, 36902);
}

TEST_F(StressFileTest, DamagedFileLeavesTheModelAsItWas)
{
    auto model = std::make_unique<StressModel>();
    SettingsArray settings = DefaultSettings();
    model->VertCount = 4;
    model->GridLines(1, 1) = 5.0;
    const QByteArray image = WriteStressFile(*model, settings);

    auto live = std::make_unique<StressModel>();
    live->DomainCount = 7;
    live->AnalysisPath = QStringLiteral("/elsewhere/old.vdl");
    SettingsArray liveSettings = DefaultSettings();
    const QByteArray damaged[] = {image.left(image.size() - 1), image + QByteArray("\0", 1),
                                  QByteArray::fromHex("0008") + image.mid(2)};
    for (const QByteArray& bytes : damaged) {
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        m_messages.clear();
        EXPECT_FALSE(OpenAnalysisFile(StressFileKind(*live, liveSettings)));
        ASSERT_EQ(m_messages.size(), 1);
        EXPECT_TRUE(m_messages[0].startsWith(QStringLiteral("Could not open analysis file\r\n") + m_path + QStringLiteral(": ")))
            << m_messages[0].toStdString();
        EXPECT_EQ(live->DomainCount, 7);
        EXPECT_EQ(live->VertCount, 0);
        EXPECT_TRUE(live->GridLines(1, 1).IsEmpty());
        EXPECT_EQ(live->AnalysisPath, QStringLiteral("/elsewhere/old.vdl"));
    }
}

TEST_F(StressFileTest, KindOneOpensIntoTheProgramWideModel)
{
    auto model = std::make_unique<StressModel>();
    model->HorzCount = 9;
    SettingsArray settings = DefaultSettings();
    QFile file(m_path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WriteStressFile(*model, settings));
    file.close();
    ASSERT_TRUE(OpenAnalysisFile(std::int16_t(1)));
    EXPECT_EQ(Stress().HorzCount, 9);
    EXPECT_EQ(Stress().AnalysisTitle, QStringLiteral("plate.vdl"));
    ResetModel(Stress());
}

} // namespace
TEST_F(StressFileTest, ATrussFileGivenWhereAPlateIsExpectedIsNamedAsSuch)
{
    SettingsArray trussSettings = DefaultSettings();
    TrussModel truss;
    truss.NodeCount = 2;
    truss.Nodes(2, 1) = Cell(100.0f);
    {
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(WriteTrussFile(truss, trussSettings));
    }
    auto live = std::make_unique<StressModel>();
    SettingsArray liveSettings = DefaultSettings();
    m_messages.clear();
    EXPECT_FALSE(OpenAnalysisFile(StressFileKind(*live, liveSettings)));
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0], QStringLiteral("Could not open analysis file\r\n") + m_path
                                 + QStringLiteral(": this is a Korrin truss analysis (*.krn), not a Vendel plane-stress analysis (*.vdl)"));
    EXPECT_TRUE(live->AnalysisPath.isEmpty());
}

} // namespace ardela
