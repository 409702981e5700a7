// Fuzzes the Jet SQL translator on a database with the tables of the statement corpus: any
// text translates or fails with a message and a position inside it, and what translates
// is SQL that SQLite prepares or refuses, never anything worse. Nothing is run.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sql/jet_sql.h"
#include "vornoledb/platform/text.h"

using namespace vorn::provider::sql;

namespace {

sqlite3* g_db = nullptr;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// Tables with every Jet type, COUNTER columns and a relationship, made through the
// translator as a host would.
const wchar_t* const kSchema[] = {
    L"CREATE TABLE Parts (PartID COUNTER(100, 10) CONSTRAINT PK PRIMARY KEY, PartName TEXT(50) "
    L"NOT NULL, Category TEXT(20), Price CURRENCY, Weight DOUBLE, InStock YESNO, Added DATETIME, "
    L"Notes MEMO, Code GUID, Small SHORT, Tiny BYTE, Ratio SINGLE, Picture LONGBINARY)",
    L"CREATE TABLE Orders (OrderID AUTOINCREMENT PRIMARY KEY, PartID LONG REFERENCES Parts "
    L"(PartID), Qty SHORT, OrderDate DATE)",
    L"CREATE UNIQUE INDEX PartName ON Parts (PartName) WITH IGNORE NULL",
    L"CREATE VIEW OrderTotals AS SELECT Orders.OrderID, Sum(Parts.Price * Orders.Qty) AS Total "
    L"FROM Orders INNER JOIN Parts ON Orders.PartID = Parts.PartID GROUP BY Orders.OrderID",
};

void Run(const std::wstring& jet) {
    const TranslationResult t = TranslateJetSql(g_db, jet);
    if (!t.ok)
        return;
    if (!t.script.empty()) {
        RunJetScript(g_db, t.script);
        return;
    }
    sqlite3_exec(g_db, t.sql.c_str(), nullptr, nullptr, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (sqlite3_open(":memory:", &g_db) != SQLITE_OK || RegisterJetFunctions(g_db) != SQLITE_OK)
        std::abort();
    for (const wchar_t* statement : kSchema)
        Run(statement);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = Utf8ToWide(reinterpret_cast<const char*>(data), size);
    const TranslationResult t = TranslateJetSql(g_db, text);
    if (!t.ok) {
        Check(!t.message.empty());
        Check(t.position >= 0 && static_cast<size_t>(t.position) <= text.size() + 1);
        return 0;
    }
    // What the translator wrote must be something SQLite can read or refuse; it is
    // prepared (which checks names and types) and never stepped.
    sqlite3_stmt* stmt = nullptr;
    if (t.script.empty()) {
        sqlite3_prepare_v2(g_db, t.sql.c_str(), static_cast<int>(t.sql.size()), &stmt, nullptr);
        sqlite3_finalize(stmt);
    } else {
        for (const ScriptStep& step : t.script) {
            stmt = nullptr;
            sqlite3_prepare_v2(g_db, step.sql.c_str(), static_cast<int>(step.sql.size()), &stmt,
                               nullptr);
            sqlite3_finalize(stmt);
        }
    }
    return 0;
}
