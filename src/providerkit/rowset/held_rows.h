// Reference counts of the row handles a consumer holds. Consumers hold one or a few rows at
// a time: those are kept in a short list in place; beyond it, handles go to a hash table.
#pragma once

#include <unordered_map>
#include <cstddef>
#include <utility>

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

class HeldRows {
  public:
    // Adds a reference (holding the row when it was not held); gives the new count.
    ULONG Hold(HROW row);
    // Adds a reference to a held row; false when the row is not held.
    bool AddRef(HROW row, ULONG* count);
    // Drops a reference; false when the row is not held. *left is the count that remains.
    bool Release(HROW row, ULONG* left);
    bool IsHeld(HROW row) const;

  private:
    static constexpr size_t kFew = 4;
    ULONG* Find(HROW row);

    // The first few held rows in place (a consumer holding one row at a time never makes
    // the rowset allocate for it), the rest in the hash table.
    std::pair<HROW, ULONG> few_[kFew];
    size_t fewCount_ = 0;
    std::unordered_map<HROW, ULONG> many_;
};

}  // namespace vorn::provider
