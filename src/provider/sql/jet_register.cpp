// Registration of the Jet functions on a SQLite handle.
#include <sqlite3.h>

#include "sql/jet_connection.h"
#include "sql/jet_function_catalog.h"
#include "sql/jet_function_support.h"
#include "sql/jet_sql.h"

namespace vorn::provider::sql {
namespace {

// @@IDENTITY: the last COUNTER value this connection generated.
void Identity(sqlite3_context* ctx, int, sqlite3_value**) {
    auto* state = static_cast<JetConnection*>(sqlite3_user_data(ctx));
    sqlite3_result_int64(ctx, state->LastIdentity());
}

}  // namespace

int RegisterJetFunctions(sqlite3* db) {
    if (!db)
        return SQLITE_MISUSE;
    if (JetConnection::Find(db))
        return SQLITE_OK;
    JetConnection* state = JetConnection::Create(db);
    // The state lives as long as this function: SQLite calls Destroy when the handle
    // closes (and when registration fails).
    int rc = sqlite3_create_function_v2(db, "jet_identity", 0, SQLITE_UTF8, state, Identity,
                                        nullptr, nullptr, JetConnection::Destroy);
    if (rc != SQLITE_OK)
        return rc;
    for (const auto& list : {TextFunctions(), NumberFunctions(), DateFunctions(),
                             OperatorFunctions(), StoreFunctions()}) {
        for (const FunctionDef& f : list) {
            int flags = SQLITE_UTF8;
            if (f.deterministic)
                flags |= SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
            // One registration per arity, so SQLite refuses calls with other counts
            // (maxArgs -1: any number, for functions that read no argument).
            if (f.maxArgs < 0) {
                rc = sqlite3_create_function_v2(db, f.name, -1, flags,
                                                const_cast<char*>(JetNameOf(f.name)), f.fn, nullptr,
                                                nullptr, nullptr);
                if (rc != SQLITE_OK)
                    return rc;
            }
            for (int n = f.minArgs; n <= f.maxArgs; ++n) {
                rc = sqlite3_create_function_v2(db, f.name, n, flags,
                                                const_cast<char*>(JetNameOf(f.name)), f.fn, nullptr,
                                                nullptr, nullptr);
                if (rc != SQLITE_OK)
                    return rc;
            }
        }
    }
    for (const AggregateDef& a : AggregateFunctions()) {
        rc = sqlite3_create_function_v2(db, a.name, a.nArgs, SQLITE_UTF8 | SQLITE_INNOCUOUS,
                                        const_cast<char*>(JetNameOf(a.name)), nullptr, a.step,
                                        a.final, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    // The engine enforces the relationships that REFERENCES declares.
    return sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
}

long long LastJetIdentity(sqlite3* db) {
    JetConnection* state = JetConnection::Find(db);
    return state ? state->LastIdentity() : 0;
}

}  // namespace vorn::provider::sql
