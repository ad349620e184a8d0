// The drawing host: one window with a tab per drawing; --headless runs it without showing it.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <QDir>

#include "cadhost/server/AutomationServer.h"
#include "cadhost/server/AutomationStart.h"
#include "cadhost/engine/EngineError.h"
#include "cadhost/ui/HostOptions.h"
#include "cadhost/ui/HostWindow.h"
#include "cadhost/engine/Linetypes.h"
#include "cadhost/app/WindowFrontEnd.h"

int main(int argc, char** argv)
{
    // A headless host needs no display: choose the offscreen platform before Qt starts.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0 && !std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cadhost"));
    QApplication::setOrganizationName(QStringLiteral("Ardela"));

    const cadhost::HostOptions options = cadhost::ParseHostOptions(QApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "cadhost: %s\n\n%s", qPrintable(options.error), qPrintable(cadhost::HostUsage()));
        return 2;
    }
    if (options.help) {
        std::printf("%s", qPrintable(cadhost::HostUsage()));
        return 0;
    }

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
    if (!cadhost::StartAutomation(server, QApplication::arguments())) {
        std::fprintf(stderr, "cadhost: cannot answer on the automation socket\n");
        return 1;
    }
    if (!options.headless)
        window.show();
    return app.exec();
}
