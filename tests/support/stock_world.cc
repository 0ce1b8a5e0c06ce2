#include "stock_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "imports/working_table.h"
#include "tests/support/command_output.h"

namespace zer1::testing {

namespace {

void OpenTable(TApolloTable& table, const std::string& dir, const std::string& name,
               bool exclusive) {
    table.SetDatabaseName(dir);
    table.SetTableName(name);
    table.SetExclusive(exclusive);
    table.Open();
}

std::string Trimmed(std::string text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    text.erase(0, first);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// One term of a key expression, from the stored bytes of record `recno`.
std::string KeyTerm(const RawDbf& dbf, long recno, std::string term) {
    term = Trimmed(term);
    auto argument = [&]() {
        return term.substr(term.find('(') + 1, term.rfind(')') - term.find('(') - 1);
    };
    if (term.rfind("UPPER(", 0) == 0) {
        std::string value = KeyTerm(dbf, recno, argument());
        for (char& c : value) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        return value;
    }
    if (term.rfind("DTOS(", 0) == 0) return dbf.Value(recno, Trimmed(argument()));
    if (term.rfind("STR(", 0) == 0) {
        std::string args = argument();
        std::string field = Trimmed(args.substr(0, args.find(',')));
        int width = 10, decimals = 0;
        std::sscanf(args.c_str() + args.find(','), ",%d,%d", &width, &decimals);
        char text[64];
        std::snprintf(text, sizeof text, "%*.*f", width, decimals,
                      std::atof(dbf.Value(recno, field).c_str()));
        return text;
    }
    return dbf.Value(recno, term);
}

std::string ExpectedKey(const RawDbf& dbf, long recno, const std::string& expression) {
    std::string key;
    std::size_t start = 0;
    int depth = 0;
    for (std::size_t i = 0; i <= expression.size(); ++i) {
        if (i == expression.size() || (expression[i] == '+' && depth == 0)) {
            key += KeyTerm(dbf, recno, expression.substr(start, i - start));
            start = i + 1;
        } else if (expression[i] == '(') {
            ++depth;
        } else if (expression[i] == ')') {
            --depth;
        }
    }
    return key;
}

}  // namespace

std::vector<std::string> RecordingProgress::Only(const std::string& prefix) const {
    std::vector<std::string> picked;
    for (const auto& e : events) {
        if (e.rfind(prefix, 0) == 0) picked.push_back(e);
    }
    return picked;
}

std::string Pad(std::string value, std::size_t width) {
    value.resize(width, ' ');
    return value;
}

StockWorld::StockWorld()
    : dataPath(root / "daten/"),
      programDirectory(root / "programm/"),
      outputDirectory(root / "aus/") {
    for (const auto& dir : {dataPath, programDirectory, outputDirectory}) {
        std::filesystem::create_directories(dir);
    }
    CreateStockMaster();
    CreateStockLog();
    WriteCatalogue(DefaultCatalogue());
    EXPECT_TRUE(CreateWorkingTable(outputDirectory + "TMPDGH.DBF"));
    OpenTable(working, outputDirectory, "TMPDGH.DBF", true);
}

StockWorld::~StockWorld() {
    working.Close();
    artikel.Close();
    proto.Close();
}

void StockWorld::CreateStockMaster(const std::string& missing) {
    std::vector<StockFieldDef> layout;
    for (const auto& f : StockMasterLayout()) {
        if (f.name != missing) layout.push_back(f);
    }
    ASSERT_TRUE(CreateTable(dataPath + "MLAGER.DBF", layout));
    TApolloTable maker;
    OpenTable(maker, dataPath, "MLAGER.DBF", true);
    maker.Index(dataPath + "MLAGER.NTX", "ARTNUM");
}

void StockWorld::CreateStockLog() {
    ASSERT_TRUE(CreateTable(dataPath + "MLPROTO.DBF", StockLogLayout()));
}

void StockWorld::RecreateStockMasterWithout(const std::string& missing) {
    std::filesystem::remove(dataPath + "MLAGER.DBF");
    std::filesystem::remove(dataPath + "MLAGER.NTX");
    itemsWritten_ = 0;
    CreateStockMaster(missing);
}

void StockWorld::AddStockItems(const std::vector<FieldValues>& items) {
    TApolloTable host;
    OpenTable(host, dataPath, "MLAGER.DBF", true);
    host.IndexOpen(dataPath + "MLAGER.NTX");
    for (const FieldValues& values : items) AppendStockItem(host, values, ++itemsWritten_);
}

void StockWorld::WriteCatalogue(const std::vector<CatalogueRow>& rows) {
    ASSERT_TRUE(WriteCatalogueFile(programDirectory, rows));
}

void StockWorld::AddArticle(const WorkingRecord& record) {
    AppendWorkingRecord(working, record);
}

void StockWorld::RunStockUpdate(StockMode mode, const TakeOverSwitches& switches) {
    StockUpdate(
        StockTables{artikel, proto}, StockPaths{dataPath, programDirectory}, mode, working,
        [switches] { return switches; }, progress, report);
}

void StockWorld::ExpectUnchangedExcept(const RawDbf& before, const RawDbf& after, long recno,
                                       const std::set<std::string>& changed) {
    for (const RawField& f : after.fields) {
        if (changed.count(f.name)) continue;
        EXPECT_EQ(after.Value(recno, f.name), before.Value(recno, f.name))
            << "record " << recno << ", field " << f.name;
    }
}

void ExpectIndexMatchesTable(const std::string& tableFile, const std::string& indexFile,
                             const std::string& expression) {
    SCOPED_TRACE(indexFile + " on " + expression);
    const RawDbf dbf = ReadRawDbf(tableFile);
    std::vector<std::pair<std::string, long>> expected;
    for (long r = 1; r <= static_cast<long>(dbf.records.size()); ++r) {
        expected.emplace_back(ExpectedKey(dbf, r, expression), r);
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::ostringstream want;
    for (const auto& [key, recno] : expected) want << Trimmed(key) << "|" << recno << "\n";

    const std::string perl = CommandOutput(
        "perl -MXBase::Index -e '$i = XBase::Index->new($ARGV[0], type => \"C\") "
        "or die XBase::Index->errstr; $i->prepare_select; "
        "while (($k, $v) = $i->fetch) { $k =~ s/^ +| +$//g; print \"$k|$v\\n\" }' " +
        indexFile + " 2>&1");
    EXPECT_EQ(perl, want.str());
}

void StockWorld::ExpectIndexMatchesStockMaster(const std::string& indexName,
                                               const std::string& expression) const {
    ExpectIndexMatchesTable(dataPath + "MLAGER.DBF", dataPath + indexName + ".NTX", expression);
}

void StockWorld::ExpectCatalogueIndexesMatchStockMaster() const {
    for (const auto& row : DefaultCatalogue()) {
        if (row.dataFile == "MLAGER") ExpectIndexMatchesStockMaster(row.indexName, row.expression);
    }
}

}  // namespace zer1::testing
