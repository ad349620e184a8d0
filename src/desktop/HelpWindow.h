// The help window: HTML topics installed beside the programs, one per context number, shown in a
// browser window; WinHelp opens a topic (command 1) or closes the window (command 2).
#pragma once

#include <QWidget>

class QTextBrowser;

namespace ardela {

constexpr int HELP_CONTEXT = 1;
constexpr int HELP_QUIT = 2;

// Opens the topic `context` of the help file `helpFile` ("Korrin.hlp" reads the topics in
// help/Korrin/<context>.html beside the program) or, for HELP_QUIT, closes the help window.
// Returns false for an unknown command or a topic that is not installed (the window then says so).
bool WinHelp(QWidget* owner, const QString& helpFile, int command, int context);

// The folder that holds the help folders: "help" beside the program unless set here (tests).
void SetHelpRoot(const QString& folder);
QString HelpRoot();

// The window itself, one per program.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Shows the topic file, or a note naming the missing topic; false when it is missing.
    bool ShowTopic(const QString& helpFile, int context);
    QTextBrowser* Browser() const { return m_browser; }
    // The window while it exists, else nullptr.
    static HelpWindow* Instance();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QTextBrowser* m_browser;
    bool m_placed = false;
};

} // namespace ardela
