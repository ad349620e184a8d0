// Guards ardela export against: drawings that miss a program layer or its colour, entities
// lost or doubled on a layer, labels that differ from the report's forces, a model drawn
// without its results (or results without --solve), failures reported as success or with no
// message, a DXF left behind by a failed export, and a drawing host left running afterwards.
#include <set>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

using ardela::test::BinDir;
using ardela::test::SourceDir;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// The peer reader: every layer with its colour and line type, the entity count per layer and
// type, and the texts per layer, as ezdxf reads the file.
const char* const kEzdxfScript = R"(
import json, sys
try:
    import ezdxf
except ImportError:
    print("NO-EZDXF")
    sys.exit(0)
doc = ezdxf.readfile(sys.argv[1])
out = {"layers": {}, "counts": {}, "texts": {}, "errors": len(doc.audit().errors)}
for layer in doc.layers:
    out["layers"][layer.dxf.name] = {"color": layer.dxf.color, "linetype": layer.dxf.linetype}
for e in doc.modelspace():
    key = e.dxf.layer + "/" + e.dxftype()
    out["counts"][key] = out["counts"].get(key, 0) + 1
    if e.dxftype() == "TEXT":
        out["texts"].setdefault(e.dxf.layer, []).append(e.dxf.text)
print(json.dumps(out))
)";

class ArdelaExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // A copy of the drawing host of our own, so that a host left running is ours to find.
        m_host = m_dir.filePath(QStringLiteral("exporthost"));
        ASSERT_TRUE(QFile::copy(BinDir() + QStringLiteral("/cadhost"), m_host));
        QFile::setPermissions(m_host, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    ToolRun Ardela(const QStringList& args, const QString& host = QString())
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ARDELA_CADHOST"), host.isEmpty() ? m_host : host);
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(BinDir() + QStringLiteral("/ardela"), args);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // Processes still running our copy of the host.
    int HostsRunning() const
    {
        int running = 0;
        QDirIterator it(QStringLiteral("/proc"));
        while (it.hasNext()) {
            const QString dir = it.next();
            const QString exe = QFileInfo(dir + QStringLiteral("/exe")).symLinkTarget();
            if (exe == m_host) {
                QFile stat(dir + QStringLiteral("/stat"));
                if (stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z "))
                    ++running;
            }
        }
        return running;
    }

    QString Example(const QString& name)
    {
        const QString copy = m_dir.filePath(name);
        EXPECT_TRUE(QFile::copy(SourceDir() + QStringLiteral("/examples/") + name, copy));
        return copy;
    }

    QTemporaryDir m_dir;
    QString m_host;
};

// The model of an analysis file as `ardela dump` shows it.
QJsonObject Dump(const ToolRun& run)
{
    return QJsonDocument::fromJson(run.out.toUtf8()).object();
}

double CellNumber(const QJsonValue& cell)
{
    const QJsonValue value = cell.toObject().value(QStringLiteral("value"));
    return value.isString() ? value.toString().toDouble() : value.toDouble();
}

// The bar forces of a report: the last column of the lines after the "STRESS" heading.
QStringList ReportForces(const QString& path, int bars)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    QStringList forces;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].startsWith(QLatin1String("BEAM")) || !lines[i].endsWith(QLatin1String("STRESS")))
            continue;
        for (qsizetype j = i + 1; j < lines.size() && forces.size() < bars; ++j)
            if (!lines[j].trimmed().isEmpty())
                forces << lines[j].split(u' ', Qt::SkipEmptyParts).last();
    }
    return forces;
}

