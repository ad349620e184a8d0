// Guards against: a root folder losing its separator or a sub-folder keeping one, multi-select
// collections built wrong, the default extension not normalised, cancel overwriting the result,
// flags set or cleared by the wrong property, filters converted wrong, the seam not reaching the
// analysis-file routines.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>

#include "desktop/Comdlg.h"
#include "desktop/FileChooser.h"
#include "support/TestSupport.h"
#include "support/WindowTest.h"

using namespace ardela;

namespace {

// Answers every dialog with `files` (nothing = cancel) and records what was asked.
class PreparedDialog {
public:
    explicit PreparedDialog(std::optional<QStringList> files, int filterIndex = 1)
    {
        m_previous = Comdlg::SetRunner([this, files, filterIndex](const ComdlgRequest& request) -> std::optional<ComdlgResult> {
            requests.push_back(request);
            if (!files)
                return std::nullopt;
            return ComdlgResult{*files, filterIndex};
        });
    }
    ~PreparedDialog() { Comdlg::SetRunner(m_previous); }
    std::vector<ComdlgRequest> requests;

private:
    ComdlgRunner m_previous;
};

} // namespace

TEST(Comdlg, FileInRootFolderKeepsTheSeparatorInDirectory)
{
    PreparedDialog dialog(QStringList{QStringLiteral("/frame.krn")});
    Comdlg comdlg;
    ASSERT_TRUE(comdlg.ShowOpen());
    EXPECT_EQ(comdlg.FileName(), QStringLiteral("/frame.krn"));
    EXPECT_EQ(comdlg.FileTitle(), QStringLiteral("frame.krn"));
    EXPECT_EQ(comdlg.Directory(), QStringLiteral("/"));
    EXPECT_EQ(comdlg.Extension(), QStringLiteral("krn"));
}

TEST(Comdlg, FileInSubFolderHasNoTrailingSeparator)
{
    PreparedDialog dialog(QStringList{QStringLiteral("/home/eng/bridges/span 2.dxf")});
    Comdlg comdlg;
    comdlg.RestoreCurDir(true);
    ASSERT_TRUE(comdlg.ShowSave());
    EXPECT_EQ(comdlg.Directory(), QStringLiteral("/home/eng/bridges"));
    EXPECT_EQ(comdlg.FileTitle(), QStringLiteral("span 2.dxf"));
    EXPECT_EQ(comdlg.Extension(), QStringLiteral("dxf"));
    EXPECT_EQ(comdlg.FileNames(), QStringList{QStringLiteral("/home/eng/bridges/span 2.dxf")});
    EXPECT_EQ(comdlg.FileTitles(), QStringList{QStringLiteral("span 2.dxf")});
}

TEST(Comdlg, ThreeFilesChosenFillTheCollectionsAndEmptyFileName)
{
    PreparedDialog dialog(QStringList{QStringLiteral("/work/a.dwg"), QStringLiteral("/work/b.dwg"), QStringLiteral("/work/c.dxf")});
    Comdlg comdlg;
    comdlg.AllowMultiSelect(true);
    comdlg.RestoreCurDir(true);
    ASSERT_TRUE(comdlg.ShowOpen());
    EXPECT_EQ(comdlg.FileName(), QString());
    EXPECT_EQ(comdlg.FileTitle(), QString());
    EXPECT_EQ(comdlg.Directory(), QStringLiteral("/work"));
    EXPECT_EQ(comdlg.FileNames(),
              (QStringList{QStringLiteral("/work/a.dwg"), QStringLiteral("/work/b.dwg"), QStringLiteral("/work/c.dxf")}));
    EXPECT_EQ(comdlg.FileTitles(), (QStringList{QStringLiteral("a.dwg"), QStringLiteral("b.dwg"), QStringLiteral("c.dxf")}));
    EXPECT_TRUE(dialog.requests.at(0).flags & OFN_ALLOWMULTISELECT);

    // Files from the root folder join it without a doubled separator; later dialogs append.
    PreparedDialog root(QStringList{QStringLiteral("/x.dwg"), QStringLiteral("/y.dwg")});
    ASSERT_TRUE(comdlg.ShowOpen());
    EXPECT_EQ(comdlg.Directory(), QStringLiteral("/"));
    EXPECT_EQ(comdlg.FileNames().size(), 5);
    EXPECT_EQ(comdlg.FileNames().mid(3), (QStringList{QStringLiteral("/x.dwg"), QStringLiteral("/y.dwg")}));
}

