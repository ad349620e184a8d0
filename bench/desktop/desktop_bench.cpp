// Times the desktop windows' work that runs while the user waits: a flame frame (every 50 ms while
// About is open), LoadResStrings over a wizard-sized form, opening and painting the colour picker.
#include <cstdlib>

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include "desktop/frmAbout.h"
#include "desktop/frmColor.h"
#include "desktop/modResource.h"

using namespace ardela;

static void FlameFrame(benchmark::State& state)
{
    frmAbout about(ProgramInfo{QStringLiteral("Ardela"), QStringLiteral("Korrin"), 1, 0, 0});
    for (auto _ : state) {
        about.DoFlame();
        benchmark::DoNotOptimize(about.picAbout->Picture().constBits());
    }
}
BENCHMARK(FlameFrame)->Unit(benchmark::kMicrosecond);

// The wizard window has about 80 captioned controls across its eight steps.
static void CaptionWizardSizedForm(benchmark::State& state)
{
    SelectStringTable(StringTable::Vendel);
    QWidget form;
    form.setProperty("Tag", 9000);
    const int tags[] = {100, 101, 102, 103, 104, 105, 1000, 1001, 1002, 1003, 1004, 2000, 2001, 2002, 2003, 2004,
                        2005, 2006, 3000, 3001, 3002, 4000, 4001, 4002, 4003, 4004, 4005, 4006, 4007, 5000, 5001,
                        5002, 5003, 5004, 6000, 6001, 6002, 6003, 6004, 7000, 7001, 7002, 7003, 7004, 8000, 8001};
    for (int round = 0; round < 2; ++round)
        for (int tag : tags) {
            QWidget* control = tag % 1000 > 2 ? static_cast<QWidget*>(new QPushButton(&form)) : new QLabel(&form);
            control->setProperty("Tag", tag);
        }
    for (auto _ : state)
        LoadResStrings(&form);
    SelectStringTable(StringTable::Korrin);
}
BENCHMARK(CaptionWizardSizedForm)->Unit(benchmark::kMicrosecond);

static void OpenAndPaintColorPicker(benchmark::State& state)
{
    for (auto _ : state) {
        frmColor form;
        form.SetColor(38);
        benchmark::DoNotOptimize(form.grab());
    }
}
BENCHMARK(OpenAndPaintColorPicker)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
