// Times Vendel's Run from the click to the drawn stresses on square cantilever plates (100 x 100
// and 200 x 200 elements by default): the wizard opens a saved analysis, attaches to a headless
// drawing host on a private socket, walks to the last step and runs; then DrawStresses alone is
// timed on the same results. Prints the wizard's peak memory (the solver runs in its own process).
//   bench_vendel_run [SIDE ...]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>

#include "cad/CadError.h"
#include "cad/CadProxy.h"
#include "cad/modHelpers.h"
#include "desktop/FileChooser.h"
#include "desktop/Settings.h"
#include "desktop/modMessage.h"
#include "desktop/modResource.h"
#include "stress_wizard/StressDrawing.h"
#include "stress_wizard/StressFile.h"
#include "stress_wizard/StressModel.h"
#include "stress_wizard/frmStress.h"
#include "wizard/WizardLifetime.h"

using namespace ardela;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A square plate of side x side unit cells, held along x = 0 and loaded downwards at its free
// upper corner, saved as an analysis file.
void WritePlate(const QString& path, int side)
{
    auto model = std::make_unique<StressModel>();
    model->VertCount = static_cast<std::int16_t>(side + 1);
    model->HorzCount = static_cast<std::int16_t>(side + 1);
    for (int i = 1; i <= side + 1; ++i) {
        model->GridLines(i, 1) = Cell(double(i - 1));
        model->GridLines(i, 2) = Cell(double(i - 1));
    }
    model->DomainCount = 1;
    const double domain[7] = {0, 0, double(side), double(side), 1, 210000, 81000};
    for (int c = 1; c <= 7; ++c)
        model->Domains(1, c) = Cell(domain[c - 1]);
    model->LineCount = 1;
    const double line[5] = {0, 0, 0, double(side), 3};
    for (int c = 1; c <= 5; ++c)
        model->ConstrainedLines(1, c) = Cell(line[c - 1]);
    model->NodalLoadCount = 1;
    model->NodalLoads(1, 1) = Cell(double(side));
    model->NodalLoads(1, 2) = Cell(double(side));
    model->NodalLoads(1, 4) = Cell(-500.0);
    SettingsArray settings = DefaultSettings();
    settings[SetScaleFactor] = Cell("0.001");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(WriteStressFile(*model, settings)) < 0)
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<int> sides;
    for (int i = 1; i < argc; ++i)
        sides.push_back(std::atoi(argv[i]));
    if (sides.empty())
        sides = {100, 200};

    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    const QString socket = dir.filePath(QStringLiteral("host"));
    QProcess host;
    host.setStandardErrorFile(QProcess::nullDevice());
    host.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("cadhost")),
               {QStringLiteral("--socket"), socket, QStringLiteral("--second-instance"), QStringLiteral("--headless")});
    if (!host.waitForStarted(10000)) {
        std::fprintf(stderr, "the drawing host did not start\n");
        return 1;
    }
    cad::AcadApplicationPtr probe;
    for (int i = 0; i < 300 && !probe && host.state() == QProcess::Running; ++i) {
        probe = cad::ConnectApplication(socket, 100);
        if (!probe)
            host.waitForFinished(50);
    }
    if (!probe) {
        std::fprintf(stderr, "the drawing host does not answer\n");
        return 1;
    }

    SelectStringTable(StringTable::Vendel);
    WizardStartup::SetSplashMinimumMs(0);
    QStringList messages;
    // Every question is answered Yes; a host silent for 2 s (a busy, loaded machine) is waited
    // for, as an engineer would, and the question counted among the messages.
    SetMessageHandler([&messages](const QString& prompt, std::int16_t style, const QString&) {
        messages << prompt;
        return std::int16_t((style & 0xF) == MsgWaitStop ? MsgResultRetry : MsgResultYes);
    });
    QString openPath;
    SetFileDialogHandler([&openPath](FileDialogMode, const FileDialogRequest&) -> std::optional<FileDialogChoice> {
        return ChoiceForPath(openPath);
    });

    std::printf("Vendel Run end to end through a headless drawing host\n");
    std::printf("%8s %10s %12s %12s %12s %14s\n", "plate", "elements", "run [s]", "draw [s]", "calls/s", "peak [MiB]");
    for (const int side : sides) {
        openPath = dir.filePath(QStringLiteral("plate%1.vdl").arg(side));
        WritePlate(openPath, side);
        cad::Connection& connection = cad::CadConnection();
        connection = cad::Connection{};
        connection.RunningSocketPath = socket;
        auto* wizard = new frmStress;
        wizard->show();
        wizard->findChild<QRadioButton*>(QStringLiteral("optFile%1").arg(1))->click();
        for (int step = 0; step < frmStress::kLastStep; ++step)
            wizard->cmdNav_Click(NavNext);
        if (wizard->CurrentStep != frmStress::kLastStep) {
            std::fprintf(stderr, "the wizard stopped on step %d: %s\n", wizard->CurrentStep, qPrintable(messages.join(" | ")));
            return 1;
        }
        messages.clear();
        const Clock::time_point start = Clock::now();
        wizard->cmdNav_Click(NavRun);
        const Clock::duration run = Clock::now() - start;
        const std::size_t elements = Stress().StressValues.size();
        const Clock::time_point drawStart = Clock::now();
        const bool drawn = vendel::DrawStresses(true);
        const Clock::duration draw = Clock::now() - drawStart;
        // One outline and two segments per element.
        const double calls = 3.0 * double(elements);
        std::printf("%4dx%-4d %10zu %12.2f %12.2f %12.0f %14.1f%s\n", side, side, elements, Seconds(run), Seconds(draw),
                    calls / Seconds(draw), PeakKiB() / 1024.0, drawn && messages.isEmpty() ? "" : "  (failed)");
        if (!messages.isEmpty())
            std::printf("  %s\n", qPrintable(messages.join(QStringLiteral(" | "))));
        wizard->SetDirty(false);
        connection.AcadStarted = false;
        delete wizard;
    }
    if (probe) {
        try {
            probe->Quit();
        } catch (const cad::CadError&) {
        }
    }
    if (!host.waitForFinished(5000)) {
        host.kill();
        host.waitForFinished(5000);
    }
    return 0;
}
