// Compile-time resolution of the functions of the expression language: the
// table of functions and, for each, the check of its arguments, the shape of
// its result and the choice of its evaluation routine.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "expr/expr_functions.h"
#include "expr/expr_node.h"

namespace sde {

namespace {

// ---- compile-time resolution ------------------------------------------------

using Resolve = std::string (*)(CallNode& node, const ExprOptions& options);

void Shape(CallNode& node, ExprType type, int width, int decimals = 0) {
    node.shape.type = type;
    node.shape.width = width;
    node.shape.decimals = decimals;
}

int ArgWidth(const CallNode& node, size_t i) {
    return node.args[i]->shape.width;
}
int ArgMaxWidth(const CallNode& node, size_t i) {
    return node.args[i]->shape.max_width;
}

std::string ResolveCase(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kCharacter); !e.empty()) return e;
    Shape(node, ExprType::kCharacter, ArgWidth(node, 0));
    node.shape.max_width = ArgMaxWidth(node, 0);
    node.fn = node.name == "UPPER" ? EvalUpper : EvalLower;
    return {};
}

std::string ResolveTrim(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kCharacter); !e.empty()) return e;
    Shape(node, ExprType::kCharacter, -1);
    node.shape.max_width = ArgMaxWidth(node, 0);
    node.fn = node.name == "LTRIM" ? EvalLtrim : node.name == "ALLTRIM" ? EvalAlltrim : EvalRtrim;
    return {};
}

std::string ResolveSubstr(CallNode& node, const ExprOptions& options) {
    if (auto e = Expect(node, 0, ExprType::kCharacter); !e.empty()) return e;
    for (size_t i = 1; i < node.args.size(); ++i) {
        if (auto e = Expect(node, i, ExprType::kNumeric); !e.empty()) return e;
    }
    node.fn = EvalSubstr;
    int width = -1;
    long start = 0, count = 0;
    int source = ArgWidth(node, 0);
    if (source >= 0 && ConstInt(node, 1, options, &start) && start >= 1) {
        long rest = std::max(0L, long(source) - (start - 1));
        if (node.args.size() < 3)
            width = int(rest);
        else if (ConstInt(node, 2, options, &count))
            width = int(std::clamp(count, 0L, rest));
    }
    Shape(node, ExprType::kCharacter, width);
    node.shape.max_width = ArgMaxWidth(node, 0);
    return {};
}

std::string ResolveLeftRight(CallNode& node, const ExprOptions& options) {
    if (auto e = Expect(node, 0, ExprType::kCharacter); !e.empty()) return e;
    if (auto e = Expect(node, 1, ExprType::kNumeric); !e.empty()) return e;
    node.fn = node.name == "LEFT" ? EvalLeft : EvalRight;
    long n = 0;
    int width = -1;
    if (ArgWidth(node, 0) >= 0 && ConstInt(node, 1, options, &n)) {
        width = int(std::clamp(n, 0L, long(ArgWidth(node, 0))));
    }
    Shape(node, ExprType::kCharacter, width);
    node.shape.max_width = ArgMaxWidth(node, 0);
    return {};
}

std::string ResolveStr(CallNode& node, const ExprOptions& options) {
    if (auto e = Expect(node, 0, ExprType::kNumeric); !e.empty()) return e;
    for (size_t i = 1; i < node.args.size(); ++i) {
        if (auto e = Expect(node, i, ExprType::kNumeric); !e.empty()) return e;
    }
    node.fn = node.name == "STR" ? EvalStr : EvalStrzero;
    long width = -1;
    if (node.args.size() == 1)
        width = ArgWidth(node, 0);
    else if (!ConstInt(node, 1, options, &width))
        width = -1;
    else
        width = std::clamp(width, 0L, 255L);
    Shape(node, ExprType::kCharacter, int(width));
    return {};
}

std::string ResolveVal(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kCharacter); !e.empty()) return e;
    node.fn = EvalVal;
    Shape(node, ExprType::kNumeric, -1);
    return {};
}

std::string ResolveLen(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kCharacter); !e.empty()) return e;
    node.fn = EvalLen;
    Shape(node, ExprType::kNumeric, 10);
    return {};
}

std::string ResolveSpace(CallNode& node, const ExprOptions& options) {
    if (auto e = Expect(node, 0, ExprType::kNumeric); !e.empty()) return e;
    node.fn = EvalSpace;
    long n = 0;
    Shape(node, ExprType::kCharacter, ConstInt(node, 0, options, &n) ? int(std::max(0L, n)) : -1);
    return {};
}

