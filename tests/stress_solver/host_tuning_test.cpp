// Guards the machine-dependent running of `stress` against: a kernel or thread setting that
// changes the stresses, a user's own library settings overridden, and a BLAS kernel chosen
// for the processor that never reaches the library (set after it has loaded).
#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "stress_solver/HostTuning.h"
#include "support/TestSupport.h"

namespace ardela::stress {
namespace {

std::map<std::string, std::string> Chosen(const ProcessorFeatures& features, const std::map<std::string, std::string>& given)
{
    std::map<std::string, std::string> chosen;
    const auto current = [&given](const char* name) -> const char* {
        const auto it = given.find(name);
        return it == given.end() ? nullptr : it->second.c_str();
    };
    for (const EnvironmentSetting& s : ChooseSettings(features, current))
        chosen[s.name] = s.value;
    return chosen;
}

TEST(HostTuning, EachProcessorGetsTheWidestKernelItRunsAndOneOpenMpThread)
{
    ProcessorFeatures avx512{true, true, 2};
    ProcessorFeatures avx2{true, false, 8};
    ProcessorFeatures older{false, false, 1};
    EXPECT_EQ(Chosen(avx512, {})["OPENBLAS_CORETYPE"], "SkylakeX");
    EXPECT_EQ(Chosen(avx2, {})["OPENBLAS_CORETYPE"], "Haswell");
    EXPECT_EQ(Chosen(older, {}).count("OPENBLAS_CORETYPE"), 0u) << "OpenBLAS's own choice stands";
    for (const auto& features : {avx512, avx2, older}) {
        auto chosen = Chosen(features, {});
        EXPECT_EQ(chosen["OMP_THREAD_LIMIT"], "1");
        EXPECT_EQ(chosen["OMP_NUM_THREADS"], "1");
        EXPECT_EQ(chosen["OPENBLAS_NUM_THREADS"], "1");
        EXPECT_EQ(chosen["GLIBC_TUNABLES"],
                  "glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=33554432:glibc.malloc.top_pad=67108864");
    }
}

TEST(HostTuning, SettingsTheUserMadeAreKeptAndTunablesExtended)
{
    auto chosen = Chosen({true, true, 2}, {{"OPENBLAS_CORETYPE", "Zen"},
                                           {"OMP_THREAD_LIMIT", "2"},
                                           {"OMP_NUM_THREADS", "2"},
                                           {"OPENBLAS_NUM_THREADS", "2"},
                                           {"GLIBC_TUNABLES", "glibc.malloc.check=3"}});
    EXPECT_EQ(chosen.count("OPENBLAS_CORETYPE"), 0u);
    EXPECT_EQ(chosen.count("OMP_THREAD_LIMIT"), 0u);
    EXPECT_EQ(chosen.count("OMP_NUM_THREADS"), 0u);
    EXPECT_EQ(chosen.count("OPENBLAS_NUM_THREADS"), 0u);
    EXPECT_EQ(chosen["GLIBC_TUNABLES"],
              "glibc.malloc.check=3:glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=33554432:glibc.malloc.top_pad=67108864");
    chosen = Chosen({true, true, 2}, {{"GLIBC_TUNABLES", "glibc.malloc.hugetlb=0:glibc.malloc.top_pad=0"}});
    EXPECT_EQ(chosen["GLIBC_TUNABLES"], "glibc.malloc.hugetlb=0:glibc.malloc.top_pad=0:glibc.malloc.mmap_threshold=33554432")
        << "large pages and the pad the user switched off stay off";
    chosen = Chosen({true, true, 2}, {{"GLIBC_TUNABLES", "glibc.malloc.mmap_threshold=65536:glibc.malloc.hugetlb=0:glibc.malloc.top_pad=0"}});
    EXPECT_EQ(chosen.count("GLIBC_TUNABLES"), 0u) << "every allocator setting the user's own";
}

// A square plate of n x n unit cells held along its left edge, pulled and bent at its right.
QByteArray PlateInput(int n)
{
    QByteArray text = QByteArray::number(n + 1) + ',' + QByteArray::number(n + 1) + ",1,1,3,\r\n";
    for (int pass = 0; pass < 2; ++pass)
        for (int k = 0; k <= n; ++k)
            text += QByteArray::number(k) + ".0," + (k % 8 == 7 || k == n ? "\r\n" : "");
    const QByteArray side = QByteArray::number(n) + ".0";
    text += "0.0," + side + ',' + side + ",0.0,1.0,210000.0,81000.0,\r\n";
    text += "0.0,0.0,0.0," + side + ",3,\r\n";
    text += side + ",0.0,1,1000.0,\r\n" + side + ',' + side + ",1,1000.0,\r\n" + side + ',' + side + ",2,-500.0,\r\n";
    return text;
}

struct ProgramResult {
    bool ok = false;
    QByteArray standardError;
    std::vector<double> stresses;  // s1 and s2 of every element
};

// Runs `stress` on the plate with the environment changed by `settings` ("NAME=" unsets).
ProgramResult RunStress(const QByteArray& input, const QStringList& settings)
{
    ProgramResult run;
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("datein")));
    if (!file.open(QIODevice::WriteOnly) || file.write(input) != input.size())
        return run;
    file.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"ARDELA_STRESS_TUNED", "ARDELA_STRESS_FACTOR", "OPENBLAS_CORETYPE", "OPENBLAS_NUM_THREADS", "OMP_THREAD_LIMIT",
          "OMP_NUM_THREADS", "OMP_WAIT_POLICY", "BLIS_NUM_THREADS"})
        environment.remove(QString::fromLatin1(name));
    for (const QString& s : settings) {
        const qsizetype eq = s.indexOf(QLatin1Char('='));
        if (s.mid(eq + 1).isEmpty())
            environment.remove(s.left(eq));
        else
            environment.insert(s.left(eq), s.mid(eq + 1));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir.path());
    process.start(QDir(test::BinDir()).filePath(QStringLiteral("stress")), {});
    if (!process.waitForFinished(120000))
        return run;
    run.standardError = process.readAllStandardError();
    QFile results(dir.filePath(QStringLiteral("dateout.dat")));
    if (process.exitCode() != 0 || !results.open(QIODevice::ReadOnly))
        return run;
    const QList<QByteArray> lines = results.readAll().split('\n');
    const int elements = lines.value(0).split(',').value(0).toInt();
    for (int e = 0; e < elements; ++e) {
        const QList<QByteArray> v = lines.value(1 + elements + e).split(',');
        run.stresses.push_back(v.value(0).toDouble());
        run.stresses.push_back(v.value(1).toDouble());
    }
    run.ok = elements > 0 && int(run.stresses.size()) == 2 * elements;
    return run;
}

double LargestDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    double d = 0;
    for (std::size_t k = 0; k < std::min(a.size(), b.size()); ++k)
        d = std::max(d, std::fabs(a[k] - b[k]));
    return d;
}

TEST(HostTuning, EveryBlasKernelVariantAndThreadCountGivesTheSameStresses)
{
    // The reference BLAS and LAPACK, an implementation of their own, give the stresses to
    // compare with; every other way of running, with the double and with the single-precision
    // factor, must agree to 2e-8 of the largest stress (the results carry nine digits).
    const QString reference = QStringLiteral("/usr/lib/x86_64-linux-gnu/blas");
    if (!QFileInfo::exists(reference + QStringLiteral("/libblas.so.3")))
        GTEST_SKIP() << "the reference BLAS (Debian libblas3) is not installed";
    const QByteArray input = PlateInput(80);
    const ProgramResult expected = RunStress(input, {QStringLiteral("LD_LIBRARY_PATH=") + reference
                                           + QStringLiteral(":/usr/lib/x86_64-linux-gnu/lapack")});
    ASSERT_TRUE(expected.ok) << expected.standardError.toStdString();
    double largest = 0;
    for (const double s : expected.stresses)
        largest = std::max(largest, std::fabs(s));
    ASSERT_GT(largest, 1.0);
    QList<QStringList> ways = {{},
                               {QStringLiteral("OPENBLAS_CORETYPE=Prescott")},
                               {QStringLiteral("OPENBLAS_CORETYPE=Haswell"), QStringLiteral("OPENBLAS_NUM_THREADS=2")},
                               {QStringLiteral("OMP_THREAD_LIMIT=4"), QStringLiteral("GLIBC_TUNABLES=glibc.malloc.hugetlb=0")}};
    if (DetectProcessor().avx512)
        ways.push_back({QStringLiteral("OPENBLAS_CORETYPE=SkylakeX"), QStringLiteral("OPENBLAS_NUM_THREADS=2")});
    for (const char* blis : {"blis-pthread", "blis-openmp", "openblas-openmp", "openblas-serial"}) {
        const QString folder = QStringLiteral("/usr/lib/x86_64-linux-gnu/") + QString::fromLatin1(blis);
        if (QFileInfo::exists(folder + QStringLiteral("/libblas.so.3")))
            ways.push_back({QStringLiteral("LD_LIBRARY_PATH=") + folder});
    }
    for (qsizetype w = ways.size() - 1; w >= 0; --w)
        ways.push_back(ways[w] + QStringList{QStringLiteral("ARDELA_STRESS_FACTOR=single")});
    for (const QStringList& way : ways) {
        const ProgramResult run = RunStress(input, way);
        ASSERT_TRUE(run.ok) << way.join(QLatin1Char(' ')).toStdString() << ": " << run.standardError.toStdString();
        ASSERT_EQ(run.stresses.size(), expected.stresses.size());
        EXPECT_LE(LargestDifference(run.stresses, expected.stresses), 2e-8 * largest) << way.join(QLatin1Char(' ')).toStdString();
    }
}