class ExportedExample : public ArdelaExportTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ExportedExample, DrawingHoldsTheSixLayersTheModelAndTheReportsForces)
{
    const QString krn = Example(QString::fromLatin1(GetParam()));
    const ToolRun solved = Ardela({QStringLiteral("solve"), krn});
    ASSERT_EQ(solved.exitCode, 0) << solved.err.toStdString();
    const ToolRun dumped = Ardela({QStringLiteral("dump"), krn});
    ASSERT_EQ(dumped.exitCode, 0) << dumped.err.toStdString();
    const QString dxf = m_dir.filePath(QStringLiteral("out.dxf"));
    const ToolRun exported = Ardela({QStringLiteral("export"), krn, dxf, QStringLiteral("--solve")});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    EXPECT_EQ(HostsRunning(), 0);

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(kEzdxfScript), dxf});
    if (!python.waitForStarted(10000))
        GTEST_SKIP() << "/usr/bin/python3 is missing: the DXF is not read by ezdxf";
    ASSERT_TRUE(python.waitForFinished(60000));
    const QByteArray output = python.readAllStandardOutput();
    if (output.startsWith("NO-EZDXF"))
        GTEST_SKIP() << "python3-ezdxf is not installed: the DXF is not read by ezdxf";
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonObject drawing = QJsonDocument::fromJson(output).object();
    EXPECT_EQ(drawing.value(QStringLiteral("errors")).toInt(), 0);

    // The six layers with the colours the analysis file carries.
    const QJsonObject model = Dump(dumped);
    const QJsonObject settings = model.value(QStringLiteral("settings")).toObject();
    ASSERT_NE(CellNumber(settings.value(QStringLiteral("Color"))), 0.0) << "the examples plot in colour";
    const QJsonObject layers = drawing.value(QStringLiteral("layers")).toObject();
    const std::map<QString, QString> colourKeys{
        {QStringLiteral("Korrin_Nodes"), QStringLiteral("Layer1")}, {QStringLiteral("Korrin_Beams"), QStringLiteral("Layer2")},
        {QStringLiteral("Korrin_Blocks"), QStringLiteral("Layer8")}, {QStringLiteral("Korrin_Loads"), QStringLiteral("Layer9")},
        {QStringLiteral("Korrin_Plus"), QStringLiteral("Layer6")},  {QStringLiteral("Korrin_Minus"), QStringLiteral("Layer7")}};
    for (const auto& [layer, key] : colourKeys) {
        ASSERT_TRUE(layers.contains(layer)) << layer.toStdString();
        EXPECT_EQ(layers.value(layer).toObject().value(QStringLiteral("color")).toInt(),
                  int(CellNumber(settings.value(key))))
            << layer.toStdString();
    }

    // The two layers beside them take their colours from the store (here its defaults).
    EXPECT_EQ(layers.value(QStringLiteral("Korrin_Deformed")).toObject().value(QStringLiteral("color")).toInt(), 3);
    EXPECT_EQ(layers.value(QStringLiteral("Korrin_Reactions")).toObject().value(QStringLiteral("color")).toInt(), 30);

    // Entity counts from the tables: a point and a number per node, a line and a number per bar,
    // a triangle per held direction, a triangle and a shaft per load component.
    const QJsonObject counts = model.value(QStringLiteral("counts")).toObject();
    const int nodes = counts.value(QStringLiteral("nodes")).toInt();
    const int bars = counts.value(QStringLiteral("elements")).toInt();
    int held = 0;
    for (const QJsonValue& row : model.value(QStringLiteral("blocks")).toArray())
        held += (CellNumber(row.toArray()[1]) == 1.0) + (CellNumber(row.toArray()[2]) == 1.0);
    std::set<double> supported;
    for (const QJsonValue& row : model.value(QStringLiteral("blocks")).toArray())
        supported.insert(CellNumber(row.toArray()[0]));
    int arrows = 0;
    for (const QJsonValue& row : model.value(QStringLiteral("loads")).toArray())
        arrows += (CellNumber(row.toArray()[1]) != 0.0) + (CellNumber(row.toArray()[2]) != 0.0);
    const QStringList forces = ReportForces(QFileInfo(krn).path() + u'/' + QFileInfo(krn).completeBaseName()
                                                + QStringLiteral(".prn"), bars);
    ASSERT_EQ(forces.size(), bars);
    int tension = 0;
    for (const QString& f : forces)
        tension += f.toDouble() > 0.0;

    std::map<QString, int> expected{
        {QStringLiteral("Korrin_Nodes/POINT"), nodes}, {QStringLiteral("Korrin_Nodes/TEXT"), nodes},
        {QStringLiteral("Korrin_Beams/LINE"), bars},   {QStringLiteral("Korrin_Beams/TEXT"), bars},
        {QStringLiteral("Korrin_Blocks/SOLID"), held}, {QStringLiteral("Korrin_Loads/SOLID"), arrows},
        {QStringLiteral("Korrin_Loads/LINE"), arrows}, {QStringLiteral("Korrin_Plus/LINE"), tension},
        {QStringLiteral("Korrin_Plus/TEXT"), tension}, {QStringLiteral("Korrin_Minus/LINE"), bars - tension},
        {QStringLiteral("Korrin_Minus/TEXT"), bars - tension},
        // The deflected shape with its scale, and an arrow (head and shaft) and a value at each
        // supported node (every support of the examples carries load).
        {QStringLiteral("Korrin_Deformed/LINE"), bars}, {QStringLiteral("Korrin_Deformed/TEXT"), 1},
        {QStringLiteral("Korrin_Reactions/LINE"), int(supported.size())},
        {QStringLiteral("Korrin_Reactions/SOLID"), int(supported.size())},
        {QStringLiteral("Korrin_Reactions/TEXT"), int(supported.size())}};
    std::erase_if(expected, [](const auto& item) { return item.second == 0; });
    std::map<QString, int> actual;
    const QJsonObject drawn = drawing.value(QStringLiteral("counts")).toObject();
    for (auto it = drawn.begin(); it != drawn.end(); ++it)
        actual[it.key()] = it.value().toInt();
    EXPECT_EQ(actual, expected);

    // Every label equals the force the report prints for its bar.
    QStringList labels;
    const QJsonObject texts = drawing.value(QStringLiteral("texts")).toObject();
    for (const QString& layer : {QStringLiteral("Korrin_Plus"), QStringLiteral("Korrin_Minus")})
        for (const QJsonValue& t : texts.value(layer).toArray())
            labels << t.toString();
    QStringList reported = forces;
    labels.sort();
    reported.sort();
    EXPECT_EQ(labels, reported);
}

