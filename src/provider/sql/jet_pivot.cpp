// The statement of a crosstab for the pivot values the data holds.
#include <sqlite3.h>

#include <cstdio>

#include "sql/jet_dates.h"
#include "sql/jet_function_support.h"
#include "sql/jet_translator.h"
#include "sql/jet_values.h"

namespace vorn::provider::sql {
namespace {

// A value as an SQL literal of its own storage class, and the name its column takes.
void LiteralAndName(sqlite3_value* v, bool dateNames, std::string* literal, std::string* name) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            *literal = std::to_string(sqlite3_value_int64(v));
            *name = *literal;
            return;
        case SQLITE_FLOAT: {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.17g", sqlite3_value_double(v));
            *literal = buf;
            *name = FormatJetDouble(sqlite3_value_double(v));
            return;
        }
        case SQLITE_TEXT: {
            const std::string text(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                   size_t(sqlite3_value_bytes(v)));
            *literal = JetTranslator::QuoteText(text);
            JetStamp stamp;
            *name = dateNames && ParseStoredDate(text.data(), int(text.size()), &stamp)
                        ? DateDisplayText(stamp)
                        : text;
            return;
        }
        case SQLITE_BLOB: {
            static const char kHex[] = "0123456789ABCDEF";
            const auto* p = static_cast<const unsigned char*>(sqlite3_value_blob(v));
            std::string hex;
            for (int i = 0; i < sqlite3_value_bytes(v); ++i) {
                hex.push_back(kHex[p[i] >> 4]);
                hex.push_back(kHex[p[i] & 15]);
            }
            *literal = "X'" + hex + "'";
            *name = hex;
            return;
        }
        default:
            *literal = "NULL";
            *name = "<>";  // the engine's name for the column of Null
            return;
    }
}

}  // namespace

int BuildPivotStatement(sqlite3* db, const PivotPlan& plan, std::string* sql) {
    sqlite3_stmt* values = nullptr;
    int rc = sqlite3_prepare_v2(db, plan.valuesSql.c_str(), int(plan.valuesSql.size()), &values,
                                nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(values);
        return rc;
    }
    std::string out = plan.head;
    while ((rc = sqlite3_step(values)) == SQLITE_ROW) {
        std::string literal, name;
        LiteralAndName(sqlite3_column_value(values, 0), plan.dateNames, &literal, &name);
        const std::string condition = "(" + plan.pivotSql + ") IS " + literal;
        out += ", ";
        for (size_t i = 0; i < plan.cellParts.size(); ++i)
            out += (i ? condition : std::string()) + plan.cellParts[i];
        out += " AS " + JetTranslator::QuoteName(name);
    }
    sqlite3_finalize(values);
    if (rc != SQLITE_DONE)
        return rc;
    *sql = out + plan.tail;
    return SQLITE_OK;
}

}  // namespace vorn::provider::sql
