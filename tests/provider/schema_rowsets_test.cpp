// The TABLES, COLUMNS and INDEXES schema rowsets of the embedded provider, on a database
// made with Jet DDL and with SQLite's own DDL.
#include <gtest/gtest.h>

#include "schema_test_util.h"
#include "support/jet_sql_file.h"
#include "support/temp_database.h"

namespace vorn::provider::testing {
namespace {

class SchemaRowsets : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = folder_.File("catalog.db");
        test::RunJetSql(file_,
                        L"CREATE TABLE Orders (OrderId COUNTER(100, 10), Code TEXT(50) NOT NULL, "
                        L"Qty LONG DEFAULT 5, Notes MEMO, Done YESNO, Price CURRENCY, "
                        L"Stamp DATETIME, Pic OLEOBJECT, Tag GUID, Amount DECIMAL(10, 2), "
                        L"CONSTRAINT PK_Orders PRIMARY KEY (OrderId, Code))");
        test::RunJetSql(file_, L"CREATE UNIQUE INDEX ByCode ON Orders (Code)");
        test::RunSql(file_,
                     "CREATE TABLE Plain(id INTEGER PRIMARY KEY, label, x TEXT UNIQUE, "
                     "  CONSTRAINT named_u UNIQUE (label, x));"
                     "INSERT INTO Plain(label, x) VALUES ('first', 'a');"
                     "CREATE INDEX part ON Plain(label DESC, x) WHERE label IS NOT NULL;"
                     "CREATE TABLE Pairs(a TEXT, b INT, PRIMARY KEY (a, b)) WITHOUT ROWID;"
                     "CREATE VIEW OrderCodes AS SELECT Code, Qty * 2 AS Twice FROM Orders;");
        db_ = std::make_unique<OpenDatabase>(file_);
    }

    SchemaResult Tables(const Restrictions& r) {
        return ReadSchema(db_->session.Get(), DBSCHEMA_TABLES, r);
    }
    SchemaResult Columns(const Restrictions& r) {
        return ReadSchema(db_->session.Get(), DBSCHEMA_COLUMNS, r);
    }
    SchemaResult Indexes(const Restrictions& r) {
        return ReadSchema(db_->session.Get(), DBSCHEMA_INDEXES, r);
    }

    test::TempFolder folder_;
    std::string file_;
    std::unique_ptr<OpenDatabase> db_;
};

TEST_F(SchemaRowsets, TablesHaveTheStandardColumnsAndTypes) {
    const SchemaResult t = Tables(Restrictions(0));
    ASSERT_EQ(S_OK, t.hr);
    const std::vector<std::wstring> names = {L"TABLE_CATALOG", L"TABLE_SCHEMA", L"TABLE_NAME",
                                             L"TABLE_TYPE",    L"TABLE_GUID",   L"DESCRIPTION",
                                             L"TABLE_PROPID",  L"DATE_CREATED", L"DATE_MODIFIED"};
    const std::vector<DBTYPE> types = {DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR,
                                       DBTYPE_WSTR, DBTYPE_GUID, DBTYPE_WSTR,
                                       DBTYPE_UI4,  DBTYPE_DATE, DBTYPE_DATE};
    EXPECT_EQ(names, t.names);
    EXPECT_EQ(types, t.types);
}