std::string ResolveReplicate(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kCharacter); !e.empty()) return e;
    if (auto e = Expect(node, 1, ExprType::kNumeric); !e.empty()) return e;
    node.fn = EvalReplicate;
    Shape(node, ExprType::kCharacter, -1);  // constant calls are folded
    return {};
}

std::string ResolvePad(CallNode& node, const ExprOptions& options) {
    if (auto e = Expect(node, 1, ExprType::kNumeric); !e.empty()) return e;
    if (node.args.size() > 2) {
        if (auto e = Expect(node, 2, ExprType::kCharacter); !e.empty()) return e;
    }
    node.fn = node.name == "PADL" ? EvalPadl : node.name == "PADC" ? EvalPadc : EvalPadr;
    long n = 0;
    Shape(node, ExprType::kCharacter, ConstInt(node, 1, options, &n) ? int(std::max(0L, n)) : -1);
    return {};
}

std::string ResolveAt(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kCharacter); !e.empty()) return e;
    if (auto e = Expect(node, 1, ExprType::kCharacter); !e.empty()) return e;
    node.fn = node.name == "AT" ? EvalAt : EvalRat;
    Shape(node, ExprType::kNumeric, 10);
    return {};
}

std::string ResolveChr(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kNumeric); !e.empty()) return e;
    node.fn = EvalChr;
    Shape(node, ExprType::kCharacter, 1);
    return {};
}

std::string ResolveAsc(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kCharacter); !e.empty()) return e;
    node.fn = EvalAsc;
    Shape(node, ExprType::kNumeric, 10);
    return {};
}

std::string ResolveCharTest(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kCharacter); !e.empty()) return e;
    const std::string& n = node.name;
    node.fn = n == "ISALPHA"   ? EvalCharTest<IsAlphaChar>
              : n == "ISDIGIT" ? EvalCharTest<IsDigitChar>
              : n == "ISUPPER" ? EvalCharTest<IsUpperChar>
                               : EvalCharTest<IsLowerChar>;
    Shape(node, ExprType::kLogical, 1);
    return {};
}

std::string ResolveNumeric1(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kNumeric); !e.empty()) return e;
    if (node.name == "ABS") {
        node.fn = EvalAbs;
        Shape(node, ExprType::kNumeric, ArgWidth(node, 0), node.args[0]->shape.decimals);
    } else {
        node.fn = EvalInt;
        Shape(node, ExprType::kNumeric, -1);
    }
    return {};
}

std::string ResolveRound(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kNumeric); !e.empty()) return e;
    if (auto e = Expect(node, 1, ExprType::kNumeric); !e.empty()) return e;
    node.fn = EvalRound;
    Shape(node, ExprType::kNumeric, -1);
    return {};
}

std::string ResolveMinMax(CallNode& node, const ExprOptions&) {
    ExprType t = node.args[0]->shape.type;
    if (t != ExprType::kNumeric && t != ExprType::kDate) {
        return "Argument 1 of " + node.name + " must be numeric or date, not " + TypeWord(t);
    }
    if (auto e = Expect(node, 1, t); !e.empty()) return e;
    node.fn = node.name == "MIN" ? EvalMin : EvalMax;
    Shape(node, t, t == ExprType::kDate ? 8 : -1);
    return {};
}

std::string ResolveDtos(CallNode& node, const ExprOptions& options) {
    if (auto e = Expect(node, 0, ExprType::kDate); !e.empty()) return e;
    if (node.name == "DTOS") {
        node.fn = EvalDtos;
        Shape(node, ExprType::kCharacter, 8);
    } else {
        node.fn = EvalDtoc;
        std::string sample;
        FormatDateText(0, options.date_format, &sample);
        Shape(node, ExprType::kCharacter, int(sample.size()));
    }
    return {};
}

std::string ResolveCtod(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kCharacter); !e.empty()) return e;
    node.fn = node.name == "CTOD" ? EvalCtod : EvalStod;
    Shape(node, ExprType::kDate, 8);
    return {};
}

std::string ResolveDateFn(CallNode& node, const ExprOptions&) {
    node.fn = EvalDate;
    Shape(node, ExprType::kDate, 8);
    return {};
}

std::string ResolveDatePart(CallNode& node, const ExprOptions&) {
    if (auto e = Expect(node, 0, ExprType::kDate); !e.empty()) return e;
    const std::string& n = node.name;
    node.fn = n == "YEAR"    ? EvalDatePart<'Y'>
              : n == "MONTH" ? EvalDatePart<'M'>
              : n == "DAY"   ? EvalDatePart<'D'>
                             : EvalDatePart<'W'>;
    Shape(node, ExprType::kNumeric, 10);
    return {};
}

