// Times DrawStresses on synthetic results of square meshes (100 x 100 and 200 x 200 elements by
// default) drawn through the automation link into a headless drawing host on a private socket,
// and counts the calls the drawing makes on the document and its model space and the share of the
// time spent inside them; once without a progress display and once with the wizard's picture box.
// Each run also prints the processor time of both processes (user + system) and their memory: the
// wizard's peak, the host's resident size with the drawing held and its peak.
//   bench_stress_drawing [--in-flight] [HOST_PROGRAM] [RUNS] [SIDE ...]
// HOST_PROGRAM defaults to the cadhost beside this program ("" for that default); --in-flight
// leaves out the calls waited for one by one (a minute and more on the largest meshes).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include "cad/AcadObjects.h"
#include "cad/CadError.h"
#include "cad/CadProxy.h"
#include "cad/ProgramLayers.h"
#include "desktop/Settings.h"
#include "desktop/modMessage.h"
#include "stress_wizard/StressDrawing.h"
#include "stress_wizard/StressModel.h"
#include "wizard/DrawProgress.h"

using namespace ardela;
using namespace ardela::cad;
using Clock = std::chrono::steady_clock;

namespace {

long g_calls = 0;
Clock::duration g_inCalls{};

// Counts the call and the time spent inside it (the link's round trip and the host's work).
template <typename F>
auto Counted(F&& f)
{
    struct Stop {
        Clock::time_point start = Clock::now();
        ~Stop()
        {
            g_inCalls += Clock::now() - start;
            ++g_calls;
        }
    } stop;
    return f();
}

// Whether the drawing's calls go out without waiting for each reply (requests in flight).
bool g_inFlight = true;

class CountedModelSpace : public AcadModelSpace {
public:
    explicit CountedModelSpace(std::shared_ptr<AcadModelSpace> inner) : m(std::move(inner)) {}
    AcadEntityPtr AddLine(const Point3& a, const Point3& b) override { return Counted([&] { return m->AddLine(a, b); }); }
    AcadEntityPtr AddText(const QString& t, const Point3& p, double h) override
    {
        return Counted([&] { return m->AddText(t, p, h); });
    }
    AcadEntityPtr AddPoint(const Point3& p) override { return Counted([&] { return m->AddPoint(p); }); }
    AcadEntityPtr AddPolyline(const std::vector<double>& v) override { return Counted([&] { return m->AddPolyline(v); }); }
    AcadEntityPtr AddLightWeightPolyline(const std::vector<double>& v) override
    {
        return Counted([&] { return m->AddLightWeightPolyline(v); });
    }
    AcadEntityPtr AddSolid(const Point3& a, const Point3& b, const Point3& c, const Point3& d) override
    {
        return Counted([&] { return m->AddSolid(a, b, c, d); });
    }
    std::int32_t Count() override { return Counted([&] { return m->Count(); }); }
    // With requests in flight the calls go out without waiting; otherwise one by one.
    void AddLineUnanswered(const Point3& a, const Point3& b) override
    {
        Counted([&] { g_inFlight ? m->AddLineUnanswered(a, b) : void(m->AddLine(a, b)); });
    }
    void AddPolylineUnanswered(const std::vector<double>& v) override
    {
        Counted([&] { g_inFlight ? m->AddPolylineUnanswered(v) : void(m->AddPolyline(v)); });
    }

private:
    std::shared_ptr<AcadModelSpace> m;
};

// The document with every call counted (the few calls on layers, line types and the selection
// set it hands out are not: they do not grow with the mesh).
class CountedDocument : public AcadDocument {
public:
    explicit CountedDocument(AcadDocumentPtr inner) : m(std::move(inner)) {}
    std::uint64_t hWnd() override { return Counted([&] { return m->hWnd(); }); }
    std::shared_ptr<AcadModelSpace> ModelSpace() override
    {
        return std::make_shared<CountedModelSpace>(Counted([&] { return m->ModelSpace(); }));
    }
    std::shared_ptr<AcadLayers> Layers() override { return Counted([&] { return m->Layers(); }); }
    AcadLayerPtr ActiveLayer() override { return Counted([&] { return m->ActiveLayer(); }); }
    void SetActiveLayer(const AcadLayerPtr& layer) override { Counted([&] { m->SetActiveLayer(layer); }); }
    void SetActiveLayerUnanswered(const AcadLayerPtr& layer) override
    {
        Counted([&] { g_inFlight ? m->SetActiveLayerUnanswered(layer) : m->SetActiveLayer(layer); });
    }
    void AwaitUnanswered() override { m->AwaitUnanswered(); }
    std::shared_ptr<AcadTextStyle> ActiveTextStyle() override { return Counted([&] { return m->ActiveTextStyle(); }); }
    std::shared_ptr<AcadSelectionSets> SelectionSets() override { return Counted([&] { return m->SelectionSets(); }); }
    std::shared_ptr<AcadUtility> Utility() override { return Counted([&] { return m->Utility(); }); }
    std::shared_ptr<AcadLineTypes> lineTypes() override { return Counted([&] { return m->lineTypes(); }); }
    void SetVariable(const QString& n, std::int16_t v) override { Counted([&] { m->SetVariable(n, v); }); }
    std::int16_t GetVariable(const QString& n) override { return Counted([&] { return m->GetVariable(n); }); }
    void Regen(std::int16_t w) override { Counted([&] { m->Regen(w); }); }
    bool Saved() override { return Counted([&] { return m->Saved(); }); }
    QString Name() override { return Counted([&] { return m->Name(); }); }
    QString FullName() override { return Counted([&] { return m->FullName(); }); }
    void Save() override { Counted([&] { m->Save(); }); }
    void SaveAs(const QString& p) override { Counted([&] { m->SaveAs(p); }); }
    void Close() override { Counted([&] { m->Close(); }); }

private:
    AcadDocumentPtr m;
};

// Results of a side x side mesh of unit cells in the solver's corner order, with stresses that
// change sign in broad bands (as a bent plate's do) and angles all round.
void SyntheticResults(StressModel& model, int side)
{
    model.StressPoints.clear();
    model.StressValues.clear();
    model.StressPoints.reserve(std::size_t(4 * side * side));
    model.StressValues.reserve(std::size_t(side * side));
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            const float x = float(i);
            const float y = float(j);
            model.StressPoints.push_back({x, y});
            model.StressPoints.push_back({x + 1, y});
            model.StressPoints.push_back({x, y + 1});
            model.StressPoints.push_back({x + 1, y + 1});
            const float s1 = 20.0f + 100.0f * std::sin(x / 17.0f);
            const float s2 = -30.0f + 80.0f * std::cos(y / 13.0f);
            model.StressValues.push_back({s1, s2, float((7 * i + 3 * j) % 180)});
        }
}