TEST_F(SchemaRowsets, TablesCarryTheirTypes) {
    const SchemaResult t = Tables(Restrictions(4));
    ASSERT_EQ(S_OK, t.hr);
    auto typeOf = [&](const std::wstring& name) {
        const std::vector<size_t> rows = t.RowsWhere(L"TABLE_NAME", name);
        return rows.size() == 1 ? t.Text(rows[0], L"TABLE_TYPE") : L"<" + name + L" missing>";
    };
    EXPECT_EQ(L"TABLE", typeOf(L"Orders"));
    EXPECT_EQ(L"TABLE", typeOf(L"Pairs"));
    EXPECT_EQ(L"VIEW", typeOf(L"OrderCodes"));
    EXPECT_EQ(L"SYSTEM TABLE", typeOf(L"__vorn_identity"));
    EXPECT_EQ(L"SYSTEM TABLE", typeOf(L"sqlite_schema"));
    for (size_t r = 0; r < t.rows.size(); ++r) {
        EXPECT_TRUE(t.IsNull(r, L"TABLE_CATALOG"));
        EXPECT_TRUE(t.IsNull(r, L"TABLE_SCHEMA"));
        EXPECT_TRUE(t.IsNull(r, L"DATE_CREATED"));
    }
    // Sorted by type, then name.
    for (size_t r = 1; r < t.rows.size(); ++r)
        EXPECT_LE(t.Text(r - 1, L"TABLE_TYPE"), t.Text(r, L"TABLE_TYPE"));
}

TEST_F(SchemaRowsets, TableRestrictionsIgnoreLetterCaseAndEmptyTypeIsARestriction) {
    SchemaResult t = Tables(Restrictions(4).Text(2, L"ORDERS"));
    ASSERT_EQ(S_OK, t.hr);
    ASSERT_EQ(1u, t.rows.size());
    EXPECT_EQ(L"Orders", t.Text(0, L"TABLE_NAME"));

    t = Tables(Restrictions(4).Text(3, L"view"));
    ASSERT_EQ(1u, t.rows.size());
    EXPECT_EQ(L"OrderCodes", t.Text(0, L"TABLE_NAME"));

    t = Tables(Restrictions(4).Text(3, L""));
    EXPECT_EQ(S_OK, t.hr);
    EXPECT_TRUE(t.rows.empty());

    // Catalogs are NULL here, so a catalog restriction matches nothing.
    t = Tables(Restrictions(4).Text(0, L"catalog"));
    EXPECT_EQ(S_OK, t.hr);
    EXPECT_TRUE(t.rows.empty());
}

TEST_F(SchemaRowsets, BadRestrictionsAreRefusedWithARecord) {
    SchemaResult t = Tables(Restrictions(4).Number(2, VT_I4, 7));
    EXPECT_EQ(E_INVALIDARG, t.hr);
    PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"TABLE_NAME restriction")) << WideToUtf8(e.description);

    t = Tables(Restrictions(5));
    EXPECT_EQ(E_INVALIDARG, t.hr);
    e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"5 restrictions")) << WideToUtf8(e.description);

    const GUID unknown = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    t = ReadSchema(db_->session.Get(), unknown, Restrictions(0));
    EXPECT_EQ(E_INVALIDARG, t.hr);
    EXPECT_TRUE(Contains(TakeError().description, L"not supported"));
}

