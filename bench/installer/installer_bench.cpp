// Times the installer layer on a package of many files (default 400 files, 200 MB in all):
// writing the package, installing it, reinstalling it over itself, and removing it; prints the
// figures and the peak resident memory of the installation and removal. installer_bench [FILES] [MEGABYTES]
#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "installer/InstallerLayer.h"
#include "installer/Package.h"

using namespace ardela::installer;

namespace {

// The peak resident memory since the last ResetPeakRss, from /proc/self/status (VmHWM).
long PeakRssMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong() / 1024;
    }
    return -1;
}

// Starts a new peak (Linux: writing 5 to clear_refs resets VmHWM to the current size).
void ResetPeakRss()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 400;
    const int megabytes = argc > 2 ? std::atoi(argv[2]) : 200;
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    qputenv("ARDELA_INSTALL_DIR", dir.filePath("suite").toUtf8());
    SetInternalUI(InstallUiLevel::None, nullptr);

    PackageContents contents;
    contents.properties = {{"ProductCode", NewProductCode()}, {"UpgradeCode", kSuiteUpgradeCode},
                           {"ProductName", "Ardela"}, {"ProductVersion", "1.0.0"}, {"Manufacturer", "Merovan"}};
    const qsizetype each = qsizetype(megabytes) * 1024 * 1024 / files;
    for (int i = 0; i < files; ++i) {
        QByteArray data(each, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(data.data()), each / 4);
        contents.files.append({QStringLiteral("share/part%1/file%2.bin").arg(i % 20).arg(i), 0644, data});
    }
    const QString package = dir.filePath("Ardela.msi");
    QElapsedTimer t;
    t.start();
    WritePackage(package, contents);
    const qint64 writeMs = t.elapsed();
    const long writePeak = PeakRssMegabytes();
    contents.files.clear();
    contents.files.squeeze();
    ResetPeakRss();
    const long baseline = PeakRssMegabytes();

    t.restart();
    const unsigned install = InstallProduct(package, QString());
    const qint64 installMs = t.elapsed();
    t.restart();
    const unsigned reinstall = InstallProduct(package, QString());
    const qint64 reinstallMs = t.elapsed();
    QString code;
    EnumRelatedProducts(kSuiteUpgradeCode, 0, 0, &code);
    QString cached;
    unsigned length = 4096;
    GetProductInfo(code, "LocalPackage", &cached, &length);
    t.restart();
    const unsigned removal = InstallProduct(cached, "REMOVE=ALL");
    const qint64 removeMs = t.elapsed();

    std::printf("package: %d files, %d MB\n", files, megabytes);
    std::printf("write package   %6lld ms\n", static_cast<long long>(writeMs));
    std::printf("install         %6lld ms  (result %u)\n", static_cast<long long>(installMs), install);
    std::printf("reinstall       %6lld ms  (result %u)\n", static_cast<long long>(reinstallMs), reinstall);
    std::printf("remove          %6lld ms  (result %u)\n", static_cast<long long>(removeMs), removal);
    std::printf("peak resident   %6ld MB while writing (payload held in memory)\n", writePeak);
    std::printf("peak resident   %6ld MB while installing and removing (%ld MB before)\n", PeakRssMegabytes(), baseline);
    return install == 0 && reinstall == 0 && removal == 0 ? 0 : 1;
}
