// The Options dialog: loading from the settings array, the colour preview and picker, the number
// boxes, and the three buttons.
#include "desktop/frmOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "desktop/Error.h"
#include "desktop/frmColor.h"
#include "desktop/modLocale.h"
#include "desktop/modResource.h"

namespace ardela {

namespace {

// String-table ids of the dialog (plus the language offset in Vendel).
enum OptionsText : int {
    TextTitle = 9000,
    TextSizesFrame = 9001,
    TextLayersFrame = 9002,
    TextColorFrame = 9003,
    TextPlotFrame = 9004,
    TextHeightLabel = 9005,
    TextScaleLabel = 9006,
    TextLayerLabel = 9007,
    TextBlackAndWhite = 9008,
    TextColor = 9009,
    TextTension = 9010,
    TextCompression = 9011,
    TextOK = 9012,
    TextCancel = 9013,
    TextSave = 9014,
    TextFirstLayer = 9015,  // the six cboPlot entries follow
};

// The nine colour keys, in the order of the working copy.
constexpr std::array<SettingIndex, 9> kColorKeys{SetLayer1, SetLayer2, SetLayer3, SetLayer4, SetLayer5,
                                                 SetLayer6, SetLayer7, SetLayer8, SetLayer9};

// The value of a yes/no option; a stored text that is no number counts as the default.
bool FlagOf(const Cell& value, bool fallback)
{
    try {
        return value.ToBool();
    } catch (const ModelError&) {
        return fallback;
    }
}

template <typename Control>
Control* Tagged(Control* control, int tag)
{
    control->setProperty("Tag", tag);
    return control;
}

} // namespace

PlotPreview::PlotPreview(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("picPlot"));
    setFixedSize(44, 21);
    setCursor(Qt::PointingHandCursor);
    m_fill = palette().color(QPalette::Button);
    DrawRaised(true);
}

void PlotPreview::SetFill(const QColor& fill)
{
    m_fill = fill;
    update();
}

void PlotPreview::DrawRaised(bool plainShadow)
{
    m_pressed = false;
    m_topLeft = palette().color(QPalette::Light);
    m_bottomRight = palette().color(plainShadow ? QPalette::Dark : QPalette::Shadow);
    update();
}

void PlotPreview::DrawPressed()
{
    m_pressed = true;
    m_topLeft = palette().color(QPalette::Shadow);
    m_bottomRight = palette().color(QPalette::Light);
    update();
}

void PlotPreview::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_fill);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.setPen(m_topLeft);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(m_bottomRight);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

void PlotPreview::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit MouseDown();
}

void PlotPreview::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_pressed)
        emit MouseUp();
}

