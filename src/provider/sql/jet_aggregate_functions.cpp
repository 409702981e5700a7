// Jet aggregates that SQLite lacks: First and Last (the value of the first and the last row
// of the group in the order rows are read, Null included), StDev and Var (sample) and StDevP
// and VarP (population) over the non-Null values, Null when too few values.
#include <cmath>
#include <new>

#include "sql/jet_function_support.h"

namespace vorn::provider::sql {
namespace {

struct PickState {
    sqlite3_value* value;
    bool seen;
};

PickState* Pick(sqlite3_context* ctx) {
    return static_cast<PickState*>(sqlite3_aggregate_context(ctx, sizeof(PickState)));
}

void FirstStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    PickState* s = Pick(ctx);
    if (!s)
        return sqlite3_result_error_nomem(ctx);
    if (s->seen)
        return;
    s->value = sqlite3_value_dup(argv[0]);
    if (!s->value)
        return sqlite3_result_error_nomem(ctx);
    s->seen = true;
}

void LastStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    PickState* s = Pick(ctx);
    if (!s)
        return sqlite3_result_error_nomem(ctx);
    sqlite3_value* copy = sqlite3_value_dup(argv[0]);
    if (!copy)
        return sqlite3_result_error_nomem(ctx);
    sqlite3_value_free(s->value);
    s->value = copy;
    s->seen = true;
}

void PickFinal(sqlite3_context* ctx) {
    auto* s = static_cast<PickState*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->seen)
        return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, s->value);
    sqlite3_value_free(s->value);
    s->value = nullptr;
}

// Welford's running mean and sum of squared deviations.
struct SpreadState {
    int64_t n;
    double mean;
    double m2;
};

void SpreadStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<SpreadState*>(sqlite3_aggregate_context(ctx, sizeof(SpreadState)));
    if (!s)
        return sqlite3_result_error_nomem(ctx);
    if (IsNull(argv[0]))
        return;
    JetNumber v;
    if (!ValueNumber(argv[0], &v))
        return TypeMismatch(ctx, 1);
    const double x = v.AsDouble();
    ++s->n;
    const double delta = x - s->mean;
    s->mean += delta / double(s->n);
    s->m2 += delta * (x - s->mean);
}

void SpreadFinal(sqlite3_context* ctx, bool sample, bool root) {
    auto* s = static_cast<SpreadState*>(sqlite3_aggregate_context(ctx, 0));
    const int64_t need = sample ? 2 : 1;
    if (!s || s->n < need)
        return sqlite3_result_null(ctx);
    double v = s->m2 / double(sample ? s->n - 1 : s->n);
    if (v < 0)
        v = 0;
    sqlite3_result_double(ctx, root ? std::sqrt(v) : v);
}

void StDevFinal(sqlite3_context* ctx) {
    SpreadFinal(ctx, true, true);
}
void StDevPFinal(sqlite3_context* ctx) {
    SpreadFinal(ctx, false, true);
}
void VarFinal(sqlite3_context* ctx) {
    SpreadFinal(ctx, true, false);
}
void VarPFinal(sqlite3_context* ctx) {
    SpreadFinal(ctx, false, false);
}

}  // namespace

std::vector<AggregateDef> AggregateFunctions() {
    return {
        {"jet_first", 1, FirstStep, PickFinal},   {"jet_last", 1, LastStep, PickFinal},
        {"jet_stdev", 1, SpreadStep, StDevFinal}, {"jet_stdevp", 1, SpreadStep, StDevPFinal},
        {"jet_var", 1, SpreadStep, VarFinal},     {"jet_varp", 1, SpreadStep, VarPFinal},
    };
}

}  // namespace vorn::provider::sql