TEST_F(SchemaRowsets, ColumnsHaveTheStandardColumnsAndTypes) {
    const SchemaResult c = Columns(Restrictions(4).Text(2, L"Orders"));
    ASSERT_EQ(S_OK, c.hr);
    ASSERT_EQ(28u, c.names.size());
    const std::vector<std::pair<std::wstring, DBTYPE>> expected = {
        {L"TABLE_CATALOG", DBTYPE_WSTR},
        {L"TABLE_SCHEMA", DBTYPE_WSTR},
        {L"TABLE_NAME", DBTYPE_WSTR},
        {L"COLUMN_NAME", DBTYPE_WSTR},
        {L"COLUMN_GUID", DBTYPE_GUID},
        {L"COLUMN_PROPID", DBTYPE_UI4},
        {L"ORDINAL_POSITION", DBTYPE_UI4},
        {L"COLUMN_HASDEFAULT", DBTYPE_BOOL},
        {L"COLUMN_DEFAULT", DBTYPE_WSTR},
        {L"COLUMN_FLAGS", DBTYPE_UI4},
        {L"IS_NULLABLE", DBTYPE_BOOL},
        {L"DATA_TYPE", DBTYPE_UI2},
        {L"TYPE_GUID", DBTYPE_GUID},
        {L"CHARACTER_MAXIMUM_LENGTH", DBTYPE_UI4},
        {L"CHARACTER_OCTET_LENGTH", DBTYPE_UI4},
        {L"NUMERIC_PRECISION", DBTYPE_UI2},
        {L"NUMERIC_SCALE", DBTYPE_I2},
        {L"DATETIME_PRECISION", DBTYPE_UI4},
        {L"CHARACTER_SET_CATALOG", DBTYPE_WSTR},
        {L"CHARACTER_SET_SCHEMA", DBTYPE_WSTR},
        {L"CHARACTER_SET_NAME", DBTYPE_WSTR},
        {L"COLLATION_CATALOG", DBTYPE_WSTR},
        {L"COLLATION_SCHEMA", DBTYPE_WSTR},
        {L"COLLATION_NAME", DBTYPE_WSTR},
        {L"DOMAIN_CATALOG", DBTYPE_WSTR},
        {L"DOMAIN_SCHEMA", DBTYPE_WSTR},
        {L"DOMAIN_NAME", DBTYPE_WSTR},
        {L"DESCRIPTION", DBTYPE_WSTR},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].first, c.names[i]);
        EXPECT_EQ(expected[i].second, c.types[i]) << WideToUtf8(c.names[i]);
    }
}

TEST_F(SchemaRowsets, ColumnsDescribeJetTypesAsDeclared) {
    const SchemaResult c = Columns(Restrictions(4).Text(2, L"orders"));
    ASSERT_EQ(S_OK, c.hr);
    ASSERT_EQ(10u, c.rows.size());
    auto row = [&](const std::wstring& name) { return c.RowsWhere(L"COLUMN_NAME", name).at(0); };
    for (size_t r = 0; r < c.rows.size(); ++r) {
        EXPECT_EQ(static_cast<long long>(r + 1), c.Number(r, L"ORDINAL_POSITION"));
        EXPECT_EQ(L"Orders", c.Text(r, L"TABLE_NAME"));
    }
    const size_t id = row(L"OrderId");
    EXPECT_EQ(DBTYPE_I4, c.Number(id, L"DATA_TYPE"));
    EXPECT_EQ(VARIANT_FALSE, c.Number(id, L"IS_NULLABLE"));  // numbered by the engine
    EXPECT_EQ(10, c.Number(id, L"NUMERIC_PRECISION"));
    EXPECT_TRUE(c.IsNull(id, L"CHARACTER_MAXIMUM_LENGTH"));

    const size_t code = row(L"Code");
    EXPECT_EQ(DBTYPE_WSTR, c.Number(code, L"DATA_TYPE"));
    EXPECT_EQ(50, c.Number(code, L"CHARACTER_MAXIMUM_LENGTH"));
    EXPECT_EQ(static_cast<long long>(50 * sizeof(wchar_t)),
              c.Number(code, L"CHARACTER_OCTET_LENGTH"));
    EXPECT_EQ(VARIANT_FALSE, c.Number(code, L"IS_NULLABLE"));
    EXPECT_EQ(0, c.Number(code, L"COLUMN_FLAGS") & DBCOLUMNFLAGS_ISNULLABLE);
    EXPECT_TRUE(c.IsNull(code, L"NUMERIC_PRECISION"));

    const size_t qty = row(L"Qty");
    EXPECT_EQ(VARIANT_TRUE, c.Number(qty, L"COLUMN_HASDEFAULT"));
    EXPECT_EQ(L"5", c.Text(qty, L"COLUMN_DEFAULT"));
    EXPECT_EQ(VARIANT_TRUE, c.Number(qty, L"IS_NULLABLE"));
    EXPECT_EQ(
        DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL | DBCOLUMNFLAGS_ISFIXEDLENGTH,
        c.Number(qty, L"COLUMN_FLAGS") & (DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL |
                                          DBCOLUMNFLAGS_ISFIXEDLENGTH | DBCOLUMNFLAGS_ISLONG));
    EXPECT_EQ(VARIANT_FALSE, c.Number(row(L"Notes"), L"COLUMN_HASDEFAULT"));
    EXPECT_TRUE(c.IsNull(row(L"Notes"), L"COLUMN_DEFAULT"));

    EXPECT_NE(0, c.Number(row(L"Notes"), L"COLUMN_FLAGS") & DBCOLUMNFLAGS_ISLONG);
    EXPECT_NE(0, c.Number(row(L"Pic"), L"COLUMN_FLAGS") & DBCOLUMNFLAGS_ISLONG);
    EXPECT_EQ(DBTYPE_BYTES, c.Number(row(L"Pic"), L"DATA_TYPE"));
    EXPECT_EQ(DBTYPE_BOOL, c.Number(row(L"Done"), L"DATA_TYPE"));
    EXPECT_EQ(DBTYPE_CY, c.Number(row(L"Price"), L"DATA_TYPE"));
    EXPECT_EQ(DBTYPE_GUID, c.Number(row(L"Tag"), L"DATA_TYPE"));

    const size_t stamp = row(L"Stamp");
    EXPECT_EQ(DBTYPE_DATE, c.Number(stamp, L"DATA_TYPE"));
    EXPECT_EQ(0, c.Number(stamp, L"DATETIME_PRECISION"));
    EXPECT_FALSE(c.IsNull(stamp, L"DATETIME_PRECISION"));

    const size_t amount = row(L"Amount");
    EXPECT_EQ(DBTYPE_NUMERIC, c.Number(amount, L"DATA_TYPE"));
    EXPECT_EQ(10, c.Number(amount, L"NUMERIC_PRECISION"));
    EXPECT_EQ(2, c.Number(amount, L"NUMERIC_SCALE"));
    EXPECT_TRUE(c.IsNull(row(L"Qty"), L"NUMERIC_SCALE"));
}

