// frmStress: Vendel's wizard window. Eight steps lead from a new or opened analysis through the
// drawing, the gridlines, subdomains, constrained lines and loads to the run that starts the
// solver and draws the principal stresses. The steps are a description the wizard core runs;
// the gridline direction switch and Activate are Vendel's own.
#pragma once

#include <array>

#include "wizard/StepWindow.h"

namespace ardela {

class frmStress : public StepWindow {
    Q_OBJECT
public:
    static constexpr int kSteps = 8;
    static constexpr int kLastStep = 7;

    // Builds the window and runs its load: splash, settings, captions, hook, step 0.
    explicit frmStress(QWidget* parent = nullptr);

    // Activate: layer 0 made current, the wizard minimised and the drawing host brought up.
    void cmdActivate_Click();
    // The gridline sheet shows the vertical (0) or horizontal (1) gridlines.
    void optGridlines_Click(int index);
    // Run: save when changed, write "datein", run `stress`, read and draw its results, keep the
    // listing beside a saved analysis.
    void Run() override;

private:
    bool Vertical() const;
    void SetGridColumn();

    std::array<QRadioButton*, 2> m_optGridlines{};
    std::array<QLabel*, 2> m_lblGridlines{};
};

// The program-wide wizard window, while it exists.
frmStress* StressWizard();

} // namespace ardela
