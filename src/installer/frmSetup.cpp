// frmSetup: the removal of earlier releases, then the installation of the suite's package.
#include "installer/frmSetup.h"

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTemporaryDir>

#include "installer/DialogUnits.h"
#include "installer/InstallerLayer.h"

namespace ardela::installer {

const QString frmSetup::kCaption = QStringLiteral("Merovan 2004");
const QString frmSetup::kPackageName = QStringLiteral("Ardela.msi");
const QString frmSetup::kUpgradeCodeQuery = QStringLiteral("SELECT * FROM Property WHERE Property='UpgradeCode'");
const QString frmSetup::kWelcomeText = QStringLiteral(
    "Welcome to the Ardela installer. The installer will remove all previous releses of the program "
    "installed on your computer. \r\rPress Setup to start the installation.");
const QString frmSetup::kFinishedText = QStringLiteral(
    "The installer has finished the installation of the product.\r\rPress Close to exit.");
const QString frmSetup::kFailedText = QStringLiteral(
    "The product was not installed.\r\rPress Close to exit.");
const QString frmSetup::kCancelledText = QStringLiteral(
    "The installation was cancelled: the product was not installed.\r\rPress Close to exit.");
const QString frmSetup::kNotRemovedStatus = QStringLiteral(
    "The package is damaged: no release was removed.");
const QString frmSetup::kPutBackNote = QStringLiteral(" The earlier release was put back.");
const QString frmSetup::kPutBackNotePlural = QStringLiteral(" The earlier releases were put back.");

namespace {

const QString kUninstalling = QStringLiteral("Uninstalling product");
const QString kLocalPackage = QStringLiteral("LocalPackage");
constexpr unsigned kBufferLength = 256;

// Reads a text through one of the layer's buffer roles, growing the buffer when it is too small.
template <typename Read>
unsigned ReadText(Read read, QString* text)
{
    unsigned length = kBufferLength;
    unsigned result = read(text, &length);
    if (result == kErrorMoreData) {
        length += 1;
        result = read(text, &length);
    }
    return result;
}

} // namespace

frmSetup::frmSetup(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , cmdSetup(new QPushButton(QStringLiteral("&Setup"), this))
    , cmdClose(new QPushButton(QStringLiteral("Close"), this))
    , lblText(new QLabel(this))
    , lblStatus1(new QLabel(this))
    , lblStatus2(new QLabel(this))
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(kCaption);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    setFont(font);

    // The template: id, control, place in dialog units.
    const struct {
        int id;
        QWidget* control;
        QRect units;
    } layout[] = {
        {kIdSetup, cmdSetup, QRect(198, 7, 50, 14)},
        {kIdClose, cmdClose, QRect(198, 24, 50, 14)},
        {kIdText, lblText, QRect(7, 7, 185, 40)},
        {kIdStatus1, lblStatus1, QRect(7, 50, 241, 13)},
        {kIdStatus2, lblStatus2, QRect(7, 66, 241, 13)},
    };
    const QSize base = DialogBaseUnits(font);
    for (const auto& item : layout) {
        item.control->setProperty("controlId", item.id);
        item.control->setGeometry(DialogUnitsToPixels(item.units, base));
    }
    setFixedSize(DialogUnitsToPixels(QRect(0, 0, 255, 86), base).size());
    lblText->setWordWrap(true);
    lblText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (QLabel* status : {lblStatus1, lblStatus2})
        status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cmdSetup->setDefault(true);
    cmdSetup->setAutoDefault(true);
    cmdClose->setAutoDefault(false);

    connect(cmdSetup, &QPushButton::clicked, this, &frmSetup::cmdSetup_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmSetup::cmdClose_Click);

    SetDlgItemText(kIdText, kWelcomeText);
    SetDlgItemText(kIdStatus1, QString());
    SetDlgItemText(kIdStatus2, QString());
}

frmSetup::~frmSetup() = default;

QWidget* frmSetup::GetDlgItem(int id) const
{
    switch (id) {
    case kIdSetup: return cmdSetup;
    case kIdClose: return cmdClose;
    case kIdText: return lblText;
    case kIdStatus1: return lblStatus1;
    case kIdStatus2: return lblStatus2;
    default: return nullptr;
    }
}

QString frmSetup::GetDlgItemText(int id) const
{
    return m_texts.value(id);
}

void frmSetup::SetDlgItemText(int id, const QString& text)
{
    auto* label = qobject_cast<QLabel*>(GetDlgItem(id));
    Q_ASSERT(label);
    m_texts[id] = text;
    // A carriage return breaks the line in the dialog's static texts.
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    label->setText(shown);
}

void frmSetup::reject()
{
    // Escape and the window's close box act as Close (id 2), except while Setup is running.
    if (!m_running)
        cmdClose_Click();
}

void frmSetup::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        CentreOnScreen();
    }
}

void frmSetup::CentreOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect frame = frameGeometry();
    const QRect area = screen->geometry();
    move(area.x() + area.width() / 2 - frame.width() / 2, area.y() + area.height() / 2 - frame.height() / 2);
}

