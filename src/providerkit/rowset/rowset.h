// The rowset of a statement's result: a static (snapshot) cursor over the rows a row source
// gives, read as the consumer asks for them (a small batch at a time, never the whole
// result unless a move needs it) and kept in a row store, so that moves backwards,
// restarts and jumps to the end read the store.
//
// Movement: the cursor stands on the last row handed out. GetNextRows(offset, count)
// starts at the row after it (count > 0) or before it (count < 0), moved by offset:
// GetNextRows(0, 1) gives the next row, GetNextRows(0, -1) the previous one and
// GetNextRows(-2, 1) the previous one as well. After RestartPosition (and at the start)
// forward fetches begin with the first row and backward fetches with the last. A fetch
// that runs past either end gives the rows it found and DB_S_ENDOFROWSET, and leaves the
// cursor past that end: GetNextRows(-2, 1) after running off the end gives the last row.
#pragma once

#include <memory>

#include "rowset/row_source.h"
#include "rowset/rowset_properties.h"

namespace vorn::provider {

// Makes a rowset over the rows of source and answers riid from it. The first batch is read
// here, so that run-time errors of the statement surface now. creator is the object
// IRowsetInfo answers for the rowset's creator (the command or session; may be null).
HRESULT CreateRowset(std::unique_ptr<RowSource> source, const RowsetProperties& properties,
                     IUnknown* creator, REFIID riid, IUnknown** ppRowset);

}  // namespace vorn::provider
