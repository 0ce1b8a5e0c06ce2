// Evaluation of compiled expressions: the tree nodes that read the record,
// and the entry points of Expression that evaluate a record into a value,
// a text, an index key or a key shape.
#include "expr/expr_node.h"

namespace sde {

Status RecordSource::ReadMemo(int, std::string*) const {
    return Status::NotSupported("Memo fields cannot be read here");
}

// ---- node evaluation ---------------------------------------------------------

void FieldNode::Eval(EvalContext& ctx, Value& out) {
    std::string_view raw = ctx.record->RawField(index);
    switch (field_type) {
        case 'C':
            out.type = ExprType::kCharacter;
            out.text = raw;
            break;
        case 'N':
        case 'F':
            out.type = ExprType::kNumeric;
            out.number = ParseNumber(raw);
            out.width = int16_t(width);
            out.decimals = int16_t(decimals);
            break;
        case 'I': {
            int32_t v = 0;
            if (raw.size() >= 4) {
                const auto* p = reinterpret_cast<const uint8_t*>(raw.data());
                v = int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                            uint32_t(p[3]) << 24);
            }
            SetNumber(out, double(v), 0);
            break;
        }
        case 'D':
            out.type = ExprType::kDate;
            out.date = ParseDtos(raw);
            break;
        case 'L': {
            char c = raw.empty() ? ' ' : raw[0];
            out.type = ExprType::kLogical;
            out.logical = c == 'T' || c == 't' || c == 'Y' || c == 'y';
            break;
        }
        case 'M': {
            Status s = ctx.record->ReadMemo(index, &memo);
            if (!s.ok()) {
                ctx.Fail("Memo field " + name + ": " + s.message());
                memo.clear();
            }
            out.type = ExprType::kCharacter;
            out.text = memo;
            break;
        }
    }
}

void LogicNode::Eval(EvalContext& ctx, Value& out) {
    left->Eval(ctx, scratch);
    bool result = scratch.logical;
    if (is_and ? result : !result) {
        right->Eval(ctx, scratch);
        result = scratch.logical;
    }
    out.type = ExprType::kLogical;
    out.logical = result;
}

void IifNode::Eval(EvalContext& ctx, Value& out) {
    condition->Eval(ctx, scratch);
    (scratch.logical ? then_branch : else_branch)->Eval(ctx, out);
}

bool ConstantValue(ExprNode* node, const ExprOptions&, Value* out) {
    auto* literal = dynamic_cast<LiteralNode*>(node);
    if (literal == nullptr) return false;
    *out = literal->value;
    if (out->type == ExprType::kCharacter) out->text = literal->storage;
    return true;
}

Status Expression::Evaluate(const RecordSource& record, Value* out) {
    EvalContext ctx;
    ctx.record = &record;
    ctx.options = &options_;
    root_->Eval(ctx, *out);
    if (ctx.failed) {
        return Status::InvalidArgument(ctx.error + " in expression \"" + text_ + "\"");
    }
    return Status::OK();
}

Status Expression::EvaluateText(const RecordSource& record, std::string* out) {
    Value v;
    SDE_RETURN_IF_ERROR(Evaluate(record, &v));
    switch (v.type) {
        case ExprType::kCharacter:
            out->assign(v.text);
            break;
        case ExprType::kNumeric:
            FormatStr(v.number, v.width, v.decimals, out);
            break;
        case ExprType::kDate:
            out->resize(8);
            FormatDtos(v.date, out->data());
            break;
        case ExprType::kLogical:
            out->assign(1, v.logical ? 'T' : 'F');
            break;
    }
    return Status::OK();
}

Status Expression::EvaluateKey(const RecordSource& record, int width, int decimals,
                               std::string* out) {
    Value v;
    SDE_RETURN_IF_ERROR(Evaluate(record, &v));
    Status s = KeyBytes(v, width, decimals, out);
    if (!s.ok()) {
        return Status::InvalidArgument(s.message() + " in expression \"" + text_ + "\"");
    }
    return Status::OK();
}

Result<ExprShape> Expression::KeyShape(const RecordSource& record) {
    if (shape_.width < 0 && shape_.max_width > 0) {
        ExprShape shape = shape_;
        shape.width = shape_.max_width;
        return shape;
    }
    if (shape_.width >= 0) {
        if (shape_.width == 0) {
            return Status::InvalidArgument("Key expression \"" + text_ + "\" gives an empty key");
        }
        return shape_;
    }
    Value v;
    SDE_RETURN_IF_ERROR(Evaluate(record, &v));
    ExprShape shape = shape_;
    switch (v.type) {
        case ExprType::kCharacter:
            shape.width = int(v.text.size());
            break;
        case ExprType::kNumeric:
            shape.width = v.width;
            shape.decimals = v.decimals;
            break;
        case ExprType::kDate:
            shape.width = 8;
            break;
        case ExprType::kLogical:
            shape.width = 1;
            break;
    }
    if (shape.width == 0) {
        return Status::InvalidArgument("Key expression \"" + text_ + "\" gives an empty key");
    }
    return shape;
}

}  // namespace sde
