// Parsing the drawing host's command line.
#include "cadhost/ui/HostOptions.h"

#include <QCommandLineParser>

namespace cadhost {

namespace {

void Describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral("Ardela drawing host: draws, picks points and saves DXF drawings."));
    parser.addOption({QStringLiteral("headless"), QStringLiteral("Run without showing a window.")});
    parser.addOption({QStringLiteral("second-instance"),
                      QStringLiteral("Run beside a host already running; do not take its well-known name.")});
    parser.addOption({QStringLiteral("socket"), QStringLiteral("Serve automation calls on the local socket NAME."),
                      QStringLiteral("NAME")});
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("DXF drawings to open."), QStringLiteral("[files...]"));
}

} // namespace

HostOptions ParseHostOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    Describe(parser);
    HostOptions options;
    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
        return options;
    }
    options.help = parser.isSet(QStringLiteral("help"));
    options.headless = parser.isSet(QStringLiteral("headless"));
    options.secondInstance = parser.isSet(QStringLiteral("second-instance"));
    options.socketName = parser.value(QStringLiteral("socket"));
    if (parser.isSet(QStringLiteral("socket")) && options.socketName.trimmed().isEmpty())
        options.error = QStringLiteral("--socket needs a name.");
    options.files = parser.positionalArguments();
    return options;
}

QString HostUsage()
{
    QCommandLineParser parser;
    Describe(parser);
    return parser.helpText();
}

} // namespace cadhost
