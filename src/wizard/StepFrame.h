// The pieces both wizard windows build their frames from: the navigation row, the keys of the
// window (Escape presses Cancel, F1 is Help), and the column of a model step beside its grid.
#pragma once

#include <array>
#include <functional>
#include <vector>

#include <QString>

class QBoxLayout;
class QGroupBox;
class QLabel;
class QPixmap;
class QRadioButton;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace ardela {

class GridEditor;

// One step's frame `fraStep` (Tag (step + 1) x 1000, its title): the step's picture `imgStep`
// on the left, its text `lblStep` (Tag + 1) and what the step holds on the right.
struct StepPage {
    QGroupBox* frame = nullptr;
    QLabel* picture = nullptr;
    QLabel* text = nullptr;
    QVBoxLayout* content = nullptr;
};
StepPage BuildStepPage(QWidget* window, int step, const QPixmap& picture);
// The layout under the text of a frame BuildStepPage made.
QVBoxLayout* StepContent(QGroupBox* frame);

// A frame of option buttons under a step's text (`optFile`, `optStart`): captions by Tag, the
// first button set; the buttons are named `name` 0, 1, ...
struct OptionGroup {
    QGroupBox* frame = nullptr;
    std::vector<QRadioButton*> buttons;
};
OptionGroup BuildOptionGroup(QGroupBox* step, int frameTag, const std::vector<int>& buttonTags, const QString& name);

// The row `cmdNav` 0 to 5 under the steps: Help and Options on the left, Back, Next (Run in
// its place, hidden) and Cancel on the right; captions from the string table (Tags 100 to 105).
std::array<QPushButton*, 6> BuildNavRow(QWidget* window, QBoxLayout* outer, std::function<void(int index)> click);

// Escape presses `cancel` except while the grid's edit box has the focus; F1 calls `help`.
void InstallWizardKeys(QWidget* window, GridEditor* grid, QPushButton* cancel, std::function<void()> help);

// A model step's body under its text: the place of the grid block and, beside it, the Pick and
// Draw buttons and the count label (Tags as given; the count box goes under the label).
struct ModelStepColumn {
    QVBoxLayout* gridHolder = nullptr;
    QVBoxLayout* side = nullptr;
    QPushButton* pick = nullptr;
    QPushButton* draw = nullptr;
    QLabel* count = nullptr;
};
ModelStepColumn BuildModelStepColumn(QWidget* frame, QVBoxLayout* content, int countTag, int pickTag, int drawTag,
                                     int buttonWidth);

// The status line of a model step, under its sheet and column (BuildModelStepColumn first): one
// line in dark red whose room is kept while it is empty, so that nothing moves when it speaks.
// It never widens the frame; a text longer than the line is cut with "..." (the whole text is
// the tool tip).
QLabel* BuildStatusLine(QWidget* frame, QVBoxLayout* content);
void ShowStatus(QLabel* line, const QString& text);

} // namespace ardela
