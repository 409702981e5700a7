// The table of foreign-store kinds.
#include "store/store_kinds.h"

#include <vector>

#include "stores/access/access_store.h"
#include "stores/text/text_store.h"
#include "stores/workbook/workbook_store.h"

namespace vorn::provider::store {
namespace {

// One entry per store. The workbook and Access stores add theirs here.
const std::vector<StoreKindEntry>& StoreKinds() {
    static const std::vector<StoreKindEntry> kinds = {
        {L"Text", stores::text::NamesTextKind, nullptr, stores::text::OpenTextStore},
        {L"Excel", stores::workbook::NamesWorkbookKind, stores::workbook::IsWorkbookContent,
         stores::workbook::OpenWorkbookStore},
        {L"Access", stores::access::NamesAccessKind, stores::access::IsAccessContent,
         stores::access::OpenAccessStore},
    };
    return kinds;
}

}  // namespace

const StoreKindEntry* FindStoreKindByName(const std::wstring& item) {
    for (const StoreKindEntry& k : StoreKinds())
        if (k.namesKind && k.namesKind(item))
            return &k;
    return nullptr;
}

const StoreKindEntry* FindStoreKindByContent(const FileKind& kind) {
    for (const StoreKindEntry& k : StoreKinds())
        if (k.byContent && k.byContent(kind))
            return &k;
    return nullptr;
}

const StoreKindEntry* KindOfOptions(const ConnectionStringParse& options, std::wstring* named) {
    bool any = false;
    for (const ConnectionStringItem& item : options.items) {
        if (item.hasValue)
            continue;
        if (!any && named)
            *named = item.key;
        any = true;
        if (const StoreKindEntry* k = FindStoreKindByName(item.key))
            return k;
    }
    return nullptr;
}

}  // namespace vorn::provider::store
