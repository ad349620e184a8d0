// Guards RunAndWait against: hanging on a program that cannot start, treating a non-zero exit
// as a failure, asking before 20 seconds, losing the question's answers, leaving a program
// running after No, ignoring the working folder.
#include <cerrno>
#include <csignal>
#include <vector>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "desktop/modMessage.h"
#include "desktop/modShell.h"

namespace ardela {
namespace {

struct Shown {
    QString prompt;
    std::int16_t style;
    QString title;
};

// Records every message and answers questions from a script of answers.
class RunAndWaitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = SetMessageHandler([this](const QString& prompt, std::int16_t style, const QString& title) {
            m_shown.push_back({prompt, style, title});
            if (MessageButtonSet(style) == MsgOkOnly)
                return std::int16_t(MsgResultOk);
            if (m_answers.empty())
                return std::int16_t(MsgResultNo);
            const std::int16_t a = m_answers.front();
            m_answers.erase(m_answers.begin());
            return a;
        });
    }
    void TearDown() override
    {
        SetMessageHandler(m_previous);
        SetShellClock({});
    }

    // A clock that jumps `stepMs` every time it is read.
    void UseJumpingClock(qint64 stepMs)
    {
        auto now = std::make_shared<qint64>(0);
        SetShellClock([now, stepMs] { return *now += stepMs; });
    }

    MessageHandler m_previous;
    std::vector<Shown> m_shown;
    std::vector<std::int16_t> m_answers;
};

TEST_F(RunAndWaitTest, QuickExitReturnsTrueWithoutAnyMessage)
{
    EXPECT_TRUE(RunAndWait(QStringLiteral("/bin/sh -c \"exit 0\""), false, false));
    EXPECT_TRUE(m_shown.empty());
}

TEST_F(RunAndWaitTest, NonZeroExitAndCrashStillReturnTrue)
{
    EXPECT_TRUE(RunAndWait(QStringLiteral("/bin/sh -c \"exit 3\""), false, false));
    bool crashed = true;
    EXPECT_TRUE(RunAndWait(QStringLiteral("/bin/sh -c \"exit 3\""), false, false, QString(), &crashed));
    EXPECT_FALSE(crashed) << "a program that exits with an error did not crash";
    EXPECT_TRUE(RunAndWait(QStringLiteral("/bin/sh -c \"kill -KILL $$\""), false, false, QString(), &crashed));
    EXPECT_TRUE(crashed) << "a program ended by a signal crashed";
    EXPECT_TRUE(m_shown.empty());
}

TEST_F(RunAndWaitTest, ProgramThatCannotStartFailsAtOnceWithAMessageNamingIt)
{
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(RunAndWait(QStringLiteral("/no/such/folder/stress"), false, false));
    EXPECT_LT(timer.elapsed(), 10000);
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_TRUE(m_shown[0].prompt.startsWith(QStringLiteral("The program stress could not be started.")))
        << m_shown[0].prompt.toStdString();
    EXPECT_EQ(m_shown[0].style, MsgCritical);

    EXPECT_FALSE(RunAndWait(QString(), false, true));
    EXPECT_EQ(m_shown.size(), 2u);
}

TEST_F(RunAndWaitTest, ProgramEndingWithinTwentySecondsIsNeverQuestioned)
{
    SetShellClock([] { return qint64(5000); });
    EXPECT_TRUE(RunAndWait(QStringLiteral("/bin/sh -c \"sleep 2\""), false, false));
    EXPECT_TRUE(m_shown.empty());
}

TEST_F(RunAndWaitTest, NoTimeLimitWaitsWithoutTheQuestion)
{
    UseJumpingClock(100000);
    EXPECT_TRUE(RunAndWait(QStringLiteral("/bin/sh -c \"sleep 2\""), false, true));
    EXPECT_TRUE(m_shown.empty());
}

TEST_F(RunAndWaitTest, YesWaitsAnotherTwentySecondsAndNoEndsTheProgram)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pidFile = dir.filePath(QStringLiteral("pid"));
    // Every read of the clock moves it 11 s: the question comes after the second slice, and
    // after Yes again two slices later.
    UseJumpingClock(11000);
    m_answers = {MsgResultYes, MsgResultNo};
    QElapsedTimer timer;
    timer.start();
    const bool result = RunAndWait(QStringLiteral("/bin/sh -c \"echo $$ > '%1'; exec sleep 120\"").arg(pidFile), false, false);
    EXPECT_FALSE(result);
    EXPECT_LT(timer.elapsed(), 60000);

    const QString question = QStringLiteral("The program sh stoped responding for 20 seconds.\r\nDo you want to wait?");
    ASSERT_EQ(m_shown.size(), 3u);
    EXPECT_EQ(m_shown[0].prompt, question);
    EXPECT_EQ(m_shown[0].style, MsgYesNo + MsgCritical);
    EXPECT_TRUE(m_shown[0].title.isEmpty());
    EXPECT_EQ(m_shown[1].prompt, question);
    // The person stopped waiting: the message says so and does not blame the data.
    EXPECT_EQ(m_shown[2].prompt, QStringLiteral("The program sh was stopped before it had finished.\r\nIt left no results."));
    EXPECT_FALSE(m_shown[2].prompt.contains(QStringLiteral("data")));
    EXPECT_EQ(m_shown[2].style, MsgOkOnly + MsgCritical);

    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t pid = file.readAll().trimmed().toInt();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid, 0), -1) << "the program is still running";
    EXPECT_EQ(errno, ESRCH);
}

TEST_F(RunAndWaitTest, ProgramRunsInTheGivenFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_TRUE(RunAndWait(QStringLiteral("/bin/sh -c \"pwd -P > here.txt\""), false, true, dir.path()));
    QFile file(dir.filePath(QStringLiteral("here.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(file.readAll().trimmed()), QDir(dir.path()).canonicalPath());
}

TEST(ProgramFileName, IsTheProgramsNameWithoutItsFolder)
{
    EXPECT_EQ(ProgramFileName(QStringLiteral("C:\\Vendel\\stress.exe")), QStringLiteral("stress.exe"));
    EXPECT_EQ(ProgramFileName(QStringLiteral("\"/opt/my tools/stress\" -x")), QStringLiteral("stress"));
    EXPECT_EQ(ProgramFileName(QStringLiteral("stress")), QStringLiteral("stress"));
}

} // namespace
} // namespace ardela
