#include "dialog/form_ss.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <exception>

#include "common/file_names.h"
#include "common/messages.h"
#include "common/ui_services.h"
#include "common/version_text.h"
#include "controls/number_edit_qt.h"
#include "dialog/form_progress.h"
#include "dialog/glyphs.h"
#include "imports/zip_components.h"
#include "run/parameter_table.h"
#include "run/remembered_inputs.h"
#include "run/settings_file.h"

namespace zer1 {
namespace {

constexpr int kWidth = 460;
constexpr int kHeight = 400;
const QColor kNavy(0, 0, 128);
const QColor kLightYellow(255, 255, 225);

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
std::string S(const QString& text) {
    return text.toStdString();
}

QLabel* MakeLabel(const char* text, QWidget* parent, int x, int y, int w, QWidget* buddy) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setGeometry(x, y, w, 16);
    if (buddy) label->setBuddy(buddy);
    return label;
}

QLabel* MakeHeading(const char* text, QWidget* page) {
    auto* heading = new QLabel(QString::fromUtf8(text), page);
    QFont font = heading->font();
    font.setBold(true);
    heading->setFont(font);
    QPalette palette = heading->palette();
    palette.setColor(QPalette::WindowText, kNavy);
    heading->setPalette(palette);
    heading->setGeometry(8, 8, 300, 18);
    return heading;
}

QLineEdit* MakeEdit(const char* name, QWidget* parent, int x, int y, int w) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(x, y, w, 21);
    return edit;
}

// A flat tool button with a glyph; like the host's speed buttons it never
// takes the keyboard focus, so clicking it leaves the focus where it is.
QToolButton* MakeGlyphButton(const char* name, QWidget* parent, int x, int y) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(x, y, 23, 22);
    button->setIconSize(QSize(16, 16));
    return button;
}

QListWidget* MakeList(const char* name, QWidget* parent, int x, int y, int w, int h) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setGeometry(x, y, w, h);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

// Check box with its text to the left of the box.
QCheckBox* MakeCheck(const char* name, const char* text, QWidget* parent, int x, int y, int w) {
    auto* box = new QCheckBox(QString::fromUtf8(text), parent);
    box->setObjectName(name);
    box->setLayoutDirection(Qt::RightToLeft);
    box->setGeometry(x, y, w, 20);
    return box;
}

}  // namespace

// Locks the dialog's inputs while a run works and unlocks them however the
// run ends, so that a second start, a page change or an option change can
// never reach a run that is still working.  Focus and enable requests that a
// run makes meanwhile are carried out when it ends.
class TformSs::RunLock {
  public:
    explicit RunLock(TformSs& form) : form_(form) {
        form_.run_working_ = true;
        form_.focus_after_run_.reset();
        form_.enabled_after_run_.clear();
        SetLocked(true);
    }
    ~RunLock() {
        SetLocked(false);
        form_.run_working_ = false;
        for (const auto& [control, enabled] : form_.enabled_after_run_) {
            if (QWidget* widget = form_.FindControl(control)) widget->setEnabled(enabled);
        }
        form_.enabled_after_run_.clear();
        if (form_.focus_after_run_) {
            const DialogControl control = *form_.focus_after_run_;
            form_.focus_after_run_.reset();
            form_.SetFocus(control);
        }
    }
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

  private:
    void SetLocked(bool locked) {
        for (QWidget* widget : std::initializer_list<QWidget*>{
                 form_.pbStart, form_.pbClose, form_.pgSS, form_.pbOpen, form_.pbFowisOpen,
                 form_.pbFotocoOpen, form_.cbPool, form_.cbUpdate, form_.cbStandard,
                 form_.cbLagerUpdate, form_.cbLagerNeu, form_.gbPara}) {
            widget->setEnabled(!locked);
        }
    }

    TformSs& form_;
};

