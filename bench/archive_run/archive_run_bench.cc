// Timed driver of the main job: a full DGH run with every option on, started
// with the dialog's start button and timed from the click to the final
// message (message boxes answered by the recording UI services).  The world:
// a member of 200,000 lines, a pool of 100,000 records with its five
// indexes, a stock master of 100,000 items (94 fields) with MLAGER.NTX and a
// catalogue of six stock master indexes.  Half the articles are in the pool,
// every second one in the stock master, so each step both changes and adds.
//
// Prints the total, each step's share (from the progress window's info line,
// which every step sets as it begins) and the peak resident memory of the
// run; the world is built in a child process, so that memory is the run's.
//
//   bench_archive_run [member lines] [pool records] [stock items]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QListWidget>
#include <QLineEdit>
#include <QCheckBox>
#include <QToolButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/ui_services.h"
#include "dialog/form_ss.h"
#include "host/zip_writer.h"
#include "imports/dgh_run.h"
#include "run/parameter_table.h"
#include "stock_layout.h"
#include "storage/apollo_table.h"
#include "tests/support/archive_world.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

using Clock = std::chrono::steady_clock;

std::string Ean(long n) { return std::to_string(4000000000000L + n); }

struct Sizes {
    long member_lines = 200000;
    long pool_records = 100000;
    long stock_items = 100000;
};

// The run's folders in one scratch directory, removed when the program ends.
struct Dirs {
    Dirs() {
        for (const std::string& dir : {program, data, out}) std::filesystem::create_directory(dir);
    }
    testing::TempDir scratch{"zer1-archive-bench"};
    std::string root = scratch.path();
    std::string program = root + "prog/", data = root + "daten/", out = root + "aus/";
    std::string archive = root + "dgh.zip";
};

void BuildWorld(const Dirs& d, const Sizes& sizes) {
    if (!CreateParameterTable(d.program, "1111001")) std::abort();
    if (!testing::WriteCatalogueFile(d.program, testing::DefaultCatalogue())) std::abort();

    // The pool: records first, then its five indexes built over them.
    testing::CreatePool(d.data);
    std::filesystem::remove(d.data + "JE1.NTX");
    {
        TApolloTable pool;
        testing::OpenTable(pool, d.data, "JEVDBF.DBF");
        for (long i = 0; i < sizes.pool_records; ++i) {
            testing::AddPoolRecord(pool, Ean(i), "POOLARTIKEL " + std::to_string(i), "DG");
        }
        for (const auto& [file, expression] : jevhost::PoolIndexes()) {
            pool.Index(d.data + file, expression);
        }
    }

    // The stock master: every second article of the member.
    if (!testing::CreateTable(d.data + "MLAGER.DBF", testing::StockMasterLayout())) std::abort();
    {
        TApolloTable stock;
        stock.SetDatabaseName(d.data);
        stock.SetTableName("MLAGER.DBF");
        stock.SetExclusive(true);
        stock.Open();
        for (long i = 0; i < sizes.stock_items; ++i) {
            testing::AppendStockItem(stock, {{"ARTNUM", Ean(2 * i)}, {"PREIS", i % 3 ? "0" : "9.95"}},
                                     i + 1);
        }
        stock.Index(d.data + "MLAGER.NTX", "ARTNUM");
    }
    if (!testing::CreateTable(d.data + "MLPROTO.DBF",
                              {{"ARTNUM", 'C', 13, 0}, {"ARTBEZ", 'C', 50, 0},
                               {"TEXT", 'C', 10, 0}, {"DATUM", 'D', 8, 0},
                               {"PREIS", 'N', 12, 2}, {"ZUGA", 'N', 10, 2},
                               {"ABGA", 'N', 10, 2}, {"RUECK", 'N', 10, 2}})) {
        std::abort();
    }

    std::string member;
    member.reserve(static_cast<std::size_t>(sizes.member_lines) * 80);
    for (long i = 0; i < sizes.member_lines; ++i) {
        member += testing::DghLine(Ean(i), std::to_string(100000 + i),
                                   "Artikel " + std::to_string(i), "1.50", "2.99",
                                   "WG" + std::to_string(i % 10));
    }
    jevhost::WriteZipArchive(d.archive, {{"artikel.txt", testing::DghMemberText(member)}});
}

// The run's progress window, watched: every info line with the moment it
// was set.
struct Timeline {
    std::vector<std::pair<Clock::time_point, std::string>> infos;
};

class WatchedProgress : public ProgressWindow {
  public:
    WatchedProgress(std::unique_ptr<ProgressWindow> inner, Timeline& timeline)
        : inner_(std::move(inner)), timeline_(timeline) {}
    void SetCaption(const std::string& caption) override { inner_->SetCaption(caption); }
    void SetInfo(const std::string& text) override {
        timeline_.infos.emplace_back(Clock::now(), text);
        inner_->SetInfo(text);
    }
    void Show() override { inner_->Show(); }
    void SetMaximum(int maximum) override { inner_->SetMaximum(maximum); }
    void SetPosition(int position) override { inner_->SetPosition(position); }
    int Maximum() const override { return inner_->Maximum(); }
    int Position() const override { return inner_->Position(); }
    void SetTag(int tag) override { inner_->SetTag(tag); }
    int Tag() const override { return inner_->Tag(); }
    void OnEngineProgress(int percent) override { inner_->OnEngineProgress(percent); }

  private:
    std::unique_ptr<ProgressWindow> inner_;
    Timeline& timeline_;
};

