// The message window and clsMessage, and the ShowMessage handler that shows them.
#include "desktop/frmMessage.h"

#include <vector>

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "desktop/modMessage.h"

namespace ardela {

namespace {

constexpr int kIconSize = 32;

QPointer<QWidget>& WizardWindow()
{
    static QPointer<QWidget> window;
    return window;
}

QLabel* MakeImage(QWidget* parent, std::int16_t iconCode, const char* name)
{
    auto* image = new QLabel(parent);
    image->setObjectName(QLatin1String(name));
    image->setPixmap(frmMessage::IconPicture(iconCode));
    image->setFixedSize(kIconSize, kIconSize);
    image->setProperty("IconCode", int(iconCode));
    return image;
}

QPushButton* MakeButton(QWidget* parent, const char* name)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedWidth(88);
    return button;
}

} // namespace

QPixmap frmMessage::IconPicture(std::int16_t iconCode)
{
    QPixmap picture(kIconSize, kIconSize);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(22);
    p.setFont(font);
    const QRectF box(1, 1, kIconSize - 2, kIconSize - 2);
    switch (iconCode) {
    case MsgCritical:
        // A red disc with a white cross: stop.
        p.setPen(QPen(QColor(120, 0, 0), 1.5));
        p.setBrush(QColor(210, 30, 30));
        p.drawEllipse(box);
        p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10, 10), QPointF(22, 22));
        p.drawLine(QPointF(22, 10), QPointF(10, 22));
        break;
    case MsgQuestion:
        p.setPen(QPen(QColor(20, 60, 140), 1.5));
        p.setBrush(QColor(60, 120, 220));
        p.drawEllipse(box);
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
        break;
    case MsgExclamation: {
        // A yellow warning triangle with a black mark.
        QPainterPath triangle;
        triangle.moveTo(16, 2);
        triangle.lineTo(30, 29);
        triangle.lineTo(2, 29);
        triangle.closeSubpath();
        p.setPen(QPen(QColor(110, 80, 0), 1.5));
        p.setBrush(QColor(250, 200, 30));
        p.drawPath(triangle);
        p.setPen(Qt::black);
        p.drawText(QRectF(0, 6, kIconSize, 24), Qt::AlignCenter, QStringLiteral("!"));
        break;
    }
    case MsgInformation:
        p.setPen(QPen(QColor(20, 60, 140), 1.5));
        p.setBrush(QColor(60, 120, 220));
        p.drawEllipse(box);
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, QStringLiteral("i"));
        break;
    default:
        break;
    }
    return picture;
}

frmMessage::frmMessage(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMessage"));
    imgCritical = MakeImage(this, MsgCritical, "imgCritical");
    imgQuestion = MakeImage(this, MsgQuestion, "imgQuestion");
    imgExclamation = MakeImage(this, MsgExclamation, "imgExclamation");
    imgInformation = MakeImage(this, MsgInformation, "imgInformation");
    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setWordWrap(true);
    lblMessage->setTextFormat(Qt::PlainText);
    lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblMessage->setMinimumWidth(300);
    cmdButton1 = MakeButton(this, "cmdButton1");
    cmdButton2 = MakeButton(this, "cmdButton2");
    cmdButton3 = MakeButton(this, "cmdButton3");
    cmdButton1->setDefault(true);

    auto* images = new QVBoxLayout;
    for (QLabel* image : {imgCritical, imgQuestion, imgExclamation, imgInformation})
        images->addWidget(image);
    images->addStretch();
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {cmdButton1, cmdButton2, cmdButton3})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(images);
    layout->addWidget(lblMessage, 1);
    layout->addLayout(buttons);

    for (QPushButton* button : {cmdButton1, cmdButton2, cmdButton3})
        connect(button, &QPushButton::clicked, this, [this, button] { cmdButton_Click(button); });
}

