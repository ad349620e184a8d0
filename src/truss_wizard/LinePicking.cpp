// Pick Lines: lines and polyline segments selected in the drawing host become nodes and bars.
#include "truss_wizard/LinePicking.h"

#include <cmath>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "cad/CadError.h"
#include "desktop/Error.h"
#include "desktop/modLocale.h"
#include "desktop/modMessage.h"
#include "truss/TrussModel.h"
#include "truss_wizard/ModelDrawing.h"
#include "truss_wizard/TrussPicking.h"

namespace ardela {

namespace {

const QString kTempSet = QStringLiteral("tempss");

// Entity types a line selection lets through (group code 0).
const std::vector<std::int16_t> kLineFilterTypes{0};
const QStringList kLineFilterData{QStringLiteral("LINE,LWPOLYLINE,POLYLINE")};

std::optional<double> LocaleNumber(const QString& text)
{
    bool ok = false;
    double v = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok)
        v = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString CellText(const Cell& cell)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return cell.IsNumeric() ? locale.toString(cell.ToDouble(), 'g', 7) : QString();
}

} // namespace

QString LineSelectionPrompt(double relativeTolerance)
{
    return QStringLiteral("Select lines by window or crossing, Enter ends (ends within %1 of the size are one node):")
        .arg(relativeTolerance, 0, 'g', 3);
}

std::vector<DrawnLine> LinesOfSelection(cad::AcadSelectionSet& set)
{
    std::vector<DrawnLine> lines;
    const std::int32_t count = set.count();
    int lineNumber = 0;
    int polylineNumber = 0;
    for (std::int32_t k = 0; k < count; ++k) {
        cad::AcadEntityPtr entity = set.Item(k);
        const QString kind = entity->ObjectName();
        if (kind == QLatin1String("AcDbLine")) {
            const cad::Point3 a = entity->StartPoint();
            const cad::Point3 b = entity->EndPoint();
            lines.push_back({a[0], a[1], b[0], b[1], QStringLiteral("line %1").arg(++lineNumber)});
            continue;
        }
        const bool light = kind == QLatin1String("AcDbPolyline");
        if (!light && kind != QLatin1String("AcDb2dPolyline") && kind != QLatin1String("AcDb3dPolyline"))
            continue;
        std::vector<double> xy;
        bool closedFlag = false;
        try {
            xy = entity->Coordinates();
            closedFlag = entity->Closed();
        } catch (const cad::CadError& error) {
            // A kind the host keeps without its vertices (read from a file) gives no bars.
            if (error.Code() != cad::kMemberNotFound)
                throw;
            continue;
        }
        const std::size_t stride = light ? 2 : 3;
        const std::size_t n = xy.size() / stride;
        const bool closed = n > 2 && closedFlag;
        const std::size_t segments = closed ? n : (n > 0 ? n - 1 : 0);
        ++polylineNumber;
        for (std::size_t s = 0; s < segments; ++s) {
            const std::size_t a = s * stride;
            const std::size_t b = ((s + 1) % n) * stride;
            lines.push_back({xy[a], xy[a + 1], xy[b], xy[b + 1],
                             QStringLiteral("polyline %1 segment %2").arg(polylineNumber).arg(s + 1)});
        }
    }
    return lines;
}