TformSs::TformSs(FormSsSetup setup, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      data_path_(std::move(setup.data_path)),
      program_directory_(WithTrailingSeparator(std::move(setup.program_directory))),
      runs_(std::move(setup.runs)),
      AbZip(std::make_unique<TAbZipper>()),
      keep_(std::make_unique<DialogKeep>()) {
    setObjectName("formSs");
    BuildControls();
    setFixedSize(kWidth, kHeight);

    // Start-up.
    const std::string version = VersionText("libzer1.so");
    setWindowTitle(Q(std::string(kDesignCaption) + " " + version));
    fowis_transfer_directory_.clear();
    LoadGlyphs();
    // Key preview: the dialog sees every key of its windows first (and every
    // focus change, which the browse buttons follow).
    qApp->installEventFilter(this);
    // A failed start-up has shown its message and asked the application to
    // quit; the dialog then ends as soon as it is shown, without any work.
    if (!ReadTakeOverSwitches()) return;
    run_report_ = std::make_unique<RunReport>();
    settings_ = std::make_unique<SettingsFile>(program_directory_ + kSettingsFileName);
    LoadRememberedInputs();
}

TformSs::~TformSs() {
    if (qApp) qApp->removeEventFilter(this);
    keep_.reset();
}

void TformSs::BuildControls() {
    CoolBar = new QFrame(this);
    CoolBar->setObjectName("CoolBar");
    CoolBar->setFrameShape(QFrame::StyledPanel);
    CoolBar->setGeometry(0, 0, kWidth, 32);

    Panel1 = new QWidget(CoolBar);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(2, 2, 58, 28);
    pbStart = MakeGlyphButton("pbStart", Panel1, 2, 3);
    pbStart->setToolTip("Verarbeitung starten");
    pbClose = MakeGlyphButton("pbClose", Panel1, 32, 3);
    pbClose->setToolTip("Beenden");

    lblDatenpfad = new QLabel(CoolBar);
    lblDatenpfad->setObjectName("lblDatenpfad");
    lblDatenpfad->setGeometry(68, 2, kWidth - 72, 28);
    lblDatenpfad->setText("Datenpfad: ");

    pgSS = new QTabWidget(this);
    pgSS->setObjectName("pgSS");
    pgSS->setGeometry(4, 36, kWidth - 8, 190);
    BuildDghPage();
    BuildFowisPage();
    BuildFotocoPage();
    pgSS->setCurrentIndex(static_cast<int>(InterfacePage::kDgh));

    BuildOptions();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, kHeight - 20, kWidth, 20);

    connect(pbStart, &QToolButton::clicked, this, &TformSs::pbStartClick);
    connect(pbClose, &QToolButton::clicked, this, &TformSs::pbCloseClick);
    connect(pbOpen, &QToolButton::clicked, this, &TformSs::pbOpenClick);
    connect(pbFotocoOpen, &QToolButton::clicked, this, &TformSs::pbFotocoOpenClick);
    connect(pbFowisOpen, &QToolButton::clicked, this, &TformSs::pbFowisOpenClick);
    connect(cbLagerUpdate, &QCheckBox::toggled, this, &TformSs::cbLagerUpdateClick);
    connect(cbLagerNeu, &QCheckBox::toggled, this, &TformSs::cbLagerUpdateClick);
}

// The DGH and Fotoco pages are laid out alike: the source archive with its
// browse button, the member list and the output path.
void TformSs::BuildArchivePage(const ArchivePageNames& names, QWidget*& page, QLineEdit*& source,
                               QToolButton*& open, QListWidget*& members, QLineEdit*& output) {
    page = new QWidget;
    page->setObjectName(names.page);
    pgSS->addTab(page, names.caption);
    MakeHeading(names.heading, page);
    source = MakeEdit(names.source, page, 110, 34, 270);
    open = MakeGlyphButton(names.open, page, 384, 34);
    members = MakeList(names.members, page, 110, 62, 270, 66);
    output = MakeEdit(names.output, page, 110, 134, 270);
    MakeLabel("&Quellarchiv:", page, 8, 37, 100, source);
    MakeLabel("Dateien:", page, 8, 64, 100, nullptr);
    MakeLabel("&Ausgabepfad", page, 8, 137, 100, output);
    setTabOrder(source, members);
    setTabOrder(members, output);
}

void TformSs::BuildDghPage() {
    BuildArchivePage({"tbDGH", "&DGH", "DGH - Schnittstelle", "sleQuelle", "pbOpen", "lbFiles",
                      "sleAusgabe"},
                     tbDGH, sleQuelle, pbOpen, lbFiles, sleAusgabe);
}

