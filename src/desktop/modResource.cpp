// The string tables built into the programs as Qt resources, and the caption loaders.
#include "desktop/modResource.h"

#include <map>

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVariant>
#include <QWidget>

#include "desktop/Error.h"

namespace ardela {

namespace {

StringTable& Selected()
{
    static StringTable table = StringTable::Korrin;
    return table;
}

// Reads ":/strings/<program>.txt": lines "id<TAB>text", '#' lines are comments, "⏎" marks a
// carriage return and line feed and the escape "\n" a line feed alone.
std::map<int, QString> ReadTable(const QString& resource)
{
    std::map<int, QString> entries;
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        throw ModelError(QStringLiteral("The string table %1 is missing from the program.").arg(resource));
    const QString text = QString::fromUtf8(file.readAll());
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        bool ok = false;
        const int id = tab > 0 ? line.left(tab).toInt(&ok) : 0;
        if (!ok)
            throw ModelError(QStringLiteral("The string table %1 has a malformed line: %2").arg(resource, line));
        QString entry = line.mid(tab + 1);
        entry.replace(QChar(0x23CE), QStringLiteral("\r\n"));
        entry.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
        entries[id] = entry;
    }
    return entries;
}

const std::map<int, QString>& Table()
{
    static const std::map<int, QString> korrin = ReadTable(QStringLiteral(":/strings/Korrin.txt"));
    static const std::map<int, QString> vendel = ReadTable(QStringLiteral(":/strings/Vendel.txt"));
    return Selected() == StringTable::Vendel ? vendel : korrin;
}

// A property that holds a whole number (as text or as a number); nullopt otherwise.
std::optional<int> NumericProperty(const QObject* object, const char* name)
{
    const QVariant value = object->property(name);
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

std::optional<int> NumericText(const QString& text)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

QString Entry(int id)
{
    std::optional<QString> text = LoadResString(id);
    if (!text)
        throw ModelError(QStringLiteral("The string table has no entry %1.").arg(id));
    return *text;
}

// The caption of an ordinary control: a button's text, a label's text, a frame's title.
bool SetCaption(QWidget* control, const QString& caption)
{
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(caption);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(caption);
    else if (auto* frame = qobject_cast<QGroupBox*>(control))
        frame->setTitle(caption);
    else
        return false;
    return true;
}

// Runs one caption load; an entry the table lacks fails that caption only.
template <typename Load>
void Try(Load load)
{
    try {
        load();
    } catch (const ModelError&) {
    }
}

void LoadMenu(QMenu* menu)
{
    Try([&] {
        if (const auto id = NumericText(menu->title()))
            menu->setTitle(Entry(*id));
    });
    for (QAction* action : menu->actions())
        Try([&] {
            if (const auto id = NumericText(action->text()))
                action->setText(Entry(*id));
        });
}

void LoadTabs(QTabWidget* tabs)
{
    for (int i = 0; i < tabs->count(); ++i) {
        Try([&] {
            if (const auto id = NumericText(tabs->tabBar()->tabData(i).toString()))
                tabs->setTabText(i, Entry(*id));
        });
        Try([&] {
            if (const auto id = NumericText(tabs->tabToolTip(i)))
                tabs->setTabToolTip(i, Entry(*id));
        });
    }
}

void LoadToolbar(QToolBar* toolbar)
{
    for (QAction* action : toolbar->actions())
        Try([&] {
            if (const auto id = NumericProperty(action, "Tag"))
                action->setToolTip(Entry(*id));
        });
}

void LoadList(QTreeWidget* list)
{
    QTreeWidgetItem* header = list->headerItem();
    for (int c = 0; header && c < header->columnCount(); ++c)
        Try([&] {
            if (const auto id = NumericText(header->data(c, Qt::UserRole).toString()))
                header->setText(c, Entry(*id));
        });
    Try([&] {
        if (const auto id = NumericText(list->toolTip()))
            list->setToolTip(Entry(*id));
    });
}

void LoadControl(QWidget* control)
{
    Try([&] {
        if (const auto tag = NumericProperty(control, "Tag")) {
            auto id = static_cast<std::int16_t>(*tag + LanguageOffset());
            if (*tag + LanguageOffset() > 32767)
                throw ModelError(QStringLiteral("The string id %1 is out of range.").arg(*tag + LanguageOffset()));
            const QString caption = LoadLongResString(id);
            SetCaption(control, caption);
        }
    });
    Try([&] {
        if (const auto id = NumericProperty(control, "ToolTipText"))
            control->setToolTip(Entry(*id));
    });
}

} // namespace

void SelectStringTable(StringTable table)
{
    Selected() = table;
}

StringTable CurrentStringTable()
{
    return Selected();
}

int LanguageOffset()
{
    return Selected() == StringTable::Vendel ? 10000 : 0;
}

std::optional<QString> LoadResString(int id)
{
    const std::map<int, QString>& table = Table();
    const auto it = table.find(id);
    if (it == table.end())
        return std::nullopt;
    return it->second;
}

QString LoadLongResString(std::int16_t& id)
{
    QString text;
    for (;;) {
        const QString entry = Entry(id);
        const bool continues = entry.endsWith(QLatin1Char('_'));
        text += continues ? entry.chopped(1) : entry;
        if (id == 32767)
            throw ModelError(QStringLiteral("The string id %1 overflows.").arg(id));
        ++id;
        if (!continues)
            return text;
    }
}

void LoadResStrings(QWidget* form)
{
    // The form's own caption: Korrin takes its Tag as it is, Vendel adds its language offset.
    Try([&] {
        if (const auto tag = NumericProperty(form, "Tag"))
            form->setWindowTitle(Entry(*tag + LanguageOffset()));
    });
    for (QWidget* control : form->findChildren<QWidget*>()) {
        if (auto* menu = qobject_cast<QMenu*>(control))
            LoadMenu(menu);
        else if (auto* tabs = qobject_cast<QTabWidget*>(control))
            LoadTabs(tabs);
        else if (auto* toolbar = qobject_cast<QToolBar*>(control))
            LoadToolbar(toolbar);
        else if (auto* list = qobject_cast<QTreeWidget*>(control))
            LoadList(list);
        else
            LoadControl(control);
    }
}

} // namespace ardela