// The COLUMNS rowset and a rowset over SELECT * agree on every column's type and size.
TEST_F(SchemaRowsets, ColumnTypesAgreeWithWhatARowsetReports) {
    for (const std::wstring table : {L"Orders", L"Plain", L"Pairs", L"OrderCodes"}) {
        const SchemaResult c = Columns(Restrictions(4).Text(2, table));
        ASSERT_EQ(S_OK, c.hr);
        ComPtr<IOpenRowset> open;
        ASSERT_EQ(S_OK,
                  db_->session->QueryInterface(IID_IOpenRowset, open.ReleaseAndGetVoidAddress()));
        std::wstring name = table;
        DBID id{};
        id.eKind = DBKIND_NAME;
        id.uName.pwszName = name.data();
        ComPtr<IColumnsInfo> info;
        ASSERT_EQ(S_OK, open->OpenRowset(nullptr, &id, nullptr, IID_IColumnsInfo, 0, nullptr,
                                         info.ReleaseAndGetUnknownAddress()));
        DBORDINAL count = 0;
        DBCOLUMNINFO* columns = nullptr;
        OLECHAR* names = nullptr;
        ASSERT_EQ(S_OK, info->GetColumnInfo(&count, &columns, &names));
        ASSERT_EQ(count, c.rows.size()) << WideToUtf8(table);
        for (DBORDINAL i = 0; i < count; ++i) {
            const std::string where = WideToUtf8(table + L"." + columns[i].pwszName);
            EXPECT_EQ(columns[i].pwszName, c.Text(i, L"COLUMN_NAME")) << where;
            EXPECT_EQ(columns[i].wType, c.Number(i, L"DATA_TYPE")) << where;
            if (columns[i].wType == DBTYPE_WSTR || columns[i].wType == DBTYPE_BYTES) {
                EXPECT_EQ(columns[i].ulColumnSize, c.Number(i, L"CHARACTER_MAXIMUM_LENGTH"))
                    << where;
            }
            EXPECT_EQ(columns[i].dwFlags & DBCOLUMNFLAGS_ISLONG,
                      c.Number(i, L"COLUMN_FLAGS") & DBCOLUMNFLAGS_ISLONG)
                << where;
        }
        CoTaskMemFree(columns);
        CoTaskMemFree(names);
    }
}

