// wizard_demo: the grid editor on Korrin-like sheets (nodes, supports) and a seven-column sheet
// scrolling sideways, to be tried by hand; every table write is printed, and "--grab <file>"
// saves a picture of the window when it closes.
#include <cstdio>

#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "desktop/Table.h"
#include "desktop/modKeybHook.h"
#include "wizard/GridEditor.h"

using namespace ardela;

namespace {

// Prints each write as "sheet row column kind text" for a script to read.
template <int N>
void BindPrinting(GridSheet& sheet, Table<N>& table, const char* name)
{
    BindTable(sheet, table);
    sheet.set = [&table, name](int row, int column, const Cell& value) {
        table(row, column) = value;
        std::printf("%s %d %d %s %s\n", name, row, column, KindName(value.GetKind()),
                    FullCellText(value).toUtf8().constData());
        std::fflush(stdout);
    };
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString grabFile;
    for (int i = 1; i + 1 < argc; ++i)
        if (QString::fromLatin1(argv[i]) == QLatin1String("--grab"))
            grabFile = QString::fromLocal8Bit(argv[i + 1]);

    Table<3> nodes;
    Table<5> blocks;
    Table<7> domains;
    QWidget window;
    window.setWindowTitle(QStringLiteral("Grid editor"));
    auto* editor = new GridEditor(&window);

    GridSheet nodeSheet;
    BindPrinting(nodeSheet, nodes, "nodes");
    nodeSheet.fixedHeading = QStringLiteral("Node");
    nodeSheet.columns = {{1, QStringLiteral("Coord x"), 1680}, {2, QStringLiteral("Coord y"), 1680}};
    GridSheet blockSheet;
    BindPrinting(blockSheet, blocks, "blocks");
    blockSheet.fixedHeading = QStringLiteral("Block");
    blockSheet.columns = {{1, QStringLiteral("Node"), 1120},
                          {2, QStringLiteral("Block x"), 1120, true},
                          {3, QStringLiteral("Block y"), 1120, true}};
    GridSheet domainSheet;
    BindPrinting(domainSheet, domains, "domains");
    domainSheet.fixedHeading = QStringLiteral("Domain");
    const char* headings[] = {"Lower x", "Lower y", "Upper x", "Upper y", "Thickness", "E [daN/cm²]", "G [daN/cm²]"};
    for (int c = 1; c <= 7; ++c)
        domainSheet.columns.push_back({c, QString::fromUtf8(headings[c - 1]), 840});
    domainSheet.visibleColumns = 4;
    const int sheets[] = {editor->AddSheet(nodeSheet), editor->AddSheet(blockSheet), editor->AddSheet(domainSheet)};

    auto* choice = new QHBoxLayout;
    auto* group = new QButtonGroup(&window);
    const char* names[] = {"&Nodes", "&Blocks", "Do&mains"};
    for (int i = 0; i < 3; ++i) {
        auto* option = new QRadioButton(QString::fromLatin1(names[i]), &window);
        group->addButton(option, i);
        choice->addWidget(option);
    }
    group->button(0)->setChecked(true);
    QObject::connect(group, &QButtonGroup::idClicked, editor, [editor, sheets](int id) { editor->ShowSheet(sheets[id]); });
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &window);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    QObject::connect(escape, &QShortcut::activated, cancel, &QPushButton::click);
    QObject::connect(cancel, &QPushButton::clicked, &window, &QWidget::close);
    QObject::connect(editor, &GridEditor::EditFocusChanged, escape, [escape](bool box) { escape->setEnabled(!box); });

    auto* layout = new QVBoxLayout(&window);
    layout->addLayout(choice);
    layout->addWidget(editor);
    layout->addWidget(cancel);
    editor->ShowSheet(sheets[0]);
    InstallKeybHook(editor->HookTarget());
    window.show();
    QObject::connect(&app, &QApplication::aboutToQuit, [&] {
        if (!grabFile.isEmpty())
            window.grab().save(grabFile);
        RemoveKeybHook();
    });
    return app.exec();
}
