// Times DrawResults on a solved 1000-bar truss drawn through the automation link into a drawing
// host on a private socket, and how much of that time is spent inside the link's calls (encoding,
// the round trip and the host's work) against the drawing routine's own work.
//   bench_drawing [HOST_PROGRAM] [RUNS]
// HOST_PROGRAM defaults to the cadhost beside this program, else the link tests' host.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include "cad/AcadObjects.h"
#include "cad/CadError.h"
#include "cad/CadProxy.h"
#include "wizard/DrawProgress.h"
#include "truss_wizard/ResultDrawing.h"
#include "desktop/Settings.h"
#include "truss/TrussModel.h"
#include "truss/TrussSolver.h"
#include "desktop/modMessage.h"

using namespace ardela;
using namespace ardela::cad;
using Clock = std::chrono::steady_clock;

namespace {

// Time and number of the calls made through the link.
struct LinkClock {
    Clock::duration spent{};
    long calls = 0;
};
LinkClock g_link;

template <typename F>
auto Timed(F&& f)
{
    struct Stop {
        Clock::time_point start = Clock::now();
        ~Stop()
        {
            g_link.spent += Clock::now() - start;
            ++g_link.calls;
        }
    } stop;
    return f();
}

// Wrappers of the object model that time every call they pass on.
class TimedEntity : public AcadEntity {
public:
    explicit TimedEntity(AcadEntityPtr inner) : m(std::move(inner)) {}
    std::int64_t ObjectID() override { return Timed([&] { return m->ObjectID(); }); }
    QString ObjectName() override { return Timed([&] { return m->ObjectName(); }); }
    QString Layer() override { return Timed([&] { return m->Layer(); }); }
    void Update() override { Timed([&] { m->Update(); }); }
    std::int16_t Alignment() override { return Timed([&] { return m->Alignment(); }); }
    void SetAlignment(std::int16_t a) override { Timed([&] { m->SetAlignment(a); }); }
    Point3 TextAlignmentPoint() override { return Timed([&] { return m->TextAlignmentPoint(); }); }
    void SetTextAlignmentPoint(const Point3& p) override { Timed([&] { m->SetTextAlignmentPoint(p); }); }
    double Rotation() override { return Timed([&] { return m->Rotation(); }); }
    void SetRotation(double r) override { Timed([&] { m->SetRotation(r); }); }
    double Height() override { return Timed([&] { return m->Height(); }); }
    void SetHeight(double h) override { Timed([&] { m->SetHeight(h); }); }
    QString TextString() override { return Timed([&] { return m->TextString(); }); }

private:
    AcadEntityPtr m;
};

AcadEntityPtr Wrap(AcadEntityPtr e)
{
    return std::make_shared<TimedEntity>(std::move(e));
}

class TimedModelSpace : public AcadModelSpace {
public:
    explicit TimedModelSpace(std::shared_ptr<AcadModelSpace> inner) : m(std::move(inner)) {}
    AcadEntityPtr AddLine(const Point3& a, const Point3& b) override { return Wrap(Timed([&] { return m->AddLine(a, b); })); }
    AcadEntityPtr AddText(const QString& t, const Point3& p, double h) override
    {
        return Wrap(Timed([&] { return m->AddText(t, p, h); }));
    }
    AcadEntityPtr AddPoint(const Point3& p) override { return Wrap(Timed([&] { return m->AddPoint(p); })); }
    AcadEntityPtr AddPolyline(const std::vector<double>& v) override { return Wrap(Timed([&] { return m->AddPolyline(v); })); }
    AcadEntityPtr AddLightWeightPolyline(const std::vector<double>& v) override
    {
        return Wrap(Timed([&] { return m->AddLightWeightPolyline(v); }));
    }
    AcadEntityPtr AddSolid(const Point3& a, const Point3& b, const Point3& c, const Point3& d) override
    {
        return Wrap(Timed([&] { return m->AddSolid(a, b, c, d); }));
    }
    std::int32_t Count() override { return Timed([&] { return m->Count(); }); }

private:
    std::shared_ptr<AcadModelSpace> m;
};

// Layers pass through unwrapped to SetActiveLayer, so the wrapper keeps the inner one.
class TimedLayer : public AcadLayer {
public:
    explicit TimedLayer(AcadLayerPtr inner) : m(std::move(inner)) {}
    QString Name() override { return Timed([&] { return m->Name(); }); }
    std::int32_t Color() override { return Timed([&] { return m->Color(); }); }
    void SetColor(std::int32_t c) override { Timed([&] { m->SetColor(c); }); }
    QString Linetype() override { return Timed([&] { return m->Linetype(); }); }
    void SetLinetype(const QString& n) override { Timed([&] { m->SetLinetype(n); }); }
    bool LayerOn() override { return Timed([&] { return m->LayerOn(); }); }
    void SetLayerOn(bool v) override { Timed([&] { m->SetLayerOn(v); }); }
    bool Freeze() override { return Timed([&] { return m->Freeze(); }); }
    void SetFreeze(bool v) override { Timed([&] { m->SetFreeze(v); }); }
    bool Lock() override { return Timed([&] { return m->Lock(); }); }
    void SetLock(bool v) override { Timed([&] { m->SetLock(v); }); }
    void Delete() override { Timed([&] { m->Delete(); }); }
    const AcadLayerPtr& Inner() const { return m; }

private:
    AcadLayerPtr m;
};

AcadLayerPtr Wrap(AcadLayerPtr l)
{
    return std::make_shared<TimedLayer>(std::move(l));
}

class TimedLayers : public AcadLayers {
public:
    explicit TimedLayers(std::shared_ptr<AcadLayers> inner) : m(std::move(inner)) {}
    std::int32_t Count() override { return Timed([&] { return m->Count(); }); }
    AcadLayerPtr Item(std::int32_t i) override { return Wrap(Timed([&] { return m->Item(i); })); }
    AcadLayerPtr Item(const QString& n) override { return Wrap(Timed([&] { return m->Item(n); })); }
    AcadLayerPtr Add(const QString& n) override { return Wrap(Timed([&] { return m->Add(n); })); }

private:
    std::shared_ptr<AcadLayers> m;
};

class TimedLineTypes : public AcadLineTypes {
public:
    explicit TimedLineTypes(std::shared_ptr<AcadLineTypes> inner) : m(std::move(inner)) {}
    std::int32_t Count() override { return Timed([&] { return m->Count(); }); }
    QString Name(std::int32_t i) override { return Timed([&] { return m->Name(i); }); }
    void Load(const QString& n, const QString& f) override { Timed([&] { m->Load(n, f); }); }

private:
    std::shared_ptr<AcadLineTypes> m;
};

class TimedSelectionSet : public AcadSelectionSet {
public:
    explicit TimedSelectionSet(AcadSelectionSetPtr inner) : m(std::move(inner)) {}
    QString Name() override { return Timed([&] { return m->Name(); }); }
    void Select(std::int16_t mode, const std::optional<Point3>& c1, const std::optional<Point3>& c2,
                const std::vector<std::int16_t>& types, const QStringList& data) override
    {
        Timed([&] { m->Select(mode, c1, c2, types, data); });
    }
    std::int32_t count() override { return Timed([&] { return m->count(); }); }
    AcadEntityPtr Item(std::int32_t i) override { return Wrap(Timed([&] { return m->Item(i); })); }
    void Erase() override { Timed([&] { m->Erase(); }); }
    void Delete() override { Timed([&] { m->Delete(); }); }

private:
    AcadSelectionSetPtr m;
};

class TimedSelectionSets : public AcadSelectionSets {
public:
    explicit TimedSelectionSets(std::shared_ptr<AcadSelectionSets> inner) : m(std::move(inner)) {}
    AcadSelectionSetPtr Add(const QString& n) override
    {
        return std::make_shared<TimedSelectionSet>(Timed([&] { return m->Add(n); }));
    }
    AcadSelectionSetPtr Item(const QString& n) override
    {
        return std::make_shared<TimedSelectionSet>(Timed([&] { return m->Item(n); }));
    }
    std::int32_t Count() override { return Timed([&] { return m->Count(); }); }

private:
    std::shared_ptr<AcadSelectionSets> m;
};

class TimedDocument : public AcadDocument {
public:
    explicit TimedDocument(AcadDocumentPtr inner) : m(std::move(inner)) {}
    std::uint64_t hWnd() override { return Timed([&] { return m->hWnd(); }); }
    std::shared_ptr<AcadModelSpace> ModelSpace() override
    {
        return std::make_shared<TimedModelSpace>(Timed([&] { return m->ModelSpace(); }));
    }
    std::shared_ptr<AcadLayers> Layers() override { return std::make_shared<TimedLayers>(Timed([&] { return m->Layers(); })); }
    AcadLayerPtr ActiveLayer() override { return Wrap(Timed([&] { return m->ActiveLayer(); })); }
    void SetActiveLayer(const AcadLayerPtr& layer) override
    {
        const auto* timed = dynamic_cast<const TimedLayer*>(layer.get());
        Timed([&] { m->SetActiveLayer(timed ? timed->Inner() : layer); });
    }
    std::shared_ptr<AcadTextStyle> ActiveTextStyle() override { return Timed([&] { return m->ActiveTextStyle(); }); }
    std::shared_ptr<AcadSelectionSets> SelectionSets() override
    {
        return std::make_shared<TimedSelectionSets>(Timed([&] { return m->SelectionSets(); }));
    }
    std::shared_ptr<AcadUtility> Utility() override { return Timed([&] { return m->Utility(); }); }
    std::shared_ptr<AcadLineTypes> lineTypes() override
    {
        return std::make_shared<TimedLineTypes>(Timed([&] { return m->lineTypes(); }));
    }
    void SetVariable(const QString& n, std::int16_t v) override { Timed([&] { m->SetVariable(n, v); }); }
    std::int16_t GetVariable(const QString& n) override { return Timed([&] { return m->GetVariable(n); }); }
    void Regen(std::int16_t w) override { Timed([&] { m->Regen(w); }); }
    bool Saved() override { return Timed([&] { return m->Saved(); }); }
    QString Name() override { return Timed([&] { return m->Name(); }); }
    QString FullName() override { return Timed([&] { return m->FullName(); }); }
    void Save() override { Timed([&] { m->Save(); }); }
    void SaveAs(const QString& p) override { Timed([&] { m->SaveAs(p); }); }
    void Close() override { Timed([&] { m->Close(); }); }

private:
    AcadDocumentPtr m;
};

// A Warren girder of `panels` panels (4 bars a panel, one more to close it): 4 x 250 = 1000 bars,
// pinned at one end, on a roller at the other, every bottom node loaded downwards.
void BuildGirder(TrussModel& model, int panels)
{
    ResetModel(model);
    const auto node = [&](float x, float y) {
        ++model.NodeCount;
        model.Nodes(model.NodeCount, 1) = Cell(x);
        model.Nodes(model.NodeCount, 2) = Cell(y);
        return model.NodeCount;
    };
    const auto bar = [&](int i, int j) {
        ++model.ElementCount;
        model.Elements(model.ElementCount, 1) = Cell(std::int16_t(i));
        model.Elements(model.ElementCount, 2) = Cell(std::int16_t(j));
        model.Elements(model.ElementCount, 3) = Cell(10.0f);
        model.Elements(model.ElementCount, 4) = Cell(2.1e6f);
    };
    std::vector<int> bottom{node(0, 0)};
    std::vector<int> top;
    for (int p = 0; p < panels; ++p) {
        top.push_back(node(100.0f * p + 50.0f, 100.0f));
        bottom.push_back(node(100.0f * (p + 1), 0));
    }
    for (int p = 0; p < panels; ++p) {
        bar(bottom[p], bottom[p + 1]);
        bar(bottom[p], top[p]);
        bar(top[p], bottom[p + 1]);
        if (p + 1 < panels)
            bar(top[p], top[p + 1]);
    }
    // Close the count at 1000 bars with a brace of the first panel.
    while (model.ElementCount < 4 * panels)
        bar(bottom[0], top[1]);
    model.BlockCount = 2;
    model.Blocks(1, 1) = Cell(std::int16_t(bottom.front()));
    model.Blocks(1, 2) = Cell(std::int16_t(1));
    model.Blocks(1, 3) = Cell(std::int16_t(1));
    model.Blocks(2, 1) = Cell(std::int16_t(bottom.back()));
    model.Blocks(2, 3) = Cell(std::int16_t(1));
    for (std::size_t i = 1; i + 1 < bottom.size(); ++i) {
        ++model.LoadCount;
        model.Loads(model.LoadCount, 1) = Cell(std::int16_t(bottom[i]));
        model.Loads(model.LoadCount, 3) = Cell(-1000.0f);
    }
}

// The host to start: the one named on the command line, else cadhost beside this program.
QStringList HostCandidates(const QStringList& args)
{
    if (args.size() > 1 && !args[1].isEmpty())
        return {args[1]};
    const QString dir = QCoreApplication::applicationDirPath();
    return {dir + QStringLiteral("/cadhost")};
}

// Starts `program` on a private socket and connects; nullptr when it does not answer.
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

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetMessageHandler(StandardErrorMessageHandler);
    const QStringList args = app.arguments();
    const int runs = args.size() > 2 ? std::max(1, args[2].toInt()) : 5;