TEST_F(SchemaRowsets, ColumnRestrictionAndUntypedColumns) {
    SchemaResult c = Columns(Restrictions(4).Text(2, L"PLAIN").Text(3, L"LABEL"));
    ASSERT_EQ(S_OK, c.hr);
    ASSERT_EQ(1u, c.rows.size());
    // Declared without a type: the first value (text) decides, as for a rowset.
    EXPECT_EQ(DBTYPE_WSTR, c.Number(0, L"DATA_TYPE"));
    EXPECT_EQ(2, c.Number(0, L"ORDINAL_POSITION"));

    c = Columns(Restrictions(4).Text(2, L"Plain").Text(3, L"id"));
    ASSERT_EQ(1u, c.rows.size());
    EXPECT_EQ(DBTYPE_I8, c.Number(0, L"DATA_TYPE"));
    EXPECT_EQ(VARIANT_FALSE, c.Number(0, L"IS_NULLABLE"));  // the rowid

    // Every table's columns without a restriction, the engine's own tables included.
    c = Columns(Restrictions(0));
    EXPECT_FALSE(c.RowsWhere(L"TABLE_NAME", L"sqlite_schema").empty());
    EXPECT_EQ(2u, c.RowsWhere(L"TABLE_NAME", L"OrderCodes").size());
}

TEST_F(SchemaRowsets, IndexesHaveTheStandardColumnsAndTypes) {
    const SchemaResult x = Indexes(Restrictions(5).Text(4, L"Orders"));
    ASSERT_EQ(S_OK, x.hr);
    const std::vector<DBTYPE> types = {
        DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_BOOL,
        DBTYPE_BOOL, DBTYPE_BOOL, DBTYPE_UI2,  DBTYPE_I4,   DBTYPE_I4,   DBTYPE_I4,   DBTYPE_BOOL,
        DBTYPE_BOOL, DBTYPE_I4,   DBTYPE_UI4,  DBTYPE_WSTR, DBTYPE_GUID, DBTYPE_UI4,  DBTYPE_I2,
        DBTYPE_UI8,  DBTYPE_I4,   DBTYPE_WSTR, DBTYPE_BOOL};
    EXPECT_EQ(types, x.types);
    EXPECT_EQ(L"INDEX_NAME", x.names[5]);
    EXPECT_EQ(L"PRIMARY_KEY", x.names[6]);
    EXPECT_EQ(L"ORDINAL_POSITION", x.names[16]);
    EXPECT_EQ(L"COLUMN_NAME", x.names[17]);
    EXPECT_EQ(L"INTEGRATED", x.names[24]);
}

TEST_F(SchemaRowsets, IndexesOfAJetTable) {
    const SchemaResult x = Indexes(Restrictions(5).Text(4, L"Orders"));
    ASSERT_EQ(S_OK, x.hr);
    ASSERT_EQ(3u, x.rows.size());
    const std::vector<size_t> key = x.RowsWhere(L"INDEX_NAME", L"PK_Orders");
    ASSERT_EQ(2u, key.size());
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(VARIANT_TRUE, x.Number(key[i], L"PRIMARY_KEY"));
        EXPECT_EQ(VARIANT_TRUE, x.Number(key[i], L"UNIQUE"));
        EXPECT_EQ(static_cast<long long>(i + 1), x.Number(key[i], L"ORDINAL_POSITION"));
        EXPECT_EQ(1, x.Number(key[i], L"NULLS"));  // DBPROPVAL_IN_DISALLOWNULL
    }
    EXPECT_EQ(L"OrderId", x.Text(key[0], L"COLUMN_NAME"));
    EXPECT_EQ(L"Code", x.Text(key[1], L"COLUMN_NAME"));
    const std::vector<size_t> byCode = x.RowsWhere(L"INDEX_NAME", L"ByCode");
    ASSERT_EQ(1u, byCode.size());
    EXPECT_EQ(VARIANT_FALSE, x.Number(byCode[0], L"PRIMARY_KEY"));
    EXPECT_EQ(VARIANT_TRUE, x.Number(byCode[0], L"UNIQUE"));
    EXPECT_EQ(1, x.Number(byCode[0], L"TYPE"));  // DBPROPVAL_IT_BTREE
    EXPECT_EQ(1, x.Number(byCode[0], L"COLLATION"));
    EXPECT_TRUE(x.IsNull(byCode[0], L"CARDINALITY"));
}

