#include "stock_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "imports/working_table.h"

namespace zer1::testing {

namespace {

// The 34 handled fields and the 60 further fields of the host, sorted by
// name as the host's table has them.
std::vector<StockFieldDef> MakeLayout() {
    std::vector<StockFieldDef> fields{
        // handled
        {"ARTNUM", 'C', 13, 0}, {"ARTBEZ", 'C', 50, 0}, {"TEX1", 'C', 50, 0},
        {"STSATZ", 'N', 1, 0}, {"STSATZ_2", 'N', 1, 0}, {"PREIS", 'N', 12, 2},
        {"EKPR", 'N', 12, 2}, {"WGRUPP", 'C', 13, 0}, {"LIFERANT", 'C', 22, 0},
        {"LIBNR1", 'C', 13, 0}, {"SUCHCOD", 'C', 13, 0}, {"VKPR", 'N', 12, 2},
        {"KOST_2", 'N', 12, 2}, {"KOND_2", 'N', 12, 2}, {"KOST", 'N', 12, 2},
        {"STRASPREIS", 'N', 12, 2}, {"KOND", 'N', 12, 2}, {"LASTEK", 'N', 12, 2},
        {"ZUGA", 'N', 10, 2}, {"ABGA", 'N', 10, 2}, {"MBEST", 'N', 10, 2},
        {"HBEST", 'N', 10, 2}, {"MIDLEK", 'N', 12, 2}, {"EINHEIT", 'N', 8, 2},
        {"RESV", 'N', 10, 2}, {"RABA", 'N', 6, 2}, {"RABB", 'N', 6, 2},
        {"RABC", 'N', 6, 2}, {"STINK", 'L', 1, 0}, {"STINK_2", 'L', 1, 0},
        {"WEBARTIKEL", 'L', 1, 0}, {"SERNUMVERW", 'L', 1, 0}, {"BSTWARNUNG", 'L', 1, 0},
        {"EINZEL", 'C', 1, 0},
        // the host's own
        {"BONUS", 'N', 12, 2}, {"EANCD2", 'C', 13, 0}, {"EKDAT", 'D', 8, 0},
        {"EKPR_2", 'N', 12, 2}, {"FARBE", 'C', 10, 0}, {"FILFAKT", 'N', 10, 3},
        {"FIX", 'C', 1, 0}, {"FOWIS", 'C', 4, 0}, {"GBABGA", 'N', 12, 2},
        {"GBEK", 'N', 12, 2}, {"GBRENDITE", 'N', 12, 2}, {"GBVK", 'N', 12, 2},
        {"GBZUGA", 'N', 12, 2}, {"GELDBERG", 'L', 1, 0}, {"GESAMT", 'N', 12, 2},
        {"GROESSE", 'C', 5, 0}, {"HSTLOGO", 'C', 100, 0}, {"IBILD1", 'C', 30, 0},
        {"IBILD2", 'C', 30, 0}, {"IMENGE", 'N', 10, 0}, {"IPREIS", 'N', 12, 2},
        {"IRESERVE", 'C', 30, 0}, {"KNUMM", 'N', 8, 0}, {"LIBNR2", 'C', 13, 0},
        {"LIBNR3", 'C', 13, 0}, {"LIFERAN2", 'C', 22, 0}, {"LIFERAN3", 'C', 22, 0},
        {"LINF2", 'C', 32, 0}, {"LINFO", 'C', 32, 0}, {"LNUM1", 'N', 6, 0},
        {"LNUM2", 'N', 6, 0}, {"LNUM3", 'N', 6, 0}, {"MARKE", 'C', 1, 0},
        {"PPREIS1", 'N', 12, 2}, {"PPREIS2", 'N', 12, 2}, {"PPREIS3", 'N', 12, 2},
        {"PREISCODE", 'C', 9, 0}, {"PREIS_2", 'N', 12, 2}, {"PRODLOGO", 'C', 100, 0},
        {"PSTK1", 'N', 8, 2}, {"PSTK2", 'N', 8, 2}, {"PSTK3", 'N', 8, 2},
        {"SERNUM", 'C', 13, 0}, {"SPDATE", 'D', 8, 0}, {"SPDBIS", 'D', 8, 0},
        {"SPERR", 'L', 1, 0}, {"SPEZI", 'C', 30, 0}, {"SPREIS", 'N', 12, 2},
        {"STATUS", 'C', 4, 0}, {"TEX2", 'C', 50, 0}, {"TEX3", 'C', 50, 0},
        {"TEX4", 'C', 50, 0}, {"UPDAT", 'C', 8, 0}, {"USER_C_01", 'C', 20, 0},
        {"USER_D_01", 'D', 8, 0}, {"USER_N_01", 'N', 12, 2}, {"VJABGA", 'N', 12, 2},
        {"VKDAT", 'D', 8, 0}, {"ZKZ1", 'C', 2, 0}, {"ZKZ2", 'C', 2, 0},
    };
    std::sort(fields.begin(), fields.end(), [](const StockFieldDef& a, const StockFieldDef& b) {
        return std::string(a.name) < b.name;
    });
    return fields;
}

// A value of its own for field number `i` of stock item `recno`.
std::string FillerValue(const StockFieldDef& f, long recno, int i) {
    const long n = recno * 7 + i;
    switch (f.type) {
        case 'C':
            if (f.width == 1) return std::string(1, static_cast<char>('A' + n % 26));
            return (f.name + ("-" + std::to_string(recno))).substr(0, f.width);
        case 'N': {
            long limit = 1;
            for (int d = 0; d < f.width - f.decimals - 2; ++d) limit *= 10;
            char text[40];
            std::snprintf(text, sizeof text, "%.*f", f.decimals,
                          static_cast<double>(n % limit) + (f.decimals > 0 ? 0.25 : 0));
            return text;
        }
        case 'D': {
            char text[16];
            std::snprintf(text, sizeof text, "%04ld%02ld%02ld", 2020 + n % 6, 1 + n % 12,
                          1 + recno % 28);
            return text;
        }
        default:
            return n % 2 ? "T" : "F";
    }
}

void OpenTable(TApolloTable& table, const std::string& dir, const std::string& name,
               bool exclusive) {
    table.SetDatabaseName(dir);
    table.SetTableName(name);
    table.SetExclusive(exclusive);
    table.Open();
}

void CreateTable(const std::string& file, const std::vector<StockFieldDef>& fields) {
    TApolloTable maker;
    ASSERT_TRUE(maker.CreateNew(file, kTableTypeNtx, static_cast<int>(fields.size())));
    for (const auto& f : fields) maker.CreateField(f.name, std::string(1, f.type), f.width, f.decimals);
    ASSERT_TRUE(maker.CreateExec());
}

std::string CommandOutput(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    pclose(pipe);
    return out;
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
    auto argument = [&]() { return term.substr(term.find('(') + 1, term.rfind(')') - term.find('(') - 1); };
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

const std::vector<StockFieldDef>& StockMasterLayout() {
    static const std::vector<StockFieldDef> layout = MakeLayout();
    return layout;
}

const std::vector<CatalogueRow>& DefaultCatalogue() {
    static const std::vector<CatalogueRow> rows{
        {"JEVDBF", "JE1", "FELD1"},
        {"MLAGER", "MLAGER", "ARTNUM"},
        {"MLAGER", "MLBEZ", "UPPER(ARTBEZ)"},
        {"KUNDEN", "KUNR", "KDNR"},
        {"MLAGER", "MLWG", "WGRUPP+ARTNUM"},
        {"MLAGER", "MLLIEF", "LIFERANT+LIBNR1"},
        {"MLAGER", "MLPREIS", "STR(PREIS,12,2)"},
        {"MLAGER", "MLEKDAT", "DTOS(EKDAT)"},
    };
    return rows;
}

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
    CreateTable(dataPath + "MLAGER.DBF", layout);
    TApolloTable maker;
    OpenTable(maker, dataPath, "MLAGER.DBF", true);
    maker.Index(dataPath + "MLAGER.NTX", "ARTNUM");
}

void StockWorld::CreateStockLog() {
    CreateTable(dataPath + "MLPROTO.DBF", {{"ARTNUM", 'C', 13, 0},
                                           {"ARTBEZ", 'C', 50, 0},
                                           {"TEXT", 'C', 10, 0},
                                           {"DATUM", 'D', 8, 0},
                                           {"PREIS", 'N', 12, 2},
                                           {"ZUGA", 'N', 10, 2},
                                           {"ABGA", 'N', 10, 2},
                                           {"RUECK", 'N', 10, 2},
                                           {"BENUTZER", 'C', 10, 0}});
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
    const auto& layout = StockMasterLayout();
    for (const FieldValues& values : items) {
        ++itemsWritten_;
        host.Append();
        for (int i = 0; i < static_cast<int>(layout.size()); ++i) {
            if (host.FindField(layout[i].name) == nullptr) continue;
            auto given = values.find(layout[i].name);
            host.FieldByName(layout[i].name)
                .SetAsString(given != values.end() ? given->second
                                                   : FillerValue(layout[i], itemsWritten_, i));
        }
        host.Post();
    }
}

void StockWorld::WriteCatalogue(const std::vector<CatalogueRow>& rows) {
    const std::string file = programDirectory + "INDEXES.DBF";
    std::filesystem::remove(file);
    CreateTable(file, {{"DATAFILE", 'C', 8, 0}, {"INDEXNAME", 'C', 12, 0}, {"INDEXEXP", 'C', 80, 0}});
    TApolloTable catalogue;
    OpenTable(catalogue, programDirectory, "INDEXES.DBF", true);
    for (const auto& row : rows) {
        catalogue.Append();
        catalogue.FieldByName("DATAFILE").SetAsString(row.dataFile);
        catalogue.FieldByName("INDEXNAME").SetAsString(row.indexName);
        catalogue.FieldByName("INDEXEXP").SetAsString(row.expression);
        catalogue.Post();
    }
}

void StockWorld::AddArticle(const WorkingRecord& record) { AppendWorkingRecord(working, record); }

void StockWorld::RunStockUpdate(StockMode mode, const TakeOverSwitches& switches) {
    StockUpdate(StockTables{artikel, proto}, StockPaths{dataPath, programDirectory}, mode, working,
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

void StockWorld::ExpectIndexMatchesStockMaster(const std::string& indexName,
                                               const std::string& expression) const {
    SCOPED_TRACE(indexName + " on " + expression);
    const RawDbf dbf = StockMaster();
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
        dataPath + indexName + ".NTX 2>&1");
    EXPECT_EQ(perl, want.str());
}

void StockWorld::ExpectCatalogueIndexesMatchStockMaster() const {
    for (const auto& row : DefaultCatalogue()) {
        if (row.dataFile == "MLAGER") ExpectIndexMatchesStockMaster(row.indexName, row.expression);
    }
}

}  // namespace zer1::testing