void TformSs::BuildFowisPage() {
    tbFowis = new QWidget;
    tbFowis->setObjectName("tbFowis");
    pgSS->addTab(tbFowis, "&Fowis");
    MakeHeading("Fowis - Schnittstelle", tbFowis);
    sleQuelleFowis = MakeEdit("sleQuelleFowis", tbFowis, 160, 34, 220);
    pbFowisOpen = MakeGlyphButton("pbFowisOpen", tbFowis, 384, 34);
    sleZielFowis = MakeEdit("sleZielFowis", tbFowis, 160, 64, 220);
    sleZielFowis->setReadOnly(true);
    sleZielFowis->setFocusPolicy(Qt::ClickFocus);  // read-only, not a tab stop
    QPalette palette = sleZielFowis->palette();
    palette.setColor(QPalette::Base, kLightYellow);
    sleZielFowis->setPalette(palette);
    sleFaktorFowis = new TNumberEdit(tbFowis);
    ConfigureFactorField(*sleFaktorFowis);
    sleFaktorFowis->setGeometry(160, 94, 110, 21);
    MakeLabel("&Quelldatei (trfowis.sdf):", tbFowis, 8, 37, 150, sleQuelleFowis);
    MakeLabel("&Zielpfad (fowispr.dbf):", tbFowis, 8, 67, 150, sleZielFowis);
    MakeLabel("&Faktor:", tbFowis, 8, 97, 150, sleFaktorFowis);
    setTabOrder(sleQuelleFowis, sleFaktorFowis);
}

void TformSs::BuildFotocoPage() {
    BuildArchivePage({"tbFotoco", "Fotoco", "Fotoco - Schnittstelle", "sleQuelleFotoco",
                      "pbFotocoOpen", "lbFilesFotoco", "sleAusgabeFotoco"},
                     tbFotoco, sleQuelleFotoco, pbFotocoOpen, lbFilesFotoco, sleAusgabeFotoco);
}

void TformSs::BuildOptions() {
    cbPool = MakeCheck("cbPool", "&Pool aktualisieren", this, 4, 234, 200);
    cbUpdate = MakeCheck("cbUpdate", "&Update vorbereiten", this, 4, 256, 200);
    cbStandard = MakeCheck("cbStandard", "&Standarddatei erstellen", this, 4, 278, 200);
    cbLagerUpdate = MakeCheck("cbLagerUpdate", "&Lagerupdate durchführen", this, 4, 300, 200);
    cbLagerNeu = MakeCheck("cbLagerNeu", "Lagerneuanlagen durchführen", this, 4, 322, 200);
    setTabOrder(pgSS, cbPool);
    setTabOrder(cbPool, cbUpdate);
    setTabOrder(cbUpdate, cbStandard);
    setTabOrder(cbStandard, cbLagerUpdate);
    setTabOrder(cbLagerUpdate, cbLagerNeu);

    gbPara = new QGroupBox("JEV-Artikelstamm", this);
    gbPara->setObjectName("gbPara");
    gbPara->setGeometry(212, 230, kWidth - 218, 136);
    // Only the title is bold and navy; the boxes inside keep the normal font.
    gbPara->setStyleSheet("QGroupBox#gbPara { font-weight: bold; color: #000080; }");
    const QFont normal = font();
    cbGhWg = MakeCheck("cbGhWg", "GH-&Warengruppe übernehmen", gbPara, 4, 20, 232);
    cbGhLief = MakeCheck("cbGhLief", "GH-&Lieferant übernehmen", gbPara, 4, 42, 232);
    cbGhSuchcode = MakeCheck("cbGhSuchcode", "GH-&Suchcode übernehmen", gbPara, 4, 64, 232);
    cbEkPr = MakeCheck("cbEkPr", "GH-&EK-Preis übernehmen", gbPara, 4, 86, 232);
    cbVkPr = MakeCheck("cbVkPr", "GH-&VK-Preis übernehmen", gbPara, 4, 108, 232);
    for (QCheckBox* box : {cbGhWg, cbGhLief, cbGhSuchcode, cbEkPr, cbVkPr}) {
        box->setStyleSheet("font-weight: normal; color: palette(window-text);");
        box->setFont(normal);
    }
    setTabOrder(cbLagerNeu, cbGhWg);
    setTabOrder(cbGhWg, cbGhLief);
    setTabOrder(cbGhLief, cbGhSuchcode);
    setTabOrder(cbGhSuchcode, cbEkPr);
    setTabOrder(cbEkPr, cbVkPr);
    gbPara->setVisible(false);
}