    QTemporaryDir dir;
    QProcess process;
    AcadApplicationPtr application;
    QString host;
    for (const QString& candidate : HostCandidates(args)) {
        application = StartHost(process, candidate, dir.filePath(QFileInfo(candidate).fileName()));
        if (application) {
            host = candidate;
            break;
        }
    }
    if (!application) {
        std::fprintf(stderr, "bench_drawing: no drawing host answered on the link\n");
        return 1;
    }

    TrussModel model;
    BuildGirder(model, 250);
    if (!SolveTruss(model))
        return 1;
    const SettingsArray settings = DefaultSettings();
    AcadDocumentPtr document = application->Documents()->Add();
    TimedDocument timed(document);
    QLabel progress;
    progress.resize(300, 20);
    progress.show();

    std::printf("DrawResults, %d bars through the link (%s), %d runs\n", int(model.ElementCount),
                qPrintable(QFileInfo(host).fileName()), runs);
    std::printf("%6s %12s %12s %10s %10s %14s\n", "run", "total ms", "link ms", "link %", "calls", "us per call");
    std::vector<double> totals;
    std::vector<double> shares;
    for (int run = 1; run <= runs; ++run) {
        g_link = LinkClock{};
        const Clock::time_point start = Clock::now();
        const bool ok = DrawResults(model, settings, timed, ProgressBox(&progress));
        const Clock::duration total = Clock::now() - start;
        if (!ok)
            return 1;
        totals.push_back(Ms(total));
        shares.push_back(100.0 * Ms(g_link.spent) / Ms(total));
        std::printf("%6d %12.1f %12.1f %10.1f %10ld %14.1f\n", run, Ms(total), Ms(g_link.spent), shares.back(),
                    g_link.calls, 1000.0 * Ms(g_link.spent) / double(g_link.calls));
    }
    std::sort(totals.begin(), totals.end());
    std::sort(shares.begin(), shares.end());
    std::printf("median: %.1f ms per drawing, %.1f%% of it in the link\n", totals[totals.size() / 2],
                shares[shares.size() / 2]);

    try {
        application->Quit();
    } catch (const CadError&) {
    }
    if (!process.waitForFinished(5000))
        process.kill();
    return 0;
}
