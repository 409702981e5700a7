// The Access store.
#include "stores/access/access_store.h"

#include <cstdlib>
#include <cwctype>
#include <map>
#include <optional>

#include "stores/access/access_file.h"
#include "stores/access/access_queries.h"
#include "stores/access/access_table.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::access {
namespace {

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

class AccessStore final : public store::Store {
  public:
    explicit AccessStore(std::shared_ptr<AccessFile> file) : file_(std::move(file)) {}

    store::StoreProperties Properties() const override {
        store::StoreProperties p;
        p.readOnly = true;
        p.dbmsName = L"MS Jet";
        switch (file_->Version()) {
            case MDB_VER_JET3:
                p.dbmsVersion = L"03.50.0000";
                break;
            case MDB_VER_JET4:
                p.dbmsVersion = L"04.00.0000";
                break;
            default:
                p.dbmsVersion = L"12.00.0000";
                break;
        }
        p.catalog = file_->Shown();
        p.changesRefused = ReadOnlyRefusal(QuotedFile(*file_), L"changing its data or its tables");
        return p;
    }

    std::vector<std::wstring> TableNames(store::StoreError*) override {
        std::vector<std::wstring> names;
        for (const CatalogObject& o : file_->Objects())
            if (o.kind != ObjectKind::Query)
                names.push_back(o.name);
        return names;
    }

    std::shared_ptr<store::StoreTable> OpenTable(const std::wstring& name,
                                                 store::StoreError* error) override {
        const CatalogObject* object = file_->FindObject(name);
        if (!object || object->kind == ObjectKind::Query) {
            error->message = L"the table '" + name + L"' was not found in the Access database " +
                             QuotedFile(*file_);
            return nullptr;
        }
        if (object->kind == ObjectKind::LinkedTable)
            return std::make_shared<LinkedTable>(object->name, QuotedFile(*file_),
                                                 LinkTarget(*object));
        std::vector<AccessColumn> columns;
        std::wstring why;
        if (!ReadTableDefinition(*file_, *object, &columns, &why)) {
            error->message = why;
            return nullptr;
        }
        return std::make_shared<AccessTable>(file_, *object, std::move(columns));
    }

    // The saved select and union queries, their SQL rebuilt from MSysQueries.
    std::vector<store::StoreView> Views(store::StoreError* error) override {
        std::vector<store::StoreView> views;
        bool any = false;
        for (const CatalogObject& o : file_->Objects())
            any = any || o.kind == ObjectKind::Query;
        if (!any)
            return views;
        std::vector<std::vector<std::optional<std::string>>> rows;
        if (!ReadRows(L"MSysQueries",
                      {L"ObjectId", L"Attribute", L"Flag", L"Name1", L"Name2", L"Expression"},
                      &rows, error))
            return views;
        std::map<int32_t, std::vector<QueryRow>> byId;
        for (const auto& row : rows) {
            if (!row[0] || !row[1])
                continue;
            QueryRow q;
            q.attribute = std::atoi(row[1]->c_str());
            if (row[2])
                q.flag = std::atoi(row[2]->c_str());
            q.name1 = row[3].value_or("");
            q.name2 = row[4].value_or("");
            q.expression = row[5].value_or("");
            byId[static_cast<int32_t>(std::strtoll(row[0]->c_str(), nullptr, 10) & 0xFFFFFF)]
                .push_back(std::move(q));
        }
        for (const CatalogObject& o : file_->Objects()) {
            if (o.kind != ObjectKind::Query)
                continue;
            const std::vector<QueryRow>& queryRows = byId[o.id];
            const QueryKind kind = KindOfQuery(queryRows);
            if (kind != QueryKind::Select && kind != QueryKind::Union)
                continue;  // action queries are no views
            store::StoreView view;
            view.name = o.name;
            std::string sql, why;
            if (BuildQuerySql(queryRows, &sql, &why))
                view.jetSql = Utf8ToWide(sql);
            else
                view.unreadable = L"the saved query '" + o.name + L"' of " + QuotedFile(*file_) +
                                  L" cannot be read as a view: " + Utf8ToWide(why);
            views.push_back(std::move(view));
        }
        return views;
    }

