// TformSs: the interfaces dialog.  The user picks one of three wholesaler
// interfaces (DGH, Fowis, Fotoco) on a page control, sets the source and
// target paths and the options, and starts the processing.  The dialog owns
// its controls, the run report, the settings file object and everything the
// runs keep between two starts (DialogKeep); runs see it through RunHost.
#ifndef ZER1_DIALOG_FORM_SS_H
#define ZER1_DIALOG_FORM_SS_H

#include <QDialog>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "run/run_host.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QStatusBar;
class QTabWidget;
class QToolButton;
class QWidget;

namespace zer1 {

struct ArchiveInputKeys;
class ParameterTable;
class TAbZipper;
class TNumberEdit;

// The pages of pgSS, in their order.
enum class InterfacePage { kDgh = 0, kFowis = 1, kFotoco = 2 };

// What the dialog is created with.
struct FormSsSetup {
    std::string data_path;          // the host's first argument, unchanged
    std::string program_directory;  // with its trailing "/"
    InterfaceRuns runs;             // what the start button starts, by page
};

class TformSs : public QDialog, public RunHost {
    Q_OBJECT

  public:
    static constexpr const char* kDesignCaption = "JEV-Schnittstellen";
    static constexpr const char* kArchiveFilter = "ZIP-Archive|*.zip|Alle Dateien|*.*";
    static constexpr const char* kFowisFilter = "Fowis Quelldateien (*.sdf)|*.SDF";
    static constexpr const char* kOpenDialogTitle = "DGH-Quelldatei öffnen";

    // Runs the start-up: caption, glyphs, take-over switches, run report,
    // settings file and the remembered inputs.
    explicit TformSs(FormSsSetup setup, QWidget* parent = nullptr);
    ~TformSs() override;

    // The text of the cool bar's second band.
    void SetDataPathBand(const std::string& data_path);
    void SetFowisTransferDirectory(const std::string& directory);

    // Event handlers, public so that tests can drive them as the user would.
    void pbStartClick();
    void pbCloseClick();
    void pbOpenClick();
    void pbFotocoOpenClick();
    void pbFowisOpenClick();
    void FormShow();

    bool RunWorking() const { return run_working_; }

    // RunHost
    std::string Text(DialogControl control) const override;
    int SelectedIndex(DialogControl list) const override;
    std::string SelectedText(DialogControl list) const override;
    bool IsChecked(DialogControl box) const override;
    long double FactorValue() const override;
    void SetFocus(DialogControl control) override;
    void SetEnabled(DialogControl control, bool enabled) override;
    std::unique_ptr<ProgressWindow> OpenProgress() override;
    const std::string& DataPath() const override { return data_path_; }
    const std::string& ProgramDirectory() const override { return program_directory_; }
    const std::string& FowisTransferDirectory() const override { return fowis_transfer_directory_; }
    std::string& OutputDirectory() override { return output_directory_; }
    RunReport& Report() override { return *run_report_; }
    SettingsFile& Settings() override { return *settings_; }
    DialogKeep& Keep() override { return *keep_; }

    // Controls, named as in the dialog.
    QFrame* CoolBar;
    QWidget* Panel1;
    QToolButton* pbStart;
    QToolButton* pbClose;
    QLabel* lblDatenpfad;
    QTabWidget* pgSS;
    QWidget* tbDGH;
    QLineEdit* sleQuelle;
    QToolButton* pbOpen;
    QListWidget* lbFiles;
    QLineEdit* sleAusgabe;
    QWidget* tbFowis;
    QLineEdit* sleQuelleFowis;
    QToolButton* pbFowisOpen;
    QLineEdit* sleZielFowis;
    TNumberEdit* sleFaktorFowis;
    QWidget* tbFotoco;
    QLineEdit* sleQuelleFotoco;
    QToolButton* pbFotocoOpen;
    QListWidget* lbFilesFotoco;
    QLineEdit* sleAusgabeFotoco;
    QCheckBox* cbPool;
    QCheckBox* cbUpdate;
    QCheckBox* cbStandard;
    QCheckBox* cbLagerUpdate;
    QCheckBox* cbLagerNeu;
    QGroupBox* gbPara;
    QCheckBox* cbGhWg;
    QCheckBox* cbGhLief;
    QCheckBox* cbGhSuchcode;
    QCheckBox* cbEkPr;
    QCheckBox* cbVkPr;
    QStatusBar* StatusBar1;

  public slots:
    // Shows the dialog modally; after a failed start-up it ends at once,
    // rejected, without being shown.
    int exec() override;
    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    class RunLock;

    void BuildControls();
    // Object names and texts of one archive page (DGH or Fotoco).
    struct ArchivePageNames {
        const char* page;
        const char* caption;
        const char* heading;
        const char* source;
        const char* open;
        const char* members;
        const char* output;
    };
    void BuildArchivePage(const ArchivePageNames& names, QWidget*& page, QLineEdit*& source,
                          QToolButton*& open, QListWidget*& members, QLineEdit*& output);
    void BuildDghPage();
    void BuildFowisPage();
    void BuildFotocoPage();
    void BuildOptions();
    void LoadGlyphs();

    bool ReadTakeOverSwitches();
    void LoadRememberedInputs();
    void ListArchiveInto(const std::string& archive, QListWidget* list);
    void ChooseArchive(QToolButton* button, QLineEdit* source, QListWidget* list,
                       const ArchiveInputKeys& keys);
    void SaveRememberedOptions();
    void cbLagerUpdateClick();
    void FollowFocus(QWidget* edit);

    QWidget* FindControl(DialogControl control) const;

    std::string data_path_;
    std::string program_directory_;
    std::string fowis_transfer_directory_;
    std::string output_directory_;
    InterfaceRuns runs_;
    std::unique_ptr<RunReport> run_report_;
    std::unique_ptr<SettingsFile> settings_;
    std::unique_ptr<TAbZipper> AbZip;   // lists the members of the chosen archives
    std::unique_ptr<DialogKeep> keep_;  // released before the settings file
    std::unique_ptr<ParameterTable>
        apPara;  // the host's parameter table, open while the dialog lives

    bool shown_once_ = false;
    bool startup_failed_ = false;  // the parameter table failed: the dialog ends when shown
    bool options_saved_ = false;
    bool run_working_ = false;
    std::optional<DialogControl> focus_after_run_;
    std::map<DialogControl, bool> enabled_after_run_;
};

}  // namespace zer1

#endif  // ZER1_DIALOG_FORM_SS_H
