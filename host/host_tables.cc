#include "host/host_tables.h"

#include <algorithm>
#include <filesystem>

#include "storage/apollo_table.h"

namespace jevhost {

using zer1::TApolloTable;

namespace {

// The 34 handled fields and the 60 further fields of the host, sorted by
// name as the host's table has them.
std::vector<StockFieldDef> MakeLayout() {
    std::vector<StockFieldDef> fields{
        // handled
        {"ARTNUM", 'C', 13, 0},
        {"ARTBEZ", 'C', 50, 0},
        {"TEX1", 'C', 50, 0},
        {"STSATZ", 'N', 1, 0},
        {"STSATZ_2", 'N', 1, 0},
        {"PREIS", 'N', 12, 2},
        {"EKPR", 'N', 12, 2},
        {"WGRUPP", 'C', 13, 0},
        {"LIFERANT", 'C', 22, 0},
        {"LIBNR1", 'C', 13, 0},
        {"SUCHCOD", 'C', 13, 0},
        {"VKPR", 'N', 12, 2},
        {"KOST_2", 'N', 12, 2},
        {"KOND_2", 'N', 12, 2},
        {"KOST", 'N', 12, 2},
        {"STRASPREIS", 'N', 12, 2},
        {"KOND", 'N', 12, 2},
        {"LASTEK", 'N', 12, 2},
        {"ZUGA", 'N', 10, 2},
        {"ABGA", 'N', 10, 2},
        {"MBEST", 'N', 10, 2},
        {"HBEST", 'N', 10, 2},
        {"MIDLEK", 'N', 12, 2},
        {"EINHEIT", 'N', 8, 2},
        {"RESV", 'N', 10, 2},
        {"RABA", 'N', 6, 2},
        {"RABB", 'N', 6, 2},
        {"RABC", 'N', 6, 2},
        {"STINK", 'L', 1, 0},
        {"STINK_2", 'L', 1, 0},
        {"WEBARTIKEL", 'L', 1, 0},
        {"SERNUMVERW", 'L', 1, 0},
        {"BSTWARNUNG", 'L', 1, 0},
        {"EINZEL", 'C', 1, 0},
        // the host's own
        {"BONUS", 'N', 12, 2},
        {"EANCD2", 'C', 13, 0},
        {"EKDAT", 'D', 8, 0},
        {"EKPR_2", 'N', 12, 2},
        {"FARBE", 'C', 10, 0},
        {"FILFAKT", 'N', 10, 3},
        {"FIX", 'C', 1, 0},
        {"FOWIS", 'C', 4, 0},
        {"GBABGA", 'N', 12, 2},
        {"GBEK", 'N', 12, 2},
        {"GBRENDITE", 'N', 12, 2},
        {"GBVK", 'N', 12, 2},
        {"GBZUGA", 'N', 12, 2},
        {"GELDBERG", 'L', 1, 0},
        {"GESAMT", 'N', 12, 2},
        {"GROESSE", 'C', 5, 0},
        {"HSTLOGO", 'C', 100, 0},
        {"IBILD1", 'C', 30, 0},
        {"IBILD2", 'C', 30, 0},
        {"IMENGE", 'N', 10, 0},
        {"IPREIS", 'N', 12, 2},
        {"IRESERVE", 'C', 30, 0},
        {"KNUMM", 'N', 8, 0},
        {"LIBNR2", 'C', 13, 0},
        {"LIBNR3", 'C', 13, 0},
        {"LIFERAN2", 'C', 22, 0},
        {"LIFERAN3", 'C', 22, 0},
        {"LINF2", 'C', 32, 0},
        {"LINFO", 'C', 32, 0},
        {"LNUM1", 'N', 6, 0},
        {"LNUM2", 'N', 6, 0},
        {"LNUM3", 'N', 6, 0},
        {"MARKE", 'C', 1, 0},
        {"PPREIS1", 'N', 12, 2},
        {"PPREIS2", 'N', 12, 2},
        {"PPREIS3", 'N', 12, 2},
        {"PREISCODE", 'C', 9, 0},
        {"PREIS_2", 'N', 12, 2},
        {"PRODLOGO", 'C', 100, 0},
        {"PSTK1", 'N', 8, 2},
        {"PSTK2", 'N', 8, 2},
        {"PSTK3", 'N', 8, 2},
        {"SERNUM", 'C', 13, 0},
        {"SPDATE", 'D', 8, 0},
        {"SPDBIS", 'D', 8, 0},
        {"SPERR", 'L', 1, 0},
        {"SPEZI", 'C', 30, 0},
        {"SPREIS", 'N', 12, 2},
        {"STATUS", 'C', 4, 0},
        {"TEX2", 'C', 50, 0},
        {"TEX3", 'C', 50, 0},
        {"TEX4", 'C', 50, 0},
        {"UPDAT", 'C', 8, 0},
        {"USER_C_01", 'C', 20, 0},
        {"USER_D_01", 'D', 8, 0},
        {"USER_N_01", 'N', 12, 2},
        {"VJABGA", 'N', 12, 2},
        {"VKDAT", 'D', 8, 0},
        {"ZKZ1", 'C', 2, 0},
        {"ZKZ2", 'C', 2, 0},
    };
    std::sort(fields.begin(), fields.end(), [](const StockFieldDef& a, const StockFieldDef& b) {
        return std::string(a.name) < b.name;
    });
    return fields;
}

}  // namespace

bool CreateTable(const std::string& file, const std::vector<StockFieldDef>& fields) {
    TApolloTable maker;
    if (!maker.CreateNew(file, zer1::kTableTypeNtx, static_cast<int>(fields.size()))) return false;
    for (const auto& f : fields) {
        maker.CreateField(f.name, std::string(1, f.type), f.width, f.decimals);
    }
    return maker.CreateExec();
}

bool WriteCatalogueFile(const std::string& catalogueDirectory,
                        const std::vector<CatalogueRow>& rows) {
    const std::string file = catalogueDirectory + "INDEXES.DBF";
    std::filesystem::remove(file);
    if (!CreateTable(
            file, {{"DATAFILE", 'C', 8, 0}, {"INDEXNAME", 'C', 12, 0}, {"INDEXEXP", 'C', 80, 0}})) {
        return false;
    }
    TApolloTable catalogue;
    catalogue.SetDatabaseName(catalogueDirectory);
    catalogue.SetTableName("INDEXES.DBF");
    catalogue.SetExclusive(true);
    catalogue.Open();
    for (const auto& row : rows) {
        catalogue.Append();
        catalogue.FieldByName("DATAFILE").SetAsString(row.dataFile);
        catalogue.FieldByName("INDEXNAME").SetAsString(row.indexName);
        catalogue.FieldByName("INDEXEXP").SetAsString(row.expression);
        catalogue.Post();
    }
    return true;
}

const std::vector<StockFieldDef>& StockMasterLayout() {
    static const std::vector<StockFieldDef> layout = MakeLayout();
    return layout;
}

const std::vector<StockFieldDef>& StockLogLayout() {
    static const std::vector<StockFieldDef> layout{
        {"ARTNUM", 'C', 13, 0}, {"ARTBEZ", 'C', 50, 0}, {"TEXT", 'C', 10, 0},
        {"DATUM", 'D', 8, 0},   {"PREIS", 'N', 12, 2},  {"ZUGA", 'N', 10, 2},
        {"ABGA", 'N', 10, 2},   {"RUECK", 'N', 10, 2},  {"BENUTZER", 'C', 10, 0}};
    return layout;
}

const std::vector<StockFieldDef>& PoolLayout() {
    static const std::vector<StockFieldDef> layout{
        {"FELD11", 'C', 2, 0},  {"FELD1", 'C', 13, 0}, {"FELD2", 'C', 40, 0},
        {"FELD3", 'C', 10, 0},  {"FELD4", 'C', 10, 0}, {"FELD13", 'C', 13, 0},
        {"FELD5", 'C', 15, 0},  {"FELD8", 'C', 13, 0}, {"FELD9", 'C', 13, 0},
        {"FELD6", 'C', 40, 0},  {"FELD7", 'C', 40, 0}, {"FELD10", 'C', 8, 0},
        {"FELD12", 'C', 1, 0},  {"NOTIZ", 'C', 20, 0}};
    return layout;
}

const std::vector<PoolIndex>& PoolIndexes() {
    static const std::vector<PoolIndex> indexes{{"JE1.NTX", "FELD1"},
                                                {"JE2.NTX", "UPPER(FELD2)"},
                                                {"JE3.NTX", "FELD13"},
                                                {"JE4.NTX", "FELD9+FELD1"},
                                                {"JE5.NTX", "FELD11+FELD1"}};
    return indexes;
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

}  // namespace jevhost
