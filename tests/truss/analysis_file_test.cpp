// Guards against analysis files that do not round-trip bit for bit, against a corrupt file
// replacing the model (or its file identity) and against a failed save damaging the old file.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include "truss/TrussFile.h"
#include "desktop/FileChooser.h"
#include "support/TestSupport.h"
#include "support/TrussFixtures.h"

using namespace ardela;
using namespace ardela::test;

namespace {

const QString kFileMessage = QStringLiteral("Could not open analysis file");

// Answers the file dialogs with a fixed path (or cancels), counting how often they were shown.
class DialogScript {
public:
    explicit DialogScript(const QString& path)
    {
        auto shown = m_shown;
        auto requests = m_requests;
        m_previous = SetFileDialogHandler([path, shown, requests](FileDialogMode mode, const FileDialogRequest& r)
                                              -> std::optional<FileDialogChoice> {
            ++*shown;
            requests->push_back({mode, r});
            if (path.isEmpty())
                return std::nullopt;
            return ChoiceForPath(path);
        });
    }
    ~DialogScript() { SetFileDialogHandler(m_previous); }
    int Shown() const { return *m_shown; }
    const std::vector<std::pair<FileDialogMode, FileDialogRequest>>& Requests() const { return *m_requests; }

private:
    std::shared_ptr<int> m_shown = std::make_shared<int>(0);
    std::shared_ptr<std::vector<std::pair<FileDialogMode, FileDialogRequest>>> m_requests =
        std::make_shared<std::vector<std::pair<FileDialogMode, FileDialogRequest>>>();
    FileDialogHandler m_previous;
};

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void WriteFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// A model using every cell kind, in live rows and far above the counts.
std::unique_ptr<TrussModel> EveryKindModel()
{
    auto m = MakeTruss({{0, 0}, {100, 0}}, {{1, 2, 10.0f, 2.1e6f}}, {{1, 1, 1}}, {{2, 5.0f, -2.5f}});
    m->Nodes(1, 3) = Cell(std::int32_t(123456789));
    m->Elements(1, 5) = Cell(100.0);
    m->Elements(1, 6) = Cell(-0.0);
    m->Elements(700, 3) = Cell(QStringLiteral("stale text é"));
    m->Blocks(1024, 5) = Cell(true);
    m->Blocks(1023, 5) = Cell(false);
    m->Loads(1024, 3) = Cell(std::numeric_limits<double>::denorm_min());
    m->Loads(512, 2) = Cell(std::int16_t(-32768));
    m->Nodes(1000, 2) = Cell(QString());
    return m;
}

// Hand-laid little-endian pieces, independent of the writer.
QByteArray I16(int v) { char b[2]; qToLittleEndian<qint16>(qint16(v), b); return QByteArray(b, 2); }
QByteArray I32(qint32 v) { char b[4]; qToLittleEndian<qint32>(v, b); return QByteArray(b, 4); }
QByteArray F32(float v) { quint32 u; std::memcpy(&u, &v, 4); char b[4]; qToLittleEndian<quint32>(u, b); return QByteArray(b, 4); }
QByteArray F64(double v) { quint64 u; std::memcpy(&u, &v, 8); char b[8]; qToLittleEndian<quint64>(u, b); return QByteArray(b, 8); }
QByteArray Empties(int n) { return QByteArray(2 * n, '\0'); }

class AnalysisFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TrussModel> model = std::make_unique<TrussModel>();
    SettingsArray settings = DefaultSettings();
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    AnalysisFileKind Kind() { return TrussFileKind(*model, settings); }
};

} // namespace

TEST_F(AnalysisFileTest, AnAllEmptyModelWritesCountsAndOneTypeCodePerRecord)
{
    for (Cell& s : settings)
        s = Cell();
    const QByteArray image = WriteTrussFile(*model, settings);
    EXPECT_EQ(image.size(), 8 + 2 * 17422);
    EXPECT_EQ(image.size(), kEmptyTrussFileSize);
    EXPECT_EQ(image.count('\0'), image.size());
}