AcadApplicationPtr StartHost(QProcess& process, const QString& program, const QString& socketPath)
{
    if (!QFileInfo(program).isExecutable())
        return nullptr;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {QStringLiteral("--socket"), socketPath, QStringLiteral("--second-instance"),
                            QStringLiteral("--headless")});
    if (!process.waitForStarted(10000))
        return nullptr;
    for (int i = 0; i < 300 && process.state() == QProcess::Running; ++i) {
        if (AcadApplicationPtr application = ConnectApplication(socketPath, 100))
            return application;
        process.waitForFinished(50);
    }
    process.kill();
    process.waitForFinished(5000);
    return nullptr;
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Processor time of this process, user and system, in seconds.
std::pair<double, double> OwnCpu()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return {s(usage.ru_utime), s(usage.ru_stime)};
}

// Processor time of another process, user and system, in seconds (from /proc).
std::pair<double, double> ProcessCpu(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {0.0, 0.0};
    const QByteArray text = stat.readAll();
    // The fields after the command name (in parentheses, which may hold spaces).
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double tick = double(sysconf(_SC_CLK_TCK));
    if (fields.size() < 13)
        return {0.0, 0.0};
    return {fields[11].toDouble() / tick, fields[12].toDouble() / tick};
}

// A memory figure of a process from /proc/PID/status ("VmRSS", "VmHWM") in MiB.
double ProcessMiB(qint64 pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0.0;
}

