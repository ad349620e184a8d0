// Times what the grid editor does between a key or a click and the repainted grid: one row of
// scrolling (a refill of the five rows), and opening, typing into and committing a cell.
#include <cstdlib>

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include "desktop/Table.h"
#include "wizard/GridEditor.h"

using namespace ardela;

namespace {

struct Bench {
    Table<7> table;
    GridEditor editor;
    Bench()
    {
        for (int r = 1; r <= kTableRows; ++r)
            for (int c = 1; c <= 7; ++c)
                table(r, c) = Cell(static_cast<float>(r) + 0.25f * static_cast<float>(c));
        GridSheet sheet;
        BindTable(sheet, table);
        sheet.fixedHeading = QStringLiteral("Domain");
        for (int c = 1; c <= 7; ++c)
            sheet.columns.push_back({c, QStringLiteral("Column %1").arg(c), 840});
        sheet.visibleColumns = 4;
        editor.ShowSheet(editor.AddSheet(sheet));
        editor.show();
    }
};

} // namespace

static void ScrollOneRow(benchmark::State& state)
{
    Bench b;
    int value = 0;
    for (auto _ : state) {
        value = (value + 1) % 1019;
        b.editor.findChild<QScrollBar*>(QStringLiteral("fsbVertGrid"))->setValue(value);
    }
}
BENCHMARK(ScrollOneRow)->Unit(benchmark::kMicrosecond);

static void OpenTypeAndCommitACell(benchmark::State& state)
{
    Bench b;
    b.editor.findChild<FixedCellGrid*>(QStringLiteral("msgGrid"))->setCurrentCell(2, 2);
    for (auto _ : state) {
        b.editor.MSFlexGridEdit('7');
        b.editor.findChild<QLineEdit*>(QStringLiteral("txtEdit"))->insert(QStringLiteral(".5"));
        b.editor.CommitEdit();
    }
}
BENCHMARK(OpenTypeAndCommitACell)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