TEST_F(AnalysisFileTest, SaveAndOpenRestoreEveryRowAndCellKindBitForBit)
{
    auto original = EveryKindModel();
    SettingsArray originalSettings = DefaultSettings();
    originalSettings[SetColor] = Cell(false);
    originalSettings[SetTension] = Cell(std::int16_t(0));
    originalSettings[SetLayer6] = Cell(std::int16_t(33));
    const QString path = Path("frame.krn");
    {
        DialogScript dialog(path);
        MessageRecorder messages;
        AnalysisFileKind kind = TrussFileKind(*original, originalSettings);
        ASSERT_TRUE(SaveAnalysisFile(kind));
        EXPECT_EQ(dialog.Shown(), 1);
        EXPECT_EQ(original->AnalysisPath, path);
        EXPECT_EQ(original->AnalysisTitle, QStringLiteral("frame.krn"));
        EXPECT_TRUE(messages.Messages().empty());
    }
    {
        DialogScript dialog(path);
        ASSERT_TRUE(OpenAnalysisFile(Kind()));
        ASSERT_EQ(dialog.Requests().size(), 1u);
        const FileDialogRequest& r = dialog.Requests()[0].second;
        EXPECT_EQ(r.dialogTitle, QStringLiteral("Open a Korrin file"));
        EXPECT_EQ(r.filter, QStringLiteral("Korrin File (*.krn)|*.krn|All Files (*.*)|*.*"));
        EXPECT_EQ(r.extension, QStringLiteral("krn"));
        EXPECT_EQ(r.flags, 6144);
    }
    EXPECT_EQ(model->NodeCount, 2);
    EXPECT_EQ(model->LoadCount, 1);
    EXPECT_TRUE(model->Nodes == original->Nodes);
    EXPECT_TRUE(model->Elements == original->Elements);
    EXPECT_TRUE(model->Blocks == original->Blocks);
    EXPECT_TRUE(model->Loads == original->Loads);
    EXPECT_EQ(settings, originalSettings);
    EXPECT_EQ(model->Elements(1, 1).GetKind(), Cell::Kind::Int16);
    EXPECT_EQ(model->Elements(1, 3).GetKind(), Cell::Kind::Single);
    EXPECT_EQ(model->Elements(700, 3).TextValue(), QStringLiteral("stale text é"));
    EXPECT_EQ(model->AnalysisPath, path);
    // Writing what was read gives the same bytes.
    EXPECT_EQ(WriteTrussFile(*model, settings), ReadFile(path));
}

