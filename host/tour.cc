#include "host/tour.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/table_changes.h"

namespace jevhost {
namespace {

constexpr int kTickMs = 20;
constexpr int kTourLimitMs = 120000;

// The host's tables in the data path whose records the summary counts.
const std::vector<std::string> kWatchedTables{"JEVDBF.DBF", "MLAGER.DBF", "MLPROTO.DBF",
                                              "BEWEGZ.DBF", "FOWISPR.DBF"};

// The pages in the order of the tour, with their page index in pgSS.
struct TourPage {
    const char* name;
    int index;
};
constexpr TourPage kPages[] = {{"fowis", 1}, {"dgh", 0}, {"fotoco", 2}};

constexpr const char* kOptionBoxes[] = {"cbPool",  "cbUpdate",     "cbStandard", "cbLagerUpdate",
                                        "cbLagerNeu", "cbGhWg",    "cbGhLief",   "cbGhSuchcode",
                                        "cbEkPr",  "cbVkPr"};

std::string Printable(QString text) {
    text.replace("\r\n", "\n").replace('\r', '\n');
    while (text.endsWith('\n')) text.chop(1);
    text.replace("\n", "\n      ");
    return text.toStdString();
}

class Tour : public QObject {
  public:
    explicit Tour(std::string pictures) : pictures_(std::move(pictures)) {
        connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
        qApp->installEventFilter(this);
        clock_.start();
        timer_.start(kTickMs);
    }
    ~Tour() override { qApp->removeEventFilter(this); }

    bool Succeeded() const { return !failed_ && next_page_ == std::size(kPages) && closed_; }

  protected:
    // Each run's progress window is pictured as the run releases it, with
    // the last step's text and the bar where the run left it.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide && watched->objectName() == "formProgress" &&
            watched->isWidgetType()) {
            Save(static_cast<QWidget*>(watched), "fortschritt-" + page_name_ + ".png");
        }
        return false;
    }

  private:
    void Tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (clock_.elapsed() > kTourLimitMs) {
            std::printf("Rundgang abgebrochen: nach %d s nicht fertig / tour stopped: not done "
                        "after %d s\n",
                        kTourLimitMs / 1000, kTourLimitMs / 1000);
            failed_ = true;
            if (modal != nullptr) modal->close();
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            Answer(box);
            return;
        }
        if (modal == nullptr || busy_) return;
        if (modal->objectName() != "formSs") {
            std::printf("  unerwartetes Fenster / unexpected window: \"%s\" (%s)\n",
                        modal->windowTitle().toStdString().c_str(),
                        modal->objectName().toStdString().c_str());
            failed_ = true;
            modal->close();
            return;
        }
        if (next_page_ == 0) Opened(modal);
        if (next_page_ < std::size(kPages)) {
            StartPage(modal, kPages[next_page_]);
        } else if (!closed_) {
            closed_ = true;
            std::printf("Dialog schließen (pbClose)\n");
            QTimer::singleShot(0, modal->findChild<QAbstractButton*>("pbClose"),
                               &QAbstractButton::click);
        }
    }

    void Opened(QWidget* form) {
        if (opened_) return;
        opened_ = true;
        const auto* pages = form->findChild<QTabWidget*>("pgSS");
        std::printf("Dialog \"%s\" offen auf Seite %s, %s\n",
                    form->windowTitle().toStdString().c_str(),
                    pages->tabText(pages->currentIndex()).remove('&').toStdString().c_str(),
                    form->findChild<QLabel*>("lblDatenpfad")->text().toStdString().c_str());
    }

    void StartPage(QWidget* form, const TourPage& page) {
        auto* pages = form->findChild<QTabWidget*>("pgSS");
        pages->setCurrentIndex(page.index);
        for (const char* name : kOptionBoxes) form->findChild<QCheckBox*>(name)->setChecked(true);
        QApplication::processEvents();
        page_name_ = page.name;
        Save(form, "dialog-" + page_name_ + ".png");
        std::printf("Seite %s: Start (pbStart), alle Optionen an\n",
                    pages->tabText(page.index).remove('&').toStdString().c_str());
        std::fflush(stdout);
        messages_at_start_ = messages_;
        busy_ = true;
        auto* start = form->findChild<QAbstractButton*>("pbStart");
        QTimer::singleShot(0, start, [this, start] {
            start->click();  // returns when the run has ended
            if (messages_ == messages_at_start_) std::printf("  (keine Meldung / no message)\n");
            busy_ = false;
            ++next_page_;
        });
    }

    void Answer(QMessageBox* box) {
        ++messages_;
        std::printf("  Meldung [%s]: %s\n", box->windowTitle().toStdString().c_str(),
                    Printable(box->text()).c_str());
        std::fflush(stdout);
        if (QAbstractButton* ok = box->defaultButton()) {
            ok->click();
        } else {
            box->accept();
        }
    }

    void Save(QWidget* widget, const std::string& file) {
        const std::string path = pictures_ + file;
        if (widget->grab().save(QString::fromStdString(path), "PNG")) {
            std::printf("  Bild / picture: %s\n", path.c_str());
        } else {
            std::printf("  Bild nicht gespeichert / picture not saved: %s\n", path.c_str());
            failed_ = true;
        }
    }

    std::string pictures_;
    QTimer timer_;
    QElapsedTimer clock_;
    std::size_t next_page_ = 0;
    std::string page_name_ = "start";
    int messages_ = 0;
    int messages_at_start_ = 0;
    bool busy_ = false;
    bool opened_ = false;
    bool closed_ = false;
    bool failed_ = false;
};

}  // namespace

int RunTour(EntryPoint entry, const DemoPaths& paths, const std::string& picture_directory) {
    std::string pictures = picture_directory;
    if (!pictures.empty() && pictures.back() != '/') pictures += '/';
    std::filesystem::create_directories(pictures);
    const FolderState before = ReadFolderState(paths.data_path, kWatchedTables);

    std::printf("Rundgang durch den Dialog / tour of the dialog (offscreen)\n");
    bool succeeded = false;
    {
        Tour tour(pictures);
        std::string transfer = paths.fowis_directory;
        transfer.pop_back();  // as the host passes it, without the separator
        entry(paths.data_path.c_str(), transfer.c_str());
        succeeded = tour.Succeeded();
    }

    const FolderState after = ReadFolderState(paths.data_path, kWatchedTables);
    std::printf("Zusammenfassung / summary (%s):\n", paths.data_path.c_str());
    for (const std::string& line : DescribeChanges(before, after)) {
        std::printf("  %s\n", line.c_str());
    }
    std::printf(succeeded ? "Rundgang beendet / tour done\n"
                          : "Rundgang unvollständig / tour incomplete\n");
    std::fflush(stdout);
    return succeeded ? 0 : 1;
}

}  // namespace jevhost