std::string ResolveEmpty(CallNode& node, const ExprOptions&) {
    node.fn = EvalEmpty;
    Shape(node, ExprType::kLogical, 1);
    return {};
}

std::string ResolveRecno(CallNode& node, const ExprOptions&) {
    node.fn = EvalRecno;
    Shape(node, ExprType::kNumeric, 10);
    return {};
}

std::string ResolveDeleted(CallNode& node, const ExprOptions&) {
    node.fn = EvalDeleted;
    Shape(node, ExprType::kLogical, 1);
    return {};
}

std::string ResolveDescend(CallNode& node, const ExprOptions&) {
    node.fn = EvalDescend;
    const ExprShape& a = node.args[0]->shape;
    if (a.type == ExprType::kDate)
        Shape(node, ExprType::kNumeric, 10);
    else
        Shape(node, a.type, a.width, a.decimals);
    if (a.type == ExprType::kCharacter) node.shape.max_width = a.max_width;
    return {};
}

// IIF is built by the compiler itself (it evaluates one branch only); this
// entry only makes the name known.
std::string ResolveIif(CallNode&, const ExprOptions&) {
    return "IIF handled by the compiler";
}

const FunctionEntry kFunctions[] = {
    {"ABS", 1, 1, true, ResolveNumeric1},     {"ALLTRIM", 1, 1, true, ResolveTrim},
    {"ASC", 1, 1, true, ResolveAsc},          {"AT", 2, 2, true, ResolveAt},
    {"CHR", 1, 1, true, ResolveChr},          {"CTOD", 1, 1, true, ResolveCtod},
    {"DATE", 0, 0, false, ResolveDateFn},     {"DAY", 1, 1, true, ResolveDatePart},
    {"DELETED", 0, 0, false, ResolveDeleted}, {"DESCEND", 1, 1, true, ResolveDescend},
    {"DOW", 1, 1, true, ResolveDatePart},     {"DTOC", 1, 1, true, ResolveDtos},
    {"DTOS", 1, 1, true, ResolveDtos},        {"EMPTY", 1, 1, true, ResolveEmpty},
    {"IF", 3, 3, true, ResolveIif},           {"IIF", 3, 3, true, ResolveIif},
    {"INT", 1, 1, true, ResolveNumeric1},     {"ISALPHA", 1, 1, true, ResolveCharTest},
    {"ISDIGIT", 1, 1, true, ResolveCharTest}, {"ISLOWER", 1, 1, true, ResolveCharTest},
    {"ISUPPER", 1, 1, true, ResolveCharTest}, {"LEFT", 2, 2, true, ResolveLeftRight},
    {"LEN", 1, 1, true, ResolveLen},          {"LOWER", 1, 1, true, ResolveCase},
    {"LTRIM", 1, 1, true, ResolveTrim},       {"MAX", 2, 2, true, ResolveMinMax},
    {"MIN", 2, 2, true, ResolveMinMax},       {"MONTH", 1, 1, true, ResolveDatePart},
    {"PADC", 2, 3, true, ResolvePad},         {"PADL", 2, 3, true, ResolvePad},
    {"PADR", 2, 3, true, ResolvePad},         {"RAT", 2, 2, true, ResolveAt},
    {"RECNO", 0, 0, false, ResolveRecno},     {"REPLICATE", 2, 2, true, ResolveReplicate},
    {"RIGHT", 2, 2, true, ResolveLeftRight},  {"ROUND", 2, 2, true, ResolveRound},
    {"RTRIM", 1, 1, true, ResolveTrim},       {"SPACE", 1, 1, true, ResolveSpace},
    {"STOD", 1, 1, true, ResolveCtod},        {"STR", 1, 3, true, ResolveStr},
    {"STRZERO", 1, 3, true, ResolveStr},      {"SUBSTR", 2, 3, true, ResolveSubstr},
    {"TRIM", 1, 1, true, ResolveTrim},        {"UPPER", 1, 1, true, ResolveCase},
    {"VAL", 1, 1, true, ResolveVal},          {"YEAR", 1, 1, true, ResolveDatePart},
};

}  // namespace

const FunctionEntry* FindFunction(std::string_view upper_name) {
    const FunctionEntry* abbreviated = nullptr;
    int matches = 0;
    for (const FunctionEntry& f : kFunctions) {
        std::string_view name = f.name;
        if (name == upper_name) return &f;
        if (upper_name.size() >= 4 && name.substr(0, upper_name.size()) == upper_name) {
            abbreviated = &f;
            ++matches;
        }
    }
    return matches == 1 ? abbreviated : nullptr;
}

}  // namespace sde
