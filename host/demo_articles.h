// The demo's articles: what a photo shop's wholesalers deliver, made up by a
// fixed-seed generator so that every demo holds the same articles.  German
// texts with umlauts and "€", prices with and without a substitute sales
// price, some articles without EAN.  Which of them the shop already has in
// its pool and stock master is decided here too, so that a run both
// changes and adds.
#ifndef ZER1_HOST_DEMO_ARTICLES_H
#define ZER1_HOST_DEMO_ARTICLES_H

#include <string>
#include <vector>

namespace jevhost {

struct DemoArticle {
    std::string ean;           // 13 digits (Fotoco: sometimes 11), or empty
    std::string order_number;  // the wholesaler's
    std::string description;   // as the wholesaler writes it (mixed case)
    std::string extra_text;    // first part of the additional text
    std::string extra_text_2;  // its second part
    std::string supplier;
    std::string group;
    std::string purchase;      // price texts as delivered
    std::string sales;         // may be empty ...
    std::string substitute;    // ... when this one is given
    bool in_pool = false;      // the shop's pool holds the article already
    bool in_stock = false;     // the shop's stock master holds it already
};

// The DGH articles (a few hundred) and the Fotoco articles.
const std::vector<DemoArticle>& DemoDghArticles();
const std::vector<DemoArticle>& DemoFotocoArticles();

// The article number (ARTNUM / FELD1) an article gets in the shop's tables:
// the EAN; without one, "!DGH" + order number (DGH) or ".F" + order number
// (Fotoco); an 11-digit Fotoco EAN gets "00" in front.
std::string DghArticleNumber(const DemoArticle& article);
std::string FotocoArticleNumber(const DemoArticle& article);

}  // namespace jevhost

#endif  // ZER1_HOST_DEMO_ARTICLES_H
