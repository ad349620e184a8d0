// The message window: the prompt, one of four icons and up to three buttons with their return codes.
#pragma once

#include <array>
#include <cstdint>

#include <QDialog>

class QLabel;
class QPushButton;

namespace ardela {

class frmMessage : public QDialog {
    Q_OBJECT
public:
    explicit frmMessage(QWidget* parent = nullptr);

    // Set before the window is shown.
    QString Prompt;
    QString Title;
    std::int16_t Style = 0;
    // Read after it has closed: the pressed button's code (2 when closed by its close box).
    std::int16_t ReturnValue = 0;
    bool SelectionMade = false;

    // Lays out the window for Prompt, Title and Style; exec() calls it.
    void Form_Load();
    int exec() override;

    // The pictures for the icon codes 16, 32, 48 and 64, drawn by the program.
    static QPixmap IconPicture(std::int16_t iconCode);

    QLabel* imgCritical = nullptr;
    QLabel* imgQuestion = nullptr;
    QLabel* imgExclamation = nullptr;
    QLabel* imgInformation = nullptr;
    QLabel* lblMessage = nullptr;
    QPushButton* cmdButton1 = nullptr;
    QPushButton* cmdButton2 = nullptr;
    QPushButton* cmdButton3 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cmdButton_Click(QPushButton* button);
};

// Creates the message window, shows it modally and reads back the pressed button.
class clsMessage {
public:
    // Shows `prompt` with the style `buttons` under `title`; `returnValue` receives the pressed
    // button's code. Returns whether a selection was made.
    bool ShowDialog(const QString& prompt, std::int32_t buttons, const QString& title, std::int32_t& returnValue);
};

// Makes ShowMessage show the message window. The window takes its icon from `wizardWindow`
// while it exists, else from the application.
void InstallMessageDialog(QWidget* wizardWindow = nullptr);

} // namespace ardela
