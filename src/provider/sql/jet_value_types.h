// Jet's types of expression values: what an operator, a function or an aggregate gives, so
// that a result column reports the engine's type (DBTYPE_CY for Sum of a Currency column,
// DBTYPE_DATE for Min of a date, DBTYPE_BOOL for a comparison ...) and the host reads its
// text as the engine would.
//
// The rules:
//   Sum, Min, Max, First, Last of Currency        Currency
//   Min, Max, First, Last                          the argument's type
//   Sum of whole numbers                           BigInt (64 bits: a sum may pass Long)
//   Sum of other numbers                           Double
//   Count                                          Long
//   Avg, StDev, StDevP, Var, VarP, /, ^            Double
//   + - * of Currency and whole numbers            Currency
//   + - * of whole numbers                         Long (BigInt for 64-bit integers)
//   + - * of Single and Byte or Short              Single; other floating mixes Double
//   date + or - a number                           the date; date - date Double
//   \ and Mod                                      Long
//   &                                              Text
//   comparisons, Not, And, Or, Like, In, Is Null   Yes/No
//   CCur CLng CInt CDbl CSng CDate CBool CByte CStr their own types; CVar the argument's
//   IIf, Nz, Switch, Choose                        their values' common type
// Where a type cannot be known before the first row (a column SQLite holds without a
// declared type, a ? parameter, a function SQLite brings, text mixed with a date) the type
// is Unknown, and the column takes its first value's type.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::provider::sql {

enum class ValueKind : uint8_t {
    Unknown,  // decided by the first value
    Null,     // the Null literal: takes the type of what it is combined with
    Text,
    Memo,
    Byte,
    Short,
    Long,
    BigInt,  // SQLite's 64-bit INTEGER
    Single,
    Double,
    Currency,
    Decimal,
    Date,
    Bool,
    Binary,
    Guid,
};

struct ValueType {
    ValueKind kind = ValueKind::Unknown;
    // A column's own declared type ("TEXT(50)"), kept while the value passes unchanged
    // (Min, First, IIf of two such columns ...); empty otherwise.
    std::string declared;
};

// The type of a column declared as `declared` (SQLite's or Jet's names).
ValueType TypeOfDeclared(std::string_view declared);
// The declared type a result column of that type reports ("CURRENCY"); empty for Unknown,
// Null and Memo, whose column takes its first value's type (a computed memo is a long
// column only when its first value is longer than a row buffer holds).
std::string DeclaredTypeFor(const ValueType& type);
bool IsNumericKind(ValueKind kind);

// How a term's type follows from its arguments' types.
enum class TypeRule : uint8_t {
    Fixed,          // the term's own type
    Column,         // a column reference, resolved against the query's tables
    Same,           // the first argument's (Min, Max, First, Last, CVar, a scalar subquery)
    SameNumber,     // the first argument's as a number (Int, Fix, Abs, Round, unary minus)
    Add,            // +
    Subtract,       // -
    Multiply,       // *
    WholeDivision,  // \ and Mod
    Logical,        // Xor, Eqv, Imp: Yes/No of two Yes/No values, else Long
    Common,         // IIf, Nz, Switch, Choose
    Sum,
};

struct TypeTerm;
using TypeRef = std::shared_ptr<const TypeTerm>;

// A node of an expression's type, evaluated only when a type is asked for (a result
// column, a conversion to text), so that a query whose types nobody needs reads no
// table's columns.
struct TypeTerm {
    TypeRule rule = TypeRule::Fixed;
    ValueType fixed;                  // Fixed
    std::vector<std::wstring> parts;  // Column: the name as written (table.column ...)
    int scope = -1;                   // Column: the query whose tables resolve it
    std::vector<TypeRef> args;
};

// Shared terms of the plain kinds (no allocation).
TypeRef FixedType(ValueKind kind);
TypeRef FixedType(ValueType type);
TypeRef ColumnTerm(std::vector<std::wstring> parts, int scope);
// A term of a rule; folded into a Fixed term at once when every argument is Fixed.
TypeRef RuleTerm(TypeRule rule, std::vector<TypeRef> args);

// The type of a term; columns are resolved by resolveColumn. A null term is Unknown.
using ColumnResolver = std::function<ValueType(const TypeTerm&)>;
ValueType EvaluateType(const TypeRef& term, const ColumnResolver& resolveColumn);

}  // namespace vorn::provider::sql
