// Writes the bundled example trusses (a roof truss, a bridge, a cantilever) as analysis files.
// Units: centimetres, cm², daN/cm² (steel, E = 2.1e6) and daN.
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>

#include "AnalysisFile.h"
#include "Settings.h"
#include "TrussModel.h"

using namespace ardela;

namespace {

struct Example {
    const char* file;
    std::vector<std::pair<double, double>> nodes;
    std::vector<std::tuple<int, int, float>> bars;  // node I, node J, area
    std::vector<std::tuple<int, int, int>> supports;
    std::vector<std::tuple<int, float, float>> loads;
};

constexpr float kSteel = 2.1e6f;

// Howe roof truss: span 12 m, rise 3 m, six panels; purlin loads on the top chord.
Example RoofTruss()
{
    Example e{"roof-truss.krn", {}, {}, {}, {}};
    e.nodes = {{0, 0}, {200, 0}, {200, 100}, {400, 0}, {400, 200}, {600, 0},
               {600, 300}, {800, 0}, {800, 200}, {1000, 0}, {1000, 100}, {1200, 0}};
    const float chord = 12.0f, web = 6.0f;
    for (auto [i, j] : {std::pair{1, 2}, {2, 4}, {4, 6}, {6, 8}, {8, 10}, {10, 12}})
        e.bars.emplace_back(i, j, chord);
    for (auto [i, j] : {std::pair{1, 3}, {3, 5}, {5, 7}, {7, 9}, {9, 11}, {11, 12}})
        e.bars.emplace_back(i, j, chord);
    for (auto [i, j] : {std::pair{2, 3}, {4, 5}, {6, 7}, {8, 9}, {10, 11}, {3, 4}, {5, 6}, {6, 9}, {8, 11}})
        e.bars.emplace_back(i, j, web);
    e.supports = {{1, 1, 1}, {12, 0, 1}};
    e.loads = {{1, 0.0f, -250.0f}, {3, 0.0f, -500.0f}, {5, 0.0f, -500.0f}, {7, 0.0f, -500.0f},
               {9, 0.0f, -500.0f}, {11, 0.0f, -500.0f}, {12, 0.0f, -250.0f}};
    return e;
}

// Warren bridge truss: 8 panels of 3 m, depth 3 m, deck loads at the bottom chord nodes.
// Bars 1-16 are the diagonals, 17-24 the bottom chord, 25-31 the top chord.
Example WarrenBridge()
{
    Example e{"warren-bridge.krn", {}, {}, {}, {}};
    for (int n = 1; n <= 17; ++n)
        e.nodes.emplace_back(150.0 * (n - 1), n % 2 == 1 ? 0.0 : 300.0);
    for (int n = 1; n <= 16; ++n)
        e.bars.emplace_back(n, n + 1, 15.0f);
    for (int n = 1; n <= 15; n += 2)
        e.bars.emplace_back(n, n + 2, 25.0f);
    for (int n = 2; n <= 14; n += 2)
        e.bars.emplace_back(n, n + 2, 25.0f);
    e.supports = {{1, 1, 1}, {17, 0, 1}};
    for (int n = 3; n <= 15; n += 2)
        e.loads.emplace_back(n, 0.0f, -2000.0f);
    return e;
}

// Cantilever bracket: pinned at two wall points 2 m apart, reaching 8 m out, carrying 500 daN at
// each top joint and 1000 daN at the tip.
Example WallCantilever()
{
    Example e{"wall-cantilever.krn", {}, {}, {}, {}};
    e.nodes = {{0, 0}, {0, 200}, {200, 0}, {200, 150}, {400, 0}, {400, 100}, {600, 0}, {600, 50}, {800, 0}};
    for (auto [i, j] : {std::pair{1, 3}, {3, 5}, {5, 7}, {7, 9}, {2, 4}, {4, 6}, {6, 8}, {8, 9},
                        {3, 4}, {5, 6}, {7, 8}, {1, 4}, {3, 6}, {5, 8}})
        e.bars.emplace_back(i, j, 10.0f);
    e.supports = {{1, 1, 1}, {2, 1, 1}};
    e.loads = {{4, 0.0f, -500.0f}, {6, 0.0f, -500.0f}, {8, 0.0f, -500.0f}, {9, 0.0f, -1000.0f}};
    return e;
}

bool Write(const Example& e, const QString& folder)
{
    auto m = std::make_unique<TrussModel>();
    for (auto [x, y] : e.nodes)
        AddNode(*m, float(x), float(y));
    for (auto [i, j, a] : e.bars)
        AddBar(*m, i, j, a, kSteel);
    for (auto [n, hx, hy] : e.supports)
        AddSupport(*m, n, hx, hy);
    for (auto [n, fx, fy] : e.loads)
        AddLoad(*m, n, fx, fy);
    QSaveFile f(QDir(folder).filePath(QString::fromLatin1(e.file)));
    const QByteArray image = WriteTrussFile(*m, DefaultSettings());
    return f.open(QIODevice::WriteOnly) && f.write(image) == image.size() && f.commit();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    for (const Example& e : {RoofTruss(), WarrenBridge(), WallCantilever()}) {
        if (!Write(e, folder)) {
            std::fprintf(stderr, "cannot write %s\n", e.file);
            return 1;
        }
    }
    return 0;
}
