#include "stock/stock_update.h"

#include <gtest/gtest.h>

#include "stock_world.h"

namespace zer1 {
namespace {

using testing::FieldValues;
using testing::Pad;
using testing::RawDbf;
using testing::StockWorld;

constexpr TakeOverSwitches kAllSwitches{true, true, true, true, true};

WorkingRecord Article(const std::string& number, const std::string& text) {
    WorkingRecord rec;
    rec.set(1, number);
    rec.set(2, text);
    rec.set(3, "     12.50");
    rec.set(4, "      7.25");
    rec.set(5, "GROSSHANDEL");
    rec.set(6, "Zusatz " + number);
    rec.set(8, "SUCH" + number);
    rec.set(9, "4711");
    rec.set(12, "1");
    rec.set(13, "B-" + number);
    return rec;
}

TEST(StockUpdateTest, Smoke) {
    StockWorld world;
    world.AddStockItems({{{"ARTNUM", "100"}, {"PREIS", "0"}}, {{"ARTNUM", "200"}}});
    world.AddArticle(Article("100", "Erster"));
    world.AddArticle(Article("300", "Dritter"));
    world.RunStockUpdate(StockMode::kUpdate, kAllSwitches);
    world.RunStockUpdate(StockMode::kNewItems, kAllSwitches);
    EXPECT_EQ(world.report, (std::vector<std::string>{"Lagerupdate: 1 \xC3\x84nderungen\r",
                                                      "Lagerupdate: 1 Neuanlagen\r"}));
    EXPECT_TRUE(world.ui.messages.empty());
    world.ExpectCatalogueIndexesMatchStockMaster();
}

}  // namespace
}  // namespace zer1
