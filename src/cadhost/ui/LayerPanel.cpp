// The layer panel: rows follow the layer table; edits go to the document, refusals are reported.
#include "cadhost/ui/LayerPanel.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmap>
#include <QSpinBox>

#include "cadhost/ui/AciColors.h"
#include "cadhost/engine/Document.h"
#include "cadhost/engine/EngineError.h"

namespace cadhost {

namespace {

QString Signature(const Document& doc)
{
    QString s = doc.ActiveLayer() + QLatin1Char('\n');
    for (int i = 0; i < doc.Layers().Count(); ++i) {
        const Layer& l = doc.Layers().At(i);
        s += QStringLiteral("%1|%2|%3|%4|%5|%6\n").arg(l.name).arg(l.color).arg(l.on).arg(l.frozen).arg(l.locked).arg(l.linetype);
    }
    return s;
}

// The colour in a frame of mid grey, so that white (7) shows on a white row and black on a dark one.
QIcon Swatch(int color)
{
    QPixmap pm(12, 12);
    pm.fill(QColor(128, 128, 128));
    QPainter painter(&pm);
    painter.fillRect(2, 2, 8, 8, AciColor(color));
    painter.end();
    return QIcon(pm);
}

} // namespace

LayerPanel::LayerPanel(QWidget* parent) : QTableWidget(0, 5, parent)
{
    setHorizontalHeaderLabels({tr("Layer"), tr("Colour"), tr("On"), tr("Frozen"), tr("Locked")});
    horizontalHeader()->setSectionResizeMode(kName, QHeaderView::Stretch);
    for (int c : {kOn, kFrozen, kLocked})
        horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionResizeMode(kColor, QHeaderView::Fixed);
    horizontalHeader()->resizeSection(kColor, 64);
    horizontalHeader()->setMinimumSectionSize(24);
    setMinimumWidth(330);  // room for a program layer name such as "Korrin_Blocks" beside the fixed columns
    verticalHeader()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTableWidget::cellChanged, this, &LayerPanel::CellChanged);
    connect(this, &QTableWidget::cellDoubleClicked, this, &LayerPanel::CellDoubleClicked);
}

LayerPanel::~LayerPanel()
{
    if (m_doc)
        m_doc->RemoveListener(m_listener);
}

void LayerPanel::SetDocument(Document* doc)
{
    if (m_doc)
        m_doc->RemoveListener(m_listener);
    m_doc = doc;
    m_shown.clear();
    if (m_doc)
        m_listener = m_doc->AddListener([this](const Document&) { Refresh(); });
    Refresh();
}

void LayerPanel::Refresh()
{
    if (!m_doc) {
        setRowCount(0);
        return;
    }
    if (m_shownRevision == m_doc->LayerRevision() && !m_shown.isEmpty())
        return;
    m_shownRevision = m_doc->LayerRevision();
    const QString signature = Signature(*m_doc);
    if (signature == m_shown)
        return;
    m_shown = signature;
    m_filling = true;
    const LayerTable& layers = m_doc->Layers();
    // The same layers in the same rows: update them in place, so a colour being stepped
    // keeps its spin box and its focus.
    bool sameRows = rowCount() == layers.Count();
    for (int row = 0; sameRows && row < layers.Count(); ++row)
        sameRows = item(row, kName) && item(row, kName)->text() == layers.At(row).name;
    if (!sameRows)
        setRowCount(0);
    setRowCount(layers.Count());
    for (int row = 0; row < layers.Count(); ++row) {
        const Layer& l = layers.At(row);
        if (!sameRows) {
            setItem(row, kName, new QTableWidgetItem(l.name));
            auto* spin = new QSpinBox;
            spin->setRange(1, 255);
            spin->setFrame(false);
            const QString layerName = l.name;
            setCellWidget(row, kColor, spin);
            connect(spin, &QSpinBox::valueChanged, this, [this, layerName](int v) { ColorChanged(layerName, v); });
            for (int c = kOn; c <= kLocked; ++c) {
                auto* check = new QTableWidgetItem;
                check->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
                setItem(row, c, check);
            }
        }
        QTableWidgetItem* name = item(row, kName);
        name->setIcon(Swatch(l.color));
        QFont font = name->font();
        font.setBold(l.name == m_doc->ActiveLayer());
        name->setFont(font);
        name->setToolTip(tr("Line type: %1. Double-click to make it the active layer.").arg(l.linetype));
        if (auto* spin = qobject_cast<QSpinBox*>(cellWidget(row, kColor)); spin && spin->value() != l.color)
            spin->setValue(l.color);
        const bool flags[3] = {l.on, l.frozen, l.locked};
        for (int c = 0; c < 3; ++c)
            item(row, kOn + c)->setCheckState(flags[c] ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
}

void LayerPanel::CellChanged(int row, int column)
{
    if (m_filling || !m_doc || column < kOn)
        return;
    const QString name = item(row, kName)->text();
    const bool checked = item(row, column)->checkState() == Qt::Checked;
    try {
        if (column == kOn)
            m_doc->SetLayerOn(name, checked);
        else if (column == kFrozen)
            m_doc->SetLayerFrozen(name, checked);
        else
            m_doc->SetLayerLocked(name, checked);
    } catch (const EngineError& e) {
        emit Refused(e.Message());
        m_shown.clear();
        Refresh();
    }
}

void LayerPanel::CellDoubleClicked(int row, int column)
{
    if (!m_doc || column != kName)
        return;
    try {
        m_doc->SetActiveLayer(item(row, kName)->text());
    } catch (const EngineError& e) {
        emit Refused(e.Message());
    }
}

void LayerPanel::ColorChanged(const QString& layer, int color)
{
    if (m_filling || !m_doc)
        return;
    try {
        m_doc->SetLayerColor(layer, color);
    } catch (const EngineError& e) {
        emit Refused(e.Message());
    }
}

} // namespace cadhost