INSTANTIATE_TEST_SUITE_P(Examples, ExportedExample,
                         ::testing::Values("warren-bridge.krn", "roof-truss.krn", "wall-cantilever.krn"),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(info.param).section(u'.', 0, 0);
                             name.remove(u'-');
                             return name.toStdString();
                         });

TEST_F(ArdelaExportTest, WithoutSolveOnlyTheModelIsDrawn)
{
    const QString krn = Example(QStringLiteral("roof-truss.krn"));
    const QString dxf = m_dir.filePath(QStringLiteral("model.dxf"));
    const ToolRun exported = Ardela({QStringLiteral("export"), krn, dxf});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    QFile file(dxf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("Korrin_Beams"));
    EXPECT_FALSE(text.contains("Korrin_Plus"));
    EXPECT_FALSE(text.contains("Korrin_Minus"));
    EXPECT_EQ(HostsRunning(), 0);
}

TEST_F(ArdelaExportTest, FailuresExitNonZeroWithTheMessageAndWriteNothing)
{
    const QString dxf = m_dir.filePath(QStringLiteral("never.dxf"));

    // An analysis file that is not one.
    const QString bad = m_dir.filePath(QStringLiteral("bad.krn"));
    {
        QFile file(bad);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a truss");
    }
    ToolRun run = Ardela({QStringLiteral("export"), bad, dxf, QStringLiteral("--solve")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(run.err.isEmpty());

    // A host that cannot be started, and one that ends at once.
    const QString krn = Example(QStringLiteral("roof-truss.krn"));
    run = Ardela({QStringLiteral("export"), krn, dxf}, m_dir.filePath(QStringLiteral("missing-host")));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Could not start AutoCAD. Please reinstall AutoCAD and retry.")))
        << run.err.toStdString();
    const QString quitter = m_dir.filePath(QStringLiteral("quitter"));
    {
        QFile file(quitter);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nexit 3\n");
    }
    QFile::setPermissions(quitter, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    run = Ardela({QStringLiteral("export"), krn, dxf}, quitter);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Could not start AutoCAD.")));

    // A folder that cannot take the drawing: the host's refusal comes back as the save message.
    run = Ardela({QStringLiteral("export"), krn, m_dir.filePath(QStringLiteral("no/such/folder/x.dxf"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("Could not save the drawing."))) << run.err.toStdString();
    EXPECT_EQ(HostsRunning(), 0);

    // Usage errors.
    EXPECT_EQ(Ardela({QStringLiteral("export"), krn}).exitCode, 2);
    EXPECT_EQ(Ardela({QStringLiteral("export"), krn, dxf, QStringLiteral("--colour")}).exitCode, 2);
    EXPECT_FALSE(QFileInfo::exists(dxf));
}

// Replaces the record of setting `index` in a truss file with `record` (hex), walking the
// records as the format lays them out: four counts, 17 x 1024 table cells, the 14 settings.
void SetSettingRecord(const QString& path, int index, const QString& recordHex)
{
    const char* const script = R"(
import struct, sys
path, index, record = sys.argv[1], int(sys.argv[2]), bytes.fromhex(sys.argv[3])
data = open(path, 'rb').read()
sizes = {0: 0, 2: 2, 3: 4, 4: 4, 5: 8, 11: 2}
pos, starts = 8, []
for _ in range(17 * 1024 + 14):
    starts.append(pos)
    code = struct.unpack_from('<h', data, pos)[0]
    pos += 2 + (2 + struct.unpack_from('<h', data, pos + 2)[0] if code == 8 else sizes[code])
assert pos == len(data)
at = starts[17 * 1024 + index]
end = starts[17 * 1024 + index + 1] if index < 13 else len(data)
open(path, 'wb').write(data[:at] + record + data[end:])
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script), path,
                                                      QString::number(index), recordHex});
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
}

TEST_F(ArdelaExportTest, BadLayerColourSettingsAreNamedBeforeAnythingIsDrawn)
{
    const QString dxf = m_dir.filePath(QStringLiteral("never.dxf"));
    // Records: type code 2 (16-bit integer) 0 and 32767, type 8 (text) "red", type 4 (single) NaN.
    const std::pair<const char*, const char*> cases[] = {
        {"02000000", "0"},
        {"0200ff7f", "32767"},
        {"080003007265 64", "\"red\""},
        {"04000000c07f", "nan"},
    };
    for (const auto& [record, shown] : cases) {
        const QString krn = m_dir.filePath(QStringLiteral("colour.krn"));
        QFile::remove(krn);
        ASSERT_TRUE(QFile::copy(SourceDir() + QStringLiteral("/examples/roof-truss.krn"), krn));
        // Position 11 is Layer8, the colour of Korrin_Blocks.
        SetSettingRecord(krn, 11, QString::fromLatin1(record).remove(u' '));
        const ToolRun run = Ardela({QStringLiteral("export"), krn, dxf});
        EXPECT_EQ(run.exitCode, 1) << shown;
        EXPECT_EQ(run.err, QStringLiteral("ardela export: the setting Layer8 (the colour of Korrin_Blocks) is %1; "
                                          "a layer colour is a number from 1 to 255\n").arg(QLatin1String(shown)));
        EXPECT_FALSE(QFileInfo::exists(dxf));
    }
    EXPECT_EQ(HostsRunning(), 0);
}

TEST_F(ArdelaExportTest, CountPastTheLiveRowsIsSaidAsSolveSaysIt)
{
    const QString krn = Example(QStringLiteral("roof-truss.krn"));
    // The roof truss has 21 bars over 12 nodes; a bar count of 22 reaches an empty row.
    {
        QFile file(krn);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(2));
        ASSERT_EQ(file.write(QByteArray("\x16\x00", 2)), 2);
    }
    const QString dxf = m_dir.filePath(QStringLiteral("never.dxf"));
    const ToolRun solved = Ardela({QStringLiteral("solve"), krn});
    const ToolRun exported = Ardela({QStringLiteral("export"), krn, dxf});
    EXPECT_EQ(exported.exitCode, 1);
    EXPECT_TRUE(solved.err.contains(QStringLiteral("(bar 22 names node 0; the model has nodes 1 to 12)"))) << solved.err.toStdString();
    EXPECT_EQ(exported.err, QStringLiteral("There was an error drawing data.\nPlease go back and revise your input.\n"
                                           "(bar 22 names node 0; the model has nodes 1 to 12)\n"));
    EXPECT_FALSE(QFileInfo::exists(dxf));
    EXPECT_EQ(HostsRunning(), 0);
}

TEST_F(ArdelaExportTest, HostThatStopsAnsweringFailsTheExportAfterTheCallTimeOut)
{
    // The host copy is replaced by one that stops itself (SIGSTOP) at its first real call.
    ASSERT_TRUE(QFile::remove(m_host));
    ASSERT_TRUE(QFile::copy(BinDir() + QStringLiteral("/stopping_host"), m_host));
    QFile::setPermissions(m_host, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString krn = Example(QStringLiteral("roof-truss.krn"));
    const QString dxf = m_dir.filePath(QStringLiteral("never.dxf"));
    const ToolRun run = Ardela({QStringLiteral("export"), krn, dxf});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("The drawing host did not answer within 10 s."))) << run.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dxf));
    EXPECT_EQ(HostsRunning(), 0) << "the stopped host is ended";
}

