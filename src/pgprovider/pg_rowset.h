// Rowsets over PostgreSQL results, read in batches into the shared rowset's spilling row
// store as the consumer asks for rows, so that a result of any size costs a flat amount of
// memory. A single query that only reads goes through a server-side cursor, FETCHed a
// thousand rows at a time (one round trip and one result per batch); other texts are read
// in single-row mode.
#pragma once

#include <memory>
#include <string>

#include "pg_connection.h"
#include "rowset/rowset_properties.h"

namespace vorn::pgprovider {

// Makes a rowset answering riid over the result whose first PGresult (PGRES_SINGLE_TUPLE
// or PGRES_TUPLES_OK) is `first`; the connection is in single-row mode with the query's
// further results still to be read. Takes `first` over. statement names the result in
// messages; creator is the command or session. cancellable: the query only reads, so a
// rowset released before its end may ask the server to stop sending rows (the caller says
// so only outside a transaction, where the cancelled query cannot abort anything);
// otherwise the rest is read and dropped.
HRESULT CreatePgRowset(const std::shared_ptr<PgConnection>& conn, PGresult* first,
                       const std::wstring& statement, const provider::RowsetProperties& properties,
                       IUnknown* creator, bool cancellable, REFIID riid, IUnknown** ppRowset);

// Whether text is one statement that a cursor can carry: a SELECT, VALUES or TABLE query
// without INTO, and nothing after it but blanks, comments and semicolons.
bool CursorCanCarry(const std::string& sql);

// Runs sql (for which CursorCanCarry holds) through a cursor and makes a rowset over it.
// Outside a transaction the cursor has one of its own, ended when the rows are read or
// the rowset goes.
HRESULT CreatePgCursorRowset(const std::shared_ptr<PgConnection>& conn, const std::string& sql,
                             const std::wstring& statement,
                             const provider::RowsetProperties& properties, IUnknown* creator,
                             REFIID riid, IUnknown** ppRowset);

}  // namespace vorn::pgprovider
