#include "host/demo_articles.h"

#include <cstdint>
#include <cstdio>

namespace jevhost {
namespace {

// A small linear congruential generator with a fixed seed: the same numbers
// on every machine and with every standard library.
class DemoRandom {
  public:
    explicit DemoRandom(uint64_t seed) : state_(seed) {}
    // A number in 0 .. bound - 1.
    unsigned Below(unsigned bound) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>((state_ >> 33) % bound);
    }
    bool Percent(unsigned chance) { return Below(100) < chance; }

  private:
    uint64_t state_;
};

// A product family: a description with one "{}" that a variant fills.
struct Family {
    const char* description;
    std::vector<const char*> variants;
    const char* extra_text;
    const char* extra_text_2;
    const char* supplier;
    const char* group;
    double purchase;  // of the cheapest variant
};

const std::vector<Family>& DghFamilies() {
    static const std::vector<Family> families{
        {"Kleinbildfilm {} ASA 36 Aufn.", {"100", "200", "400", "800"}, "Farbnegativ", "film",
         "Filmwerk", "FILM", 3.10},
        {"Sofortbildfilm {} 10 Aufn.", {"farbig", "schwarzweiß", "Rahmen weiß"}, "Sofortbild",
         "film", "Filmwerk", "FILM", 8.20},
        {"Fotopapier {} 50 Bl. glänzend", {"10x15", "13x18", "A4", "A3"}, "Hochglanz ",
         "für Tintendrucker", "Papyrus", "PAPIER", 4.80},
        {"Fotopapier {} 20 Bl. matt", {"10x15", "13x18", "A4"}, "Seidenmatt ",
         "für Tintendrucker", "Papyrus", "PAPIER", 3.90},
        {"Speicherkarte SD {} Klasse 10", {"16 GB", "32 GB", "64 GB", "128 GB"}, "Speicher",
         "karte", "Memox", "SPEICHER", 5.40},
        {"Speicherkarte microSD {} m. Adapter", {"32 GB", "64 GB", "128 GB", "256 GB"},
         "Speicher", "karte", "Memox", "SPEICHER", 6.90},
        {"Batterie {}", {"Mignon AA 4er", "Micro AAA 4er", "Knopfzelle CR2032", "9V-Block"},
         "Alkali", "-Mangan", "Voltex", "BATT", 1.60},
        {"Akku Li-Ion {}", {"1200 mAh", "1600 mAh", "2000 mAh"}, "Ersatzakku ", "für Kameras",
         "Voltex", "BATT", 11.50},
        {"Bilderrahmen {}", {"13x18 Buche", "20x30 Eiche natürlich", "30x40 Nussbaum",
                              "10x15 weiß lackiert", "A4 Aluminium"},
         "Größe ", "nach Maß", "Rahmenwerk", "RAHMEN", 4.20},
        {"Fotoalbum 60 Seiten Leinen {}", {"grün", "blau", "bordeaux", "schwarz"}, "Album ",
         "mit Pergamin", "Albumhaus", "ALBUM", 9.80},
        {"Kameratasche Größe {}", {"S", "M", "L", "XL"}, "Tasche ", "wasserabweisend",
         "Taschenprofi", "TASCHE", 7.50},
        {"Stativ Aluminium {}", {"mit Kugelkopf", "mit 3-Wege-Neiger", "Reise"}, "Stativ ",
         "höhenverstellbar", "Stativbau", "ZUBEHOER", 19.90},
        {"Objektivdeckel {} mm", {"52", "55", "58", "62", "67", "72"}, "Deckel ",
         "mit Innengriff", "Optikteile", "ZUBEHOER", 1.90},
        {"Reinigungstücher {}", {"50 Stück", "100 Stück", "Spender 200 St."}, "Für ",
         "Linsen & Displays", "Klarsicht", "PFLEGE", 2.30},
        {"Gutschein Fotoabzüge {}", {"10 €", "25 €", "50 €"}, "Gutschein", "karte",
         "Fotoservice", "GUTSCHEIN", 9.00},
        {"Passbildmappe {} 100 St.", {"grün", "grau", "weiß"}, "Mappe ", "für Passbilder",
         "Papyrus", "PAPIER", 5.60},
        {"Displayschutzfolie {}", {"3,0 Zoll", "3,2 Zoll", "universal"}, "Schutz", "folie",
         "Klarsicht", "ZUBEHOER", 1.20},
        {"Ladegerät {}", {"USB für Akkutyp A", "USB für Akkutyp B", "Dual mit Display"},
         "Lade", "gerät", "Voltex", "BATT", 8.90},
        {"Tragegurt {}", {"Leder schwarz", "Leder braun", "Nylon grün"}, "Gurt ",
         "verstellbar", "Taschenprofi", "TASCHE", 6.40},
        {"Diarahmen glaslos {}", {"100 St.", "500 St."}, "Dia", "rahmen", "Filmwerk", "FILM",
         4.10},
        {"Blitzgerät kompakt {}", {"Leitzahl 24", "Leitzahl 36", "Leitzahl 58"}, "Blitz ",
         "für Systemkameras", "Lichttechnik", "BLITZ", 39.00},
        {"Kartenleser USB {}", {"SD/microSD", "USB-C Multi", "CF/SD"}, "Karten", "leser",
         "Memox", "SPEICHER", 6.20},
        {"Fotobuch {} Hochglanz", {"A5 hoch", "A4 quer", "30x30 Quadrat"}, "Fotobuch ",
         "24 Seiten", "Fotoservice", "FOTOBUCH", 12.00},
        {"Fotogeschenk {}", {"Tasse weiß", "Puzzle 500 Teile", "Kalender A3", "Mauspad"},
         "Geschenk ", "mit eigenem Foto", "Fotoservice", "GESCHENK", 6.50},
    };
    return families;
}

const std::vector<Family>& FotocoFamilies() {
    static const std::vector<Family> families{
        {"Lumex-Bilderrahmen {}", {"Buche 13x18", "Eiche 20x30", "Alu 30x40", "weiß 10x15"},
         "Rahmen", "", "", "21", 3.95},
        {"Kontra-Leuchtplatte {}", {"A5", "A4", "A3"}, "LED", "", "", "34", 29.00},
        {"Dörrwald-Stativ {}", {"Action", "Reise Alu", "Studio"}, "Dreibein", "", "", "40", 17.50},
        {"Albo-Fotoalbum {}", {"Wochenbuch 100 S.", "Leinen grün", "Hochzeit weiß"},
         "Album", "", "", "12", 8.70},
        {"Hähnlein-Akku {}", {"Typ A14", "Typ B6", "Typ C126"}, "Li-Ion", "", "", "55",
         14.90},
        {"Papyra-Fotopapier {}", {"10x15 100 Bl.", "13x18 50 Bl.", "A4 25 Bl."}, "glänzend", "",
         "", "08", 5.20},
    };
    return families;
}

// The variant's text in place of "{}".
std::string Filled(const char* pattern, const char* variant) {
    std::string text = pattern;
    const std::size_t slot = text.find("{}");
    if (slot != std::string::npos) text.replace(slot, 2, variant);
    return text;
}

// A valid EAN-13 from the 12 digits before its check digit.
std::string Ean13(const std::string& twelve) {
    int sum = 0;
    for (std::size_t i = 0; i < twelve.size(); ++i) {
        sum += (twelve[i] - '0') * (i % 2 == 0 ? 1 : 3);
    }
    return twelve + static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string Price(double value, bool comma = false) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string price = text;
    if (comma) price[price.find('.')] = ',';
    return price;
}

// A sales price as a shop writes it: the purchase price with margin,
// ending in .49, .95 or .99.
double SalesPrice(double purchase, DemoRandom& random) {
    const double raw = purchase * (1.7 + random.Below(60) / 100.0);
    static const double endings[] = {0.49, 0.95, 0.99};
    const double whole = static_cast<double>(static_cast<long>(raw));
    return whole + endings[random.Below(3)];
}

std::vector<DemoArticle> MakeDghArticles() {
    DemoRandom random(20260302);
    std::vector<DemoArticle> articles;
    long order = 100200;
    for (int round = 0; round < 4; ++round) {
        for (const Family& family : DghFamilies()) {
            for (std::size_t v = 0; v < family.variants.size(); ++v) {
                DemoArticle a;
                a.order_number = std::to_string(order);
                order += 7 + random.Below(20);
                if (!random.Percent(8)) {
                    a.ean = Ean13("42" + std::to_string(5012340000L + order));
                }
                a.description = Filled(family.description, family.variants[v]);
                if (round > 0) a.description += " (" + std::to_string(round + 1) + "er-Pack)";
                a.extra_text = family.extra_text;
                a.extra_text_2 = family.extra_text_2;
                a.supplier = family.supplier;
                a.group = family.group;
                const double purchase =
                    (family.purchase + v * family.purchase * 0.35) * (round + 1) * 0.9;
                a.purchase = Price(purchase, random.Percent(10));
                const std::string sales = Price(SalesPrice(purchase, random), random.Percent(10));
                const unsigned kind = random.Below(100);
                if (kind < 15) {
                    a.substitute = sales;  // no sales price: the substitute stands in
                } else if (kind < 25) {
                    a.sales = sales;       // both given: the sales price wins
                    a.substitute = Price(SalesPrice(purchase, random));
                } else {
                    a.sales = sales;
                }
                a.in_pool = articles.size() % 2 == 0;
                a.in_stock = articles.size() % 3 == 0;
                articles.push_back(a);
            }
        }
    }
    return articles;
}

std::vector<DemoArticle> MakeFotocoArticles() {
    DemoRandom random(20260303);
    std::vector<DemoArticle> articles;
    long order = 40711;
    for (int round = 0; round < 3; ++round) {
        for (const Family& family : FotocoFamilies()) {
            for (std::size_t v = 0; v < family.variants.size(); ++v) {
                DemoArticle a;
                a.order_number = std::to_string(order);
                order += 3 + random.Below(9);
                const unsigned ean_kind = random.Below(10);
                if (ean_kind == 0) {
                    a.ean.clear();
                } else if (ean_kind == 1) {
                    a.ean = Ean13("4" + std::to_string(10087650000L + order)).substr(2);
                } else {
                    a.ean = Ean13("40" + std::to_string(7654300000L + order));
                }
                a.description = Filled(family.description, family.variants[v]);
                if (round > 0) a.description += " Set " + std::to_string(round + 1);
                a.extra_text = family.extra_text;
                a.group = family.group;
                const double purchase = (family.purchase + v * 2.5) * (round + 1);
                a.purchase = Price(purchase);
                a.sales = Price(SalesPrice(purchase, random));
                a.in_pool = articles.size() % 3 == 1;
                a.in_stock = articles.size() % 4 == 0;
                articles.push_back(a);
            }
        }
    }
    return articles;
}

}  // namespace

const std::vector<DemoArticle>& DemoDghArticles() {
    static const std::vector<DemoArticle> articles = MakeDghArticles();
    return articles;
}

const std::vector<DemoArticle>& DemoFotocoArticles() {
    static const std::vector<DemoArticle> articles = MakeFotocoArticles();
    return articles;
}

std::string DghArticleNumber(const DemoArticle& article) {
    return article.ean.empty() ? "!DGH" + article.order_number : article.ean;
}

std::string FotocoArticleNumber(const DemoArticle& article) {
    if (article.ean.empty()) return ".F" + article.order_number;
    if (article.ean.size() == 11) return "00" + article.ean;
    return article.ean;
}

}  // namespace jevhost
