// RecordingRunHost: a RunHost without any window, for tests of the runs.
// The test sets what the controls hold; the host records focus moves,
// enable requests and everything done to the progress windows, which stay
// inspectable after the run has released them.
#ifndef ZER1_TESTS_SUPPORT_RECORDING_RUN_HOST_H
#define ZER1_TESTS_SUPPORT_RECORDING_RUN_HOST_H

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "run/run_host.h"
#include "run/settings_file.h"

namespace zer1 {

// What happened to one progress window, in order.
struct ProgressLog {
    std::string caption = "Information";
    std::string info = "lblInfo";
    std::vector<std::string> infos;  // every info line set
    std::vector<int> maximums;       // every maximum set
    std::vector<int> positions;      // every position set, clamped to the bar
    int maximum = 100;
    int position = 0;
    int tag = 0;
    bool shown = false;
    bool released = false;
};

class RecordingProgressWindow : public ProgressWindow {
  public:
    explicit RecordingProgressWindow(std::shared_ptr<ProgressLog> log) : log_(std::move(log)) {}
    ~RecordingProgressWindow() override { log_->released = true; }

    void SetCaption(const std::string& caption) override { log_->caption = caption; }
    void SetInfo(const std::string& text) override {
        log_->info = text;
        log_->infos.push_back(text);
    }
    void Show() override { log_->shown = true; }
    void SetMaximum(int maximum) override {
        log_->maximum = std::max(0, maximum);
        log_->maximums.push_back(log_->maximum);
        log_->position = std::min(log_->position, log_->maximum);
    }
    // Records every position set, as the bar shows it (within 0..maximum).
    void SetPosition(int position) override {
        log_->position = std::clamp(position, 0, log_->maximum);
        log_->positions.push_back(log_->position);
    }
    int Maximum() const override { return log_->maximum; }
    int Position() const override { return log_->position; }
    void SetTag(int tag) override { log_->tag = tag; }
    int Tag() const override { return log_->tag; }
    void OnEngineProgress(int percent) override {
        if (log_->tag == kEngineProgressTag) SetPosition(percent);
    }

  private:
    std::shared_ptr<ProgressLog> log_;
};

class RecordingRunHost : public RunHost {
  public:
    RecordingRunHost(std::string data_path, std::string program_directory,
                     std::string fowis_transfer_directory = "")
        : data_path_(std::move(data_path)),
          program_directory_(std::move(program_directory)),
          fowis_transfer_directory_(std::move(fowis_transfer_directory)),
          settings_(program_directory_ + kSettingsFileName) {}

    // What the controls hold.
    std::map<DialogControl, std::string> texts;
    std::map<DialogControl, std::vector<std::string>> list_items;
    std::map<DialogControl, int> selected;  // missing: nothing selected
    std::map<DialogControl, bool> checked;
    long double factor = 0;

    // What the run did.
    std::vector<DialogControl> focus_moves;
    std::vector<std::pair<DialogControl, bool>> enable_requests;
    std::vector<std::shared_ptr<ProgressLog>> progress_windows;

    std::string Text(DialogControl control) const override {
        auto it = texts.find(control);
        return it == texts.end() ? std::string() : it->second;
    }
    int SelectedIndex(DialogControl list) const override {
        auto it = selected.find(list);
        auto items = list_items.find(list);
        if (it == selected.end() || items == list_items.end()) return -1;
        return it->second >= 0 && it->second < static_cast<int>(items->second.size()) ? it->second
                                                                                      : -1;
    }
    std::string SelectedText(DialogControl list) const override {
        const int index = SelectedIndex(list);
        return index < 0 ? std::string() : list_items.at(list)[static_cast<size_t>(index)];
    }
    bool IsChecked(DialogControl box) const override {
        auto it = checked.find(box);
        return it != checked.end() && it->second;
    }
    long double FactorValue() const override { return factor; }
    void SetFocus(DialogControl control) override { focus_moves.push_back(control); }
    void SetEnabled(DialogControl control, bool enabled) override {
        enable_requests.emplace_back(control, enabled);
    }
    std::unique_ptr<ProgressWindow> OpenProgress() override {
        progress_windows.push_back(std::make_shared<ProgressLog>());
        return std::make_unique<RecordingProgressWindow>(progress_windows.back());
    }
    const std::string& DataPath() const override { return data_path_; }
    const std::string& ProgramDirectory() const override { return program_directory_; }
    const std::string& FowisTransferDirectory() const override { return fowis_transfer_directory_; }
    std::string& OutputDirectory() override { return output_directory_; }
    RunReport& Report() override { return report_; }
    SettingsFile& Settings() override { return settings_; }
    DialogKeep& Keep() override { return keep_; }

  private:
    std::string data_path_;
    std::string program_directory_;
    std::string fowis_transfer_directory_;
    std::string output_directory_;
    RunReport report_;
    SettingsFile settings_;
    DialogKeep keep_;
};

}  // namespace zer1

#endif  // ZER1_TESTS_SUPPORT_RECORDING_RUN_HOST_H
