// The expression compiler: tokens, precedence parser, type checks, constant
// folding.  The evaluation lives in expr_evaluator.cc.
//
// Operator precedence, highest first:
//   unary + -;  ** ^;  * / %;  + -;  = == != <> # < > <= >= $;
//   .NOT. !;  .AND.;  .OR.
// Binary operators of one level group from the left.
#include <algorithm>
#include <cctype>

#include "expr/expr_node.h"

namespace sde {

// ---- tokens --------------------------------------------------------------------

namespace {

enum class Tok {
    kEnd,
    kNumber,
    kString,
    kIdent,
    kArrow,
    kLParen,
    kRParen,
    kComma,
    kOperator,  // + - * / % ** ^ = == != <> # < > <= >= $
    kTrue,
    kFalse,
    kAnd,
    kOr,
    kNot,  // .NOT. or !
};

struct Token {
    Tok kind = Tok::kEnd;
    std::string text;  // operator, identifier (upper case), string contents, number text
    int position = 0;  // 1-based
};

std::string Upper(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    }
    return r;
}

bool IsIdentStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}

}  // namespace

// Turns text into a typed tree; a friend of Expression.
class ExprCompiler {
  public:
    ExprCompiler(std::string_view text, const RecordSource& schema, const ExprOptions& options,
                 Expression* target)
        : text_(text), schema_(schema), options_(options), target_(target) {}

    Status Run() {
        SDE_RETURN_IF_ERROR(Tokenize());
        ExprNode* root = nullptr;
        SDE_RETURN_IF_ERROR(ParseOr(&root));
        if (Peek().kind != Tok::kEnd) return Error("Unexpected " + Describe(Peek()), Peek());
        target_->root_ = root;
        target_->shape_ = root->shape;
        return Status::OK();
    }

