// Speed of the drawing host's engine and renderer: 100,000 AddLine calls, a full offscreen
// redraw of a 1,000,000-line drawing, and a crossing selection and a snap lookup in it; erasing a
// layer of millions of lines in one call, its undo and redo, and a second drawing over the first.
// Targets: redraw < 150 ms, crossing selection < 1 ms, snap lookup < 10 us. The first
// redraw walks the document; later ones of the unchanged drawing use the view's cache.
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include "cadhost/engine/Document.h"
#include "cadhost/ui/DrawingRenderer.h"

using namespace cadhost;

namespace {

constexpr double kSize = 10000.0;   // the drawing spans 10 km in drawing units

// A million lines as a frame drawing holds them: short members spread over the sheet,
// on a handful of layers, one of them dashed.
Document& MillionLines()
{
    static std::unique_ptr<Document> doc = [] {
        auto d = std::make_unique<Document>(QStringLiteral("Drawing1.dxf"));
        d->AddLayer(QStringLiteral("Korrin_Beams"));
        d->SetLayerColor(QStringLiteral("Korrin_Beams"), 6);
        d->AddLayer(QStringLiteral("Korrin_Plus"));
        d->SetLayerColor(QStringLiteral("Korrin_Plus"), 5);
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> at(0, kSize), len(-15, 15);
        const QString layers[3] = {QStringLiteral("0"), QStringLiteral("Korrin_Beams"), QStringLiteral("Korrin_Plus")};
        for (int i = 0; i < 1000000; ++i) {
            if (i % 100000 == 0)
                d->SetActiveLayer(layers[(i / 100000) % 3]);
            const double x = at(rng), y = at(rng);
            d->AddLine({x, y, 0}, {x + len(rng), y + len(rng), 0});
        }
        d->SetActiveLayer(QStringLiteral("0"));
        d->SelectCrossing(Box2{0, 0, 1, 1});   // build the index before timing
        return d;
    }();
    return *doc;
}

void AddLine100k(benchmark::State& state)
{
    for (auto _ : state) {
        Document doc(QStringLiteral("Drawing1.dxf"));
        std::mt19937 rng(2);
        std::uniform_real_distribution<double> at(0, 1000);
        for (int i = 0; i < 100000; ++i)
            benchmark::DoNotOptimize(doc.AddLine({at(rng), at(rng), 0}, {at(rng), at(rng), 0}));
    }
}
BENCHMARK(AddLine100k)->Unit(benchmark::kMillisecond);

void RedrawMillionLines(benchmark::State& state)
{
    Document& doc = MillionLines();
    const ViewTransform view = ViewTransform::Fit(doc.Extents(), 1920, 1080);
    QImage image(1920, 1080, QImage::Format_RGB32);
    for (auto _ : state) {
        DrawingRenderer::Render(doc, view, image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(RedrawMillionLines)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The view's redraw of an unchanged drawing (pan, zoom, resize) with its render cache.
void RedrawMillionLinesCached(benchmark::State& state)
{
    Document& doc = MillionLines();
    const ViewTransform view = ViewTransform::Fit(doc.Extents(), 1920, 1080);
    QImage image(1920, 1080, QImage::Format_RGB32);
    RenderCache cache;
    DrawingRenderer::Render(doc, view, image, &cache);
    for (auto _ : state) {
        DrawingRenderer::Render(doc, view, image, &cache);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(RedrawMillionLinesCached)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void RedrawZoomedIn(benchmark::State& state)
{
    Document& doc = MillionLines();
    ViewTransform view = ViewTransform::Fit(Box2{4000, 4000, 5000, 5000}, 1920, 1080);
    QImage image(1920, 1080, QImage::Format_RGB32);
    for (auto _ : state) {
        DrawingRenderer::Render(doc, view, image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(RedrawZoomedIn)->Unit(benchmark::kMillisecond);

void CrossingSelection(benchmark::State& state)
{
    Document& doc = MillionLines();
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> at(0, kSize);
    std::size_t found = 0;
    for (auto _ : state) {
        const double x = at(rng), y = at(rng);
        found += doc.SelectCrossing(Box2{x, y, x + 20, y + 20}).size();
    }
    state.counters["hits per window"] = double(found) / double(state.iterations());
}
BENCHMARK(CrossingSelection)->Unit(benchmark::kMicrosecond);

void CrossingAtAPoint(benchmark::State& state)
{
    Document& doc = MillionLines();
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> at(0, kSize);
    for (auto _ : state) {
        const Point3 p{at(rng), at(rng), 0};
        benchmark::DoNotOptimize(doc.SelectCrossing(Box2::FromCorners(p, p)));
    }
}
BENCHMARK(CrossingAtAPoint)->Unit(benchmark::kMicrosecond);

// Clearing a layer selects all of model space filtered on the layer name.
void SelectAllOnOneLayer(benchmark::State& state)
{
    Document& doc = MillionLines();
    for (auto _ : state) {
        SelectionSet& set = doc.AddSelectionSet(QStringLiteral("tempss"));
        set.Select(kSelectAll, std::nullopt, std::nullopt, {{8, QStringLiteral("Korrin_Plus")}});
        benchmark::DoNotOptimize(set.Count());
        doc.DeleteSelectionSet(QStringLiteral("tempss"));
    }
}
BENCHMARK(SelectAllOnOneLayer)->Unit(benchmark::kMillisecond);

// Adds `count` short lines spread over the sheet, each a call (and a step) of its own.
void AddShortLines(Document& doc, std::mt19937& rng, int count)
{
    std::uniform_real_distribution<double> at(0, kSize), len(-15, 15);
    for (int i = 0; i < count; ++i) {
        const double x = at(rng), y = at(rng);
        doc.AddLine({x, y, 0}, {x + len(rng), y + len(rng), 0});
    }
}

// Undo and redo of one erase of N lines (a selection set's Erase, one step) in a drawing of
// N lines: each runs in time proportional to N.
void UndoRedoOfAnErase(benchmark::State& state)
{
    const int n = int(state.range(0));
    Document doc(QStringLiteral("Drawing1.dxf"));
    {
        const Document::Step drawing(doc);
        std::mt19937 rng(5);
        AddShortLines(doc, rng, n);
    }
    SelectionSet& set = doc.AddSelectionSet(QStringLiteral("tempss"));
    set.Select(kSelectAll, std::nullopt, std::nullopt);
    set.Erase();
    double undoSeconds = 0.0, redoSeconds = 0.0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        doc.Undo();
        auto t1 = std::chrono::steady_clock::now();
        doc.Redo();
        auto t2 = std::chrono::steady_clock::now();
        undoSeconds += std::chrono::duration<double>(t1 - t0).count();
        redoSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["undo ms"] = 1000.0 * undoSeconds / double(state.iterations());
    state.counters["redo ms"] = 1000.0 * redoSeconds / double(state.iterations());
}
BENCHMARK(UndoRedoOfAnErase)->Arg(1000)->Arg(16000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A wizard clearing its drawing: a selection set of every line of its layer (N lines, the
// drawing's other layer holding as many again) selected and erased in one call, one step; the
// erase undone between iterations, outside the timing.
void EraseOfALayerInOneCall(benchmark::State& state)
{
    const int n = int(state.range(0));
    Document doc(QStringLiteral("Drawing1.dxf"));
    doc.AddLayer(QStringLiteral("Vendel_Stresses"));
    {
        const Document::Step drawing(doc);
        std::mt19937 rng(7);
        AddShortLines(doc, rng, n);
        doc.SetActiveLayer(QStringLiteral("Vendel_Stresses"));
        AddShortLines(doc, rng, n);
        doc.SetActiveLayer(QStringLiteral("0"));
    }
    doc.SelectCrossing(Box2{0, 0, 1, 1});
    double selectSeconds = 0.0, eraseSeconds = 0.0;
    for (auto _ : state) {
        SelectionSet& set = doc.AddSelectionSet(QStringLiteral("tempss"));
        const auto t0 = std::chrono::steady_clock::now();
        set.Select(kSelectAll, std::nullopt, std::nullopt, {{8, QStringLiteral("Vendel_Stresses")}});
        const auto t1 = std::chrono::steady_clock::now();
        set.Erase();
        const auto t2 = std::chrono::steady_clock::now();
        selectSeconds += std::chrono::duration<double>(t1 - t0).count();
        eraseSeconds += std::chrono::duration<double>(t2 - t1).count();
        doc.DeleteSelectionSet(QStringLiteral("tempss"));
        state.PauseTiming();
        if (doc.EntityCount() != std::size_t(n))
            state.SkipWithError("the erase left the wrong number of entities");
        doc.Undo();
        state.ResumeTiming();
    }
    state.counters["select ms"] = 1000.0 * selectSeconds / double(state.iterations());
    state.counters["erase ms"] = 1000.0 * eraseSeconds / double(state.iterations());
}
BENCHMARK(EraseOfALayerInOneCall)->Arg(100000)->Arg(1000000)->Arg(3000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// A second drawing of N lines over a first one erased in one call (still in the undo history for
// its first 1000 calls), each line a call of its own: the time of the second drawing.
void SecondDrawingOverAnErasedOne(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Document doc(QStringLiteral("Drawing1.dxf"));
        std::mt19937 rng(9);
        AddShortLines(doc, rng, n);
        SelectionSet& set = doc.AddSelectionSet(QStringLiteral("tempss"));
        set.Select(kSelectAll, std::nullopt, std::nullopt);
        state.ResumeTiming();
        set.Erase();
        AddShortLines(doc, rng, n);
        state.PauseTiming();
        if (doc.EntityCount() != std::size_t(n))
            state.SkipWithError("the second drawing holds the wrong number of entities");
        state.ResumeTiming();
    }
}
BENCHMARK(SecondDrawingOverAnErasedOne)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

void SnapLookup(benchmark::State& state)
{
    Document& doc = MillionLines();
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> at(0, kSize);
    // A 10-pixel aperture on a 1920-pixel view of the whole drawing is about 50 units; a
    // working zoom is ten times closer.
    for (auto _ : state) {
        const Point3 p{at(rng), at(rng), 0};
        benchmark::DoNotOptimize(doc.Snap(p, 5.0, kSnapEndpoint | kSnapNode | kSnapIntersection));
    }
}
BENCHMARK(SnapLookup)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
