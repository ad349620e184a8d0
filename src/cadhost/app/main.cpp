// The drawing host: one window with a tab per drawing; --headless runs it without showing it.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QDir>

#include "cadhost/server/AutomationServer.h"
#include "cadhost/server/AutomationStart.h"
#include "cadhost/engine/EngineError.h"
#include "cadhost/engine/LargePages.h"
#include "cadhost/ui/HostOptions.h"
#include "cadhost/ui/HostWindow.h"
#include "cadhost/engine/Linetypes.h"
#include "cadhost/app/WindowFrontEnd.h"

int main(int argc, char** argv, char** envp)
{
    cadhost::StartWithLargePages(argv, envp);
    // Options that need no window (help, a wrong argument) are answered before Qt looks for a
    // display; a headless host needs none either: it takes the offscreen platform.
    cadhost::HostOptions options;
    QString usage;
    {
        const QCoreApplication noWindow(argc, argv);
        options = cadhost::ParseHostOptions(QCoreApplication::arguments());
        usage = cadhost::HostUsage();
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "cadhost: %s\n\n%s", qPrintable(options.error), qPrintable(usage));
        return 2;
    }
    if (options.help) {
        std::printf("%s", qPrintable(usage));
        return 0;
    }
    const auto unset = [](const char* name) { return !std::getenv(name) || !*std::getenv(name); };
    if (options.headless && unset("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (unset("QT_QPA_PLATFORM") && unset("DISPLAY") && unset("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "cadhost: there is no display to show the window on; run it with --headless\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cadhost"));
    QApplication::setOrganizationName(QStringLiteral("Ardela"));

    // Line type files are looked up beside the program.
    cadhost::LinetypeTable::SetSearchFolders({QApplication::applicationDirPath(),
                                              QDir(QApplication::applicationDirPath()).filePath(QStringLiteral("../share/ardela"))});

    cadhost::HostWindow window;
    window.SetHeadless(options.headless);
    for (const QString& file : options.files) {
        try {
            window.OpenDocument(file);
        } catch (const cadhost::EngineError& e) {
            std::fprintf(stderr, "cadhost: %s\n", qPrintable(e.Message()));
        }
    }
    if (window.Documents().Count() == 0)
        window.NewDocument();
    // The automation link the wizards drive the host through.
    cadhost::WindowFrontEnd frontEnd(window);
    cadhost::AutomationServer server(frontEnd);
    QString why;
    if (!cadhost::StartAutomation(server, QApplication::arguments(), &why)) {
        std::fprintf(stderr, "cadhost: cannot answer on the automation socket: %s\n", qPrintable(why));
        return 1;
    }
    if (!options.headless)
        window.show();
    return app.exec();
}
