// ardela: the suite's batch tool for engineers and scripts.
#include <QCoreApplication>

#include "cli/CliCommon.h"
#include "desktop/SuiteVersion.h"
#include "desktop/modMessage.h"

using namespace ardela::cli;

namespace {

QString Usage()
{
    QString text = QStringLiteral("usage: ardela COMMAND [ARGUMENTS]\n\ncommands:\n");
    for (const Command& c : Commands())
        text += QStringLiteral("  %1  %2\n").arg(c.name.leftJustified(8), c.summary);
    text += QStringLiteral("\nardela COMMAND --help tells more about a command; ardela --version prints the suite's version.\n");
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ardela::SetMessageHandler(ardela::StandardErrorMessageHandler);
    QStringList args = SetRawArguments(argc, argv);
    if (!args.isEmpty() && args[0] == QLatin1String("--version")) {
        Out(QStringLiteral("ardela %1\n").arg(ardela::SuiteVersion()));
        return kExitOk;
    }
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        (args.isEmpty() ? Err : Out)(Usage());
        return args.isEmpty() ? kExitUsage : kExitOk;
    }
    const QString name = args.takeFirst();
    for (const Command& c : Commands()) {
        if (c.name != name)
            continue;
        if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
            Out(c.help);
            return kExitOk;
        }
        return c.run(args);
    }
    Err(QStringLiteral("ardela: unknown command \"%1\"\n\n").arg(name) + Usage());
    return kExitUsage;
}
