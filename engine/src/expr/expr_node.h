// Expression tree nodes: what the compiler builds and the evaluator walks.
// Internal to the expression code (expr_*.cc).
#ifndef SDE61_EXPR_EXPR_NODE_H
#define SDE61_EXPR_EXPR_NODE_H

#include <string>
#include <string_view>
#include <vector>

#include "expr/expr.h"

namespace sde {

// State of one evaluation: the record, the options, and the first runtime
// failure.  After a failure the nodes go on with harmless values and the
// caller reports the failure.
struct EvalContext {
    const RecordSource* record = nullptr;
    const ExprOptions* options = nullptr;
    bool failed = false;
    std::string error;

    void Fail(std::string message) {
        if (!failed) {
            failed = true;
            error = std::move(message);
        }
    }
};

class ExprNode {
  public:
    virtual ~ExprNode() = default;
    virtual void Eval(EvalContext& ctx, Value& out) = 0;

    ExprShape shape;        // static type, key width and decimals
    int position = 0;       // 1-based position in the text, for messages
    bool constant = false;  // same value on every record
};

// Sets a computed number: width 10 digits before the point (20 from 1e10 on)
// plus the decimals.
void SetNumber(Value& out, double number, int decimals);

// A literal or a folded constant.
class LiteralNode final : public ExprNode {
  public:
    void Eval(EvalContext&, Value& out) override {
        out = value;
        if (value.type == ExprType::kCharacter) out.text = storage;
    }
    Value value;
    std::string storage;  // text of a character literal
};

// A field of the current record.
class FieldNode final : public ExprNode {
  public:
    void Eval(EvalContext& ctx, Value& out) override;
    int index = 0;
    char field_type = 'C';
    int width = 0;
    int decimals = 0;
    std::string name;
    std::string memo;  // text of a memo field
};

// A function or operator whose arguments are all evaluated first.
class CallNode;
using CallFn = void (*)(EvalContext& ctx, CallNode& self, Value& out);

class CallNode final : public ExprNode {
  public:
    void Eval(EvalContext& ctx, Value& out) override {
        for (size_t i = 0; i < args.size(); ++i) args[i]->Eval(ctx, values[i]);
        fn(ctx, *this, out);
    }
    CallFn fn = nullptr;
    std::vector<ExprNode*> args;
    std::vector<Value> values;  // one per argument, filled by Eval
    std::string buffer;         // the node's own result text
    std::string name;           // for runtime messages
};

// .AND. / .OR., evaluating the right side only when needed.
class LogicNode final : public ExprNode {
  public:
    void Eval(EvalContext& ctx, Value& out) override;
    bool is_and = true;
    ExprNode* left = nullptr;
    ExprNode* right = nullptr;
    Value scratch;
};

// IIF(condition, a, b), evaluating one branch only.
class IifNode final : public ExprNode {
  public:
    void Eval(EvalContext& ctx, Value& out) override;
    ExprNode* condition = nullptr;
    ExprNode* then_branch = nullptr;
    ExprNode* else_branch = nullptr;
    Value scratch;
};

// One function of the language: its name, argument counts and the routine
// that checks the arguments at compile time, sets the node's shape and
// chooses its evaluation routine.  Returns an empty text on success, else
// the problem (the compiler adds the position).
struct FunctionEntry {
    const char* name;
    int min_args;
    int max_args;
    bool pure;  // false for DATE, RECNO, DELETED: never folded
    std::string (*resolve)(CallNode& node, const ExprOptions& options);
};

// The function of this name (upper case), allowing a unique abbreviation of
// at least four letters; null when there is none.
const FunctionEntry* FindFunction(std::string_view upper_name);

// The word for a value type in error texts ("character", "numeric", ...).
const char* TypeWord(ExprType type);

// Compile-time value of a constant node (for widths such as SUBSTR's length).
bool ConstantValue(ExprNode* node, const ExprOptions& options, Value* out);

// Text of a value that functions such as PADL take for numbers and dates.
void ValueAsText(const Value& value, const ExprOptions& options, std::string* out);

// DTOC of a day number with the options' date format.
void FormatDateText(int32_t day_number, const std::string& format, std::string* out);
// CTOD: the day number of a text in the options' date format, 0 when invalid.
int32_t ParseDateText(std::string_view text, const ExprOptions& options);

// Operator routines chosen by the compiler.
CallFn ArithmeticFn(char op, ExprType left, ExprType right);
CallFn CompareFn(std::string_view op, ExprType type);
CallFn NegateFn();
CallFn NotFn();

}  // namespace sde

#endif  // SDE61_EXPR_EXPR_NODE_H