void TformSs::LoadGlyphs() {
    pbStart->setIcon(Glyph("BM_CHECKOK"));
    pbClose->setIcon(Glyph("BM_CLOSE"));
    pbOpen->setIcon(Glyph("BM_VASSIST"));
    pbFowisOpen->setIcon(Glyph("BM_VASSIST"));
    pbFotocoOpen->setIcon(Glyph("BM_VASSIST"));
}

// The take-over switches in gbPara come from the host's parameter table,
// which stays open while the dialog lives.  When it cannot be read the user
// has been told, the application asked to quit, and the start-up stops here.
bool TformSs::ReadTakeOverSwitches() {
    apPara = std::make_unique<ParameterTable>();
    const std::optional<ParameterSwitches> switches = apPara->ReadAtStartUp(program_directory_);
    if (!switches) {
        startup_failed_ = true;
        return false;
    }
    cbGhWg->setChecked(switches->warengruppe);
    cbGhLief->setChecked(switches->lieferant);
    cbGhSuchcode->setChecked(switches->suchcode);
    cbEkPr->setChecked(switches->ek_preis);
    cbVkPr->setChecked(switches->vk_preis);
    return true;
}

// Fills the controls from the settings file.  A remembered archive that can
// no longer be listed is reported with its error, and loading goes on, so
// that closing the dialog does not overwrite the remembered options with
// defaults.
void TformSs::LoadRememberedInputs() {
    const RememberedArchiveInputs dgh = LoadArchiveInputs(*settings_, kDghInputKeys);
    if (FileExists(dgh.Archive())) {
        sleQuelle->setText(Q(dgh.Archive()));
        ListArchiveInto(dgh.Archive(), lbFiles);
    }
    const RememberedArchiveInputs fotoco = LoadArchiveInputs(*settings_, kFotocoInputKeys);
    if (FileExists(fotoco.Archive())) {
        sleQuelleFotoco->setText(Q(fotoco.Archive()));
        ListArchiveInto(fotoco.Archive(), lbFilesFotoco);
    }
    const RememberedFowisInputs fowis = LoadFowisInputs(*settings_);
    sleQuelleFowis->setText(Q(fowis.source));
    sleZielFowis->setText(Q(data_path_));
    sleFaktorFowis->SetValue(fowis.factor);
    sleAusgabe->setText(Q(dgh.output));
    sleAusgabeFotoco->setText(Q(fotoco.output));
    const RememberedOptions options = LoadOptions(*settings_);
    cbPool->setChecked(options.pool);
    cbUpdate->setChecked(options.update);
    cbStandard->setChecked(options.standard);
    cbLagerUpdate->setChecked(options.lagerupdate);
    cbLagerNeu->setChecked(options.lager_neu);
}

void TformSs::ListArchiveInto(const std::string& archive, QListWidget* list) {
    list->clear();
    try {
        AbZip->SetFileName(archive);
        for (int i = 0; i < AbZip->Count(); ++i) list->addItem(Q(AbZip->MemberName(i)));
    } catch (const std::exception& error) {
        list->clear();
        ErrorMessage(error.what());
        return;
    }
    if (list->count() > 0) list->setCurrentRow(0);
}

void TformSs::SetDataPathBand(const std::string& data_path) {
    lblDatenpfad->setText(Q("Datenpfad: " + data_path));
}

void TformSs::SetFowisTransferDirectory(const std::string& directory) {
    fowis_transfer_directory_ = directory;
}

