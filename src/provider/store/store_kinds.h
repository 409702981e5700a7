// The kinds of foreign store, in one table: how a data source's Extended Properties or a
// file's first bytes name a kind, and how a store of that kind is opened. The data source
// and Jet's external-source syntax (`[Text;Database=/data/in].[parts#csv]`,
// `... IN '/data/in' [Text;]`) both dispatch through this table, so a new store is one
// entry in StoreKinds() (store_kinds.cpp).
#pragma once

#include <memory>
#include <string>

#include "connection_string.h"
#include "store/store.h"
#include "store_kind.h"

namespace vorn::provider::store {

// What opening a store is given.
struct StoreOpenRequest {
    // The file or folder: Data Source of a connection string, Database= or IN '...' of an
    // external source.
    std::wstring database;
    // The kind's options: the items of Extended Properties (HDR=Yes, FMT=Delimited ...) or
    // of the external source's connect text, the kind's own name among them.
    ConnectionStringParse options;
    bool readOnly = false;
};

struct StoreKindEntry {
    const wchar_t* name;  // "Text"
    // Whether an item without value ("text", "Excel 8.0", "" for an Access file) names
    // this kind; letter case ignored.
    bool (*namesKind)(const std::wstring& item);
    // Whether a file whose options name no kind is of this kind by its first bytes; null
    // when the kind is only reached by name.
    bool (*byContent)(const FileKind& kind);
    // Opens a store; null with *error filled on failure.
    std::shared_ptr<Store> (*open)(const StoreOpenRequest& request, StoreError* error);
};

// The kind a bare item of options names, or null.
const StoreKindEntry* FindStoreKindByName(const std::wstring& item);
// The kind a file of this content is, or null.
const StoreKindEntry* FindStoreKindByContent(const FileKind& kind);

// The kind named by parsed options (their first item without value, or an item without
// value that names a kind). *named tells whether any bare item was there at all (so that a
// bare item naming no known kind can be refused by name).
const StoreKindEntry* KindOfOptions(const ConnectionStringParse& options, std::wstring* named);

}  // namespace vorn::provider::store
