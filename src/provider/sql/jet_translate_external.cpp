// Tables of foreign stores inside Jet SQL: the external-source syntax
//   SELECT * FROM [Text;Database=/data/in;HDR=Yes].[parts#csv]
//   SELECT * FROM [parts#csv] IN '/data/in' [Text;HDR=Yes]
// from any connection, and CREATE TABLE on a data source that is a foreign store. Which
// kinds of source exist is the store framework's table (store/store_kinds.h).
#include "sql/jet_translator.h"
#include "store/store_module.h"

namespace vorn::provider::sql {

bool JetTranslator::ParseExternalTable(const std::vector<std::wstring>& parts, size_t begin,
                                       FromNode* node) {
    std::wstring connect;
    std::wstring database;
    if (parts.size() == 2 && parts[0].find(L';') != std::wstring::npos) {
        connect = parts[0];
    } else if (PeekKeyword(L"IN")) {
        Next();
        if (Peek().kind != TokenKind::String)
            Fail(Peek(), L"IN needs the path of the folder or file between quotes");
        database = Next().value;
        if (Peek().kind == TokenKind::QuotedName)
            connect = Next().value;
        if (parts.size() != 1)
            Fail(Previous(), L"a table in another source is named by its name alone");
    } else if (parts.size() == 1 && ReachStoreTable(parts[0]) != parts[0]) {
        // A file name with its dot on a foreign store's data source.
        node->table = parts[0];
        node->sql = QuoteName(StoreTableName(parts[0]));
        return true;
    } else {
        return false;
    }
    const size_t end = Previous().end;
    if (!db_)
        throw SyntaxFailure{begin, end, L"a table of another source needs a connection", true};
    std::string name;
    std::wstring error;
    if (!store::ExternalTableName(db_, connect, database, parts.back(), &name, &error))
        throw SyntaxFailure{begin, end, error, true};
    node->table = parts.back();
    node->sql = name;
    return true;
}

std::wstring JetTranslator::StoreTableName(const std::wstring& name) const {
    if (!db_ || !store::MainStoreOf(db_))
        return name;
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0 || dot + 1 == name.size())
        return name;
    std::wstring mapped = name;
    mapped[dot] = L'#';
    return mapped;
}

std::wstring JetTranslator::ReachStoreTable(const std::wstring& name) {
    const std::wstring mapped = StoreTableName(name);
    if (db_)
        store::ReachMainTable(db_, mapped);
    return mapped;
}

bool JetTranslator::TranslateStoreTable(const std::wstring& table,
                                        const std::vector<StoreColumnDef>& columns,
                                        TranslationResult* r) {
    if (!db_ || !store::MainStoreOf(db_))
        return false;
    std::vector<store::StoreColumn> storeColumns;
    for (const StoreColumnDef& c : columns) {
        store::StoreColumn sc;
        sc.name = c.name;
        sc.type = c.type;
        sc.nullable = !c.notNull;
        storeColumns.push_back(std::move(sc));
    }
    r->sql = store::CreateTableSql(StoreTableName(table), storeColumns);
    return true;
}

}  // namespace vorn::provider::sql
