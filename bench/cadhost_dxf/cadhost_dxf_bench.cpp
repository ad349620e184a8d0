// Opens, draws offscreen and saves an R2010 drawing of 1,000,000 mixed entities (lines, arcs,
// circles, polylines with bulges, texts, block references) and times ezdxf reading the same
// file in the same run. Targets: open at least 20 times faster than ezdxf, save as fast as
// open, under 400 bytes of memory per entity, a full redraw under 100 ms.
//
// cadhost_dxf_bench [ENTITIES] [--no-ezdxf]     (the drawing is made once in the temp folder)
#include <sys/resource.h>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DxfFile.h"
#include "cadhost/ui/DrawingRenderer.h"

using namespace cadhost;

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The processor time this process has used (user and system), in seconds.
double CpuSeconds()
{
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) + 1e-6 * double(use.ru_utime.tv_usec + use.ru_stime.tv_usec);
}

// The resident memory of this process, in bytes.
double ResidentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096.0 : 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int count = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 1000000;
    const bool ezdxf = !(argc > 2 && std::strcmp(argv[2], "--no-ezdxf") == 0);
    const QString path = QDir::temp().filePath(QStringLiteral("cadhost_dxf_bench_%1.dxf").arg(count));
    if (!QFile::exists(path)) {
        std::printf("writing %s with ezdxf ...\n", qPrintable(path));
        QProcess make;
        make.start(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(ARDELA_DXF_BENCH_DIR "/make_drawing.py"), path, QString::number(count)});
        if (!make.waitForFinished(-1) || make.exitCode() != 0) {
            std::fprintf(stderr, "%s\n", make.readAllStandardError().constData());
            return 1;
        }
    }
    std::printf("drawing: %d entities, %.1f MB\n", count, double(QFile(path).size()) / 1e6);

    const double before = ResidentBytes();
    const double heapBefore = double(mallinfo2().uordblks);
    auto t = std::chrono::steady_clock::now();
    double cpu = CpuSeconds();
    auto doc = std::make_unique<Document>(QStringLiteral("bench.dxf"));
    DxfFile::Read(path, *doc);
    const double open = Seconds(t);
    const double openCpu = CpuSeconds() - cpu;
    const double memory = ResidentBytes() - before;
    std::printf("heap in use: %.0f bytes per entity\n", (double(mallinfo2().uordblks) - heapBefore) / double(doc->EntityCount()));
    std::printf("open: %.2f s (processor %.2f s), %zu entities, %.0f bytes per entity\n", open, openCpu,
                doc->EntityCount(), memory / double(doc->EntityCount()));

    const ViewTransform view = ViewTransform::Fit(doc->Extents(), 1920, 1080);
    QImage image(1920, 1080, QImage::Format_RGB32);
    t = std::chrono::steady_clock::now();
    cpu = CpuSeconds();
    DrawingRenderer::Render(*doc, view, image);
    std::printf("redraw of the full view: %.0f ms (processor %.0f ms)\n", 1000.0 * Seconds(t), 1000.0 * (CpuSeconds() - cpu));
    RenderCache cache;
    t = std::chrono::steady_clock::now();
    cpu = CpuSeconds();
    DrawingRenderer::Render(*doc, view, image, &cache);
    std::printf("first redraw into the view's cache: %.0f ms (processor %.0f ms)\n", 1000.0 * Seconds(t),
                1000.0 * (CpuSeconds() - cpu));
    t = std::chrono::steady_clock::now();
    cpu = CpuSeconds();
    DrawingRenderer::Render(*doc, view, image, &cache);
    std::printf("redraw of the full view from the view's cache: %.0f ms (processor %.0f ms)\n", 1000.0 * Seconds(t),
                1000.0 * (CpuSeconds() - cpu));
    // A quarter of the drawing in view: through the spatial index.
    ViewTransform zoomed = view;
    zoomed.scale *= 2.0;
    t = std::chrono::steady_clock::now();
    cpu = CpuSeconds();
    DrawingRenderer::Render(*doc, zoomed, image, &cache);
    std::printf("redraw zoomed in twice (a quarter in view; builds the spatial index): %.0f ms (processor %.0f ms)\n",
                1000.0 * Seconds(t), 1000.0 * (CpuSeconds() - cpu));
    zoomed.centerX += 100.0 / zoomed.scale;   // panned by 100 pixels
    t = std::chrono::steady_clock::now();
    cpu = CpuSeconds();
    DrawingRenderer::Render(*doc, zoomed, image, &cache);
    std::printf("redraw of that view panned: %.0f ms (processor %.0f ms)\n", 1000.0 * Seconds(t), 1000.0 * (CpuSeconds() - cpu));

    const QString saved = QDir::temp().filePath(QStringLiteral("cadhost_dxf_bench_saved.dxf"));
    t = std::chrono::steady_clock::now();
    cpu = CpuSeconds();
    SaveDocument(*doc, saved);
    const double save = Seconds(t);
    std::printf("save: %.2f s (processor %.2f s)\n", save, CpuSeconds() - cpu);
    QFile::remove(saved);

    if (ezdxf) {
        QProcess py;
        py.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, time, ezdxf\nt = time.perf_counter()\nc = time.process_time()\n"
                                 "d = ezdxf.readfile(sys.argv[1])\n"
                                 "print(time.perf_counter() - t, len(d.modelspace()), time.process_time() - c)"),
                  path});
        if (py.waitForFinished(-1) && py.exitCode() == 0) {
            const QList<QByteArray> out = py.readAllStandardOutput().trimmed().split(' ');
            const double theirs = out.value(0).toDouble();
            const double theirCpu = out.value(2).toDouble();
            std::printf("ezdxf open: %.2f s (processor %.2f s, %s entities): open is %.1f times faster, save %.1f times"
                        " (processor: open %.1f times)\n",
                        theirs, theirCpu, out.value(1).constData(), theirs / open, theirs / save, theirCpu / openCpu);
        } else {
            std::printf("ezdxf could not read it: %s\n", py.readAllStandardError().constData());
        }
    }
    return 0;
}