TEST_F(AnalysisFileTest, AFileLaidOutByHandIsReadIntoTheRightCells)
{
    QByteArray f;
    f += I16(2) + I16(1) + I16(1) + I16(0);
    // Nodes column 1: rows 1-2 singles 0 and 3.5, rest empty.
    f += I16(4) + F32(0.0f) + I16(4) + F32(3.5f) + Empties(1022);
    // Nodes column 2: row 1 double -1.25, row 2 text "7" (length 1).
    f += I16(5) + F64(-1.25) + I16(8) + I16(1) + QByteArray("7") + Empties(1022);
    // Nodes column 3: row 1 a 32-bit ObjectID.
    f += I16(3) + I32(70000) + Empties(1023);
    // Elements columns 1-6: I = 1, J = 2 (16-bit), A = 2, E = 1000, then empty columns.
    f += I16(2) + I16(1) + Empties(1023);
    f += I16(2) + I16(2) + Empties(1023);
    f += I16(4) + F32(2.0f) + Empties(1023);
    f += I16(4) + F32(1000.0f) + Empties(1023);
    f += Empties(2 * 1024);
    // Blocks: node 1, true, false (all bits set / 0), reactions empty.
    f += I16(2) + I16(1) + Empties(1023);
    f += I16(11) + I16(-1) + Empties(1023);
    f += I16(11) + I16(0) + Empties(1023);
    f += Empties(2 * 1024);
    // Loads: empty.
    f += Empties(3 * 1024);
    // Settings: TextHeight "2.5" as text, the rest empty.
    f += I16(8) + I16(3) + QByteArray("2.5") + Empties(13);
    const QString path = Path("hand.krn");
    WriteFile(path, f);

    DialogScript dialog(path);
    ASSERT_TRUE(OpenAnalysisFile(Kind()));
    EXPECT_EQ(model->NodeCount, 2);
    EXPECT_EQ(model->ElementCount, 1);
    EXPECT_EQ(model->BlockCount, 1);
    EXPECT_EQ(model->LoadCount, 0);
    EXPECT_EQ(model->Nodes(2, 1), Cell(3.5f));
    EXPECT_EQ(model->Nodes(1, 2), Cell(-1.25));
    EXPECT_EQ(model->Nodes(2, 2), Cell(QStringLiteral("7")));
    EXPECT_EQ(model->Nodes(1, 3), Cell(std::int32_t(70000)));
    EXPECT_EQ(model->Elements(1, 2), Cell(std::int16_t(2)));
    EXPECT_EQ(model->Elements(1, 4), Cell(1000.0f));
    EXPECT_EQ(model->Blocks(1, 2), Cell(true));
    EXPECT_EQ(model->Blocks(1, 3), Cell(false));
    EXPECT_EQ(settings[SetTextHeight], Cell(QStringLiteral("2.5")));
    EXPECT_TRUE(settings[SetScaleFactor].IsEmpty());
}

TEST_F(AnalysisFileTest, ACorruptFileShowsTheMessageAndChangesNothing)
{
    auto good = EveryKindModel();
    const QByteArray image = WriteTrussFile(*good, DefaultSettings());
    QByteArray unknownType = image;
    unknownType[8] = 7;  // first Nodes record: type 7 does not exist
    QByteArray textPastEnd = WriteTrussFile(*good, DefaultSettings());
    {
        // The last settings record is the text "20": make its length run past the end.
        const qsizetype at = textPastEnd.size() - 2 - 2;
        ASSERT_EQ(textPastEnd.mid(at - 2, 2), I16(8));
        textPastEnd.replace(at, 2, I16(50));
    }
    struct Case { const char* name; QByteArray bytes; };
    const std::vector<Case> cases = {
        {"truncated inside the tables", image.left(image.size() / 2)},
        {"truncated inside a value", image.left(9 + 2)},
        {"empty file", QByteArray()},
        {"unknown type code", unknownType},
        {"text length past the end of the file", textPastEnd},
        {"negative node count", I16(-1) + image.mid(2)},
        {"element count above 1024", image.left(2) + I16(1025) + image.mid(4)},
        {"bytes after the last record", image + QByteArray("xx")},
    };
    // The model in memory has its own file and contents.
    model = EveryKindModel();
    model->AnalysisPath = QStringLiteral("/somewhere/current.krn");
    model->AnalysisTitle = QStringLiteral("current.krn");
    settings[SetTextHeight] = Cell(QStringLiteral("9"));
    const QByteArray before = WriteTrussFile(*model, settings);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = Path("bad.krn");
        WriteFile(path, c.bytes);
        DialogScript dialog(path);
        MessageRecorder messages;
        EXPECT_FALSE(OpenAnalysisFile(Kind()));
        ASSERT_EQ(messages.Messages().size(), 1u);
        // The fixed message, then the file and what is wrong with it on the next line.
        EXPECT_TRUE(messages.Messages()[0].prompt.startsWith(kFileMessage + QStringLiteral("\r\n") + path + QStringLiteral(": ")))
            << messages.Messages()[0].prompt.toStdString();
        EXPECT_EQ(messages.Messages()[0].style, MsgCritical);
        EXPECT_EQ(WriteTrussFile(*model, settings), before);
        EXPECT_EQ(model->AnalysisPath, QStringLiteral("/somewhere/current.krn"));
        EXPECT_EQ(model->AnalysisTitle, QStringLiteral("current.krn"));
    }
}