void frmSetup::cmdSetup_Click()
{
    if (m_running || !cmdSetup->isEnabled())
        return;
    m_running = true;
    // While the installer's windows run their own loops, nothing here may start again or close.
    cmdSetup->setEnabled(false);
    cmdClose->setEnabled(false);
    RemoveEarlierReleases();
    InstallPackage();
    cmdClose->setEnabled(true);
    m_running = false;
}

void frmSetup::cmdClose_Click()
{
    if (m_running)
        return;
    hide();
    emit Closed();
}

void frmSetup::RemoveEarlierReleases()
{
    InstallerHandle database = 0;
    InstallerHandle view = 0;
    InstallerHandle record = 0;
    auto closeHandles = [&] {
        for (InstallerHandle h : {record, view, database}) {
            if (h)
                CloseHandle(h);
        }
    };
    if (OpenDatabase(kPackageName, DatabaseMode::ReadOnly, &database) != kSuccess) {
        SetDlgItemText(kIdStatus1, QStringLiteral("Error in opening database."));
        return;
    }
    if (DatabaseOpenView(database, kUpgradeCodeQuery, &view) != kSuccess) {
        SetDlgItemText(kIdStatus1, QStringLiteral("Error in Opening View"));
        closeHandles();
        return;
    }
    if (ViewExecute(view, 0) != kSuccess) {
        SetDlgItemText(kIdStatus1, QStringLiteral("Error in executing the View"));
        closeHandles();
        return;
    }
    if (ViewFetch(view, &record) != kSuccess) {
        SetDlgItemText(kIdStatus1, QStringLiteral("Error in fetching the View"));
        closeHandles();
        return;
    }
    QString upgradeCode;
    ReadText([&](QString* text, unsigned* length) { return RecordGetString(record, 2, text, length); }, &upgradeCode);
    ViewClose(view);

    // Nothing is removed for a package that could not be installed afterwards.
    if (VerifyPackage(kPackageName) != kSuccess) {
        SetDlgItemText(kIdStatus1, kNotRemovedStatus);
        closeHandles();
        return;
    }

    // A release whose removal fails or is cancelled stays listed at its index; the next index
    // is asked then, so every release gets one attempt and the loop ends.
    unsigned index = 0;
    QString product;
    unsigned result = EnumRelatedProducts(upgradeCode, 0, index, &product);
    while (result == kSuccess) {
        SetDlgItemText(kIdStatus1, kUninstalling);
        SetDlgItemText(kIdStatus2, product);
        QString localPackage;
        const unsigned info = ReadText(
            [&](QString* text, unsigned* length) { return GetProductInfo(product, kLocalPackage, text, length); },
            &localPackage);
        if (info == kSuccess) {
            // The cached package goes with the release: a copy is kept, so that the release
            // can be put back should the new one not install.
            if (!m_kept)
                m_kept = std::make_unique<QTemporaryDir>();
            const QString copy = m_kept->isValid() ? m_kept->filePath(product + QStringLiteral(".msi")) : QString();
            const bool kept = !copy.isEmpty() && QFile::copy(localPackage, copy);
            if (InstallProduct(localPackage, QStringLiteral("REMOVE=ALL")) == kSuccess && kept)
                m_removed.append(copy);
        }
        QString next;
        result = EnumRelatedProducts(upgradeCode, 0, index, &next);
        if (result == kSuccess && next == product)
            result = EnumRelatedProducts(upgradeCode, 0, ++index, &next);
        product = next;
    }
    SetDlgItemText(kIdStatus1, QString());
    SetDlgItemText(kIdStatus2, QString());
    if (result != kErrorNoMoreItems)
        SetDlgItemText(kIdStatus1, QStringLiteral("Error in enumerating the installed releases."));
    closeHandles();
}

bool frmSetup::PutBackRemovedReleases()
{
    const InstallUiLevel level = SetInternalUI(InstallUiLevel::None, nullptr);
    bool all = true;
    for (const QString& copy : m_removed)
        all = InstallProduct(copy, QString()) == kSuccess && all;
    SetInternalUI(level, nullptr);
    return all;
}

void frmSetup::InstallPackage()
{
    hide();
    SetInternalUI(InstallUiLevel::Full, nullptr);
    const unsigned result = InstallProduct(kPackageName, QString());
    cmdSetup->setEnabled(false);
    // The final text agrees with what the installer's own windows said; a release removed for
    // a product that did not install is put back.
    if (result == kSuccess) {
        SetDlgItemText(kIdText, kFinishedText);
    } else {
        QString text = result == kErrorInstallUserExit ? kCancelledText : kFailedText;
        if (!m_removed.isEmpty() && PutBackRemovedReleases())
            text.insert(text.indexOf(QLatin1Char('\r')), m_removed.size() == 1 ? kPutBackNote : kPutBackNotePlural);
        SetDlgItemText(kIdText, text);
    }
    m_removed.clear();
    m_kept.reset();
    SetDlgItemText(kIdStatus1, QString());
    SetDlgItemText(kIdStatus2, QString());
    show();
}

} // namespace ardela::installer