  private:
    // ---- tokenizer
    Status Tokenize() {
        size_t i = 0;
        while (i < text_.size()) {
            char c = text_[i];
            int pos = int(i) + 1;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++i;
                continue;
            }
            Token t;
            t.position = pos;
            if ((c >= '0' && c <= '9') ||
                (c == '.' && i + 1 < text_.size() && text_[i + 1] >= '0' && text_[i + 1] <= '9')) {
                size_t start = i;
                while (i < text_.size() && text_[i] >= '0' && text_[i] <= '9') ++i;
                if (i < text_.size() && text_[i] == '.' && i + 1 < text_.size() &&
                    text_[i + 1] >= '0' && text_[i + 1] <= '9') {
                    ++i;
                    while (i < text_.size() && text_[i] >= '0' && text_[i] <= '9') ++i;
                } else if (i < text_.size() && text_[i] == '.' &&
                           (i + 1 == text_.size() || !std::isalpha(uint8_t(text_[i + 1])))) {
                    ++i;  // "12." is twelve
                }
                t.kind = Tok::kNumber;
                t.text = std::string(text_.substr(start, i - start));
            } else if (c == '"' || c == '\'' || c == '[') {
                char close = c == '[' ? ']' : c;
                size_t end = text_.find(close, i + 1);
                if (end == std::string_view::npos) {
                    return ErrorAt("Unterminated string", pos);
                }
                t.kind = Tok::kString;
                t.text = std::string(text_.substr(i + 1, end - i - 1));
                i = end + 1;
            } else if (IsIdentStart(c)) {
                size_t start = i;
                while (i < text_.size() && IsIdentChar(text_[i])) ++i;
                t.kind = Tok::kIdent;
                t.text = Upper(text_.substr(start, i - start));
            } else if (c == '.') {
                size_t end = text_.find('.', i + 1);
                std::string word =
                    end == std::string_view::npos ? "" : Upper(text_.substr(i + 1, end - i - 1));
                if (word == "T" || word == "Y")
                    t.kind = Tok::kTrue;
                else if (word == "F" || word == "N")
                    t.kind = Tok::kFalse;
                else if (word == "AND")
                    t.kind = Tok::kAnd;
                else if (word == "OR")
                    t.kind = Tok::kOr;
                else if (word == "NOT")
                    t.kind = Tok::kNot;
                else
                    return ErrorAt("Unknown operator starting with '.'", pos);
                t.text = "." + word + ".";
                i = end + 1;
            } else if (c == '-' && i + 1 < text_.size() && text_[i + 1] == '>') {
                t.kind = Tok::kArrow;
                t.text = "->";
                i += 2;
            } else if (c == '(' || c == ')' || c == ',') {
                t.kind = c == '(' ? Tok::kLParen : c == ')' ? Tok::kRParen : Tok::kComma;
                t.text = std::string(1, c);
                ++i;
            } else {
                static const char* const kOperators[] = {
                    "**", "==", "!=", "<>", "<=", ">=", "+", "-", "*",
                    "/",  "%",  "^",  "=",  "#",  "<",  ">", "$", "!"};
                bool matched = false;
                for (const char* op : kOperators) {
                    std::string_view o(op);
                    if (text_.substr(i, o.size()) == o) {
                        t.kind = o == "!" ? Tok::kNot : Tok::kOperator;
                        t.text = std::string(o);
                        i += o.size();
                        matched = true;
                        break;
                    }
                }
                if (!matched) {
                    return ErrorAt("Unexpected character '" + std::string(1, c) + "'", pos);
                }
            }
            tokens_.push_back(std::move(t));
        }
        Token end;
        end.position = int(text_.size()) + 1;
        tokens_.push_back(end);
        return Status::OK();
    }

    // ---- helpers
    const Token& Peek() const { return tokens_[next_]; }
    const Token& Take() { return tokens_[next_++]; }
    bool PeekOperator(std::string_view op) const {
        return Peek().kind == Tok::kOperator && Peek().text == op;
    }

    static std::string Describe(const Token& t) {
        if (t.kind == Tok::kEnd) return "end of expression";
        if (t.kind == Tok::kString) return "string \"" + t.text + "\"";
        return "'" + t.text + "'";
    }

    Status ErrorAt(const std::string& what, int position) const {
        return Status::InvalidArgument(what + " at position " + std::to_string(position) +
                                       " in expression \"" + std::string(text_) + "\"");
    }
    Status Error(const std::string& what, const Token& at) const {
        return ErrorAt(what, at.position);
    }

    template <typename T>
    T* Make(int position) {
        auto node = std::make_unique<T>();
        T* raw = node.get();
        raw->position = position;
        target_->nodes_.push_back(std::move(node));
        return raw;
    }

    // Depth of nesting: parentheses, calls and unary operators.
    struct DepthGuard {
        explicit DepthGuard(int* depth) : depth_(depth) { ++*depth_; }
        ~DepthGuard() { --*depth_; }
        int* depth_;
    };
    Status CheckDepth(const Token& at) const {
        if (depth_ > kMaxExprDepth) {
            return Error(
                "Expression nested more than " + std::to_string(kMaxExprDepth) + " levels deep",
                at);
        }
        return Status::OK();
    }


    // Replaces a node whose value cannot change by a literal of that value;
    // also settles the node's width bound.
    Status Fold(ExprNode** node) {
        ExprShape& shape = (*node)->shape;
        if (shape.width >= 0) shape.max_width = shape.width;
        if (shape.type != ExprType::kCharacter) shape.max_width = -1;
        if (!(*node)->constant || dynamic_cast<LiteralNode*>(*node) != nullptr) {
            return Status::OK();
        }
        EvalContext ctx;
        ctx.options = &options_;
        Value v;
        (*node)->Eval(ctx, v);
        if (ctx.failed) return ErrorAt(ctx.error, (*node)->position);
        LiteralNode* literal = Make<LiteralNode>((*node)->position);
        if (v.type == ExprType::kCharacter) literal->storage.assign(v.text);
        literal->value = v;
        literal->constant = true;
        literal->shape.type = v.type;
        literal->shape.decimals = v.type == ExprType::kNumeric ? v.decimals : 0;
        switch (v.type) {
            case ExprType::kCharacter:
                literal->shape.width = int(v.text.size());
                literal->shape.max_width = literal->shape.width;
                break;
            case ExprType::kNumeric:
                literal->shape.width = v.width;
                break;
            case ExprType::kDate:
                literal->shape.width = 8;
                break;
            case ExprType::kLogical:
                literal->shape.width = 1;
                break;
        }
        *node = literal;
        return Status::OK();
    }

    // A call node for an operator of two operands, typed by fn.
    CallNode* MakeOperator(const Token& op, CallFn fn, ExprNode* a, ExprNode* b) {
        CallNode* node = Make<CallNode>(op.position);
        node->fn = fn;
        node->name = op.text;
        node->args = {a, b};
        node->values.resize(2);
        node->constant = a->constant && b->constant;
        return node;
    }

    // ---- grammar
    Status ParseOr(ExprNode** out) {
        DepthGuard guard(&depth_);
        SDE_RETURN_IF_ERROR(CheckDepth(Peek()));
        SDE_RETURN_IF_ERROR(ParseAnd(out));
        while (Peek().kind == Tok::kOr) {
            SDE_RETURN_IF_ERROR(Logic(out, false));
        }
        return Status::OK();
    }

    Status ParseAnd(ExprNode** out) {
        SDE_RETURN_IF_ERROR(ParseNot(out));
        while (Peek().kind == Tok::kAnd) {
            SDE_RETURN_IF_ERROR(Logic(out, true));
        }
        return Status::OK();
    }

    Status Logic(ExprNode** left, bool is_and) {
        const Token& op = Take();
        ExprNode* right = nullptr;
        if (is_and) {
            SDE_RETURN_IF_ERROR(ParseNot(&right));
        } else {
            SDE_RETURN_IF_ERROR(ParseAnd(&right));
        }
        for (ExprNode* side : {*left, right}) {
            if (side->shape.type != ExprType::kLogical) {
                return Error(op.text + " needs logical operands, not " + TypeWord(side->shape.type),
                             op);
            }
        }
        LogicNode* node = Make<LogicNode>(op.position);
        node->is_and = is_and;
        node->left = *left;
        node->right = right;
        node->shape = {ExprType::kLogical, 1, 0};
        node->constant = (*left)->constant && right->constant;
        *left = node;
        return Fold(left);
    }

    Status ParseNot(ExprNode** out) {
        if (Peek().kind != Tok::kNot) return ParseRelational(out);
        const Token& op = Take();
        DepthGuard guard(&depth_);
        SDE_RETURN_IF_ERROR(CheckDepth(op));
        ExprNode* operand = nullptr;
        SDE_RETURN_IF_ERROR(ParseNot(&operand));
        if (operand->shape.type != ExprType::kLogical) {
            return Error(op.text + " needs a logical operand, not " + TypeWord(operand->shape.type),
                         op);
        }
        CallNode* node = Make<CallNode>(op.position);
        node->fn = NotFn();
        node->name = op.text;
        node->args = {operand};
        node->values.resize(1);
        node->shape = {ExprType::kLogical, 1, 0};
        node->constant = operand->constant;
        *out = node;
        return Fold(out);
    }

    static bool IsRelational(const Token& t) {
        if (t.kind != Tok::kOperator) return false;
        static const char* const kOps[] = {"=", "==", "!=", "<>", "#", "<", ">", "<=", ">=", "$"};
        for (const char* op : kOps) {
            if (t.text == op) return true;
        }
        return false;
    }

    Status ParseRelational(ExprNode** out) {
        SDE_RETURN_IF_ERROR(ParseAdditive(out));
        while (IsRelational(Peek())) {
            const Token& op = Take();
            ExprNode* right = nullptr;
            SDE_RETURN_IF_ERROR(ParseAdditive(&right));
            ExprType a = (*out)->shape.type, b = right->shape.type;
            CallFn fn = a == b ? CompareFn(op.text, a) : nullptr;
            if (fn == nullptr) {
                return Error(std::string("Type mismatch: ") + TypeWord(a) + " " + op.text + " " +
                                 TypeWord(b),
                             op);
            }
            *out = MakeOperator(op, fn, *out, right);
            (*out)->shape = {ExprType::kLogical, 1, 0};
            SDE_RETURN_IF_ERROR(Fold(out));
        }
        return Status::OK();
    }

    // Shape of an arithmetic result.
    static ExprShape ArithmeticShape(char op, const ExprShape& a, const ExprShape& b) {
        using T = ExprType;
        if (a.type == T::kCharacter) {
            ExprShape shape{T::kCharacter, -1, 0, -1};
            if (a.width >= 0 && b.width >= 0) shape.width = a.width + b.width;
            if (a.max_width >= 0 && b.max_width >= 0) shape.max_width = a.max_width + b.max_width;
            return shape;
        }
        if (a.type == T::kDate && b.type == T::kDate) return {T::kNumeric, -1, 0};
        if (a.type == T::kDate || b.type == T::kDate) return {T::kDate, 8, 0};
        (void)op;
        return {T::kNumeric, -1, 0};  // depends on the value (see SetNumber)
    }

    Status Binary(ExprNode** out, Status (ExprCompiler::*operand)(ExprNode**),
                  std::initializer_list<const char*> ops) {
        SDE_RETURN_IF_ERROR((this->*operand)(out));
        for (;;) {
            bool matched = false;
            for (const char* o : ops) matched = matched || PeekOperator(o);
            if (!matched) return Status::OK();
            const Token& op = Take();
            ExprNode* right = nullptr;
            SDE_RETURN_IF_ERROR((this->*operand)(&right));
            char code = op.text == "**" ? '^' : op.text[0];
            ExprType a = (*out)->shape.type, b = right->shape.type;
            CallFn fn = ArithmeticFn(code, a, b);
            if (fn == nullptr) {
                return Error(std::string("Type mismatch: ") + TypeWord(a) + " " + op.text + " " +
                                 TypeWord(b),
                             op);
            }
            ExprShape shape = ArithmeticShape(code, (*out)->shape, right->shape);
            *out = MakeOperator(op, fn, *out, right);
            (*out)->shape = shape;
            SDE_RETURN_IF_ERROR(Fold(out));
        }
    }

    Status ParseAdditive(ExprNode** out) {
        return Binary(out, &ExprCompiler::ParseMultiplicative, {"+", "-"});
    }
    Status ParseMultiplicative(ExprNode** out) {
        return Binary(out, &ExprCompiler::ParsePower, {"*", "/", "%"});
    }
    Status ParsePower(ExprNode** out) {
        return Binary(out, &ExprCompiler::ParseUnary, {"**", "^"});
    }

    Status ParseUnary(ExprNode** out) {
        if (!PeekOperator("-") && !PeekOperator("+")) return ParsePrimary(out);
        const Token& op = Take();
        DepthGuard guard(&depth_);
        SDE_RETURN_IF_ERROR(CheckDepth(op));
        ExprNode* operand = nullptr;
        SDE_RETURN_IF_ERROR(ParseUnary(&operand));
        if (operand->shape.type != ExprType::kNumeric) {
            return Error("Unary " + op.text + " needs a numeric operand, not " +
                             TypeWord(operand->shape.type),
                         op);
        }
        if (op.text == "+") {
            *out = operand;
            return Status::OK();
        }
        CallNode* node = Make<CallNode>(op.position);
        node->fn = NegateFn();
        node->name = "-";
        node->args = {operand};
        node->values.resize(1);
        node->shape = operand->shape;
        node->constant = operand->constant;
        *out = node;
        return Fold(out);
    }

    Status ParsePrimary(ExprNode** out) {
        const Token& t = Take();
        switch (t.kind) {
            case Tok::kNumber: {
                LiteralNode* node = Make<LiteralNode>(t.position);
                size_t point = t.text.find('.');
                int decimals = point == std::string::npos ? 0 : int(t.text.size() - point - 1);
                SetNumber(node->value, ParseNumber(t.text), decimals);
                node->shape = {ExprType::kNumeric, node->value.width, decimals};
                node->constant = true;
                *out = node;
                return Status::OK();
            }
            case Tok::kString: {
                LiteralNode* node = Make<LiteralNode>(t.position);
                node->storage = t.text;
                node->value.type = ExprType::kCharacter;
                node->shape = {ExprType::kCharacter, int(t.text.size()), 0, int(t.text.size())};
                node->constant = true;
                *out = node;
                return Status::OK();
            }
            case Tok::kTrue:
            case Tok::kFalse: {
                LiteralNode* node = Make<LiteralNode>(t.position);
                node->value.type = ExprType::kLogical;
                node->value.logical = t.kind == Tok::kTrue;
                node->shape = {ExprType::kLogical, 1, 0};
                node->constant = true;
                *out = node;
                return Status::OK();
            }
            case Tok::kLParen: {
                SDE_RETURN_IF_ERROR(ParseOr(out));
                if (Peek().kind != Tok::kRParen) {
                    return Error("Missing ')' before " + Describe(Peek()), Peek());
                }
                Take();
                return Status::OK();
            }
            case Tok::kIdent:
                if (Peek().kind == Tok::kLParen) return ParseCall(t, out);
                return ParseField(t, out);
            default:
                return Error("Unexpected " + Describe(t), t);
        }
    }

    Status ParseField(const Token& first, ExprNode** out) {
        std::string alias;
        std::string name = first.text;
        if (Peek().kind == Tok::kArrow) {
            Take();
            if (Peek().kind != Tok::kIdent) {
                return Error("Field name expected after '->', found " + Describe(Peek()), Peek());
            }
            alias = first.text;
            name = Take().text;
            if (alias == "FIELD" || alias == "_FIELD") alias.clear();
        }
        std::string shown = alias.empty() ? name : alias + "->" + name;
        int index = schema_.FieldIndex(alias, name);
        if (index < 0) return Error("Unknown field " + shown, first);
        FieldInfo info = schema_.Field(index);
        FieldNode* node = Make<FieldNode>(first.position);
        node->index = index;
        node->field_type = char(std::toupper(static_cast<unsigned char>(info.type)));
        node->width = info.width;
        node->decimals = info.decimals;
        node->name = shown;
        switch (node->field_type) {
            case 'C':
                node->shape = {ExprType::kCharacter, info.width, 0, info.width};
                break;
            case 'N':
            case 'F':
                node->shape = {ExprType::kNumeric, info.width, info.decimals};
                break;
            case 'I':
                node->shape = {ExprType::kNumeric, 10, 0};
                break;
            case 'D':
                node->shape = {ExprType::kDate, 8, 0};
                break;
            case 'L':
                node->shape = {ExprType::kLogical, 1, 0};
                break;
            case 'M':
                node->shape = {ExprType::kCharacter, -1, 0};
                break;
            default:
                return Error("Field " + shown + " has type " + std::string(1, info.type) +
                                 ", which expressions cannot use",
                             first);
        }
        *out = node;
        return Status::OK();
    }

    Status ParseCall(const Token& name, ExprNode** out) {
        const FunctionEntry* entry = FindFunction(name.text);
        if (entry == nullptr) return Error("Unknown function " + name.text, name);
        Take();  // "("
        DepthGuard guard(&depth_);
        SDE_RETURN_IF_ERROR(CheckDepth(name));
        std::vector<ExprNode*> args;
        if (Peek().kind != Tok::kRParen) {
            for (;;) {
                ExprNode* arg = nullptr;
                SDE_RETURN_IF_ERROR(ParseOr(&arg));
                args.push_back(arg);
                if (Peek().kind == Tok::kComma) {
                    Take();
                    continue;
                }
                break;
            }
        }
        if (Peek().kind != Tok::kRParen) {
            return Error("Missing ')' after the arguments of " + std::string(entry->name) +
                             ", found " + Describe(Peek()),
                         Peek());
        }
        Take();
        int count = int(args.size());
        if (count < entry->min_args || count > entry->max_args) {
            std::string wanted =
                entry->min_args == entry->max_args
                    ? std::to_string(entry->min_args)
                    : std::to_string(entry->min_args) + " to " + std::to_string(entry->max_args);
            return Error(std::string(entry->name) + " takes " + wanted + " argument" +
                             (entry->max_args == 1 ? "" : "s") + ", not " + std::to_string(count),
                         name);
        }
        bool all_constant =
            std::all_of(args.begin(), args.end(), [](ExprNode* a) { return a->constant; });
        std::string_view fname = entry->name;
        if (fname == "IIF" || fname == "IF") return MakeIif(name, args, all_constant, out);

        CallNode* node = Make<CallNode>(name.position);
        node->name = entry->name;
        node->args = std::move(args);
        node->values.resize(node->args.size());
        std::string problem = entry->resolve(*node, options_);
        if (!problem.empty()) return Error(problem, name);
        node->constant = entry->pure && all_constant;
        *out = node;
        return Fold(out);
    }

    Status MakeIif(const Token& name, const std::vector<ExprNode*>& args, bool all_constant,
                   ExprNode** out) {
        if (args[0]->shape.type != ExprType::kLogical) {
            return Error("Argument 1 of " + name.text + " must be logical, not " +
                             TypeWord(args[0]->shape.type),
                         name);
        }
        const ExprShape& a = args[1]->shape;
        const ExprShape& b = args[2]->shape;
        if (a.type != b.type) {
            return Error("The results of " + name.text + " differ in type: " + TypeWord(a.type) +
                             " and " + TypeWord(b.type),
                         name);
        }
        IifNode* node = Make<IifNode>(name.position);
        node->condition = args[0];
        node->then_branch = args[1];
        node->else_branch = args[2];
        node->shape.type = a.type;
        node->shape.width = a.width >= 0 && b.width >= 0 ? std::max(a.width, b.width) : -1;
        node->shape.decimals = std::max(a.decimals, b.decimals);
        if (a.max_width >= 0 && b.max_width >= 0) {
            node->shape.max_width = std::max(a.max_width, b.max_width);
        }
        node->constant = all_constant;
        *out = node;
        return Fold(out);
    }

    std::string_view text_;
    const RecordSource& schema_;
    const ExprOptions& options_;
    Expression* target_;
    std::vector<Token> tokens_;
    size_t next_ = 0;
    int depth_ = 0;
};

// ---- Expression ------------------------------------------------------------------

Expression::~Expression() = default;

Result<std::unique_ptr<Expression>> Expression::Compile(std::string_view text,
                                                        const RecordSource& schema,
                                                        const ExprOptions& options) {
    if (text.size() > kMaxExprLength) {
        return Status::InvalidArgument("Expression longer than " + std::to_string(kMaxExprLength) +
                                       " characters");
    }
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return Status::InvalidArgument("Empty expression");
    }
    std::unique_ptr<Expression> expr(new Expression());
    expr->text_ = std::string(text);
    expr->options_ = options;
    // The compiler refers to the stored copies, which live as long as the tree.
    ExprCompiler compiler(expr->text_, schema, expr->options_, expr.get());
    SDE_RETURN_IF_ERROR(compiler.Run());
    return expr;
}

}  // namespace sde
