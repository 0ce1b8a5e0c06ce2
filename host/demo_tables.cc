// The demo's host tables: the pool as an earlier import left it, the stock
// master with a shop's own items beside those it took from its wholesalers,
// the stock log with a few older lines, and the index catalogue.
#include <cstdio>
#include <map>
#include <stdexcept>

#include "common/file_names.h"
#include "host/demo_articles.h"
#include "host/demo_data.h"
#include "host/host_tables.h"
#include "stock/pool_update.h"
#include "storage/apollo_table.h"

namespace jevhost {
namespace {

using zer1::TApolloTable;
using Values = std::map<std::string, std::string>;

constexpr const char* kStockMasterName = "MLAGER.DBF";
constexpr const char* kStockIndexName = "MLAGER.NTX";
constexpr const char* kStockLogName = "MLPROTO.DBF";

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// A price text as the archive imports leave it in the pool: right-aligned
// in ten characters with two decimals and a point.
std::string PoolPrice(const std::string& price) {
    std::string text = price;
    for (char& c : text) {
        if (c == ',') c = '.';
    }
    char padded[32];
    std::snprintf(padded, sizeof padded, "%10.2f", std::stod(text.empty() ? "0" : text));
    return padded;
}

// An older price than the one the archive brings now: the new one less 5 %.
std::string OlderPrice(const std::string& price) {
    std::string text = price;
    for (char& c : text) {
        if (c == ',') c = '.';
    }
    char older[32];
    std::snprintf(older, sizeof older, "%.2f", std::stod(text.empty() ? "0" : text) * 0.95);
    return older;
}

void Create(const std::string& file, const std::vector<StockFieldDef>& layout) {
    if (!CreateTable(file, layout)) {
        throw std::runtime_error(file + " kann nicht angelegt werden");
    }
}

void OpenExclusive(TApolloTable& table, const std::string& directory, const std::string& name) {
    table.SetDatabaseName(directory);
    table.SetTableName(name);
    table.SetExclusive(true);
    table.Open();
}

void AppendRecord(TApolloTable& table, const Values& values) {
    table.Append();
    for (const auto& [field, value] : values) table.FieldByName(field).SetAsString(value);
    table.Post();
}

// ---- Pool ---------------------------------------------------------------

std::vector<Values> PoolRecords() {
    std::vector<Values> records;
    for (const DemoArticle& a : DemoDghArticles()) {
        if (!a.in_pool) continue;
        const std::string sales = a.sales.empty() ? a.substitute : a.sales;
        records.push_back({{"FELD11", "DG"},
                           {"FELD1", DghArticleNumber(a)},
                           {"FELD2", Upper(a.description)},
                           {"FELD3", PoolPrice(OlderPrice(sales))},
                           {"FELD4", PoolPrice(OlderPrice(a.purchase))},
                           {"FELD13", "/" + a.order_number},
                           {"FELD5", Upper(a.supplier)},
                           {"FELD9", "DGH" + a.group},
                           {"FELD6", Upper(a.extra_text + a.extra_text_2)},
                           {"FELD10", "02.02.26"},
                           {"FELD12", "1"}});
    }
    for (const DemoArticle& a : DemoFotocoArticles()) {
        if (!a.in_pool) continue;
        records.push_back({{"FELD11", "FO"},
                           {"FELD1", FotocoArticleNumber(a)},
                           {"FELD2", a.description},
                           {"FELD3", OlderPrice(a.sales)},
                           {"FELD4", OlderPrice(a.purchase)},
                           {"FELD13", "+" + a.order_number},
                           {"FELD5", a.description.substr(0, a.description.find('-') + 1)},
                           {"FELD9", "#" + a.group},
                           {"FELD6", a.extra_text},
                           {"FELD12", "1"},
                           {"NOTIZ", "Schaufenster"}});
    }
    return records;
}

void CreatePoolTable(const std::string& data_path) {
    Create(data_path + zer1::kPoolTableName, PoolLayout());
    // Written as the host writes it: texts in the DOS code page.
    TApolloTable pool;
    OpenExclusive(pool, data_path, zer1::kPoolTableName);
    pool.SetOEMTranslate(true);
    for (const Values& record : PoolRecords()) AppendRecord(pool, record);
    pool.Close();
}

// ---- Stock master and stock log -------------------------------------------

// The values a stock item the shop took over from a wholesaler holds: the
// description as the shop typed it, its own group and prices; every second
// one has no sales price yet.
Values StockItemFromArticle(const std::string& number, const DemoArticle& a, long n,
                            const char* supplier) {
    return {{"ARTNUM", number},
            {"ARTBEZ", a.description},
            {"TEX1", a.extra_text + a.extra_text_2},
            {"STSATZ", "1"},
            {"STSATZ_2", "1"},
            {"PREIS", n % 2 == 0 ? "0" : OlderPrice(a.sales.empty() ? a.substitute : a.sales)},
            {"EKPR", OlderPrice(a.purchase)},
            {"WGRUPP", "#" + a.group},
            {"LIFERANT", supplier},
            {"LIBNR1", a.order_number},
            {"SUCHCOD", Upper(a.description.substr(0, 8))},
            {"STINK", "T"},
            {"STINK_2", "T"},
            {"WEBARTIKEL", n % 5 == 0 ? "T" : "F"},
            {"SERNUMVERW", "F"},
            {"BSTWARNUNG", "F"},
            {"EINZEL", "N"},
            {"MBEST", std::to_string(2 + n % 4)},
            {"HBEST", std::to_string(10 + n % 15)},
            {"ZUGA", std::to_string(20 + n % 30)},
            {"ABGA", std::to_string(12 + n % 20)},
            {"EKDAT", "202601" + std::string(n % 28 < 9 ? "0" : "") + std::to_string(1 + n % 28)},
            {"TEX2", "Lagerort Regal " + std::to_string(1 + n % 12)},
            {"FARBE", n % 3 == 0 ? "schwarz" : ""},
            {"STATUS", "AKT"}};
}

// Items of the shop's own that no wholesaler delivers.
const std::vector<Values>& OwnStockItems() {
    static const std::vector<Values> items{
        {{"ARTNUM", "1000001"}, {"ARTBEZ", "Passbilder biometrisch 4 Stück"}, {"PREIS", "14.95"},
         {"WGRUPP", "#SERVICE"}, {"STSATZ", "1"}, {"EINZEL", "N"}, {"STINK", "F"}},
        {{"ARTNUM", "1000002"}, {"ARTBEZ", "Bewerbungsfotos Shooting"}, {"PREIS", "39.00"},
         {"WGRUPP", "#SERVICE"}, {"STSATZ", "1"}, {"EINZEL", "N"}, {"STINK", "F"}},
        {{"ARTNUM", "1000003"}, {"ARTBEZ", "Digitalisierung Dia je Stück"}, {"PREIS", "0.59"},
         {"WGRUPP", "#SERVICE"}, {"STSATZ", "1"}, {"EINZEL", "N"}, {"STINK", "F"}},
        {{"ARTNUM", "1000004"}, {"ARTBEZ", "Sensorreinigung Spiegelreflex"}, {"PREIS", "49.00"},
         {"WGRUPP", "#SERVICE"}, {"STSATZ", "1"}, {"EINZEL", "N"}, {"STINK", "F"}},
        {{"ARTNUM", "1000005"}, {"ARTBEZ", "Geschenkgutschein 20 €"}, {"PREIS", "20.00"},
         {"WGRUPP", "#GUTSCHEIN"}, {"STSATZ", "0"}, {"EINZEL", "N"}, {"STINK", "F"}},
        {{"ARTNUM", "2000010"}, {"ARTBEZ", "Leihkamera Tagesmiete"}, {"PREIS", "25.00"},
         {"WGRUPP", "#VERLEIH"}, {"STSATZ", "1"}, {"EINZEL", "J"}, {"STINK", "F"},
         {"SERNUMVERW", "T"}, {"SERNUM", "LK-2024-0017"}},
    };
    return items;
}

void CreateStockMaster(const std::string& data_path) {
    Create(data_path + kStockMasterName, StockMasterLayout());
    TApolloTable stock;
    OpenExclusive(stock, data_path, kStockMasterName);
    long n = 0;
    for (const Values& own : OwnStockItems()) {
        AppendRecord(stock, own);
        ++n;
    }
    for (const DemoArticle& a : DemoDghArticles()) {
        if (a.in_stock) AppendRecord(stock, StockItemFromArticle(DghArticleNumber(a), a, ++n, "DGH"));
    }
    for (const DemoArticle& a : DemoFotocoArticles()) {
        if (a.in_stock) {
            AppendRecord(stock, StockItemFromArticle(FotocoArticleNumber(a), a, ++n, "FOTOCO"));
        }
    }
    stock.Close();
}

void CreateStockLog(const std::string& data_path) {
    Create(data_path + kStockLogName, StockLogLayout());
    TApolloTable log;
    OpenExclusive(log, data_path, kStockLogName);
    AppendRecord(log, {{"ARTNUM", "1000005"}, {"ARTBEZ", "Geschenkgutschein 20 €"},
                       {"TEXT", "Neuanlage"}, {"DATUM", "20251128"}, {"PREIS", "20.00"},
                       {"ABGA", "0"}, {"RUECK", "0"}, {"BENUTZER", "KASSE1"}});
    AppendRecord(log, {{"ARTNUM", "2000010"}, {"ARTBEZ", "Leihkamera Tagesmiete"},
                       {"TEXT", "Änderung"}, {"DATUM", "20260115"}, {"PREIS", "25.00"},
                       {"ABGA", "0"}, {"RUECK", "0"}, {"BENUTZER", "CHEF"}});
    log.Close();
}

// Builds every index file the catalogue lists for the stock master that is
// missing, MLAGER.NTX included.
void BuildMissingStockIndexes(const std::string& data_path) {
    TApolloTable stock;
    for (const CatalogueRow& row : DefaultCatalogue()) {
        if (row.dataFile != "MLAGER") continue;
        const std::string index = data_path + row.indexName + ".NTX";
        if (zer1::FileExists(index)) continue;
        if (!stock.Active()) OpenExclusive(stock, data_path, kStockMasterName);
        if (stock.Index(index, row.expression) <= 0) {
            throw std::runtime_error(index + " kann nicht aufgebaut werden");
        }
    }
    stock.Close();
}

}  // namespace

void WriteDemoPool(const std::string& data_path) {
    const std::string directory = zer1::WithTrailingSeparator(data_path);
    if (!zer1::FileExists(directory + zer1::kPoolTableName)) CreatePoolTable(directory);
    TApolloTable pool;
    for (const PoolIndex& index : PoolIndexes()) {
        if (zer1::FileExists(directory + index.file)) continue;
        if (!pool.Active()) OpenExclusive(pool, directory, zer1::kPoolTableName);
        if (pool.Index(directory + index.file, index.expression) <= 0) {
            throw std::runtime_error(directory + index.file + " kann nicht aufgebaut werden");
        }
    }
    pool.Close();
}

void WriteDemoStock(const std::string& data_path, const std::string& program_directory) {
    const std::string directory = zer1::WithTrailingSeparator(data_path);
    const std::string program = zer1::WithTrailingSeparator(program_directory);
    if (!zer1::FileExists(directory + kStockMasterName)) CreateStockMaster(directory);
    BuildMissingStockIndexes(directory);
    if (!zer1::FileExists(directory + kStockLogName)) CreateStockLog(directory);
    if (!zer1::FileExists(program + "INDEXES.DBF") &&
        !WriteCatalogueFile(program, DefaultCatalogue())) {
        throw std::runtime_error(program + "INDEXES.DBF kann nicht angelegt werden");
    }
}

}  // namespace jevhost