LinePickEnd PickLines(TrussModel& model, const SettingsArray& settings, cad::AcadDocument& document,
                      const LineSection& section, LinesAdded* added)
{
    std::vector<DrawnLine> lines;
    cad::AcadSelectionSetPtr set;
    try {
        set = document.SelectionSets()->Add(kTempSet);
        if (section.layer.isEmpty()) {
            set->SelectOnScreen(kLineFilterTypes, kLineFilterData, LineSelectionPrompt());
        } else {
            set->Select(5, std::nullopt, std::nullopt, {0, 8}, {kLineFilterData[0], section.layer});
        }
        lines = LinesOfSelection(*set);
        set->Delete();
    } catch (const cad::CadError& error) {
        if (set) {
            try {
                set->Delete();
            } catch (const cad::CadError&) {
            }
        }
        if (error.Code() == cad::kCancelled)
            return LinePickEnd::Cancelled;
        ShowMessage(PickFailureMessage(), MsgOkOnly);
        return LinePickEnd::Failed;
    }
    if (lines.empty())
        return LinePickEnd::Nothing;

    LinesAdded made;
    try {
        made = AddLinesToModel(model, lines, section.area, section.modulus);
    } catch (const ModelError& error) {
        ShowMessage(error.Text(), MsgOkOnly + MsgExclamation, QStringLiteral("Korrin"));
        return LinePickEnd::Refused;
    }
    if (added)
        *added = made;
    try {
        const ModelDrawingTarget target{model, settings, document};
        ClearNodes(document);
        DrawNodes(target, false);
        ClearBeams(document);
        DrawElements(target, true);
    } catch (const cad::CadError&) {
        ShowMessage(PickFailureMessage(), MsgOkOnly);
        return LinePickEnd::Failed;
    } catch (const ModelError&) {
        ShowMessage(PickFailureMessage(), MsgOkOnly);
        return LinePickEnd::Failed;
    }
    return LinePickEnd::Added;
}

QStringList DrawingLayerNames(cad::AcadDocument& document)
{
    QStringList names;
    std::shared_ptr<cad::AcadLayers> layers = document.Layers();
    const std::int32_t count = layers->Count();
    for (std::int32_t k = 0; k < count; ++k)
        names << layers->Item(k)->Name();
    return names;
}

LineSectionDialog::LineSectionDialog(const TrussModel& model, const QStringList& layers, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Korrin - Pick Lines"));
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_area = new QLineEdit(this);
    m_area->setObjectName(QStringLiteral("txtLineArea"));
    m_modulus = new QLineEdit(this);
    m_modulus->setObjectName(QStringLiteral("txtLineModulus"));
    if (model.ElementCount > 0) {
        m_area->setText(CellText(model.Elements(model.ElementCount, 3)));
        m_modulus->setText(CellText(model.Elements(model.ElementCount, 4)));
    }
    m_layer = new QComboBox(this);
    m_layer->setObjectName(QStringLiteral("cboLineLayer"));
    m_layer->addItem(QStringLiteral("(select in the drawing)"));
    m_layer->addItems(layers);
    form->addRow(QStringLiteral("Area of the new bars (cm²):"), m_area);
    form->addRow(QStringLiteral("Modulus E (daN/cm²):"), m_modulus);
    form->addRow(QStringLiteral("Lines from layer:"), m_layer);
    column->addLayout(form);
    auto* note = new QLabel(QStringLiteral("Every line and polyline segment becomes a bar, cut where another line ends on it; "
                                           "ends closer than %1 of the selection's size are one node. "
                                           "The new rows follow those in the tables.")
                                .arg(kDefaultLineTolerance, 0, 'g', 3),
                            this);
    note->setWordWrap(true);
    column->addWidget(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdLineOk"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdLineCancel"));
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &LineSectionDialog::Accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void LineSectionDialog::Accept()
{
    const std::optional<double> area = LocaleNumber(m_area->text());
    const std::optional<double> modulus = LocaleNumber(m_modulus->text());
    if (!area || *area <= 0.0 || !modulus || *modulus <= 0.0) {
        ShowMessage(QStringLiteral("The area and the modulus of the new bars must be numbers greater than 0."),
                    MsgOkOnly + MsgExclamation, QStringLiteral("Korrin"));
        (!area || *area <= 0.0 ? m_area : m_modulus)->setFocus();
        return;
    }
    m_section.area = float(*area);
    m_section.modulus = float(*modulus);
    m_section.layer = m_layer->currentIndex() > 0 ? m_layer->currentText() : QString();
    accept();
}

LineSection LineSectionDialog::Section() const
{
    return m_section;
}

} // namespace ardela
