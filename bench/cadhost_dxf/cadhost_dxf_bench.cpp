// Opens, draws offscreen and saves an R2010 drawing of 1,000,000 mixed entities (lines, arcs,
// circles, polylines with bulges, texts, block references) and times ezdxf reading the same
// file in the same run. The drawing is shown in the host's own view widget (1920 x 1080, the
// offscreen platform), painted through the widget's repaint as on a screen. Targets: open at
// least 20 times faster than ezdxf (by the clock and by processor time), save as fast as open,
// under 400 bytes of memory per entity, a redraw of the view holding all of it under 100 ms,
// also the first one after a change of the drawing.
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
#include <QApplication>
#include <QImage>
#include <QProcess>

#include "cadhost/engine/Document.h"
#include "cadhost/engine/DxfFile.h"
#include "cadhost/engine/LargePages.h"
#include "cadhost/ui/DrawingRenderer.h"
#include "cadhost/ui/DrawingView.h"

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

// The most resident memory this process has had (VmHWM), in bytes.
double PeakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024.0;
    return 0.0;
}

// Wall and processor time of one piece of work.
class Timer {
public:
    Timer() : m_wall(std::chrono::steady_clock::now()), m_cpu(CpuSeconds()) {}
    double Wall() const { return Seconds(m_wall); }
    double Cpu() const { return CpuSeconds() - m_cpu; }
    // "12 ms (processor 5 ms)" per repetition.
    void Print(const char* what, int repetitions = 1) const
    {
        std::printf("%s: %.0f ms (processor %.0f ms)\n", what, 1000.0 * Wall() / repetitions, 1000.0 * Cpu() / repetitions);
    }

private:
    std::chrono::steady_clock::time_point m_wall;
    double m_cpu;
};

} // namespace

int main(int argc, char** argv, char** envp)
{
    // The drawing is opened as the host opens it: with the C library's large pages.
    cadhost::StartWithLargePages(argv, envp);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
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
    const double peakBefore = PeakResidentBytes();
    const double heapBefore = double(mallinfo2().uordblks);
    const Timer opening;
    auto doc = std::make_unique<Document>(QStringLiteral("bench.dxf"));
    DxfFile::Read(path, *doc);
    const double open = opening.Wall();
    const double openCpu = opening.Cpu();
    const double entities = double(doc->EntityCount());
    const double memory = ResidentBytes() - before;
    std::printf("open: %.2f s (processor %.2f s), %zu entities\n", open, openCpu, doc->EntityCount());
    std::printf("memory: %.0f bytes per entity resident after the open (%.0f of them the file's text), %.0f at the"
                " peak while opening; heap in use %.0f bytes per entity\n",
                memory / entities, double(QFile(path).size()) / entities,
                (PeakResidentBytes() - peakBefore) / entities, (double(mallinfo2().uordblks) - heapBefore) / entities);

    // The host's view widget holding the whole drawing, painted as the window system asks it to.
    DrawingView view(*doc);
    view.resize(1920, 1080);
    view.show();
    QCoreApplication::processEvents();
    {
        const Timer t;
        view.Regen();
        view.repaint();
        t.Print("first redraw of the view (gathers its items)");
    }
    std::printf("the view's items: %zu, %.0f bytes per entity\n", view.Cache().ItemCount(),
                double(view.Cache().ItemCount() * sizeof(RenderCache::Item)) / entities);
    {
        constexpr int kTimes = 10;
        const Timer t;
        for (int i = 0; i < kTimes; ++i)
            view.repaint();
        t.Print("redraw of the view from its kept image (a cursor or a marker moved)", kTimes);
    }
    {
        constexpr int kTimes = 5;
        const Timer t;
        for (int i = 0; i < kTimes; ++i) {
            view.Regen();
            view.repaint();
        }
        t.Print("redraw of the whole view from its items (REGEN)", kTimes);
    }
    // Changes as a wizard makes them, each followed by the redraw it asks for.
    const Box2 all = doc->Extents();
    const Point3 middle{(all.minX + all.maxX) / 2, (all.minY + all.maxY) / 2, 0};
    ObjectId added = 0;
    {
        const Timer t;
        added = doc->AddLine(middle, Point3{middle.x + 100, middle.y + 50, 0});
        view.Regen();
        view.repaint();
        t.Print("first redraw after a line was added");
    }
    {
        const Timer t;
        doc->SetLayerColor(QStringLiteral("Walls"), 1);
        view.Regen();
        view.repaint();
        t.Print("first redraw after a layer was recoloured");
    }
    {
        const Timer t;
        doc->SetEntityLayer(added, QStringLiteral("Walls"));
        view.Regen();
        view.repaint();
        t.Print("first redraw after an entity moved to another layer");
    }
    {
        // The selection and the erase apart from the redraw: the first query builds the
        // drawing's spatial index, which is no part of the view.
        const Timer erasing;
        SelectionSet& set = doc->AddSelectionSet(QStringLiteral("tempss"));
        const double r = 0.01 * all.Width();
        set.Select(kSelectCrossing, Point3{middle.x - r, middle.y - r, 0}, Point3{middle.x + r, middle.y + r, 0});
        const int erased = set.Count();
        set.Erase();
        std::printf("(%d entities selected by a crossing window and erased through a selection set: ", erased);
        std::printf("%.0f ms, processor %.0f ms, the first query building the spatial index)\n", 1000.0 * erasing.Wall(),
                    1000.0 * erasing.Cpu());
        const Timer t;
        view.Regen();
        view.repaint();
        t.Print("first redraw after the erase");
    }
    {
        const Timer t;
        doc->Undo();
        view.Regen();
        view.repaint();
        t.Print("first redraw after undoing the erase");
    }
    {
        // A quarter of the drawing in view: its items, the ones out of sight passed over.
        const Timer t;
        view.ZoomBy(2.0, QPointF(960, 540));
        view.repaint();
        t.Print("redraw zoomed in twice (a quarter in view)");
    }
    {
        const Timer t;
        view.ZoomBy(8.0, QPointF(960, 540));
        view.repaint();
        t.Print("redraw zoomed in 16 times (through the spatial index; the first builds it)");
    }
    {
        const Timer t;
        view.PanBy(QPointF(100, 0));
        view.Regen();
        view.repaint();
        t.Print("redraw of that view panned");
    }

    const QString saved = QDir::temp().filePath(QStringLiteral("cadhost_dxf_bench_saved.dxf"));
    const Timer saving;
    SaveDocument(*doc, saved);
    const double save = saving.Wall();
    std::printf("save: %.2f s (processor %.2f s)\n", save, saving.Cpu());
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
