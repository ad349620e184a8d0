// Times the automation link against a headless cadhost started beside it: synchronous calls per second
// (target at least 15,000/s) and 100,000 AddLine calls (target under 6 s). Prints the figures.
#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "cad/CadProxy.h"

namespace {

double Seconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString socketPath = dir.filePath(QStringLiteral("host"));
    QProcess host;
    host.start(QApplication::applicationDirPath() + QStringLiteral("/cadhost"),
               {QStringLiteral("--headless"), QStringLiteral("--second-instance"), QStringLiteral("--socket"), socketPath});
    ardela::cad::AcadApplicationPtr application;
    for (int i = 0; i < 300 && !application; ++i) {
        QThread::msleep(20);
        application = ardela::cad::ConnectApplication(socketPath, 200);
    }
    if (!application) {
        std::fprintf(stderr, "the host did not answer\n");
        return 1;
    }
    ardela::cad::AcadDocumentPtr document = application->ActiveDocument();

    constexpr int kCalls = 50000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kCalls; ++i)
        application->Name();
    const double nameSeconds = Seconds(timer);

    timer.restart();
    for (int i = 0; i < kCalls; ++i)
        document->Saved();
    const double savedSeconds = Seconds(timer);

    constexpr int kLines = 100000;
    std::shared_ptr<ardela::cad::AcadModelSpace> space = document->ModelSpace();
    timer.restart();
    for (int i = 0; i < kLines; ++i)
        space->AddLine({double(i), 0.0, 0.0}, {double(i), 10.0, 0.0});
    const double lineSeconds = Seconds(timer);
    const int count = space->Count();

    std::printf("Application.Name   %d calls in %.3f s: %.0f calls/s (target >= 15000)\n", kCalls, nameSeconds,
                kCalls / nameSeconds);
    std::printf("Document.Saved     %d calls in %.3f s: %.0f calls/s (target >= 15000)\n", kCalls, savedSeconds,
                kCalls / savedSeconds);
    std::printf("ModelSpace.AddLine %d calls in %.3f s (target < 6 s); model space holds %d entities\n", kLines,
                lineSeconds, count);

    application->Quit();
    host.waitForFinished(10000);
    return count == kLines ? 0 : 1;
}
