#include "fowis/price_list_conversion.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "common/text_encoding.h"
#include "common/ui_services.h"
#include "fowis/price_text.h"
#include "run/run_host.h"
#include "storage/apollo_table.h"

namespace zer1 {
namespace {

// Width of the price table's EAN field; a built EAN is cut to it.
constexpr std::size_t kEanWidth = 13;

enum class StepKind { kText, kPrice, kEan, kArticle };

// Writing one price field: where its value comes from and how it is converted.
struct MappingStep {
    StepKind kind;
    std::string target_name;  // upper case, as price messages name it
    TApolloField* target;     // field of the price table
    TApolloField* source;     // staging field (text and price copies)
};

// The staging fields that a built EAN is made of.
struct EanSources {
    TApolloField* firma;
    TApolloField* artnr1;
};

// The fields of both tables, looked up once, in the order in which a price
// record is written.  Staging fields that are not listed (KAPITEL, NIX..NIX3,
// G11..G21, T11..T21) are not carried over; V6..V10, P6..P10 and RF1 stay
// empty.
std::vector<MappingStep> BindMapping(TApolloTable& staging, TApolloTable& price) {
    std::vector<MappingStep> steps;
    auto add = [&](StepKind kind, const std::string& target, const std::string& source) {
        steps.push_back({kind, target, &price.FieldByName(target),
                         source.empty() ? nullptr : &staging.FieldByName(source)});
    };
    add(StepKind::kText, "ARTNR1", "ARTNR1");
    add(StepKind::kEan, "EAN", "EAN");
    add(StepKind::kPrice, "LEK", "LEK");
    add(StepKind::kPrice, "UEVP", "UEVK");
    for (int i = 1; i <= 10; ++i)
        add(StepKind::kText, "G" + std::to_string(i), "G" + std::to_string(i));
    for (int i = 1; i <= 10; ++i)
        add(StepKind::kPrice, "T" + std::to_string(i), "T" + std::to_string(i));
    for (int i = 1; i <= 5; ++i)
        add(StepKind::kText, "V" + std::to_string(i), "V" + std::to_string(i));
    for (int i = 1; i <= 5; ++i)
        add(StepKind::kPrice, "P" + std::to_string(i), "P" + std::to_string(i));
    add(StepKind::kArticle, "ARTIKEL", "");
    add(StepKind::kText, "RF_NR", "RF_NR");
    add(StepKind::kText, "RF2", "RF2");
    add(StepKind::kPrice, "RP1", "RP1");
    add(StepKind::kPrice, "RP2", "RP2");
    add(StepKind::kText, "FIRMA", "FIRMA");
    return steps;
}

// "F", characters 2 to 4 of FIRMA and ARTNR1, counted in the table's code
// page and cut to the EAN field's 13 characters.
std::string BuildEan(const EanSources& sources) {
    const std::string firma = Utf8ToWindows1252(sources.firma->AsString());
    std::string ean = "F" + (firma.size() > 1 ? firma.substr(1, 3) : std::string()) +
                      Utf8ToWindows1252(sources.artnr1->AsString());
    if (ean.size() > kEanWidth) ean.resize(kEanWidth);
    return Windows1252ToUtf8(ean);
}

void WriteStep(const MappingStep& step, TApolloTable& staging, const EanSources& ean,
               float factor) {
    switch (step.kind) {
        case StepKind::kText:
            step.target->SetAsString(step.source->AsString());
            return;
        case StepKind::kPrice:
            step.target->SetAsFloat(
                ConvertPriceForField(step.target_name, step.source->AsString(), factor));
            return;
        case StepKind::kEan:
            step.target->SetAsString(staging.FieldIsEmpty(step.source->FieldName())
                                         ? BuildEan(ean)
                                         : step.source->AsString());
            return;
        case StepKind::kArticle:
            step.target->SetAsString(staging.EvalString(kArticleExpression));
            return;
    }
}

// A staging record made from a line of nothing but blanks: every field holds
// only blanks.  Such a line carries no price record.
bool IsBlankRecord(TApolloTable& staging) {
    for (int i = 0; i < staging.FieldCount(); ++i) {
        if (!staging.Fields(i).IsNull()) return false;
    }
    return true;
}

}  // namespace

long ConvertStagedPriceList(TApolloTable& staging, TApolloTable& price, float factor,
                            ProgressWindow& progress) {
    const std::vector<MappingStep> steps = BindMapping(staging, price);
    const EanSources ean{&staging.FieldByName("FIRMA"), &staging.FieldByName("ARTNR1")};

    progress.SetMaximum(static_cast<int>(std::min<long>(staging.RecordCount(), INT_MAX)));
    staging.First();
    long position = 0;
    long converted = 0;
    while (!staging.Eof()) {
        ++position;
        progress.SetPosition(static_cast<int>(std::min<long>(position, INT_MAX)));
        if (!IsBlankRecord(staging)) {
            // Appending posts the record before it.
            price.Append();
            for (const MappingStep& step : steps) WriteStep(step, staging, ean, factor);
            ++converted;
        }
        staging.Next();
        ProcessPendingMessages();
    }
    if (price.State() == TDataSetState::dsInsert) price.Post();
    return converted;
}

}  // namespace zer1