// The dialog as the run sees it, with its progress window watched.
class WatchedHost : public RunHost {
  public:
    WatchedHost(RunHost& inner, Timeline& timeline) : inner_(inner), timeline_(timeline) {}
    std::string Text(DialogControl c) const override { return inner_.Text(c); }
    int SelectedIndex(DialogControl c) const override { return inner_.SelectedIndex(c); }
    std::string SelectedText(DialogControl c) const override { return inner_.SelectedText(c); }
    bool IsChecked(DialogControl c) const override { return inner_.IsChecked(c); }
    long double FactorValue() const override { return inner_.FactorValue(); }
    void SetFocus(DialogControl c) override { inner_.SetFocus(c); }
    void SetEnabled(DialogControl c, bool on) override { inner_.SetEnabled(c, on); }
    std::unique_ptr<ProgressWindow> OpenProgress() override {
        return std::make_unique<WatchedProgress>(inner_.OpenProgress(), timeline_);
    }
    const std::string& DataPath() const override { return inner_.DataPath(); }
    const std::string& ProgramDirectory() const override { return inner_.ProgramDirectory(); }
    const std::string& FowisTransferDirectory() const override {
        return inner_.FowisTransferDirectory();
    }
    std::string& OutputDirectory() override { return inner_.OutputDirectory(); }
    RunReport& Report() override { return inner_.Report(); }
    SettingsFile& Settings() override { return inner_.Settings(); }
    DialogKeep& Keep() override { return inner_.Keep(); }

  private:
    RunHost& inner_;
    Timeline& timeline_;
};

// The step an info line begins.
std::string StepOf(const std::string& info) {
    if (info.rfind("Extrahiere", 0) == 0) return "extraction";
    if (info.rfind("Verarbeite", 0) == 0) return "member into working table";
    if (info.rfind("Pool", 0) == 0) return "pool update";
    if (info.rfind("Lagerupdate", 0) == 0) return "stock update (walk)";
    if (info.rfind("Lagerneuanlage", 0) == 0) return "new stock items (walk)";
    if (info.rfind("Indizierung", 0) == 0 || info.rfind("Erstelle", 0) == 0) {
        return "stock master index rebuild";
    }
    if (info.rfind("Update", 0) == 0) return "update file";
    if (info.rfind("Standard", 0) == 0) return "standard file";
    return info;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// User and system time of this process, which other load on the machine
// does not stretch the way it stretches wall time.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Run(const Dirs& d) {
    RecordingUiServices ui;
    ScopedUiServices scoped(&ui);
    Timeline timeline;
    FormSsSetup setup;
    setup.data_path = d.data;
    setup.program_directory = d.program;
    setup.runs.dgh = [&timeline](RunHost& host) {
        WatchedHost watched(host, timeline);
        RunDghImport(watched);
    };
    TformSs form(std::move(setup));
    form.show();
    form.sleAusgabe->setText(QString::fromStdString(d.out));
    form.sleQuelle->setFocus();
    ui.QueueFileChoice(d.archive);
    form.pbOpen->click();
    for (QCheckBox* box : {form.cbPool, form.cbUpdate, form.cbStandard, form.cbLagerUpdate,
                           form.cbLagerNeu}) {
        box->setChecked(true);
    }

    const double cpu_before = CpuSeconds();
    const Clock::time_point click = Clock::now();
    form.pbStart->click();
    const Clock::time_point end = Clock::now();
    const double cpu = CpuSeconds() - cpu_before;

    if (ui.messages.size() != 1 || ui.messages[0].kind != MessageKind::kInformation) {
        std::fprintf(stderr, "the run did not end with its message: %s\n",
                     ui.messages.empty() ? "(none)" : ui.messages.back().text.c_str());
        return 1;
    }
    std::string report = ui.messages[0].text;
    for (char& c : report) {
        if (c == '\r') c = '\n';
    }
    std::printf("final message:\n%s\n", report.c_str());

    const double total = Seconds(end - click);
    std::map<std::string, double> steps;
    std::vector<std::string> order;
    for (std::size_t i = 0; i < timeline.infos.size(); ++i) {
        const Clock::time_point until =
            i + 1 < timeline.infos.size() ? timeline.infos[i + 1].first : end;
        const std::string step = StepOf(timeline.infos[i].second);
        if (!steps.count(step)) order.push_back(step);
        steps[step] += Seconds(until - timeline.infos[i].first);
    }
    const double before_window =
        timeline.infos.empty() ? total : Seconds(timeline.infos.front().first - click);
    std::printf("%-34s %8s %6s\n", "step", "seconds", "share");
    std::printf("%-34s %8.2f %5.1f%%\n", "checks, settings, working table", before_window,
                100 * before_window / total);
    for (const std::string& step : order) {
        std::printf("%-34s %8.2f %5.1f%%\n", step.c_str(), steps[step],
                    100 * steps[step] / total);
    }
    std::printf("%-34s %8.2f\n", "total, click to final message", total);
    std::printf("%-34s %8.2f\n", "processor time of the run", cpu);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}

}  // namespace
}  // namespace zer1

int main(int argc, char** argv) {
    zer1::Sizes sizes;
    if (argc > 1) sizes.member_lines = std::atol(argv[1]);
    if (argc > 2) sizes.pool_records = std::atol(argv[2]);
    if (argc > 3) sizes.stock_items = std::atol(argv[3]);
    const zer1::Dirs dirs;
    std::printf("member %ld lines, pool %ld records, stock master %ld items, in %s\n",
                sizes.member_lines, sizes.pool_records, sizes.stock_items, dirs.root.c_str());
    std::fflush(stdout);
    const pid_t builder = ::fork();
    if (builder == 0) {
        zer1::BuildWorld(dirs, sizes);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(builder, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 2;

    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int result;
    {
        QApplication app(argc, argv);
        result = zer1::Run(dirs);
    }
    return result;
}