// A key added to an existing table is reported as its primary key.
TEST_F(SchemaRowsets, KeyAddedWithPrimaryIsThePrimaryKey) {
    test::RunJetSql(file_, L"CREATE TABLE Later (A TEXT(5), B TEXT(5))");
    test::RunJetSql(file_, L"CREATE INDEX LaterKey ON Later (A) WITH PRIMARY");
    test::RunJetSql(file_, L"CREATE INDEX ByB ON Later (B)");
    const SchemaResult x = Indexes(Restrictions(5).Text(4, L"Later"));
    ASSERT_EQ(S_OK, x.hr);
    const std::vector<size_t> key = x.RowsWhere(L"INDEX_NAME", L"LaterKey");
    ASSERT_EQ(1u, key.size());
    EXPECT_EQ(VARIANT_TRUE, x.Number(key[0], L"PRIMARY_KEY"));
    EXPECT_EQ(VARIANT_TRUE, x.Number(key[0], L"UNIQUE"));
    const std::vector<size_t> other = x.RowsWhere(L"INDEX_NAME", L"ByB");
    ASSERT_EQ(1u, other.size());
    EXPECT_EQ(VARIANT_FALSE, x.Number(other[0], L"PRIMARY_KEY"));
}

TEST_F(SchemaRowsets, IndexesOfSqliteKeysGetSensibleNames) {
    const SchemaResult x = Indexes(Restrictions(5).Text(4, L"plain"));
    ASSERT_EQ(S_OK, x.hr);
    // INTEGER PRIMARY KEY: no index of its own in SQLite, reported as the primary key.
    const std::vector<size_t> key = x.RowsWhere(L"INDEX_NAME", L"PrimaryKey");
    ASSERT_EQ(1u, key.size());
    EXPECT_EQ(VARIANT_TRUE, x.Number(key[0], L"PRIMARY_KEY"));
    EXPECT_EQ(VARIANT_TRUE, x.Number(key[0], L"CLUSTERED"));
    EXPECT_EQ(VARIANT_TRUE, x.Number(key[0], L"INTEGRATED"));
    EXPECT_EQ(L"id", x.Text(key[0], L"COLUMN_NAME"));
    // Unnamed and named UNIQUE constraints.
    ASSERT_EQ(1u, x.RowsWhere(L"INDEX_NAME", L"Unique_x").size());
    const std::vector<size_t> named = x.RowsWhere(L"INDEX_NAME", L"named_u");
    ASSERT_EQ(2u, named.size());
    EXPECT_EQ(VARIANT_FALSE, x.Number(named[0], L"PRIMARY_KEY"));
    // A partial index with a descending column.
    const std::vector<size_t> part = x.RowsWhere(L"INDEX_NAME", L"part");
    ASSERT_EQ(2u, part.size());
    EXPECT_EQ(2, x.Number(part[0], L"COLLATION"));  // DB_COLLATION_DESC
    EXPECT_EQ(L"label IS NOT NULL", x.Text(part[0], L"FILTER_CONDITION"));
    EXPECT_EQ(VARIANT_FALSE, x.Number(part[0], L"UNIQUE"));
    EXPECT_TRUE(x.RowsWhere(L"INDEX_NAME", L"sqlite_autoindex_Plain_1").empty());

    const SchemaResult pairs = Indexes(Restrictions(5).Text(4, L"Pairs"));
    ASSERT_EQ(2u, pairs.rows.size());
    EXPECT_EQ(L"PrimaryKey", pairs.Text(0, L"INDEX_NAME"));
    EXPECT_EQ(VARIANT_TRUE, pairs.Number(0, L"CLUSTERED"));
}