    std::shared_ptr<store::StoreTable> CreateTable(const std::wstring& name,
                                                   const std::vector<store::StoreColumn>&,
                                                   store::StoreError* error) override {
        error->refused = true;
        error->message = ReadOnlyRefusal(QuotedFile(*file_), L"creating the table '" + name + L"'");
        return nullptr;
    }

    // The rows of one of the file's own tables, each field as text (NULL as nullopt), for
    // the columns named (a column the table lacks reads as NULL).
    bool ReadRows(const std::wstring& table, const std::vector<std::wstring>& wanted,
                  std::vector<std::vector<std::optional<std::string>>>* rows,
                  store::StoreError* error) {
        std::shared_ptr<store::StoreTable> opened = OpenTable(table, error);
        if (!opened)
            return false;
        std::vector<int> at;
        for (const std::wstring& w : wanted) {
            int found = -1;
            const auto& columns = opened->Columns();
            for (size_t i = 0; i < columns.size(); ++i)
                if (Lower(columns[i].name) == Lower(w))
                    found = static_cast<int>(i);
            at.push_back(found);
        }
        std::unique_ptr<store::StoreCursor> cursor = opened->Open(error);
        if (!cursor)
            return false;
        while (cursor->Next(error)) {
            std::vector<std::optional<std::string>> row;
            for (int column : at) {
                store::StoreValue v;
                if (column < 0 || !cursor->Read(column, &v, error)) {
                    row.emplace_back();
                    continue;
                }
                switch (v.kind) {
                    case store::StoreValue::Null:
                        row.emplace_back();
                        break;
                    case store::StoreValue::Integer:
                        row.emplace_back(std::to_string(v.integer));
                        break;
                    case store::StoreValue::Real:
                        row.emplace_back(std::to_string(v.real));
                        break;
                    default:
                        row.emplace_back(std::string(v.bytes));
                        break;
                }
            }
            rows->push_back(std::move(row));
        }
        return error->message.empty();
    }

  private:
    // Where a linked table points, from its row of MSysObjects.
    std::wstring LinkTarget(const CatalogObject& object) {
        std::vector<std::vector<std::optional<std::string>>> rows;
        store::StoreError error;
        if (ReadRows(L"MSysObjects", {L"Name", L"Database", L"ForeignName", L"Connect"}, &rows,
                     &error)) {
            for (const auto& row : rows) {
                if (!row[0] || Utf8ToWide(*row[0]) != object.name)
                    continue;
                const std::wstring foreign = row[2] ? Utf8ToWide(*row[2]) : object.name;
                if (row[1] && !row[1]->empty())
                    return L"the table '" + foreign + L"' of '" + Utf8ToWide(*row[1]) + L"'";
                if (row[3] && !row[3]->empty())
                    return L"the table '" + foreign + L"' of the source '" + Utf8ToWide(*row[3]) +
                           L"'";
            }
        }
        return L"a table of another database";
    }

    std::shared_ptr<AccessFile> file_;
};

}  // namespace

bool NamesAccessKind(const std::wstring& item) {
    return item.empty() || Lower(item) == L"ms access";
}

bool IsAccessContent(const FileKind& kind) {
    return kind.kind == StoreKind::Access;
}

std::shared_ptr<store::Store> OpenAccessStore(const store::StoreOpenRequest& request,
                                              store::StoreError* error) {
    if (request.database.empty()) {
        error->message = L"no Access database file given";
        return nullptr;
    }
    const std::string codePage = WideToUtf8(request.options.Value(L"CharacterSet"));
    std::wstring why;
    std::shared_ptr<AccessFile> file =
        AccessFile::Open(WideToUtf8(request.database), request.database, codePage, &why);
    if (!file) {
        error->message = why;
        return nullptr;
    }
    return std::make_shared<AccessStore>(std::move(file));
}

}  // namespace vorn::provider::stores::access