// When the host's Fowis transfer directory holds TRFOWIS.SDF, the dialog
// opens on the Fowis page with that file as source.
void TformSs::FormShow() {
    if (!fowis_transfer_directory_.empty()) {
        fowis_transfer_directory_ = WithTrailingSeparator(fowis_transfer_directory_);
    }
    const std::string transfer_file = fowis_transfer_directory_ + "TRFOWIS.SDF";
    if (FileExists(transfer_file)) {
        pgSS->setCurrentIndex(static_cast<int>(InterfacePage::kFowis));
        // The name as it lies on disk, whatever the case of its letters.
        sleQuelleFowis->setText(Q(ResolveFileName(transfer_file)));
    }
}

void TformSs::showEvent(QShowEvent* event) {
    if (!shown_once_) {
        shown_once_ = true;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        // After a failed start-up exec() does not show the dialog; shown by
        // other means, it ends at once, without any work and without writing
        // settings.
        if (startup_failed_) {
            QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
        } else {
            FormShow();
        }
    }
    QDialog::showEvent(event);
}

void TformSs::pbStartClick() {
    if (run_working_ || !run_report_) return;
    RunLock lock(*this);
    run_report_->clear();
    const auto page = static_cast<InterfacePage>(pgSS->currentIndex());
    const RunEntry& run = page == InterfacePage::kDgh     ? runs_.dgh
                          : page == InterfacePage::kFowis ? runs_.fowis
                                                          : runs_.fotoco;
    // The default error display: an error that the run does not catch ends it
    // and is shown with its text; the dialog stays open for the next run.
    try {
        if (run) run(*this);
    } catch (const std::exception& error) {
        ErrorMessage(error.what());
    } catch (...) {
        ErrorMessage("Unbekannter Fehler");
    }
}

void TformSs::pbCloseClick() {
    close();
}

void TformSs::pbOpenClick() {
    ChooseArchive(pbOpen, sleQuelle, lbFiles, kDghInputKeys);
}

void TformSs::pbFotocoOpenClick() {
    ChooseArchive(pbFotocoOpen, sleQuelleFotoco, lbFilesFotoco, kFotocoInputKeys);
}

// The browse button acts only while it stands beside the source edit; when
// it has followed the focus to the output-path row it does nothing.
void TformSs::ChooseArchive(QToolButton* button, QLineEdit* source, QListWidget* list,
                            const ArchiveInputKeys& keys) {
    if (run_working_ || button->y() != source->y()) return;
    list->clear();
    FileOpenRequest request;
    request.title = kOpenDialogTitle;
    request.filter = kArchiveFilter;
    if (settings_) request.initial_directory = LoadArchiveInputs(*settings_, keys).source_directory;
    if (request.initial_directory.empty()) request.initial_directory = program_directory_;
    const std::optional<std::string> chosen = CurrentUiServices().ChooseFileToOpen(request);
    if (!chosen) return;
    source->setText(Q(*chosen));
    ListArchiveInto(*chosen, list);
}

void TformSs::pbFowisOpenClick() {
    if (run_working_ || pbFowisOpen->y() != sleQuelleFowis->y()) return;
    FileOpenRequest request;
    request.title = kOpenDialogTitle;
    request.filter = kFowisFilter;
    if (settings_) request.initial_directory = LoadFowisInputs(*settings_).source;
    if (request.initial_directory.empty()) request.initial_directory = program_directory_;
    if (const std::optional<std::string> chosen = CurrentUiServices().ChooseFileToOpen(request)) {
        sleQuelleFowis->setText(Q(*chosen));
    }
}

void TformSs::cbLagerUpdateClick() {
    gbPara->setVisible(cbLagerUpdate->isChecked() || cbLagerNeu->isChecked());
}

// The page's browse button moves to the row of the edit that got the focus.
void TformSs::FollowFocus(QWidget* edit) {
    QToolButton* button = nullptr;
    if (edit == sleQuelle || edit == sleAusgabe) button = pbOpen;
    if (edit == sleQuelleFowis) button = pbFowisOpen;
    if (edit == sleQuelleFotoco || edit == sleAusgabeFotoco) button = pbFotocoOpen;
    if (button) button->move(button->x(), edit->y());
}

