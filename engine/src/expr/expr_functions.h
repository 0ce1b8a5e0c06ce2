// The evaluation routines of the functions of the expression language and
// the argument helpers their compile-time resolution shares with them.
#ifndef SDE61_EXPR_EXPR_FUNCTIONS_H
#define SDE61_EXPR_EXPR_FUNCTIONS_H

#include <string>

#include "expr/expr_node.h"

namespace sde {

// Empty when argument i of the call has the type, else the problem.
std::string Expect(const CallNode& node, size_t i, ExprType type);
// Compile-time value of a numeric argument, when it is constant.
bool ConstInt(CallNode& node, size_t i, const ExprOptions& options, long* out);

// One routine per function; the resolution chooses among them.
void EvalAbs(EvalContext& ctx, CallNode& self, Value& out);
void EvalAlltrim(EvalContext& ctx, CallNode& self, Value& out);
void EvalAsc(EvalContext& ctx, CallNode& self, Value& out);
void EvalAt(EvalContext& ctx, CallNode& self, Value& out);
// ISALPHA, ISDIGIT, ISUPPER, ISLOWER: one routine per character test.
bool IsAlphaChar(char c);
bool IsDigitChar(char c);
bool IsUpperChar(char c);
bool IsLowerChar(char c);
template <bool (*Test)(char)>
void EvalCharTest(EvalContext& ctx, CallNode& self, Value& out);
void EvalChr(EvalContext& ctx, CallNode& self, Value& out);
void EvalCtod(EvalContext& ctx, CallNode& self, Value& out);
void EvalDate(EvalContext& ctx, CallNode& self, Value& out);
// YEAR, MONTH, DAY, DOW: Part is 'Y', 'M', 'D' or 'W'.
template <char Part>
void EvalDatePart(EvalContext& ctx, CallNode& self, Value& out);
void EvalDeleted(EvalContext& ctx, CallNode& self, Value& out);
void EvalDescend(EvalContext& ctx, CallNode& self, Value& out);
void EvalDtoc(EvalContext& ctx, CallNode& self, Value& out);
void EvalDtos(EvalContext& ctx, CallNode& self, Value& out);
void EvalEmpty(EvalContext& ctx, CallNode& self, Value& out);
void EvalInt(EvalContext& ctx, CallNode& self, Value& out);
void EvalLeft(EvalContext& ctx, CallNode& self, Value& out);
void EvalLen(EvalContext& ctx, CallNode& self, Value& out);
void EvalLower(EvalContext& ctx, CallNode& self, Value& out);
void EvalLtrim(EvalContext& ctx, CallNode& self, Value& out);
void EvalMax(EvalContext& ctx, CallNode& self, Value& out);
void EvalMin(EvalContext& ctx, CallNode& self, Value& out);
void EvalPadc(EvalContext& ctx, CallNode& self, Value& out);
void EvalPadl(EvalContext& ctx, CallNode& self, Value& out);
void EvalPadr(EvalContext& ctx, CallNode& self, Value& out);
void EvalRat(EvalContext& ctx, CallNode& self, Value& out);
void EvalRecno(EvalContext& ctx, CallNode& self, Value& out);
void EvalReplicate(EvalContext& ctx, CallNode& self, Value& out);
void EvalRight(EvalContext& ctx, CallNode& self, Value& out);
void EvalRound(EvalContext& ctx, CallNode& self, Value& out);
void EvalRtrim(EvalContext& ctx, CallNode& self, Value& out);
void EvalSpace(EvalContext& ctx, CallNode& self, Value& out);
void EvalStod(EvalContext& ctx, CallNode& self, Value& out);
void EvalStr(EvalContext& ctx, CallNode& self, Value& out);
void EvalStrzero(EvalContext& ctx, CallNode& self, Value& out);
void EvalSubstr(EvalContext& ctx, CallNode& self, Value& out);
void EvalUpper(EvalContext& ctx, CallNode& self, Value& out);
void EvalVal(EvalContext& ctx, CallNode& self, Value& out);

}  // namespace sde

#endif  // SDE61_EXPR_EXPR_FUNCTIONS_H
