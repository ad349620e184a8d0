// Comdlg: the open-file and save-file dialogs behind a few properties, with the flags, filters and
// result members the wizards rely on.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

class QWidget;

namespace ardela {

// The open-file-name flags the properties touch.
enum ComdlgFlag : std::int32_t {
    OFN_READONLY = 0x1,
    OFN_OVERWRITEPROMPT = 0x2,
    OFN_HIDEREADONLY = 0x4,
    OFN_NOCHANGEDIR = 0x8,
    OFN_ALLOWMULTISELECT = 0x200,
    OFN_PATHMUSTEXIST = 0x800,
    OFN_FILEMUSTEXIST = 0x1000,
    OFN_EXPLORER = 0x80000,
    OFN_LONGNAMES = 0x200000,
};

// What the platform dialog is asked for.
struct ComdlgRequest {
    bool save = false;
    QWidget* owner = nullptr;
    QString title;
    QStringList nameFilters;   // "Drawing  (*.dwg)", "DXF (*.dxf)": one per filter pair
    int filterIndex = 1;       // 1-based, as the dialog reports it back
    QString initialDirectory;
    QString initialFileName;
    QString defaultExtension;  // without the dot
    std::int32_t flags = 0;
};

// What the platform dialog answers: the chosen files as absolute paths with this platform's
// separator, and the 1-based filter the user ended on. nullopt when the user cancelled.
struct ComdlgResult {
    QStringList files;
    int filterIndex = 1;
};
using ComdlgRunner = std::function<std::optional<ComdlgResult>(const ComdlgRequest&)>;

class Comdlg {
public:
    Comdlg();

    void AllowMultiSelect(bool allow);
    void DialogTitle(const QString& title);
    // "Description|pattern|Description|pattern", patterns separated by ";".
    void Filter(const QString& filter);
    void FilterIndex(std::int32_t index);
    std::int32_t FilterIndex() const { return m_filterIndex; }
    void RestoreCurDir(bool restore);
    void ExistFlags(std::int32_t flags);
    void CheckBoxVisible(bool visible);
    void CheckBoxSelected(bool selected);
    bool CheckBoxSelected() const { return m_flags & OFN_READONLY; }
    // Set: the initial file name (a text longer than 260 characters is ignored). Get: the result.
    void FileName(const QString& name);
    QString FileName() const { return m_fileName; }
    const QStringList& FileNames() const { return m_fileNames; }
    QString FileTitle() const { return m_fileTitle; }
    const QStringList& FileTitles() const { return m_fileTitles; }
    // Set: the initial directory. Get: the folder of the result (a root folder keeps its separator).
    void Directory(const QString& directory);
    QString Directory() const { return m_directory; }
    // Set: the default extension: the dots removed, the first 3 characters in lower case.
    // Get: the extension of the result.
    void Extension(const QString& extension);
    QString Extension() const { return m_extension; }

    std::int32_t Flags() const { return m_flags; }
    // The filter in the system's form: each "|" a NUL, and a NUL appended.
    QString SystemFilter() const { return m_filter; }

    // Run the dialog; true when the user confirmed a choice.
    bool ShowOpen();
    bool ShowSave();

    // The dialog filters of a "|"-separated filter text, one per description and pattern pair.
    static QStringList NameFilters(const QString& systemFilter);
    // Who runs the dialog: QFileDialog in the programs, a prepared answer in tests. Returns the
    // previous runner; an empty runner restores QFileDialog.
    static ComdlgRunner SetRunner(ComdlgRunner runner);

private:
    bool Show(bool save);

    std::int32_t m_flags;
    QString m_title;
    QString m_filter;
    std::int32_t m_filterIndex = 0;
    QString m_initialFileName;
    QString m_initialDirectory;
    QString m_defaultExtension;

    QString m_fileName;
    QString m_fileTitle;
    QString m_directory;
    QString m_extension;
    QStringList m_fileNames;
    QStringList m_fileTitles;
};

// Makes Comdlg the dialog behind the analysis-file routines' file-dialog seam.
void InstallFileDialogs();

// The dialog run by QFileDialog.
std::optional<ComdlgResult> RunFileDialog(const ComdlgRequest& request);

} // namespace ardela
