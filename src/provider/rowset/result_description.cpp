// Descriptions of result columns from SQLite's metadata.
#include "rowset/result_description.h"

#include <sqlite3.h>

#include "vornoledb/platform/text.h"

namespace vorn::provider {
namespace {

// The translation's type for column i of count, or null.
const sql::ResultColumnType* TypeHint(const sql::TranslationResult* t, size_t i, size_t count) {
    if (!t)
        return nullptr;
    if (i < t->columnTypes.size())
        return &t->columnTypes[i];
    if (count - i <= t->lastColumnTypes.size())
        return &t->lastColumnTypes[t->lastColumnTypes.size() - (count - i)];
    return t->otherColumnType.declared.empty() ? nullptr : &t->otherColumnType;
}

}  // namespace

std::shared_ptr<ResultDescription> DescribeResult(sqlite3* db, sqlite3_stmt* stmt,
                                                  const std::wstring& statementText,
                                                  const std::vector<ColumnType>* columnTypes,
                                                  const sql::TranslationResult* translation) {
    auto description = std::make_shared<ResultDescription>();
    description->statement = statementText;
    description->preparation = PreparationOf(stmt);
    const int count = sqlite3_column_count(stmt);
    description->columns.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        ResultColumn& c = description->columns[static_cast<size_t>(i)];
        const char* name = sqlite3_column_name(stmt, i);
        c.name = name ? Utf8ToWide(name) : std::wstring();
        const char* declared = sqlite3_column_decltype(stmt, i);
        const sql::ResultColumnType* hint =
            TypeHint(translation, static_cast<size_t>(i), static_cast<size_t>(count));
        if (columnTypes && static_cast<size_t>(i) < columnTypes->size())
            c.type = (*columnTypes)[static_cast<size_t>(i)];
        else if (hint && !hint->declared.empty() && (!hint->fallback || !declared || !*declared))
            c.type = TypeFromDeclaration(hint->declared.c_str());
        else
            c.type = TypeFromDeclaration(declared);
        // Any column may come back NULL (outer joins); a table's column can be set to NULL
        // unless it is declared NOT NULL.
        c.flags = DBCOLUMNFLAGS_MAYBENULL;
        const char* table = sqlite3_column_table_name(stmt, i);
        const char* origin = sqlite3_column_origin_name(stmt, i);
        if (table && origin) {
            int notNull = 0;
            if (sqlite3_table_column_metadata(db, sqlite3_column_database_name(stmt, i), table,
                                              origin, nullptr, nullptr, &notNull, nullptr,
                                              nullptr) != SQLITE_OK)
                notNull = 0;
            if (!notNull)
                c.flags |= DBCOLUMNFLAGS_ISNULLABLE;
            c.flags |= DBCOLUMNFLAGS_WRITEUNKNOWN;
        }
        if (c.type.fromValue)
            description->typedByValue = true;
        else
            c.flags |= c.type.flags;
    }
    return description;
}

int PreparationOf(sqlite3_stmt* stmt) {
    return sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
}

bool DescribesCurrently(const ResultDescription& description, sqlite3_stmt* stmt,
                        const std::wstring& statementText) {
    return description.preparation == PreparationOf(stmt) &&
           description.columns.size() == static_cast<size_t>(sqlite3_column_count(stmt)) &&
           description.statement == statementText;
}

}  // namespace vorn::provider