void frmMessage::Form_Load()
{
    const QWidget* wizard = WizardWindow();
    setWindowIcon(wizard ? wizard->windowIcon() : QApplication::windowIcon());
    for (QWidget* control : std::initializer_list<QWidget*>{imgCritical, imgQuestion, imgExclamation,
                                                            imgInformation, cmdButton1, cmdButton2, cmdButton3})
        control->hide();
    lblMessage->setText(QString(Prompt).replace(kCrLf, QStringLiteral("\n")));
    setWindowTitle(Title);

    const std::int16_t icon = MessageIconCode(Style);
    switch (icon) {
    case MsgCritical: imgCritical->show(); break;
    case MsgQuestion: imgQuestion->show(); break;
    case MsgExclamation: imgExclamation->show(); break;
    case MsgInformation: imgInformation->show(); break;
    default: break;
    }

    struct Choice { const char* caption; std::int16_t code; };
    std::vector<Choice> set;
    switch (MessageButtonSet(Style)) {
    case MsgOkOnly: set = {{"OK", MsgResultOk}}; break;
    case MsgOkCancel: set = {{"OK", MsgResultOk}, {"Cancel", MsgResultCancel}}; break;
    case MsgYesNoCancel: set = {{"Yes", MsgResultYes}, {"No", MsgResultNo}, {"Cancel", MsgResultCancel}}; break;
    case MsgYesNo: set = {{"Yes", MsgResultYes}, {"No", MsgResultNo}}; break;
    case MsgWaitStop: set = {{"&Wait", MsgResultRetry}, {"&Stop", MsgResultCancel}}; break;
    default: break;
    }
    const std::array<QPushButton*, 3> buttons{cmdButton1, cmdButton2, cmdButton3};
    for (std::size_t i = 0; i < set.size(); ++i) {
        buttons[i]->setText(QLatin1String(set[i].caption));
        buttons[i]->setProperty("Tag", QString::number(set[i].code));
        buttons[i]->show();
    }
    cmdButton1->setFocus();
    adjustSize();
    setFixedSize(sizeHint());
}

int frmMessage::exec()
{
    Form_Load();
    return QDialog::exec();
}

void frmMessage::cmdButton_Click(QPushButton* button)
{
    SelectionMade = true;
    ReturnValue = static_cast<std::int16_t>(button->property("Tag").toString().toInt());
    accept();
}

void frmMessage::closeEvent(QCloseEvent* event)
{
    SelectionMade = true;
    if (ReturnValue == 0)
        ReturnValue = MsgResultCancel;
    QDialog::closeEvent(event);
}

void frmMessage::keyPressEvent(QKeyEvent* event)
{
    // Esc presses the shown "Cancel" button (cmdButton3 in Yes/No/Cancel, cmdButton2 in
    // OK/Cancel); without one it does nothing, so the question is answered by a button or the
    // close box.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        for (QPushButton* button : {cmdButton3, cmdButton2})
            if (button->isVisible() && button->property("Tag").toString() == QString::number(MsgResultCancel)) {
                button->click();
                break;
            }
        return;
    }
    QDialog::keyPressEvent(event);
}

bool clsMessage::ShowDialog(const QString& prompt, std::int32_t buttons, const QString& title, std::int32_t& returnValue)
{
    frmMessage form;
    form.Prompt = prompt;
    form.Style = static_cast<std::int16_t>(buttons);
    form.Title = title;
    form.exec();
    returnValue = form.ReturnValue;
    return form.SelectionMade;
}

void InstallMessageDialog(QWidget* wizardWindow)
{
    WizardWindow() = wizardWindow;
    SetMessageHandler([](const QString& prompt, std::int16_t style, const QString& title) -> std::int16_t {
        // Without a widget application (a console run) there is no window to show.
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return StandardErrorMessageHandler(prompt, style, title);
        clsMessage message;
        std::int32_t returnValue = 0;
        const bool selected = message.ShowDialog(prompt, style, title, returnValue);
        return selected ? static_cast<std::int16_t>(returnValue) : std::int16_t(MsgResultCancel);
    });
}

} // namespace ardela
