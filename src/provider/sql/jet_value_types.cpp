// Jet's types of expression values.
#include "sql/jet_value_types.h"

#include <string>

#include "types/column_types.h"

namespace vorn::provider::sql {
namespace {

bool IsWhole(ValueKind k) {
    return k == ValueKind::Byte || k == ValueKind::Short || k == ValueKind::Long ||
           k == ValueKind::BigInt || k == ValueKind::Bool;
}

bool IsFloating(ValueKind k) {
    return k == ValueKind::Single || k == ValueKind::Double || k == ValueKind::Decimal;
}

ValueType Of(ValueKind k) {
    return ValueType{k, std::string()};
}

// + - * of two numbers (Yes/No counts as a whole number).
ValueType NumberMix(ValueKind a, ValueKind b) {
    if (a == ValueKind::Currency || b == ValueKind::Currency) {
        const ValueKind other = a == ValueKind::Currency ? b : a;
        return Of(IsFloating(other) ? ValueKind::Double : ValueKind::Currency);
    }
    if (a == ValueKind::Decimal || b == ValueKind::Decimal || a == ValueKind::Double ||
        b == ValueKind::Double)
        return Of(ValueKind::Double);
    if (a == ValueKind::Single || b == ValueKind::Single) {
        const ValueKind other = a == ValueKind::Single ? b : a;
        const bool small = other == ValueKind::Single || other == ValueKind::Byte ||
                           other == ValueKind::Short || other == ValueKind::Bool;
        return Of(small ? ValueKind::Single : ValueKind::Double);
    }
    if (a == ValueKind::BigInt || b == ValueKind::BigInt)
        return Of(ValueKind::BigInt);
    return Of(ValueKind::Long);
}

ValueType Arithmetic(TypeRule rule, const ValueType& a, const ValueType& b) {
    if (a.kind == ValueKind::Null && b.kind == ValueKind::Null)
        return Of(ValueKind::Null);
    if (a.kind == ValueKind::Null || b.kind == ValueKind::Null) {
        const ValueType& other = a.kind == ValueKind::Null ? b : a;
        // Null + x is Null, typed as x would make it.
        return Arithmetic(rule, other, other);
    }
    if (a.kind == ValueKind::Unknown || b.kind == ValueKind::Unknown)
        return Of(ValueKind::Unknown);
    const bool aDate = a.kind == ValueKind::Date, bDate = b.kind == ValueKind::Date;
    if (aDate || bDate) {
        const ValueKind other = aDate ? b.kind : a.kind;
        const bool numberBeside = IsNumericKind(other) && other != ValueKind::Date;
        switch (rule) {
            case TypeRule::Add:
                return Of(numberBeside || other == ValueKind::Date ? ValueKind::Date
                                                                   : ValueKind::Unknown);
            case TypeRule::Subtract:
                if (aDate && bDate)
                    return Of(ValueKind::Double);
                if (aDate && numberBeside)
                    return Of(ValueKind::Date);
                return Of(numberBeside ? ValueKind::Double : ValueKind::Unknown);
            default:
                return Of(numberBeside || other == ValueKind::Date ? ValueKind::Double
                                                                   : ValueKind::Unknown);
        }
    }
    const bool aText = a.kind == ValueKind::Text || a.kind == ValueKind::Memo;
    const bool bText = b.kind == ValueKind::Text || b.kind == ValueKind::Memo;
    if (aText && bText && rule == TypeRule::Add)
        return Of(ValueKind::Text);  // + of two texts joins them
    if ((aText || IsNumericKind(a.kind)) && (bText || IsNumericKind(b.kind))) {
        if (aText || bText)
            return Of(ValueKind::Double);  // text read as a number
        return NumberMix(a.kind, b.kind);
    }
    return Of(ValueKind::Unknown);
}

ValueType Common(const std::vector<ValueType>& types) {
    const ValueType* first = nullptr;
    bool sameDeclared = true;
    ValueKind kind = ValueKind::Null;
    for (const ValueType& t : types) {
        if (t.kind == ValueKind::Null)
            continue;
        if (t.kind == ValueKind::Unknown)
            return Of(ValueKind::Unknown);
        if (!first) {
            first = &t;
            kind = t.kind;
            continue;
        }
        sameDeclared = sameDeclared && t.declared == first->declared;
        if (t.kind == kind)
            continue;
        const bool kindText = kind == ValueKind::Text || kind == ValueKind::Memo;
        const bool tText = t.kind == ValueKind::Text || t.kind == ValueKind::Memo;
        if (kindText || tText) {
            kind = (kind == ValueKind::Memo || t.kind == ValueKind::Memo) ? ValueKind::Memo
                                                                          : ValueKind::Text;
            continue;
        }
        if (IsNumericKind(kind) && IsNumericKind(t.kind) && kind != ValueKind::Date &&
            t.kind != ValueKind::Date) {
            kind = NumberMix(kind, t.kind).kind;
            continue;
        }
        return Of(ValueKind::Unknown);
    }
    if (!first)
        return Of(ValueKind::Null);
    ValueType out = Of(kind);
    if (sameDeclared && kind == first->kind)
        out.declared = first->declared;
    return out;
}

ValueType SumOf(const ValueType& t) {
    switch (t.kind) {
        case ValueKind::Currency:
            return Of(ValueKind::Currency);
        case ValueKind::Byte:
        case ValueKind::Short:
        case ValueKind::Long:
        case ValueKind::BigInt:
        case ValueKind::Bool:
            return Of(ValueKind::BigInt);  // whole, and beyond Long's range when it must
        case ValueKind::Unknown:
        case ValueKind::Null:
        case ValueKind::Binary:
        case ValueKind::Guid:
            return Of(ValueKind::Unknown);
        default:
            return Of(ValueKind::Double);
    }
}

ValueType AsNumber(const ValueType& t) {
    switch (t.kind) {
        case ValueKind::Bool:
            return Of(ValueKind::Short);
        case ValueKind::Text:
        case ValueKind::Memo:
            return Of(ValueKind::Double);
        case ValueKind::Binary:
        case ValueKind::Guid:
            return Of(ValueKind::Unknown);
        default:
            return t;
    }
}

ValueType Apply(TypeRule rule, const std::vector<ValueType>& a) {
    auto arg = [&](size_t i) { return i < a.size() ? a[i] : Of(ValueKind::Unknown); };
    switch (rule) {
        case TypeRule::Fixed:
        case TypeRule::Column:
            break;
        case TypeRule::Same:
            return arg(0);
        case TypeRule::SameNumber:
            return AsNumber(arg(0));
        case TypeRule::Add:
        case TypeRule::Subtract:
        case TypeRule::Multiply:
            return Arithmetic(rule, arg(0), arg(1));
        case TypeRule::WholeDivision: {
            const ValueType l = arg(0), r = arg(1);
            if (l.kind == ValueKind::Unknown || r.kind == ValueKind::Unknown)
                return Of(ValueKind::Unknown);
            if (l.kind == ValueKind::BigInt || r.kind == ValueKind::BigInt)
                return Of(ValueKind::BigInt);
            return Of(ValueKind::Long);
        }
        case TypeRule::Logical: {
            const ValueType l = arg(0), r = arg(1);
            if (l.kind == ValueKind::Unknown || r.kind == ValueKind::Unknown)
                return Of(ValueKind::Unknown);
            if ((l.kind == ValueKind::Bool || l.kind == ValueKind::Null) &&
                (r.kind == ValueKind::Bool || r.kind == ValueKind::Null))
                return Of(ValueKind::Bool);
            return Of(ValueKind::Long);
        }
        case TypeRule::Common:
            return Common(a);
        case TypeRule::Sum:
            return SumOf(arg(0));
    }
    return Of(ValueKind::Unknown);
}

const TypeRef& SharedFixed(ValueKind kind) {
    static const TypeRef kTerms[] = {
#define VORN_FIXED(k) std::make_shared<const TypeTerm>(TypeTerm{TypeRule::Fixed, Of(k), {}, -1, {}})
        VORN_FIXED(ValueKind::Unknown),  VORN_FIXED(ValueKind::Null),
        VORN_FIXED(ValueKind::Text),     VORN_FIXED(ValueKind::Memo),
        VORN_FIXED(ValueKind::Byte),     VORN_FIXED(ValueKind::Short),
        VORN_FIXED(ValueKind::Long),     VORN_FIXED(ValueKind::BigInt),
        VORN_FIXED(ValueKind::Single),   VORN_FIXED(ValueKind::Double),
        VORN_FIXED(ValueKind::Currency), VORN_FIXED(ValueKind::Decimal),
        VORN_FIXED(ValueKind::Date),     VORN_FIXED(ValueKind::Bool),
        VORN_FIXED(ValueKind::Binary),   VORN_FIXED(ValueKind::Guid),
#undef VORN_FIXED
    };
    return kTerms[size_t(kind)];
}

}  // namespace

bool IsNumericKind(ValueKind k) {
    return IsWhole(k) || IsFloating(k) || k == ValueKind::Currency || k == ValueKind::Date;
}

ValueType TypeOfDeclared(std::string_view declared) {
    if (declared.empty())
        return Of(ValueKind::Unknown);
    const std::string text(declared);
    const ColumnType c = TypeFromDeclaration(text.c_str());
    if (c.fromValue)
        return Of(ValueKind::Unknown);
    ValueType t;
    t.declared = text;
    switch (c.type) {
        case DBTYPE_WSTR:
            t.kind = c.IsLong() ? ValueKind::Memo : ValueKind::Text;
            break;
        case DBTYPE_BYTES:
            t.kind = ValueKind::Binary;
            break;
        case DBTYPE_UI1:
            t.kind = ValueKind::Byte;
            break;
        case DBTYPE_I2:
            t.kind = ValueKind::Short;
            break;
        case DBTYPE_I4:
            t.kind = ValueKind::Long;
            t.declared = "LONG";  // a COUNTER's value is a Long wherever it goes
            break;
        case DBTYPE_I8:
            t.kind = ValueKind::BigInt;
            break;
        case DBTYPE_R4:
            t.kind = ValueKind::Single;
            break;
        case DBTYPE_R8:
            t.kind = ValueKind::Double;
            break;
        case DBTYPE_CY:
            t.kind = ValueKind::Currency;
            break;
        case DBTYPE_DATE:
            t.kind = ValueKind::Date;
            break;
        case DBTYPE_BOOL:
            t.kind = ValueKind::Bool;
            break;
        case DBTYPE_GUID:
            t.kind = ValueKind::Guid;
            break;
        case DBTYPE_NUMERIC:
            t.kind = ValueKind::Decimal;
            break;
        default:
            return Of(ValueKind::Unknown);
    }
    return t;
}

std::string DeclaredTypeFor(const ValueType& t) {
    // A computed memo is text whose length only its values tell: the first value decides
    // whether it fits a row buffer or is a long column, as for a column without a type.
    if (t.kind == ValueKind::Unknown || t.kind == ValueKind::Null || t.kind == ValueKind::Memo)
        return std::string();
    if (!t.declared.empty())
        return t.declared;
    switch (t.kind) {
        case ValueKind::Text:
            return "TEXT";
        case ValueKind::Byte:
            return "BYTE";
        case ValueKind::Short:
            return "SHORT";
        case ValueKind::Long:
            return "LONG";
        case ValueKind::BigInt:
            return "INTEGER";
        case ValueKind::Single:
            return "SINGLE";
        case ValueKind::Double:
            return "DOUBLE";
        case ValueKind::Currency:
            return "CURRENCY";
        case ValueKind::Decimal:
            return "DOUBLE";  // a computed decimal has no fixed precision and scale
        case ValueKind::Date:
            return "DATETIME";
        case ValueKind::Bool:
            return "YESNO";
        case ValueKind::Binary:
            return "LONGBINARY";
        case ValueKind::Guid:
            return "GUID";
        default:
            return std::string();
    }
}

TypeRef FixedType(ValueKind kind) {
    return SharedFixed(kind);
}

TypeRef FixedType(ValueType type) {
    if (type.declared.empty())
        return SharedFixed(type.kind);
    return std::make_shared<const TypeTerm>(TypeTerm{TypeRule::Fixed, std::move(type), {}, -1, {}});
}

TypeRef ColumnTerm(std::vector<std::wstring> parts, int scope) {
    return std::make_shared<const TypeTerm>(
        TypeTerm{TypeRule::Column, ValueType(), std::move(parts), scope, {}});
}

TypeRef RuleTerm(TypeRule rule, std::vector<TypeRef> args) {
    bool fixed = true;
    for (const TypeRef& a : args)
        fixed = fixed && (!a || a->rule == TypeRule::Fixed);
    if (fixed) {
        std::vector<ValueType> values;
        values.reserve(args.size());
        for (const TypeRef& a : args)
            values.push_back(a ? a->fixed : Of(ValueKind::Unknown));
        return FixedType(Apply(rule, values));
    }
    return std::make_shared<const TypeTerm>(TypeTerm{rule, ValueType(), {}, -1, std::move(args)});
}

ValueType EvaluateType(const TypeRef& term, const ColumnResolver& resolveColumn) {
    if (!term)
        return Of(ValueKind::Unknown);
    // A chain of operators (a + b - c ...) is a spine of terms down their first argument,
    // as long as the chain: it is walked in a loop, not by recursion.
    std::vector<const TypeTerm*> spine;
    const TypeTerm* t = term.get();
    auto binary = [](TypeRule r) {
        return r == TypeRule::Add || r == TypeRule::Subtract || r == TypeRule::Multiply ||
               r == TypeRule::WholeDivision || r == TypeRule::Logical;
    };
    while (binary(t->rule) && t->args.size() == 2 && t->args[0]) {
        spine.push_back(t);
        t = t->args[0].get();
    }
    ValueType acc;
    switch (t->rule) {
        case TypeRule::Fixed:
            acc = t->fixed;
            break;
        case TypeRule::Column:
            acc = resolveColumn ? resolveColumn(*t) : Of(ValueKind::Unknown);
            break;
        default: {
            std::vector<ValueType> values;
            values.reserve(t->args.size());
            for (const TypeRef& a : t->args)
                values.push_back(EvaluateType(a, resolveColumn));
            acc = Apply(t->rule, values);
            break;
        }
    }
    for (auto it = spine.rbegin(); it != spine.rend(); ++it)
        acc = Apply((*it)->rule, {acc, EvaluateType((*it)->args[1], resolveColumn)});
    return acc;
}

}  // namespace vorn::provider::sql
