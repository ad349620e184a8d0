// The fixture both wizard windows' tests share: a real drawing host on a name of the test's own,
// the messages and file dialogs answered as the test says, and the window driven through its
// controls as a person drives it.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "cad/CadProxy.h"
#include "cad/modHelpers.h"
#include "desktop/FileChooser.h"
#include "desktop/HelpWindow.h"
#include "desktop/modMessage.h"
#include "support/HostProcess.h"
#include "support/TestSupport.h"
#include "support/WizardControls.h"
#include "wizard/GridEditor.h"
#include "wizard/StepWindow.h"
#include "wizard/WizardLifetime.h"

namespace ardela::test {

// A message as the wizard showed it.
struct Shown {
    QString prompt;
    std::int16_t style;
    QString title;
};

// What both programs' fixtures share; the window is the core's, the program's is WizardTest's.
class WizardTestBase : public ::testing::Test {
protected:
    // Starts the host, answers the messages and the file dialogs, and connects the test's own
    // view of the drawing. The program's model and string table are the caller's to set.
    void StartHostAndAnswers(const QString& attachQuestion)
    {
        ASSERT_TRUE(m_dir.isValid());
        m_socket = m_dir.filePath(QStringLiteral("host"));
        ASSERT_TRUE(m_host.Start(m_socket, HostArguments()));
        cad::Connection& connection = cad::CadConnection();
        connection = cad::Connection{};
        connection.RunningSocketPath = m_socket;
        connection.HostProgram = HostProgramPath();
        WizardStartup::SetSplashMinimumMs(0);
        SetHelpRoot(SourceDir() + QStringLiteral("/resources/help"));
        m_previousMessages = SetMessageHandler([this, attachQuestion](const QString& prompt, std::int16_t style,
                                                                      const QString& title) {
            m_shown.push_back({prompt, style, title});
            if (prompt == attachQuestion)
                return std::int16_t(MsgResultYes);
            if (const std::optional<std::int16_t> answer = Answer(prompt))
                return *answer;
            if (prompt.startsWith(QLatin1String("The drawing has not been saved.")))
                return std::int16_t(MsgResultNo);
            if (prompt.startsWith(QLatin1String("The analysis was not saved to a file.\r\n")))
                return m_unsavedAnswer;
            return std::int16_t(MsgResultOk);
        });
        m_previousDialogs = SetFileDialogHandler([this](FileDialogMode, const FileDialogRequest&) -> std::optional<FileDialogChoice> {
            if (m_dialogAnswers.empty())
                return std::nullopt;
            const QString answer = m_dialogAnswers.front();
            m_dialogAnswers.pop_front();
            if (answer.isEmpty())
                return std::nullopt;
            return ChoiceForPath(answer);
        });
        m_feed = cad::ConnectApplication(m_socket, 5000);
        ASSERT_TRUE(m_feed);
    }

    // The window opened by the program's fixture.
    void Opened(StepWindow* window)
    {
        m_window = window;
        m_window->show();
        m_grid = Control<GridEditor>(m_window, QStringLiteral("fraContainer"));
    }

    // The window closed without questions, the answers and the connection as before the test.
    void CloseWizard()
    {
        if (m_window) {
            m_window->SetDirty(false);
            m_window->close();
            delete m_window;
            m_window = nullptr;
        }
        SetMessageHandler(m_previousMessages);
        SetFileDialogHandler(m_previousDialogs);
        cad::CadConnection() = cad::Connection{};
        SetHelpRoot(QString());
        if (HelpWindow* help = HelpWindow::Instance())
            delete help;
    }

    // A program's own answer to a message, before the common ones; none by default.
    virtual std::optional<std::int16_t> Answer(const QString&) { return std::nullopt; }

    QStringList HostArguments() const
    {
        return {QStringLiteral("--socket"), m_socket, QStringLiteral("--second-instance")};
    }

    // The Pick and Draw buttons of model step `slot` (0 = the first model step), named after
    // the program's sheets (m_sheetNames).
    QPushButton* PickButton(std::size_t slot) const
    {
        return Control<QPushButton>(m_window, QStringLiteral("cmdSelect") + QLatin1String(m_sheetNames.at(slot)));
    }
    QPushButton* DrawButton(std::size_t slot) const
    {
        return Control<QPushButton>(m_window, QStringLiteral("cmdDraw") + QLatin1String(m_sheetNames.at(slot)));
    }

    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void Next() { Click(NavRowButton(m_window, NavNext)); }
    void Back() { Click(NavRowButton(m_window, NavBack)); }
    bool NextEnabled() const { return NavRowButton(m_window, NavNext)->isEnabled(); }

    // Types `text` into the visible grid cell (row 1 to 5, column 1 on) and presses Enter; an
    // empty text empties the cell.
    void TypeCell(int row, int column, const QString& text)
    {
        ClickCell(row, column);
        QLineEdit* box = EditBox(m_grid);
        ASSERT_TRUE(box->isVisible());
        box->selectAll();
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        else
            QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }

    void ClickCell(int row, int column)
    {
        FixedCellGrid* grid = GridCells(m_grid);
        const QRect cell = grid->visualRect(grid->model()->index(row, column));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }

    std::vector<QString> Prompts() const
    {
        std::vector<QString> prompts;
        for (const Shown& s : m_shown)
            prompts.push_back(s.prompt);
        return prompts;
    }