TEST(Comdlg, DefaultExtensionIsThreeLowerCaseLettersWithoutDots)
{
    PreparedDialog dialog(std::nullopt);
    Comdlg comdlg;
    comdlg.Extension(QStringLiteral(".DWG"));
    comdlg.ShowSave();
    comdlg.Extension(QStringLiteral("KRNX"));
    comdlg.ShowSave();
    comdlg.Extension(QStringLiteral("d.x.f"));
    comdlg.ShowSave();
    ASSERT_EQ(dialog.requests.size(), 3u);
    EXPECT_EQ(dialog.requests[0].defaultExtension, QStringLiteral("dwg"));
    EXPECT_EQ(dialog.requests[1].defaultExtension, QStringLiteral("krn"));
    EXPECT_EQ(dialog.requests[2].defaultExtension, QStringLiteral("dxf"));
}

TEST(Comdlg, CancelReturnsFalseAndKeepsTheEarlierResult)
{
    Comdlg comdlg;
    {
        PreparedDialog chosen(QStringList{QStringLiteral("/data/truss.krn")});
        comdlg.RestoreCurDir(true);
        ASSERT_TRUE(comdlg.ShowOpen());
    }
    PreparedDialog cancelled(std::nullopt);
    comdlg.FileName(QStringLiteral("/data/other.krn"));
    EXPECT_FALSE(comdlg.ShowOpen());
    EXPECT_EQ(comdlg.FileName(), QStringLiteral("/data/truss.krn"));
    EXPECT_EQ(comdlg.FileTitle(), QStringLiteral("truss.krn"));
    EXPECT_EQ(comdlg.FileNames().size(), 1);
    EXPECT_EQ(cancelled.requests.at(0).initialFileName, QStringLiteral("/data/other.krn"));
}

TEST(Comdlg, PropertiesSetAndClearTheirFlags)
{
    Comdlg comdlg;
    EXPECT_EQ(comdlg.Flags(), 0x80000 + 0x200000 + 0x4);
    comdlg.AllowMultiSelect(true);
    comdlg.RestoreCurDir(true);
    comdlg.CheckBoxVisible(true);
    EXPECT_EQ(comdlg.Flags(), 0x80000 + 0x200000 + 0x200 + 0x8);
    comdlg.CheckBoxVisible(false);
    comdlg.AllowMultiSelect(false);
    comdlg.RestoreCurDir(false);
    EXPECT_EQ(comdlg.Flags(), 0x80000 + 0x200000 + 0x4);
    comdlg.ExistFlags(6144);
    comdlg.ExistFlags(0);
    EXPECT_EQ(comdlg.Flags(), 0x80000 + 0x200000 + 0x4 + 0x1000 + 0x800);
    EXPECT_FALSE(comdlg.CheckBoxSelected());
    comdlg.CheckBoxSelected(true);
    EXPECT_TRUE(comdlg.CheckBoxSelected());

    // The read-only box shows when it is ticked; saving drops multi-select and asks before
    // overwriting.
    PreparedDialog dialog(std::nullopt);
    comdlg.AllowMultiSelect(true);
    comdlg.ShowSave();
    const std::int32_t sent = dialog.requests.at(0).flags;
    EXPECT_FALSE(sent & OFN_HIDEREADONLY);
    EXPECT_FALSE(sent & OFN_ALLOWMULTISELECT);
    EXPECT_TRUE(sent & OFN_OVERWRITEPROMPT);
    EXPECT_TRUE(sent & OFN_PATHMUSTEXIST);
    EXPECT_TRUE(sent & OFN_FILEMUSTEXIST);
}

TEST(Comdlg, FilterBecomesDialogFiltersAndIndexRoundTrips)
{
    Comdlg comdlg;
    comdlg.Filter(QStringLiteral("Drawing  (*.dwg)|*.dwg|DXF (*.dxf)|*.dxf"));
    EXPECT_EQ(comdlg.SystemFilter(), QStringLiteral("Drawing  (*.dwg)\0*.dwg\0DXF (*.dxf)\0*.dxf\0"));
    EXPECT_EQ(comdlg.SystemFilter().size(), 41);
    EXPECT_EQ(Comdlg::NameFilters(comdlg.SystemFilter()),
              (QStringList{QStringLiteral("Drawing  (*.dwg)"), QStringLiteral("DXF (*.dxf)")}));
    Comdlg other;
    other.Filter(QStringLiteral("Korrin File|*.krn|All Files|*.*|Pictures|*.png;*.bmp"));
    EXPECT_EQ(Comdlg::NameFilters(other.SystemFilter()),
              (QStringList{QStringLiteral("Korrin File (*.krn)"), QStringLiteral("All Files (*.*)"),
                           QStringLiteral("Pictures (*.png *.bmp)")}));

    PreparedDialog dialog(QStringList{QStringLiteral("/d/a.dxf")}, 2);
    comdlg.FilterIndex(0);
    comdlg.DialogTitle(QStringLiteral("Open Drawing"));
    comdlg.Directory(QStringLiteral("/d"));
    comdlg.RestoreCurDir(true);
    ASSERT_TRUE(comdlg.ShowOpen());
    EXPECT_EQ(dialog.requests.at(0).filterIndex, 1);
    EXPECT_EQ(dialog.requests.at(0).title, QStringLiteral("Open Drawing"));
    EXPECT_EQ(dialog.requests.at(0).initialDirectory, QStringLiteral("/d"));
    EXPECT_EQ(comdlg.FilterIndex(), 2);
}