TEST_F(SchemaRowsets, IndexRestrictionsTakeTheirOwnPlaces) {
    // Restriction 3 is the index name, 5 the table name: never the other way round.
    SchemaResult x = Indexes(Restrictions(5).Text(2, L"bycode"));
    ASSERT_EQ(1u, x.rows.size());
    EXPECT_EQ(L"Orders", x.Text(0, L"TABLE_NAME"));
    x = Indexes(Restrictions(5).Text(2, L"Orders"));
    EXPECT_TRUE(x.rows.empty());
    // TYPE: every index is a B-tree.
    x = Indexes(Restrictions(5).Number(3, VT_UI2, 1).Text(4, L"Orders"));
    EXPECT_EQ(3u, x.rows.size());
    x = Indexes(Restrictions(5).Number(3, VT_UI2, 2).Text(4, L"Orders"));
    EXPECT_TRUE(x.rows.empty());
    // A view has no indexes.
    x = Indexes(Restrictions(5).Text(4, L"OrderCodes"));
    EXPECT_EQ(S_OK, x.hr);
    EXPECT_TRUE(x.rows.empty());
}

TEST_F(SchemaRowsets, GetSchemasListsTheFourWithTheirRestrictions) {
    ComPtr<IDBSchemaRowset> schemas;
    ASSERT_EQ(S_OK, db_->session->QueryInterface(IID_IDBSchemaRowset,
                                                 schemas.ReleaseAndGetVoidAddress()));
    ULONG count = 0;
    GUID* guids = nullptr;
    ULONG* masks = nullptr;
    ASSERT_EQ(S_OK, schemas->GetSchemas(&count, &guids, &masks));
    ASSERT_EQ(4u, count);
    EXPECT_EQ(DBSCHEMA_TABLES, guids[0]);
    EXPECT_EQ(0xFu, masks[0]);
    EXPECT_EQ(DBSCHEMA_COLUMNS, guids[1]);
    EXPECT_EQ(0xFu, masks[1]);
    EXPECT_EQ(DBSCHEMA_INDEXES, guids[2]);
    EXPECT_EQ(0x1Fu, masks[2]);
    EXPECT_EQ(DBSCHEMA_PROCEDURES, guids[3]);
    EXPECT_EQ(0xFu, masks[3]);
    CoTaskMemFree(guids);
    CoTaskMemFree(masks);
    EXPECT_EQ(E_INVALIDARG, schemas->GetSchemas(&count, nullptr, &masks));
}

// A schema rowset is a snapshot of its own: it outlives the session, and DDL afterwards
// does not change it.
TEST_F(SchemaRowsets, RowsetIsASnapshotThatOutlivesTheSession) {
    ComPtr<IDBSchemaRowset> schemas;
    ASSERT_EQ(S_OK, db_->session->QueryInterface(IID_IDBSchemaRowset,
                                                 schemas.ReleaseAndGetVoidAddress()));
    Restrictions r(4);
    r.Text(3, L"TABLE");
    ComPtr<IUnknown> rowset;
    ASSERT_EQ(S_OK, schemas->GetRowset(nullptr, DBSCHEMA_TABLES, r.Count(), r.Values(), IID_IRowset,
                                       0, nullptr, rowset.ReleaseAndGetUnknownAddress()));
    ASSERT_EQ(SQLITE_OK, Exec(db_->session.Get(), "CREATE TABLE Later(a)"));
    schemas.Reset();
    db_.reset();
    SchemaResult t;
    ReadRowset(rowset.Get(), &t);
    EXPECT_EQ(3u, t.rows.size());  // Orders, Pairs, Plain
    EXPECT_TRUE(t.RowsWhere(L"TABLE_NAME", L"Later").empty());
}

