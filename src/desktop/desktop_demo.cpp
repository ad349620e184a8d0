// desktop_demo: a launcher that shows each shared window so it can be looked at; with
// "--grab <folder>" it saves a picture of each window there instead and exits.
#include <functional>
#include <memory>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QElapsedTimer>
#include <QTimer>
#include <QTextStream>
#include <QVBoxLayout>

#include "desktop/Comdlg.h"
#include "desktop/HelpWindow.h"
#include "desktop/frmAbout.h"
#include "desktop/frmColor.h"
#include "desktop/frmMessage.h"
#include "desktop/frmOptions.h"
#include "desktop/frmProgress.h"
#include "desktop/frmSplash.h"
#include "desktop/modMenu.h"
#include "desktop/modMessage.h"
#include "desktop/modResource.h"
#include "desktop/SuiteVersion.h"

using namespace ardela;

namespace {

struct Demo {
    QString name;
    QString program;                     // the program whose window it is: Korrin or Vendel
    std::function<QWidget*()> make;      // a window to picture, shown without blocking
    std::function<void(QWidget*)> show;  // how the launcher shows it
};

// A few controls captioned from Vendel's string table by their Tag numbers.
QWidget* StringTableSample()
{
    SelectStringTable(StringTable::Vendel);
    auto* form = new QWidget;
    form->setObjectName(QStringLiteral("StringTableSample"));
    form->setProperty("Tag", 9000);
    auto* frame = new QGroupBox(form);
    frame->setProperty("Tag", 1000);
    auto* text = new QLabel(frame);
    text->setWordWrap(true);
    text->setFixedWidth(420);
    text->setProperty("Tag", 1001);
    auto* last = new QLabel(frame);
    last->setWordWrap(true);
    last->setFixedWidth(420);
    last->setProperty("Tag", 8001);
    auto* button = new QPushButton(frame);
    button->setProperty("Tag", 7003);
    auto* inner = new QVBoxLayout(frame);
    inner->addWidget(text);
    inner->addWidget(last);
    inner->addWidget(button);
    auto* layout = new QVBoxLayout(form);
    layout->addWidget(frame);
    LoadResStrings(form);
    SelectStringTable(StringTable::Korrin);
    return form;
}

// The Options dialog captioned from one program's table; OK tells what it changed.
frmOptions* OptionsDialog(StringTable program, QWidget* owner)
{
    SelectStringTable(program);
    auto* dialog = new frmOptions(owner, [](const OptionsChanges& changes) {
        QStringList changed;
        const std::pair<bool, const char*> names[] = {
            {changes.textHeight, "text height"}, {changes.scaleFactor, "scale factor"},
            {changes.colorMode, "colour mode"}, {changes.tension, "tension"},
            {changes.compression, "compression"}, {changes.layerColors, "layer colours"}};
        for (const auto& [yes, name] : names)
            if (yes)
                changed << QLatin1String(name);
        ShowMessage(QStringLiteral("Changed: ") + (changed.isEmpty() ? QStringLiteral("nothing") : changed.join(QStringLiteral(", "))),
                    64, QStringLiteral("frmOptions"));
    });
    SelectStringTable(StringTable::Korrin);
    return dialog;
}

std::vector<Demo> Demos()
{
    const ProgramInfo korrin = CurrentProgram();
    return {
        {QStringLiteral("message"), QStringLiteral("Korrin"),
         [] {
             auto* form = new frmMessage;
             form->Prompt = QStringLiteral("The analysis has changed.") + kCrLf + QStringLiteral("Do you want to save it?");
             form->Style = 51;
             form->Title = QStringLiteral("Korrin");
             form->Form_Load();
             return form;
         },
         [](QWidget*) { ShowMessage(QStringLiteral("Do you want to save the analysis?"), 51, QStringLiteral("Korrin")); }},
        {QStringLiteral("message_critical"), QStringLiteral("Korrin"),
         [] {
             auto* form = new frmMessage;
             form->Prompt = QStringLiteral("The structure is unstable. Check the blocks.");
             form->Style = 16;
             form->Title = QStringLiteral("Korrin");
             form->Form_Load();
             return form;
         },
         [](QWidget*) { ShowMessage(QStringLiteral("The structure is unstable. Check the blocks."), 16, QStringLiteral("Korrin")); }},
        {QStringLiteral("color"), QStringLiteral("Korrin"),
         [] {
             auto* form = new frmColor;
             form->SetColor(38);
             return form;
         },
         [](QWidget*) {
             frmColor picker;
             picker.SetColor(40);
             picker.exec();
             ShowMessage(QStringLiteral("Color %1").arg(picker.Color()), 64, QStringLiteral("frmColor"));
         }},
        {QStringLiteral("options_korrin"), QStringLiteral("Korrin"), [] { return OptionsDialog(StringTable::Korrin, nullptr); },
         [](QWidget* owner) {
             std::unique_ptr<frmOptions> dialog(OptionsDialog(StringTable::Korrin, owner));
             dialog->exec();
         }},
        {QStringLiteral("options_vendel"), QStringLiteral("Vendel"), [] { return OptionsDialog(StringTable::Vendel, nullptr); },
         [](QWidget* owner) {
             std::unique_ptr<frmOptions> dialog(OptionsDialog(StringTable::Vendel, owner));
             dialog->exec();
         }},
        {QStringLiteral("about"), QStringLiteral("Korrin"), [korrin] { return new frmAbout(korrin); },
         [](QWidget* owner) { WizardCommand(owner, kAboutCommand); }},
        {QStringLiteral("splash"), QStringLiteral("Korrin"), [korrin] { return new frmSplash(korrin); },
         [korrin](QWidget*) {
             auto* splash = new frmSplash(korrin);
             splash->setAttribute(Qt::WA_DeleteOnClose);
             splash->show();
             QTimer::singleShot(4000, splash, &QWidget::close);
         }},
        {QStringLiteral("progress"), QStringLiteral("Korrin"),
         [] {
             auto* form = new frmProgress;
             form->Text(QStringLiteral("Please wait. Drawing the results..."));
             return form;
         },
         [](QWidget* owner) {
             auto* form = new frmProgress(owner);
             form->setAttribute(Qt::WA_DeleteOnClose);
             form->show();
             QTimer::singleShot(5000, form, &QWidget::close);
         }},
        {QStringLiteral("help_korrin"), QStringLiteral("Korrin"),
         [] {
             auto* help = new HelpWindow;
             help->ShowTopic(QStringLiteral("Korrin.hlp"), 5000);
             return help;
         },
         [](QWidget* owner) { WinHelp(owner, QStringLiteral("Korrin.hlp"), HELP_CONTEXT, 5000); }},
        {QStringLiteral("help_vendel"), QStringLiteral("Vendel"),
         [] {
             auto* help = new HelpWindow;
             help->ShowTopic(QStringLiteral("Vendel.hlp"), 6000);
             return help;
         },
         [](QWidget* owner) { WinHelp(owner, QStringLiteral("Vendel.hlp"), HELP_CONTEXT, 6000); }},
        {QStringLiteral("strings_vendel"), QStringLiteral("Vendel"), [] { return StringTableSample(); },
         [](QWidget*) {
             QWidget* form = StringTableSample();
             form->setAttribute(Qt::WA_DeleteOnClose);
             form->show();
         }},
        {QStringLiteral("file_dialog"), QStringLiteral("Korrin"),
         [] {
             auto* dialog = new QFileDialog(nullptr, QStringLiteral("Open Drawing"), QDir::homePath());
             dialog->setOption(QFileDialog::DontUseNativeDialog);
             dialog->setNameFilters(Comdlg::NameFilters(QStringLiteral("Drawing  (*.dwg)") + QChar(0) + QStringLiteral("*.dwg")
                                                        + QChar(0) + QStringLiteral("DXF (*.dxf)") + QChar(0)
                                                        + QStringLiteral("*.dxf") + QChar(0)));
             return dialog;
         },
         [](QWidget*) {
             Comdlg dialog;
             dialog.Filter(QStringLiteral("Drawing  (*.dwg)|*.dwg|DXF (*.dxf)|*.dxf"));
             dialog.DialogTitle(QStringLiteral("Open Drawing"));
             dialog.RestoreCurDir(true);
             if (dialog.ShowOpen())
                 ShowMessage(dialog.FileName(), 64, QStringLiteral("Comdlg"));
         }},
    };
}

int Grab(const QString& folder)
{
    QDir().mkpath(folder);
    QTextStream out(stdout);
    for (const Demo& demo : Demos()) {
        std::unique_ptr<QWidget> window(demo.make());
        window->show();
        // Let the animations run a few frames before the picture is taken.
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 600)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        const QString path = QDir(folder).filePath(demo.name + QStringLiteral(".png"));
        if (!window->grab().save(path)) {
            out << "could not write " << path << Qt::endl;
            return 1;
        }
        out << path << Qt::endl;
        window->close();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Ardela"));
    QApplication::setApplicationDisplayName(QStringLiteral("Korrin"));
    UseSuiteVersion();
    const QStringList args = QApplication::arguments();
    const qsizetype grab = args.indexOf(QStringLiteral("--grab"));
    if (grab >= 0)
        return Grab(grab + 1 < args.size() ? args.at(grab + 1) : QStringLiteral("."));

    QWidget launcher;
    launcher.setObjectName(QStringLiteral("desktop_demo"));
    launcher.setWindowTitle(QStringLiteral("Ardela desktop windows"));
    InstallMessageDialog(&launcher);
    InstallFileDialogs();
    SubclassOn(&launcher);
    auto* layout = new QVBoxLayout(&launcher);
    layout->addWidget(new QLabel(QStringLiteral("Right-click here for About..."), &launcher));
    for (const Demo& demo : Demos()) {
        auto* button = new QPushButton(demo.name, &launcher);
        const auto show = demo.show;
        const QString program = demo.program;
        QObject::connect(button, &QPushButton::clicked, &launcher, [show, program, &launcher] {
            // The window system names each window after its program, as that program would.
            QApplication::setApplicationDisplayName(program);
            show(&launcher);
            QApplication::setApplicationDisplayName(QStringLiteral("Korrin"));
        });
        layout->addWidget(button);
    }
    launcher.show();
    const int result = app.exec();
    WinHelp(&launcher, QStringLiteral("Korrin.hlp"), HELP_QUIT, 0);
    SubclassOff(&launcher);
    return result;
}