TEST(HostTuning, TwoThreadsCallTheBlasAtOnceOnlyWhereItIsSafe)
{
    // OpenBLAS built without threads shares its buffers between callers without a lock: two
    // threads factorising side by side spoiled each other's products at 500 x 500 (the double
    // factor then took over, at twice the memory).
    EXPECT_EQ(ThreadsBesideBlas(2, 0), 1);
    for (const int blas : {-1, 1, 2}) {
        EXPECT_EQ(ThreadsBesideBlas(2, blas), 2) << blas;
        EXPECT_EQ(ThreadsBesideBlas(8, blas), 2) << blas;
        EXPECT_EQ(ThreadsBesideBlas(1, blas), 1) << blas;
    }
}

TEST(HostTuning, OpenBlasBuiltOnOpenMpSolvesAPlateLargeEnoughForThreadedCalls)
{
    // From a few tens of thousands of unknowns OpenBLAS splits its calls between threads; its
    // OpenMP build, called from the two threads that factorise side by side (and, from 200,000
    // unknowns, asked for two BLAS threads), used to wait for ever for a second half of the work.
    const QString folder = QStringLiteral("/usr/lib/x86_64-linux-gnu/openblas-openmp");
    if (!QFileInfo::exists(folder + QStringLiteral("/libblas.so.3")))
        GTEST_SKIP() << "OpenBLAS's OpenMP build (Debian libopenblas0-openmp) is not installed";
    const QByteArray input = PlateInput(320);
    const ProgramResult expected = RunStress(input, {});
    ASSERT_TRUE(expected.ok) << expected.standardError.toStdString();
    const ProgramResult run = RunStress(input, {QStringLiteral("LD_LIBRARY_PATH=") + folder});
    ASSERT_TRUE(run.ok) << "no results within two minutes: " << run.standardError.toStdString();
    ASSERT_EQ(run.stresses.size(), expected.stresses.size());
    double largest = 0;
    for (const double s : expected.stresses)
        largest = std::max(largest, std::fabs(s));
    EXPECT_LE(LargestDifference(run.stresses, expected.stresses), 2e-8 * largest);
}

TEST(HostTuning, ProgramRunsOpenBlasWithTheKernelChosenForTheProcessor)
{
    const ProcessorFeatures features = DetectProcessor();
    if (!features.avx2Fma)
        GTEST_SKIP() << "OpenBLAS chooses the kernel itself on this processor";
    const ProgramResult run = RunStress(PlateInput(4), {QStringLiteral("OPENBLAS_VERBOSE=2")});
    ASSERT_TRUE(run.ok) << run.standardError.toStdString();
    if (!run.standardError.contains("Core: "))
        GTEST_SKIP() << "the system BLAS is not OpenBLAS";
    EXPECT_TRUE(run.standardError.contains(features.avx512 ? "Core: SkylakeX" : "Core: Haswell")) << run.standardError.toStdString();
}

} // namespace
} // namespace ardela::stress
