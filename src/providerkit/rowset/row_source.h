// Where a rowset's rows come from: a prepared statement stepped row by row, a server's
// result read in batches, rows a provider computed. The rowset asks for rows as the
// consumer moves, and the source encodes them into the rowset's row store.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "error_records.h"
#include "rowset/open_results.h"
#include "rowset/row_store.h"
#include "rowset/rowset_columns.h"

namespace vorn::provider {

class RowSource {
  public:
    enum class Fetched {
        More,    // the store holds the rows asked for; more may follow
        End,     // every row of the result is in the store
        Failed,  // reading stopped; *failure says why
    };

    virtual ~RowSource() = default;

    // Appends rows to store until it holds at least `wanted` rows or the result ends.
    virtual Fetched Fetch(RowStore& store, uint64_t wanted,
                          std::unique_ptr<ErrorRecord>* failure) = 0;

    // The statement and its columns. Read after the first Fetch, which may still settle
    // columns typed by their first value; fixed from then on.
    virtual std::shared_ptr<const RowsetDescription> Description() const = 0;

    // True when the result must be read to its end at once (a statement that writes, so
    // that it holds no lock once Execute returns).
    virtual bool ReadAllAtOnce() const { return false; }

    // Registers the rowset as a result still being read on the source's connection, so
    // that it reads to its end before the connection runs another statement that would
    // disturb it; Close unregisters it.
    virtual void Pending(LazyResult*) {}

    // Ends the result: frees the statement or server result. Called once, at the end of
    // the rows or when the rowset goes, whichever comes first.
    virtual void Close() = 0;

    // The source named by the error records of the rowset.
    virtual const wchar_t* ErrorSource() const = 0;
};

// Appends the row encoder holds to store; on failure sets *failure (context() names the
// result; it is only built then, not for every row) and returns false.
bool StoreEncodedRow(RowStore& store, const class RowEncoder& encoder,
                     const std::function<std::wstring()>& context,
                     std::unique_ptr<ErrorRecord>* failure);

}  // namespace vorn::provider