TEST_F(AnalysisFileTest, AMissingFileFailsWithTheMessage)
{
    DialogScript dialog(Path("nowhere.krn"));
    MessageRecorder messages;
    EXPECT_FALSE(OpenAnalysisFile(Kind()));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_TRUE(model->AnalysisPath.isEmpty());
}

TEST_F(AnalysisFileTest, CancellingEitherDialogChangesNothingAndSaysNothing)
{
    DialogScript cancel{QString()};
    MessageRecorder messages;
    model->Nodes(1, 1) = Cell(4.0f);
    EXPECT_FALSE(OpenAnalysisFile(Kind()));
    EXPECT_FALSE(SaveAnalysisFile(Kind()));
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_TRUE(model->AnalysisPath.isEmpty());
    EXPECT_EQ(model->Nodes(1, 1), Cell(4.0f));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 0);
}

TEST_F(AnalysisFileTest, OnlyTheFirstSaveAsksForANameUntilTheModelIsReset)
{
    const QString path = Path("bridge.krn");
    DialogScript dialog(path);
    ASSERT_TRUE(SaveAnalysisFile(Kind()));
    ASSERT_TRUE(SaveAnalysisFile(Kind()));
    ASSERT_TRUE(SaveAnalysisFile(Kind()));
    EXPECT_EQ(dialog.Shown(), 1);
    EXPECT_EQ(dialog.Requests()[0].first, FileDialogMode::Save);
    EXPECT_TRUE(dialog.Requests()[0].second.dialogTitle.isEmpty());
    EXPECT_EQ(dialog.Requests()[0].second.extension, QStringLiteral("krn"));
    ResetModel(*model);
    ASSERT_TRUE(SaveAnalysisFile(Kind()));
    EXPECT_EQ(dialog.Shown(), 2);
}

TEST_F(AnalysisFileTest, AFailedSaveLeavesThePreviousFileIntact)
{
    const QString path = Path("keep.krn");
    model = EveryKindModel();
    model->AnalysisPath = path;
    model->AnalysisTitle = QStringLiteral("keep.krn");
    ASSERT_TRUE(SaveAnalysisFile(Kind()));
    const QByteArray saved = ReadFile(path);

    // A text too long for its record makes the save fail before the file is touched.
    model->Nodes(5, 1) = Cell(QString(40000, u'x'));
    MessageRecorder messages;
    EXPECT_FALSE(SaveAnalysisFile(Kind()));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_TRUE(messages.Messages()[0].prompt.startsWith(kFileMessage + QStringLiteral("\r\n")));
    EXPECT_TRUE(messages.Messages()[0].prompt.contains(QStringLiteral("too long"))) << messages.Messages()[0].prompt.toStdString();
    EXPECT_EQ(ReadFile(path), saved);

    // A target that cannot be written (a folder of that name) fails the same way.
    model->Nodes(5, 1) = Cell();
    model->AnalysisPath = dir.path();
    EXPECT_FALSE(SaveAnalysisFile(Kind()));
    EXPECT_EQ(messages.Messages().size(), 2u);
}

TEST_F(AnalysisFileTest, TextsAreStoredInTheUsersAnsiCodePage)
{
    auto check = [this](const char* locale, const QString& text, const QByteArray& expected) {
        ScopedLocale scoped(locale);
        model->Nodes(3, 3) = Cell(text);
        const QByteArray image = WriteTrussFile(*model, settings);
        EXPECT_TRUE(image.contains(I16(8) + I16(int(expected.size())) + expected)) << locale;
        auto back = std::make_unique<TrussModel>();
        SettingsArray s;
        ReadTrussFile(image, *back, s);
        EXPECT_EQ(back->Nodes(3, 3).TextValue(), text) << locale;
    };
    check("en_US", QStringLiteral("Stahl é"), QByteArray("Stahl \xE9"));
    check("ro_RO", QStringLiteral("oţel ăâîş"), QByteArray("o\xFE" "el \xE3\xE2\xEE\xBA"));
    // A character the code page lacks is stored as "?".
    ScopedLocale english("en_US");
    model->Nodes(3, 3) = Cell(QStringLiteral("\u0219"));
    EXPECT_TRUE(WriteTrussFile(*model, settings).contains(I16(8) + I16(1) + QByteArray("?")));
}

