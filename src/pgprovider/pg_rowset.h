// Rowsets over a PostgreSQL result: the row source reads the result in single-row mode, a
// row at a time as the consumer asks for rows, into the shared rowset's spilling row store,
// so that a result of any size costs a flat amount of memory.
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

}  // namespace vorn::pgprovider
