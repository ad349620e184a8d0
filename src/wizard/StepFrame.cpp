// The navigation row, the window keys and a model step's column.
#include "wizard/StepFrame.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "wizard/GridEditor.h"
#include "wizard/WizardNavigation.h"

namespace ardela {

namespace {

// A one-line label whose text is cut to its width as it is painted.
class StatusLine : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QColor(0xb0, 0x00, 0x20));
        const QRect area = contentsRect();
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    }
};

} // namespace

StepPage BuildStepPage(QWidget* window, int step, const QPixmap& picture)
{
    StepPage page;
    page.frame = new QGroupBox(window);
    page.frame->setObjectName(QStringLiteral("fraStep%1").arg(step));
    page.frame->setProperty("Tag", (step + 1) * 1000);
    auto* row = new QHBoxLayout(page.frame);
    page.picture = new QLabel(page.frame);
    page.picture->setObjectName(QStringLiteral("imgStep%1").arg(step));
    page.picture->setPixmap(picture);
    page.picture->setFixedSize(picture.size());
    page.picture->setAlignment(Qt::AlignTop);
    row->addWidget(page.picture, 0, Qt::AlignTop);
    page.content = new QVBoxLayout;
    row->addLayout(page.content, 1);
    page.text = new QLabel(page.frame);
    page.text->setObjectName(QStringLiteral("lblStep%1").arg(step));
    page.text->setProperty("Tag", (step + 1) * 1000 + 1);
    page.text->setWordWrap(true);
    page.text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    page.content->addWidget(page.text);
    return page;
}

QVBoxLayout* StepContent(QGroupBox* frame)
{
    return static_cast<QVBoxLayout*>(frame->layout()->itemAt(1)->layout());
}

OptionGroup BuildOptionGroup(QGroupBox* step, int frameTag, const std::vector<int>& buttonTags, const QString& name)
{
    OptionGroup group;
    group.frame = new QGroupBox(step);
    group.frame->setProperty("Tag", frameTag);
    auto* layout = new QVBoxLayout(group.frame);
    for (std::size_t i = 0; i < buttonTags.size(); ++i) {
        auto* button = new QRadioButton(group.frame);
        button->setObjectName(name + QString::number(i));
        button->setProperty("Tag", buttonTags[i]);
        layout->addWidget(button);
        group.buttons.push_back(button);
    }
    if (!group.buttons.empty())
        group.buttons.front()->setChecked(true);
    QVBoxLayout* content = StepContent(step);
    content->addSpacing(6);
    content->addWidget(group.frame);
    content->addStretch(1);
    return group;
}

std::array<QPushButton*, 6> BuildNavRow(QWidget* window, QBoxLayout* outer, std::function<void(int index)> click)
{
    std::array<QPushButton*, 6> cmdNav{};
    auto* nav = new QHBoxLayout;
    outer->addLayout(nav);
    for (int i = 0; i < 6; ++i) {
        cmdNav[std::size_t(i)] = new QPushButton(window);
        QPushButton* button = cmdNav[std::size_t(i)];
        button->setObjectName(QStringLiteral("cmdNav%1").arg(i));
        button->setProperty("Tag", 100 + i);
        button->setAutoDefault(false);
        button->setMinimumWidth(84);
        QObject::connect(button, &QPushButton::clicked, window, [click, i] { click(i); });
    }
    nav->addWidget(cmdNav[NavHelp]);
    nav->addWidget(cmdNav[NavOptions]);
    nav->addStretch(1);
    nav->addWidget(cmdNav[NavBack]);
    nav->addWidget(cmdNav[NavNext]);
    nav->addWidget(cmdNav[NavRun]);
    nav->addWidget(cmdNav[NavCancel]);
    cmdNav[NavRun]->hide();
    return cmdNav;
}

void InstallWizardKeys(QWidget* window, GridEditor* grid, QPushButton* cancel, std::function<void()> help)
{
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(escape, &QShortcut::activated, cancel, [cancel] { cancel->click(); });
    QObject::connect(grid, &GridEditor::EditFocusChanged, escape, [escape](bool boxHasFocus) { escape->setEnabled(!boxHasFocus); });
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), window);
    QObject::connect(f1, &QShortcut::activated, window, std::move(help));
}

ModelStepColumn BuildModelStepColumn(QWidget* frame, QVBoxLayout* content, int countTag, int pickTag, int drawTag,
                                     int buttonWidth)
{
    ModelStepColumn column;
    auto* body = new QHBoxLayout;
    content->addSpacing(6);
    content->addLayout(body);
    content->addStretch(1);
    column.gridHolder = new QVBoxLayout;
    body->addLayout(column.gridHolder);
    column.side = new QVBoxLayout;
    body->addLayout(column.side);
    column.pick = new QPushButton(frame);
    column.pick->setProperty("Tag", pickTag);
    column.draw = new QPushButton(frame);
    column.draw->setProperty("Tag", drawTag);
    column.count = new QLabel(frame);
    column.count->setProperty("Tag", countTag);
    for (QPushButton* b : {column.pick, column.draw}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(buttonWidth);
        column.side->addWidget(b);
    }
    column.side->addSpacing(12);
    column.side->addWidget(column.count);
    column.side->addStretch(1);
    body->addStretch(1);
    body->setAlignment(column.gridHolder, Qt::AlignTop);
    return column;
}

QLabel* BuildStatusLine(QWidget* frame, QVBoxLayout* content)
{
    auto* line = new StatusLine(frame);
    line->setFixedHeight(line->fontMetrics().height() + 2);
    line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // Under the sheet's row, before the room left free at the bottom.
    content->insertWidget(content->count() - 1, line);
    return line;
}

void ShowStatus(QLabel* line, const QString& text)
{
    if (line->text() == text)
        return;
    line->setText(text);
    line->setToolTip(text);
}

} // namespace ardela