frmOptions::frmOptions(QWidget* parent, ApplyToDrawing applyToDrawing, SettingsArray* settings)
    : QDialog(parent),
      m_settings(settings ? *settings : Settings()),
      m_program(CurrentStringTable()),
      m_applyToDrawing(std::move(applyToDrawing))
{
    setObjectName(QStringLiteral("frmOptions"));
    setProperty("Tag", int(TextTitle));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    txtText = new QLineEdit(this);
    txtText->setObjectName(QStringLiteral("txtText"));
    txtScale = new QLineEdit(this);
    txtScale->setObjectName(QStringLiteral("txtScale"));
    for (QLineEdit* box : {txtText, txtScale}) {
        box->setFixedWidth(80);
        box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, &frmOptions::txtBox_Change);
    }
    cboPlot = new QComboBox(this);
    cboPlot->setObjectName(QStringLiteral("cboPlot"));
    cboPlot->setMinimumWidth(110);
    picPlot = new PlotPreview(this);
    for (int i = 0; i < 2; ++i) {
        chkPlot[i] = Tagged(new QCheckBox(this), i == 0 ? TextTension : TextCompression);
        chkPlot[i]->setObjectName(QStringLiteral("chkPlot%1").arg(i));
        optPlot[i] = Tagged(new QRadioButton(this), i == 0 ? TextBlackAndWhite : TextColor);
        optPlot[i]->setObjectName(QStringLiteral("optPlot%1").arg(i));
    }
    cmdOK = Tagged(new QPushButton(this), TextOK);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = Tagged(new QPushButton(this), TextCancel);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdSave = Tagged(new QPushButton(this), TextSave);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    for (QPushButton* button : {cmdOK, cmdCancel, cmdSave})
        button->setAutoDefault(false);
    cmdOK->setDefault(true);

    auto* sizes = Tagged(new QGroupBox(this), TextSizesFrame);
    auto* heightLabel = Tagged(new QLabel(sizes), TextHeightLabel);
    heightLabel->setBuddy(txtText);
    auto* scaleLabel = Tagged(new QLabel(sizes), TextScaleLabel);
    scaleLabel->setBuddy(txtScale);
    auto* sizesGrid = new QGridLayout(sizes);
    sizesGrid->addWidget(heightLabel, 0, 0);
    sizesGrid->addWidget(txtText, 0, 1);
    sizesGrid->addWidget(scaleLabel, 1, 0);
    sizesGrid->addWidget(txtScale, 1, 1);
    sizesGrid->setColumnStretch(0, 1);

    auto* layers = Tagged(new QGroupBox(this), TextLayersFrame);
    auto* layerLabel = Tagged(new QLabel(layers), TextLayerLabel);
    layerLabel->setBuddy(cboPlot);
    auto* layersRow = new QHBoxLayout(layers);
    layersRow->addWidget(layerLabel);
    layersRow->addWidget(cboPlot, 1);
    layersRow->addWidget(picPlot);

    auto* plot = Tagged(new QGroupBox(this), TextPlotFrame);
    auto* plotColumn = new QVBoxLayout(plot);
    plotColumn->addWidget(chkPlot[0]);
    plotColumn->addWidget(chkPlot[1]);

    // The two option buttons share their frame, so choosing one clears the other.
    auto* color = Tagged(new QGroupBox(this), TextColorFrame);
    optPlot[0]->setParent(color);
    optPlot[1]->setParent(color);
    auto* colorColumn = new QVBoxLayout(color);
    colorColumn->addWidget(optPlot[1]);
    colorColumn->addWidget(optPlot[0]);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdSave);

    auto* layout = new QGridLayout(this);
    layout->addWidget(sizes, 0, 0);
    layout->addWidget(plot, 0, 1);
    layout->addWidget(layers, 1, 0);
    layout->addWidget(color, 1, 1);
    layout->addLayout(buttons, 2, 0, 1, 2);

    m_picker = new frmColor(this);

    connect(cboPlot, &QComboBox::currentIndexChanged, this, &frmOptions::cboPlot_Click);
    connect(picPlot, &PlotPreview::MouseDown, this, &frmOptions::picPlot_MouseDown);
    connect(picPlot, &PlotPreview::MouseUp, this, &frmOptions::picPlot_MouseUp);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmOptions::cmdSave_Click);

    LoadResStrings(this);
    Form_Load();
    setFixedSize(sizeHint());
}

frmOptions::~frmOptions() = default;

const std::array<SettingIndex, 6>& frmOptions::PlotLayerKeys(StringTable program)
{
    static const std::array<SettingIndex, 6> korrin{SetLayer1, SetLayer2, SetLayer8, SetLayer9, SetLayer6, SetLayer7};
    static const std::array<SettingIndex, 6> vendel{SetLayer3, SetLayer4, SetLayer5, SetLayer9, SetLayer6, SetLayer7};
    return program == StringTable::Vendel ? vendel : korrin;
}

std::size_t frmOptions::ColorSlot(SettingIndex key)
{
    for (std::size_t i = 0; i < kColorKeys.size(); ++i)
        if (kColorKeys[i] == key)
            return i;
    Q_ASSERT(false);
    return 0;
}

const Cell& frmOptions::WorkingColor(SettingIndex key) const
{
    return m_colors[ColorSlot(key)];
}

std::int16_t frmOptions::PickerColor(const Cell& value)
{
    try {
        const std::int16_t color = value.ToInt16();
        return color >= 1 && color <= 255 ? color : std::int16_t(0);
    } catch (const ModelError&) {
        return 0;
    }
}