// The catalog is read in a savepoint of its own: it neither ends the session's transaction
// nor leaves one behind.
TEST_F(SchemaRowsets, ReadingTheCatalogLeavesTransactionsAsTheyWere) {
    ComPtr<ITransactionLocal> transactions;
    ASSERT_EQ(S_OK, db_->session->QueryInterface(IID_ITransactionLocal,
                                                 transactions.ReleaseAndGetVoidAddress()));
    EXPECT_EQ(S_OK, Tables(Restrictions(0)).hr);
    ASSERT_EQ(S_OK,
              transactions->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr));
    ASSERT_EQ(SQLITE_OK, Exec(db_->session.Get(), "CREATE TABLE Pending(a)"));
    const SchemaResult t = Tables(Restrictions(4).Text(2, L"Pending"));
    EXPECT_EQ(1u, t.rows.size());  // the transaction's own change is seen
    EXPECT_EQ(S_OK, Columns(Restrictions(0)).hr);
    ASSERT_EQ(S_OK, transactions->Abort(nullptr, FALSE, FALSE));
    EXPECT_TRUE(Tables(Restrictions(4).Text(2, L"Pending")).rows.empty());
}

// Constraint names come from the CREATE statements, which are kept per version of the
// schema: changes by another connection, and changes inside a transaction that is then
// rolled back, must not leave stale statements behind.
TEST_F(SchemaRowsets, ConstraintNamesFollowEveryChangeOfTheSchema) {
    auto keyName = [&](const std::wstring& table) {
        const SchemaResult x = Indexes(Restrictions(5).Text(4, table));
        for (size_t r = 0; r < x.rows.size(); ++r)
            if (x.Number(r, L"PRIMARY_KEY") == VARIANT_TRUE)
                return x.Text(r, L"INDEX_NAME");
        return std::wstring(L"<no key>");
    };
    EXPECT_EQ(L"PK_Orders", keyName(L"Orders"));
    test::RunSql(file_, "CREATE TABLE Other(a TEXT, CONSTRAINT k_other PRIMARY KEY (a))");
    EXPECT_EQ(L"k_other", keyName(L"Other"));

    ComPtr<ITransactionLocal> transactions;
    ASSERT_EQ(S_OK, db_->session->QueryInterface(IID_ITransactionLocal,
                                                 transactions.ReleaseAndGetVoidAddress()));
    ASSERT_EQ(S_OK,
              transactions->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr));
    ASSERT_EQ(SQLITE_OK,
              Exec(db_->session.Get(), "CREATE TABLE X(a TEXT, CONSTRAINT kx PRIMARY KEY (a))"));
    EXPECT_EQ(L"kx", keyName(L"X"));
    ASSERT_EQ(S_OK, transactions->Abort(nullptr, FALSE, FALSE));
    // The same version number again, with another table.
    ASSERT_EQ(SQLITE_OK,
              Exec(db_->session.Get(), "CREATE TABLE Y(b TEXT, CONSTRAINT ky PRIMARY KEY (b))"));
    EXPECT_EQ(L"ky", keyName(L"Y"));
}

TEST(SchemaRowsetNames, LongNamesComeBackWhole) {
    test::TempFolder folder;
    const std::string file = folder.File("long.db");
    const std::string name(200, 'n');
    test::RunSql(file, "CREATE TABLE " + name + "(a TEXT(10))");
    OpenDatabase db(file);
    const SchemaResult t =
        ReadSchema(db.session.Get(), DBSCHEMA_TABLES, Restrictions(4).Text(3, L"TABLE"));
    ASSERT_EQ(1u, t.rows.size());
    EXPECT_EQ(Utf8ToWide(name), t.Text(0, L"TABLE_NAME"));
}

}  // namespace
}  // namespace vorn::provider::testing