    // The host killed: the wizard goes back to its first step (the messages shown from here on).
    void KillTheHost()
    {
        m_shown.clear();
        m_host.Kill();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->CurrentStep == 0; }, 10000));
    }

    // The host killed, then `again` takes the same name.
    void LoseTheLinkAndStartAnotherHost(HostProcess& again)
    {
        ASSERT_NO_FATAL_FAILURE(KillTheHost());
        ASSERT_TRUE(again.Start(m_socket, HostArguments()));
    }

    // The link message shown once (critical, under `title`), and the drawing let go.
    void ExpectTheLinkMessageOnce(const QString& title)
    {
        ASSERT_EQ(m_shown.size(), 1u) << m_shown.back().prompt.toStdString();
        EXPECT_TRUE(m_shown[0].prompt.startsWith(QLatin1String("The link with the")));
        EXPECT_EQ(m_shown[0].style, MsgCritical);
        EXPECT_EQ(m_shown[0].title, title);
        EXPECT_FALSE(cad::CadConnection().AcadDoc);
    }

    // After the host died during a step change: the link message once, the first step shown.
    void ExpectTheLinkLostOnceOnTheFirstStep(const QString& title)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_shown.empty() && m_window->CurrentStep == 0; }, 10000));
        QTest::qWait(300);  // further ticks of the watch must not repeat the message
        ExpectTheLinkMessageOnce(title);
        EXPECT_TRUE(Control<QGroupBox>(m_window, QStringLiteral("fraStep"), 0)->isVisible());
    }

    // Next on the first step with the model unsaved, answered Cancel: the one question (under
    // `title`), the first step kept. The model is the caller's to check.
    void ExpectCancelToTheUnsavedModelQuestionStays(const QString& title)
    {
        m_shown.clear();
        m_unsavedAnswer = MsgResultCancel;
        Next();
        ASSERT_EQ(m_shown.size(), 1u);
        EXPECT_EQ(m_shown[0].prompt, QStringLiteral("The analysis was not saved to a file.\r\nSave changes?"));
        EXPECT_EQ(m_shown[0].style, MsgYesNoCancel + MsgExclamation);
        EXPECT_EQ(m_shown[0].title, title);
        EXPECT_EQ(m_window->CurrentStep, 0);
        EXPECT_TRUE(m_window->IsDirty());
    }

    // Next on the first step answered Yes: the unsaved model saved as `path` through the save
    // dialog, then the next step with the model emptied (the caller checks both).
    void SaveTheUnsavedModelAs(const QString& path)
    {
        m_unsavedAnswer = MsgResultYes;
        m_dialogAnswers.push_back(path);
        Next();
        EXPECT_EQ(m_window->CurrentStep, 1);
        EXPECT_FALSE(m_window->IsDirty());
    }

    // Closing asks the closing question once; Cancel keeps the window open.
    void ExpectClosingToAskAndCancelToKeepTheWindow()
    {
        m_shown.clear();
        SetMessageHandler([this](const QString& prompt, std::int16_t style, const QString& title) {
            m_shown.push_back({prompt, style, title});
            return std::int16_t(MsgResultCancel);
        });
        EXPECT_FALSE(m_window->close());
        ASSERT_EQ(m_shown.size(), 1u);
        EXPECT_EQ(m_shown[0].prompt,
                  QStringLiteral("The application will close and the analysis was not saved to a file. Do you want to close?"));
        EXPECT_EQ(m_shown[0].style, MsgOkCancel + MsgExclamation);
        EXPECT_TRUE(m_window->isVisible());
    }

    // Back on the first step with the model unsaved: Open answered Cancel shows no open dialog;
    // Start New answered No empties the model (the caller checks it) and saves nothing.
    void ExpectOpenAndNewToAskAboutTheUnsavedModel(const QString& title)
    {
        ASSERT_EQ(m_window->CurrentStep, 0);
        Control<QRadioButton>(m_window, QStringLiteral("optFile"), 1)->click();
        m_dialogAnswers.push_back(m_dir.filePath(QStringLiteral("never-asked")));
        ExpectCancelToTheUnsavedModelQuestionStays(title);
        EXPECT_EQ(m_dialogAnswers.size(), 1u);
        m_dialogAnswers.clear();
        Control<QRadioButton>(m_window, QStringLiteral("optFile"), 0)->click();
        m_unsavedAnswer = MsgResultNo;
        Next();
        EXPECT_EQ(m_window->CurrentStep, 1);
        EXPECT_FALSE(m_window->IsDirty());
        EXPECT_EQ(QDir(m_dir.path()).entryList({QStringLiteral("*.krn"), QStringLiteral("*.vdl")}), QStringList{});
    }

    QTemporaryDir m_dir;
    QString m_socket;
    HostProcess m_host;
    cad::AcadApplicationPtr m_feed;
    StepWindow* m_window = nullptr;
    std::array<const char*, 4> m_sheetNames{};
    GridEditor* m_grid = nullptr;
    std::vector<Shown> m_shown;
    std::deque<QString> m_dialogAnswers;
    std::int16_t m_unsavedAnswer = MsgResultNo;
    MessageHandler m_previousMessages;
    FileDialogHandler m_previousDialogs;
};

template <typename Window>
class WizardTest : public WizardTestBase {
protected:
    void OpenWizard()
    {
        m_wizard = new Window;
        Opened(m_wizard);
    }
    void CloseWizard()
    {
        WizardTestBase::CloseWizard();
        m_wizard = nullptr;
    }

    Window* m_wizard = nullptr;
};

} // namespace ardela::test
