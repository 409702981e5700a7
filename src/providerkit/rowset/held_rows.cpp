// Held row handles.
#include "rowset/held_rows.h"

namespace vorn::provider {

ULONG* HeldRows::Find(HROW row) {
    for (size_t i = fewCount_; i-- > 0;)
        if (few_[i].first == row)
            return &few_[i].second;
    if (many_.empty())
        return nullptr;
    auto it = many_.find(row);
    return it == many_.end() ? nullptr : &it->second;
}

bool HeldRows::IsHeld(HROW row) const {
    return const_cast<HeldRows*>(this)->Find(row) != nullptr;
}

ULONG HeldRows::Hold(HROW row) {
    if (ULONG* count = Find(row))
        return ++*count;
    if (fewCount_ < kFew)
        few_[fewCount_++] = {row, 1};
    else
        many_.emplace(row, 1);
    return 1;
}

bool HeldRows::AddRef(HROW row, ULONG* count) {
    ULONG* c = Find(row);
    if (!c)
        return false;
    *count = ++*c;
    return true;
}

bool HeldRows::Release(HROW row, ULONG* left) {
    for (size_t i = fewCount_; i-- > 0;) {
        if (few_[i].first != row)
            continue;
        *left = --few_[i].second;
        if (*left == 0)
            few_[i] = few_[--fewCount_];
        return true;
    }
    auto it = many_.find(row);
    if (it == many_.end())
        return false;
    *left = --it->second;
    if (*left == 0)
        many_.erase(it);
    return true;
}

}  // namespace vorn::provider