TEST(Comdlg, OverlongInitialNameIsIgnored)
{
    PreparedDialog dialog(std::nullopt);
    Comdlg comdlg;
    comdlg.FileName(QStringLiteral("/a.krn"));
    comdlg.FileName(QString(261, QLatin1Char('x')));
    comdlg.ShowOpen();
    EXPECT_EQ(dialog.requests.at(0).initialFileName, QStringLiteral("/a.krn"));
}

TEST(Comdlg, ConfirmedChoiceMovesTheCurrentFolderUnlessRestoreIsSet)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString before = QDir::currentPath();
    const QString file = QDir(dir.path()).filePath(QStringLiteral("a.krn"));
    PreparedDialog dialog(QStringList{file});
    Comdlg keep;
    keep.RestoreCurDir(true);
    ASSERT_TRUE(keep.ShowOpen());
    EXPECT_EQ(QDir::currentPath(), before);
    Comdlg move;
    ASSERT_TRUE(move.ShowOpen());
    EXPECT_EQ(QDir(QDir::currentPath()).canonicalPath(), QDir(dir.path()).canonicalPath());
    QDir::setCurrent(before);
}

TEST(Comdlg, InstalledAsTheAnalysisFileDialog)
{
    InstallFileDialogs();
    PreparedDialog dialog(QStringList{QStringLiteral("/projects/roof.krn")});
    FileDialogRequest request;
    request.dialogTitle = QStringLiteral("Open Analysis");
    request.filter = QStringLiteral("Korrin File (*.krn)|*.krn");
    request.extension = QStringLiteral("krn");
    request.flags = 6144;
    const std::optional<FileDialogChoice> choice = ShowFileDialog(FileDialogMode::Open, request);
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->fileName, QStringLiteral("/projects/roof.krn"));
    EXPECT_EQ(choice->fileTitle, QStringLiteral("roof.krn"));
    const ComdlgRequest& sent = dialog.requests.at(0);
    EXPECT_FALSE(sent.save);
    EXPECT_EQ(sent.flags & 6144, 6144);
    EXPECT_EQ(sent.nameFilters, QStringList{QStringLiteral("Korrin File (*.krn)")});
    EXPECT_EQ(sent.defaultExtension, QStringLiteral("krn"));
    SetFileDialogHandler(nullptr);
}

class RealFileDialog : public ardela::test::WindowTest {};

TEST_F(RealFileDialog, ChoosingAFileInQtDialogReachesTheResults)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = QDir(dir.path()).filePath(QStringLiteral("beam.krn"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    QStringList filtersShown;
    ardela::test::WhenModalShown([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        filtersShown = dialog->nameFilters();
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    Comdlg comdlg;
    comdlg.Filter(QStringLiteral("Korrin File (*.krn)|*.krn|All Files|*.*"));
    comdlg.Directory(dir.path());
    comdlg.ExistFlags(6144);
    comdlg.RestoreCurDir(true);
    ASSERT_TRUE(comdlg.ShowOpen());
    EXPECT_EQ(QFileInfo(comdlg.FileName()).canonicalFilePath(), QFileInfo(path).canonicalFilePath());
    EXPECT_EQ(comdlg.FileTitle(), QStringLiteral("beam.krn"));
    EXPECT_EQ(filtersShown, (QStringList{QStringLiteral("Korrin File (*.krn)"), QStringLiteral("All Files (*.*)")}));
}

TEST_F(RealFileDialog, SavingANameWithoutExtensionGetsTheDefaultOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ardela::test::WhenModalShown([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        dialog->selectFile(QDir(dir.path()).filePath(QStringLiteral("roof")));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    Comdlg comdlg;
    comdlg.Filter(QStringLiteral("Korrin File (*.krn)|*.krn"));
    comdlg.Directory(dir.path());
    comdlg.Extension(QStringLiteral(".KRN"));
    comdlg.RestoreCurDir(true);
    ASSERT_TRUE(comdlg.ShowSave());
    EXPECT_EQ(comdlg.FileTitle(), QStringLiteral("roof.krn"));
    EXPECT_EQ(comdlg.Extension(), QStringLiteral("krn"));
    EXPECT_EQ(QDir(comdlg.Directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
}