TEST_F(AnalysisFileTest, TextBytesTheCodePageLeavesUndefinedReadAndWriteBackUnchanged)
{
    ScopedLocale locale("en_US");
    // 0x81, 0x8D, 0x8F, 0x90 and 0x9D have no character in Windows-1252.
    const QByteArray raw("a\x81\x8D\x8F\x90\x9D" "b");
    model->Nodes(7, 1) = Cell(QStringLiteral("x"));
    QByteArray image = WriteTrussFile(*model, settings);
    const QByteArray record = I16(8) + I16(1) + QByteArray("x");
    const qsizetype at = image.indexOf(record);
    ASSERT_GE(at, 0);
    image.replace(at, record.size(), I16(8) + I16(int(raw.size())) + raw);
    auto back = std::make_unique<TrussModel>();
    SettingsArray s;
    ReadTrussFile(image, *back, s);
    EXPECT_EQ(WriteTrussFile(*back, s), image);
}

TEST_F(AnalysisFileTest, AFailedSaveSaysWhyAndLeavesTheModelAsUnsavedAsBefore)
{
    // A new model: the chosen folder vanishes before the file is written.
    const QString gone = Path("gone");
    ASSERT_TRUE(QDir().mkpath(gone));
    const QString target = gone + QStringLiteral("/bridge.krn");
    ASSERT_TRUE(QDir(gone).removeRecursively());
    model = EveryKindModel();
    {
        DialogScript dialog(target);
        MessageRecorder messages;
        EXPECT_FALSE(SaveAnalysisFile(Kind()));
        ASSERT_EQ(messages.Messages().size(), 1u);
        const QString prompt = messages.Messages()[0].prompt;
        EXPECT_TRUE(prompt.startsWith(kFileMessage + QStringLiteral("\r\n"))) << prompt.toStdString();
        EXPECT_TRUE(prompt.contains(QStringLiteral("the folder %1 does not exist").arg(gone))) << prompt.toStdString();
        // Still a model without a file: the next save asks for a name again.
        EXPECT_TRUE(model->AnalysisPath.isEmpty());
        EXPECT_TRUE(model->AnalysisTitle.isEmpty());
    }
    const QString good = Path("bridge.krn");
    DialogScript again(good);
    EXPECT_TRUE(SaveAnalysisFile(Kind()));
    EXPECT_EQ(again.Shown(), 1);
    EXPECT_EQ(model->AnalysisPath, good);

    // A saved model whose folder turned into a file keeps its name and says why.
    const QString blocked = Path("blocked");
    ASSERT_TRUE(QDir().mkpath(blocked));
    model->AnalysisPath = blocked + QStringLiteral("/b.krn");
    model->AnalysisTitle = QStringLiteral("b.krn");
    ASSERT_TRUE(QDir(blocked).removeRecursively());
    WriteFile(blocked, "a file where the folder was");
    MessageRecorder messages;
    EXPECT_FALSE(SaveAnalysisFile(Kind()));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_TRUE(messages.Messages()[0].prompt.contains(QStringLiteral("is a file, not a folder"))) << messages.Messages()[0].prompt.toStdString();
    EXPECT_EQ(model->AnalysisPath, blocked + QStringLiteral("/b.krn"));
    EXPECT_EQ(model->AnalysisTitle, QStringLiteral("b.krn"));
}
