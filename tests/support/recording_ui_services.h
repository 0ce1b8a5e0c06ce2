// RecordingUiServices: the UI services of the tests and benchmarks.  It
// records every message and file-dialog request, answers file dialogs from a
// queue (an empty queue answers "cancelled") and counts message pumps and
// quit requests, so that a test can check what the user would have seen.
#ifndef ZER1_TESTS_SUPPORT_RECORDING_UI_SERVICES_H
#define ZER1_TESTS_SUPPORT_RECORDING_UI_SERVICES_H

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/ui_services.h"

namespace zer1 {

class RecordingUiServices : public UiServices {
  public:
    struct Message {
        MessageKind kind;
        std::string caption;
        std::string text;
    };

    void ShowMessage(MessageKind kind, const std::string& caption,
                     const std::string& text) override {
        messages.push_back({kind, caption, text});
    }
    std::optional<std::string> ChooseFileToOpen(const FileOpenRequest& request) override {
        file_requests.push_back(request);
        if (file_choices.empty()) return std::nullopt;
        std::optional<std::string> answer = std::move(file_choices.front());
        file_choices.pop_front();
        return answer;
    }
    void ProcessEvents() override { ++process_events_calls; }
    void RequestQuit() override { ++quit_requests; }

    // Queues the answer of the next file dialog: a file name, or nothing for "cancel".
    void QueueFileChoice(std::optional<std::string> answer) {
        file_choices.push_back(std::move(answer));
    }

    std::vector<Message> messages;
    std::vector<FileOpenRequest> file_requests;
    std::deque<std::optional<std::string>> file_choices;
    int process_events_calls = 0;
    int quit_requests = 0;
};

}  // namespace zer1

#endif  // ZER1_TESTS_SUPPORT_RECORDING_UI_SERVICES_H
