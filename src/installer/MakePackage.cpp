// ardela-makepackage: writes the suite's package from a staged install tree, with a fresh
// product code and the suite's upgrade code.
#include <cstdio>

#include <QCoreApplication>
#include <QStringList>

#include "installer/Package.h"

using namespace ardela::installer;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 3) {
        std::fputs("usage: ardela-makepackage STAGED_FOLDER PACKAGE VERSION\n", stderr);
        return 2;
    }
    try {
        PackageContents contents;
        contents.files = CollectPayload(args[0]);
        if (contents.files.isEmpty())
            throw PackageError(QStringLiteral("Nothing is staged in \"%1\".").arg(args[0]));
        contents.properties = {
            {QStringLiteral("ProductCode"), NewProductCode()},
            {QStringLiteral("UpgradeCode"), kSuiteUpgradeCode},
            {QStringLiteral("ProductName"), QStringLiteral("Ardela")},
            {QStringLiteral("ProductVersion"), args[2]},
            {QStringLiteral("Manufacturer"), QStringLiteral("Merovan")},
        };
        WritePackage(args[1], contents);
        std::printf("%s: %d files, product code %s\n", qPrintable(args[1]), int(contents.files.size()),
                    qPrintable(contents.properties.value(QStringLiteral("ProductCode"))));
        return 0;
    } catch (const PackageError& e) {
        std::fprintf(stderr, "ardela-makepackage: %s\n", e.what());
        return 1;
    }
}
