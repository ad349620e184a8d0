// frmSetup: Setup's one dialog (resource 129): welcome text, two status lines, Setup and Close;
// Setup removes every installed earlier release of the suite and then installs "Ardela.msi".
#pragma once

#include <memory>

#include <QDialog>
#include <QMap>
#include <QStringList>

class QLabel;
class QPushButton;
class QTemporaryDir;

namespace ardela::installer {

class frmSetup : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog template.
    static constexpr int kIdSetup = 1;
    static constexpr int kIdClose = 2;
    static constexpr int kIdText = 201;
    static constexpr int kIdStatus1 = 202;
    static constexpr int kIdStatus2 = 203;

    static const QString kCaption;
    static const QString kPackageName;
    static const QString kUpgradeCodeQuery;
    static const QString kWelcomeText;
    static const QString kFinishedText;
    static const QString kFailedText;
    static const QString kCancelledText;
    static const QString kNotRemovedStatus;
    static const QString kPutBackNote;
    static const QString kPutBackNotePlural;

    explicit frmSetup(QWidget* parent = nullptr);
    ~frmSetup() override;

    // The control with template id `id` (nullptr for an unknown id), its text, and setting it.
    QWidget* GetDlgItem(int id) const;
    QString GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const QString& text);

signals:
    // Close was pressed: the dialog is gone and the program should end with code 0.
    void Closed();

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void cmdSetup_Click();
    void cmdClose_Click();
    void RemoveEarlierReleases();
    void InstallPackage();
    // Installs again, quietly, every earlier release this run removed (from copies of their
    // cached packages kept meanwhile); true when all came back.
    bool PutBackRemovedReleases();
    void CentreOnScreen();

    QPushButton* cmdSetup;
    QPushButton* cmdClose;
    QLabel* lblText;
    QLabel* lblStatus1;
    QLabel* lblStatus2;
    QMap<int, QString> m_texts;
    bool m_centred = false;
    bool m_running = false;
    // Copies of the cached packages of the releases removed in this run.
    std::unique_ptr<QTemporaryDir> m_kept;
    QStringList m_removed;
};

} // namespace ardela::installer
