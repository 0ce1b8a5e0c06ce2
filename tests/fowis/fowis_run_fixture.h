// A Fowis run set up as the dialog would start it: a program directory, a
// data directory and a source directory under one temporary folder, a
// RecordingRunHost whose Fowis page points at them, recorded message boxes,
// and helpers that write price list lines and read the price table back.
#ifndef ZER1_TESTS_FOWIS_RUN_FIXTURE_H
#define ZER1_TESTS_FOWIS_RUN_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/ui_services.h"
#include "fowis/fowis_run.h"
#include "fowis/table_structures.h"
#include "recording_run_host.h"
#include "storage/apollo_table.h"
#include "storage/engine_loader.h"
#include "tests/fowis/fowis_layouts.h"
#include "tests/support/command_output.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {

// One line of TRFOWIS.SDF: every named staging field at its columns, the rest
// blank, 402 characters.  Values longer than their column are cut.
inline std::string SourceLine(const std::map<std::string, std::string>& values) {
    std::string line(402, ' ');
    for (const auto& [name, value] : values) {
        const auto [first, last] = ExpectedSourceColumns(name);
        EXPECT_GT(first, 0) << name;
        const std::size_t width = static_cast<std::size_t>(last - first + 1);
        line.replace(static_cast<std::size_t>(first - 1), std::min(width, value.size()),
                     value.substr(0, width));
    }
    return line;
}

inline std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// A price table record as its fields read back: upper-case name -> text
// without trailing blanks (numbers as stored, "12.50").
using PriceRecord = std::map<std::string, std::string>;

class FowisRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        processEngineLibrary().setLibraryPath(ENGINE_LIBRARY);
        engine();
        for (const char* sub : {"prog", "data", "src"}) {
            std::filesystem::create_directory(temp_.path() + sub);
        }
        MakeHost("");
    }

    // A new host, as for a new dialog, with the given transfer directory.
    void MakeHost(const std::string& transfer_directory) {
        host_ = std::make_unique<RecordingRunHost>(DataDirectory(), ProgramDirectory(),
                                                   transfer_directory);
        host_->texts[DialogControl::kSleQuelleFowis] = SourceDirectory() + "TRFOWIS.SDF";
        host_->texts[DialogControl::kSleZielFowis] = DataDirectory();
    }

    std::string ProgramDirectory() const { return temp_.path() + "prog/"; }
    std::string DataDirectory() const { return temp_.path() + "data/"; }
    std::string SourceDirectory() const { return temp_.path() + "src/"; }
    std::string PriceFile() const { return DataDirectory() + "fowispr.dbf"; }

    void WriteSource(const std::string& content, const std::string& name = "TRFOWIS.SDF") {
        temp_.Write("src/" + name, content);
    }

    // Runs as the start button does: an error that the run does not catch is
    // kept as the default error display would show it.
    void Run() {
        uncaught_.clear();
        try {
            RunFowisConversion(*host_);
        } catch (const std::exception& error) {
            uncaught_ = error.what();
        }
    }

    std::vector<PriceRecord> ReadPriceTable() {
        std::vector<PriceRecord> records;
        TApolloTable table;
        table.SetDatabaseName(DataDirectory());
        table.SetTableName("fowispr.dbf");
        table.Open();
        for (table.First(); !table.Eof(); table.Next()) {
            PriceRecord record;
            for (int i = 0; i < table.FieldCount(); ++i) {
                std::string name = table.Fields(i).FieldName();
                for (char& c : name)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                record[name] = table.Fields(i).AsString();
            }
            records.push_back(record);
        }
        return records;
    }

    // The price table as an independent reader (python3-dbf) sees it: the
    // record count, then "ARTNR1 LEK EAN" of every record, one line each.
    std::string ReadPriceTableWithPythonDbf() const {
        const std::string command =
            "/usr/bin/python3 -c \"import dbf,sys\n"
            "t=dbf.Table(sys.argv[1]); t.open()\n"
            "print(len(t))\n"
            "for r in t: print(r.artnr1.strip(), r.lek, r.ean.strip())\" '" +
            PriceFile() + "' 2>&1";
        return testing::CommandOutput(command);
    }

    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& message : ui_.messages) texts.push_back(message.text);
        return texts;
    }

    // The start and close buttons were enabled at the end, after the start
    // button had been disabled.
    void ExpectButtonsRestored() const {
        const auto& requests = host_->enable_requests;
        ASSERT_GE(requests.size(), 3u);
        EXPECT_EQ(requests.front(), std::make_pair(DialogControl::kPbStart, false));
        EXPECT_EQ(requests[requests.size() - 2], std::make_pair(DialogControl::kPbStart, true));
        EXPECT_EQ(requests.back(), std::make_pair(DialogControl::kPbClose, true));
    }

    testing::TempDir temp_;
    RecordingUiServices ui_;
    ScopedUiServices scoped_ui_{&ui_};
    std::unique_ptr<RecordingRunHost> host_;
    std::string uncaught_;
};

}  // namespace zer1

#endif  // ZER1_TESTS_FOWIS_RUN_FIXTURE_H