TEST_F(ArdelaExportTest, NamesThatAreNotUtf8AreReadAndWrittenAsTheBytesTheyAre)
{
    Example(QStringLiteral("roof-truss.krn"));
    // Latin-1 "café" and "plan é": the byte 0xE9 alone is not UTF-8. The shell hands the bytes
    // over and checks the drawing landed under them.
    QProcess shell;
    shell.setWorkingDirectory(m_dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("ARDELA_CADHOST"), m_host);
    env.insert(QStringLiteral("ARDELA"), BinDir() + QStringLiteral("/ardela"));
    shell.setProcessEnvironment(env);
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"),
        QStringLiteral("e=$(printf '\\351') && cp roof-truss.krn \"caf$e.krn\" && \"$ARDELA\" export \"caf$e.krn\" \"plan $e.dxf\" --solve "
                       "&& grep -c '^EOF' \"plan $e.dxf\"; ls -A | grep -c ardela-export")});
    ASSERT_TRUE(shell.waitForFinished(120000));
    // One complete drawing (it ends in EOF) under the name given, and no file left under another.
    EXPECT_EQ(shell.readAllStandardOutput(), "1\n0\n") << shell.readAllStandardError().toStdString();
    EXPECT_EQ(HostsRunning(), 0);
}

} // namespace