void frmOptions::Form_Load()
{
    m_loading = true;
    txtText->setText(m_settings[SetTextHeight].ToText());
    txtScale->setText(m_settings[SetScaleFactor].ToText());
    for (std::size_t i = 0; i < kColorKeys.size(); ++i)
        m_colors[i] = m_settings[kColorKeys[i]];
    {
        const QSignalBlocker quiet(cboPlot);
        cboPlot->clear();
        for (int i = 0; i < 6; ++i)
            cboPlot->addItem(LoadResString(TextFirstLayer + i + LanguageOffset()).value_or(QString()));
        cboPlot->setCurrentIndex(0);
    }
    cboPlot_Click(0);
    const bool inColor = FlagOf(m_settings[SetColor], true);
    optPlot[0]->setChecked(!inColor);
    optPlot[1]->setChecked(inColor);
    chkPlot[0]->setChecked(FlagOf(m_settings[SetTension], true));
    chkPlot[1]->setChecked(FlagOf(m_settings[SetCompression], true));
    m_loading = false;
    // A stored text height or scale factor that is no number cannot be taken over as it is.
    cmdOK->setEnabled(BoxesAcceptable());
    picPlot->DrawRaised(true);
}

void frmOptions::cboPlot_Click(int index)
{
    if (index < 0 || index >= 6)
        return;
    m_picker->SetColor(PickerColor(m_colors[ColorSlot(PlotLayerKeys(m_program)[std::size_t(index)])]));
    picPlot->SetFill(m_picker->RGBColor());
    picPlot->DrawRaised();
}

void frmOptions::picPlot_MouseDown()
{
    picPlot->DrawPressed();
}

void frmOptions::picPlot_MouseUp()
{
    picPlot->DrawRaised();
    const int index = cboPlot->currentIndex();
    if (index < 0 || index >= 6)
        return;
    const std::int16_t before = m_picker->Color();
    m_picker->exec();
    const std::int16_t picked = m_picker->Color();
    if (picked == 0) {
        // A text naming no colour leaves the layer's colour as it was.
        m_picker->SetColor(before);
    } else if (picked != before) {
        m_colors[ColorSlot(PlotLayerKeys(m_program)[std::size_t(index)])] = Cell(picked);
    }
    picPlot->SetFill(m_picker->RGBColor());
    picPlot->DrawRaised();
}

bool frmOptions::BoxesAcceptable() const
{
    if (!IsNumber(txtText->text()) || !IsNumber(txtScale->text()))
        return false;
    // Every text of the drawing takes this height, so it has to be one a text can have.
    try {
        return ParseNumberText(txtText->text()) > 0;
    } catch (const ModelError&) {
        return false;
    }
}

void frmOptions::txtBox_Change()
{
    if (m_loading)
        return;
    cmdOK->setEnabled(BoxesAcceptable());
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == txtText || watched == txtScale) && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
            static_cast<QLineEdit*>(watched)->selectAll();
    }
    return QDialog::eventFilter(watched, event);
}

void frmOptions::cmdOK_Click()
{
    if (!cmdOK->isEnabled())
        return;
    OptionsChanges changes;
    auto takeOver = [this](SettingIndex key, const Cell& value) {
        const bool changed = !m_settings[key].SameValue(value);
        m_settings[key] = value;
        return changed;
    };
    changes.textHeight = takeOver(SetTextHeight, Cell(txtText->text()));
    changes.scaleFactor = takeOver(SetScaleFactor, Cell(txtScale->text()));
    for (std::size_t i = 0; i < kColorKeys.size(); ++i)
        changes.layerColors = takeOver(kColorKeys[i], m_colors[i]) || changes.layerColors;
    changes.colorMode = takeOver(SetColor, Cell(optPlot[1]->isChecked()));
    changes.tension = takeOver(SetTension, Cell(std::int16_t(chkPlot[0]->isChecked() ? 1 : 0)));
    changes.compression = takeOver(SetCompression, Cell(std::int16_t(chkPlot[1]->isChecked() ? 1 : 0)));
    m_changes = changes;

    setResult(QDialog::Accepted);
    hide();
    QApplication::processEvents();
    if (m_applyToDrawing)
        m_applyToDrawing(changes);
    accept();
}

void frmOptions::cmdCancel_Click()
{
    reject();
}

void frmOptions::cmdSave_Click()
{
    SettingsArray stored = m_settings;
    stored[SetTextHeight] = Cell(txtText->text());
    stored[SetScaleFactor] = Cell(txtScale->text());
    for (std::size_t i = 0; i < kColorKeys.size(); ++i)
        stored[kColorKeys[i]] = Cell(m_colors[i].ToText());
    stored[SetColor] = Cell(optPlot[1]->isChecked() ? "-1" : "0");
    stored[SetTension] = Cell(chkPlot[0]->isChecked() ? "1" : "0");
    stored[SetCompression] = Cell(chkPlot[1]->isChecked() ? "1" : "0");
    SaveSettings(stored);
}

} // namespace ardela
