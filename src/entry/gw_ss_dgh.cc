// gwSsDGH, the library's only export: shows the interfaces dialog modally on
// the host's data path and returns when the user closes it.
//
// The library's load and unload do no work of their own: everything the
// call needs is made at its start and released at its end.
#include <QApplication>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "common/file_version_note.h"
#include "common/messages.h"
#include "common/program_directory.h"
#include "common/text_encoding.h"
#include "common/ui_services.h"
#include "dialog/form_ss.h"
#include "dialog/qt_ui_services.h"
#include "entry/german_qt_texts.h"
#include "entry/library_runs.h"

ZER1_EMBED_FILE_VERSION(ZER1_FILE_VERSION);

namespace zer1 {
namespace {

// The host hands 8-bit texts; a null pointer is the empty text.  UTF-8 is
// taken as it is, anything else is read as Windows-1252.
std::string HostText(const char* text) {
    if (text == nullptr) return {};
    std::string bytes(text);
    return IsValidUtf8(bytes) ? bytes : Windows1252ToUtf8(bytes);
}

// The widgets need a QApplication.  A host that runs Qt itself has one; for
// any other host one is made for the length of the call.
class ApplicationForCall {
  public:
    ApplicationForCall() {
        if (QCoreApplication::instance() == nullptr) {
            own_ = std::make_unique<QApplication>(argc_, argv_);
        }
    }
    bool usable() const { return qobject_cast<QApplication*>(QCoreApplication::instance()); }

  private:
    int argc_ = 1;
    char name_[8] = "libzer1";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> own_;
};

void ShowInterfacesDialog(const char* data_path_arg, const char* transfer_arg) {
    const std::string data_path = HostText(data_path_arg);
    ApplicationForCall application;
    if (!application.usable()) {
        std::fprintf(stderr, "gwSsDGH: the host runs Qt without widgets; no dialog can be shown\n");
        return;
    }
    GermanQtTexts german_qt_texts;
    QtUiServices qt_services;
    ScopedUiServices services(&qt_services);
    try {
        FormSsSetup setup;
        setup.data_path = data_path;
        setup.program_directory = ProgramDirectory();
        setup.runs = LibraryRuns();
        auto form = std::make_unique<TformSs>(std::move(setup));
        form->SetDataPathBand(data_path);
        form->SetFowisTransferDirectory(HostText(transfer_arg));
        form->exec();
    } catch (const std::exception& error) {
        ErrorMessage(error.what());
    }
}

}  // namespace
}  // namespace zer1

extern "C" __attribute__((visibility("default"))) void gwSsDGH(const char* data_path,
                                                               const char* fowis_directory) {
    // No exception may cross into the host.
    try {
        zer1::ShowInterfacesDialog(data_path, fowis_directory);
    } catch (...) {
        std::fprintf(stderr, "gwSsDGH: unexpected failure\n");
    }
}