bool TformSs::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && watched->isWidgetType()) {
        FollowFocus(static_cast<QWidget*>(watched));
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            pbClose->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// Every close (close button, Escape, the window's own close) passes here.
void TformSs::closeEvent(QCloseEvent* event) {
    if (run_working_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

int TformSs::exec() {
    if (startup_failed_) {
        done(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void TformSs::done(int result) {
    if (run_working_) return;
    SaveRememberedOptions();
    QDialog::done(result);
}

void TformSs::SaveRememberedOptions() {
    if (!settings_ || options_saved_) return;
    options_saved_ = true;
    try {
        SaveOptions(*settings_, {.pool = cbPool->isChecked(),
                                 .update = cbUpdate->isChecked(),
                                 .standard = cbStandard->isChecked(),
                                 .lagerupdate = cbLagerUpdate->isChecked(),
                                 .lager_neu = cbLagerNeu->isChecked()});
    } catch (const std::exception& error) {
        ErrorMessage(error.what());
    }
}

// The runs ask for controls once per record (the take-over switches are
// read for every stock item), so this is a plain look-up, no search of the
// widget tree.
QWidget* TformSs::FindControl(DialogControl control) const {
    switch (control) {
        case DialogControl::kPbStart:
            return pbStart;
        case DialogControl::kPbClose:
            return pbClose;
        case DialogControl::kPgSs:
            return pgSS;
        case DialogControl::kSleQuelle:
            return sleQuelle;
        case DialogControl::kLbFiles:
            return lbFiles;
        case DialogControl::kSleAusgabe:
            return sleAusgabe;
        case DialogControl::kSleQuelleFowis:
            return sleQuelleFowis;
        case DialogControl::kSleZielFowis:
            return sleZielFowis;
        case DialogControl::kSleFaktorFowis:
            return sleFaktorFowis;
        case DialogControl::kSleQuelleFotoco:
            return sleQuelleFotoco;
        case DialogControl::kLbFilesFotoco:
            return lbFilesFotoco;
        case DialogControl::kSleAusgabeFotoco:
            return sleAusgabeFotoco;
        case DialogControl::kCbPool:
            return cbPool;
        case DialogControl::kCbUpdate:
            return cbUpdate;
        case DialogControl::kCbStandard:
            return cbStandard;
        case DialogControl::kCbLagerUpdate:
            return cbLagerUpdate;
        case DialogControl::kCbLagerNeu:
            return cbLagerNeu;
        case DialogControl::kCbGhWg:
            return cbGhWg;
        case DialogControl::kCbGhLief:
            return cbGhLief;
        case DialogControl::kCbGhSuchcode:
            return cbGhSuchcode;
        case DialogControl::kCbEkPr:
            return cbEkPr;
        case DialogControl::kCbVkPr:
            return cbVkPr;
    }
    return nullptr;
}

std::string TformSs::Text(DialogControl control) const {
    if (auto* edit = qobject_cast<QLineEdit*>(FindControl(control))) return S(edit->text());
    return {};
}

int TformSs::SelectedIndex(DialogControl list) const {
    auto* widget = qobject_cast<QListWidget*>(FindControl(list));
    if (!widget) return -1;
    const QModelIndexList selected = widget->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.front().row();
}

std::string TformSs::SelectedText(DialogControl list) const {
    auto* widget = qobject_cast<QListWidget*>(FindControl(list));
    const int row = SelectedIndex(list);
    return widget && row >= 0 ? S(widget->item(row)->text()) : std::string();
}

bool TformSs::IsChecked(DialogControl box) const {
    auto* widget = qobject_cast<QCheckBox*>(FindControl(box));
    return widget && widget->isChecked();
}

long double TformSs::FactorValue() const {
    return sleFaktorFowis->Value();
}

void TformSs::SetFocus(DialogControl control) {
    if (run_working_) {
        focus_after_run_ = control;
        return;
    }
    if (QWidget* widget = FindControl(control)) widget->setFocus(Qt::OtherFocusReason);
}

void TformSs::SetEnabled(DialogControl control, bool enabled) {
    QWidget* widget = FindControl(control);
    if (!widget) return;
    if (run_working_) {
        enabled_after_run_[control] = enabled;
        if (!enabled) widget->setEnabled(false);
        return;
    }
    widget->setEnabled(enabled);
}

std::unique_ptr<ProgressWindow> TformSs::OpenProgress() {
    return std::make_unique<ProgressWindowHandle>(new TformProgress(this));
}

}  // namespace zer1
