// Pick Lines on Korrin's node step: the engineer selects drawn lines and polylines in the drawing
// host (or names a layer), and the truss they describe is appended to the node and bar tables.
#pragma once

#include <optional>
#include <vector>

#include <QDialog>
#include <QString>
#include <QStringList>

#include "cad/AcadObjects.h"
#include "desktop/Settings.h"
#include "truss/TrussFromLines.h"

class QLineEdit;
class QComboBox;

namespace ardela {

struct TrussModel;

// The one question before picking: the section of the new bars and where the lines come from.
struct LineSection {
    float area = 0.0f;
    float modulus = 0.0f;
    QString layer;  // empty: selected on screen
};

// The host's prompt, short enough to leave the command line room: "Select lines by window or
// crossing, Enter ends (ends within 1e-06 of the size are one node):".
QString LineSelectionPrompt(double relativeTolerance = kDefaultLineTolerance);

// The straight pieces of the entities of a selection: a line, or each segment of a polyline (the
// closing one of a closed polyline); other kinds are left out. Named "line 3" / "polyline 4
// segment 2" by their place in the selection. Throws CadError when the host fails.
std::vector<DrawnLine> LinesOfSelection(cad::AcadSelectionSet& set);

// How a Pick Lines run ended.
enum class LinePickEnd {
    Added,      // rows were appended (and drawn)
    Nothing,    // no lines were selected or the layer has none: nothing changed
    Refused,    // the lines were refused (the message was shown): nothing changed
    Cancelled,  // the engineer cancelled the selection: nothing changed
    Failed,     // the drawing host failed (the message was shown)
};

// Selects the lines (on screen, or every line of `section.layer`), appends their nodes and bars
// with AddLinesToModel, redraws the node and bar layers and returns what was added in `added`.
// A refusal shows its message (style 48) and changes nothing; a host failure shows "An error
// has occured".
LinePickEnd PickLines(TrussModel& model, const SettingsArray& settings, cad::AcadDocument& document,
                      const LineSection& section, LinesAdded* added = nullptr);

// The question: area (cm2) and E (daN/cm2) of the new bars, filled with the last bar's values,
// and the layer to take every line from, or on screen. Object names txtLineArea, txtLineModulus,
// cboLineLayer, cmdLineOk, cmdLineCancel.
class LineSectionDialog : public QDialog {
public:
    LineSectionDialog(const TrussModel& model, const QStringList& layers, QWidget* parent = nullptr);
    // The answer once accepted.
    LineSection Section() const;

private:
    void Accept();

    QLineEdit* m_area = nullptr;
    QLineEdit* m_modulus = nullptr;
    QComboBox* m_layer = nullptr;
    LineSection m_section;
};

// The layer names of the drawing, for the question.
QStringList DrawingLayerNames(cad::AcadDocument& document);

} // namespace ardela