double LoadAverage()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    return load.open(QIODevice::ReadOnly) ? load.readAll().split(' ').value(0).toDouble() : 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The host silent for 2 s asks whether to wait: the benchmark waits and counts the questions.
    int silentHost = 0;
    SetMessageHandler([&silentHost](const QString& prompt, std::int16_t style, const QString& title) -> std::int16_t {
        if ((style & 0xF) == MsgWaitStop) {
            ++silentHost;
            return MsgResultRetry;
        }
        return StandardErrorMessageHandler(prompt, style, title);
    });
    QStringList args = app.arguments();
    const bool inFlightOnly = args.removeAll(QStringLiteral("--in-flight")) > 0;
    const QString host = args.size() > 1 && !args[1].isEmpty() ? args[1]
                                                               : QCoreApplication::applicationDirPath() + QStringLiteral("/cadhost");
    const int runs = args.size() > 2 ? std::max(1, args[2].toInt()) : 3;
    std::vector<int> sides;
    for (qsizetype i = 3; i < args.size(); ++i)
        sides.push_back(std::max(1, args[i].toInt()));
    if (sides.empty())
        sides = {100, 200};

    QTemporaryDir dir;
    QProcess process;
    const AcadApplicationPtr application = StartHost(process, host, dir.filePath(QStringLiteral("host")));
    if (!application) {
        std::fprintf(stderr, "bench_stress_drawing: no drawing host answered on the link\n");
        return 1;
    }
    const SettingsArray settings = DefaultSettings();
    AcadDocumentPtr document = application->Documents()->Add();
    document->Layers()->Add(kVendelMesh);
    CountedDocument counted(document);
    QLabel picProgress;
    picProgress.resize(300, 20);
    picProgress.show();

    std::printf("DrawStresses through the link (%s, headless), %d runs per case, load average %.1f\n",
                qPrintable(QFileInfo(host).fileName()), runs, LoadAverage());
    std::printf("%10s %10s %5s %9s %9s %10s %11s %9s   %s\n", "mesh", "calls", "run", "seconds", "calls", "calls/s",
                "elements/s", "in calls", "erase / outlines / first / second (s)");
    auto model = std::make_unique<StressModel>();
    for (const int side : sides) {
        SyntheticResults(*model, side);
        struct Mode { bool inFlight; bool withBox; const char* name; };
        for (const Mode mode : {Mode{false, false, "1-by-1"}, Mode{true, false, "in flight"}, Mode{true, true, "flight+box"}}) {
            if (inFlightOnly && !mode.inFlight)
                continue;
            const bool withBox = mode.withBox;
            g_inFlight = mode.inFlight;
            std::vector<double> times;
            for (int run = 1; run <= runs; ++run) {
                g_calls = 0;
                g_inCalls = {};
                silentHost = 0;
                // The moments the first element is outlined and each third is done.
                std::vector<Clock::time_point> marks;
                const long steps = 3L * side * side;
                long step = 0;
                DrawingProgress phases{[&](float) {
                                           ++step;
                                           if (step == 1 || step % (steps / 3) == 0)
                                               marks.push_back(Clock::now());
                                       },
                                       {}};
                DrawingProgress box = ProgressBox(&picProgress);
                const auto ownBefore = OwnCpu();
                const auto hostBefore = ProcessCpu(process.processId());
                const Clock::time_point start = Clock::now();
                const bool ok = vendel::DrawStresses(*model, settings, counted, true,
                                                     {[&](float f) {
                                                          phases.Step(f);
                                                          if (withBox)
                                                              box.Step(f);
                                                      },
                                                      [&] {
                                                          if (withBox)
                                                              box.Done();
                                                      }});
                const double seconds = Seconds(Clock::now() - start);
                if (!ok)
                    return 1;
                times.push_back(seconds);
                std::printf("%5d x %-3d %10s %5d %9.2f %9ld %10.0f %11.0f %8.0f%%", side, side, mode.name,
                            run, seconds, g_calls, double(g_calls) / seconds, double(side) * side / seconds,
                            100.0 * Seconds(g_inCalls) / seconds);
                if (marks.size() == 4)
                    std::printf("   %.2f / %.2f / %.2f / %.2f", Seconds(marks[0] - start), Seconds(marks[1] - marks[0]),
                                Seconds(marks[2] - marks[1]), Seconds(marks[3] - marks[2]));
                std::printf("\n");
                const auto own = OwnCpu();
                const auto hosted = ProcessCpu(process.processId());
                rusage usage{};
                getrusage(RUSAGE_SELF, &usage);
                std::printf("%27s CPU user/system: wizard %.2f / %.2f s, host %.2f / %.2f s; memory: wizard peak %.0f MiB, "
                            "host %.0f MiB (peak %.0f MiB); load %.1f%s\n",
                            "", own.first - ownBefore.first, own.second - ownBefore.second, hosted.first - hostBefore.first,
                            hosted.second - hostBefore.second, double(usage.ru_maxrss) / 1024.0,
                            ProcessMiB(process.processId(), "VmRSS"), ProcessMiB(process.processId(), "VmHWM"), LoadAverage(),
                            silentHost ? qPrintable(QStringLiteral("; asked %1 times whether to wait for the host").arg(silentHost)) : "");
                std::fflush(stdout);
            }
            std::sort(times.begin(), times.end());
            std::printf("%5d x %-3d %10s   median %.2f s\n", side, side, mode.name, times[times.size() / 2]);
        }
    }

    try {
        application->Quit();
    } catch (const CadError&) {
    }
    if (!process.waitForFinished(5000))
        process.kill();
    return 0;
}
