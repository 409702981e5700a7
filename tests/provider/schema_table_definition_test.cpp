// ITableCreation::GetTableDefinition of the embedded provider, and the reading of
// constraint names and index conditions out of CREATE statements.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "schema/definition_text.h"
#include "schema_test_util.h"
#include "support/jet_sql_file.h"
#include "support/temp_database.h"

namespace vorn::provider::testing {
namespace {

// A table definition read whole, freed as a consumer must free it.
struct Definition {
    HRESULT hr = E_FAIL;
    struct Column {
        std::wstring name;
        std::wstring typeName;
        DBTYPE type = 0;
        DBLENGTH size = 0;
        std::map<DBPROPID, VARIANT> properties;
    };
    struct Constraint {
        std::wstring name;
        DWORD type = 0;
        std::vector<std::wstring> columns;
        std::wstring referencedTable;
        std::vector<std::wstring> referencedColumns;
        std::wstring text;
        DWORD deleteRule = 0;
    };
    std::vector<Column> columns;
    std::vector<Constraint> constraints;

    ~Definition() {
        for (Column& c : columns)
            for (auto& p : c.properties)
                VariantClear(&p.second);
    }
    const Column& Named(const std::wstring& name) const {
        for (const Column& c : columns)
            if (c.name == name)
                return c;
        throw std::runtime_error("no column " + WideToUtf8(name));
    }
};

std::wstring NameOf(const DBID* id) {
    return id && id->uName.pwszName ? id->uName.pwszName : L"";
}

void ReadDefinition(IUnknown* session, const std::wstring& table, Definition* out,
                    bool withStrings = true) {
    ComPtr<ITableCreation> creation;
    ASSERT_EQ(S_OK,
              session->QueryInterface(IID_ITableCreation, creation.ReleaseAndGetVoidAddress()));
    std::wstring name = table;
    DBID id{};
    id.eKind = DBKIND_NAME;
    id.uName.pwszName = name.data();
    DBORDINAL count = 0;
    DBCOLUMNDESC* descs = nullptr;
    ULONG setCount = 0;
    DBPROPSET* sets = nullptr;
    ULONG constraintCount = 0;
    DBCONSTRAINTDESC* constraints = nullptr;
    OLECHAR* strings = nullptr;
    out->hr = creation->GetTableDefinition(&id, &count, &descs, &setCount, &sets, &constraintCount,
                                           &constraints, withStrings ? &strings : nullptr);
    EXPECT_EQ(0u, setCount);
    for (DBORDINAL i = 0; i < count; ++i) {
        DBCOLUMNDESC& d = descs[i];
        Definition::Column c;
        c.name = NameOf(&d.dbcid);
        c.typeName = d.pwszTypeName ? d.pwszTypeName : L"";
        c.type = d.wType;
        c.size = d.ulColumnSize;
        for (ULONG s = 0; s < d.cPropertySets; ++s) {
            EXPECT_EQ(DBPROPSET_COLUMN, d.rgPropertySets[s].guidPropertySet);
            for (ULONG p = 0; p < d.rgPropertySets[s].cProperties; ++p) {
                DBPROP& prop = d.rgPropertySets[s].rgProperties[p];
                c.properties[prop.dwPropertyID] = prop.vValue;  // takes the value over
            }
            CoTaskMemFree(d.rgPropertySets[s].rgProperties);
        }
        CoTaskMemFree(d.rgPropertySets);
        out->columns.push_back(std::move(c));
    }
    CoTaskMemFree(descs);
    for (ULONG i = 0; i < constraintCount; ++i) {
        DBCONSTRAINTDESC& d = constraints[i];
        Definition::Constraint c;
        c.name = NameOf(d.pConstraintID);
        c.type = d.ConstraintType;
        for (DBORDINAL k = 0; k < d.cColumns; ++k)
            c.columns.push_back(NameOf(&d.rgColumnList[k]));
        c.referencedTable = NameOf(d.pReferencedTableID);
        for (DBORDINAL k = 0; k < d.cForeignKeyColumns; ++k)
            c.referencedColumns.push_back(NameOf(&d.rgForeignKeyColumnList[k]));
        c.text = d.pwszConstraintText ? d.pwszConstraintText : L"";
        c.deleteRule = d.DeleteRule;
        CoTaskMemFree(d.pConstraintID);
        CoTaskMemFree(d.rgColumnList);
        CoTaskMemFree(d.pReferencedTableID);
        CoTaskMemFree(d.rgForeignKeyColumnList);
        out->constraints.push_back(std::move(c));
    }
    CoTaskMemFree(constraints);
    CoTaskMemFree(strings);
}

class TableDefinition : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = folder_.File("definition.db");
        test::RunJetSql(file_,
                        L"CREATE TABLE Parts (PartId COUNTER(100, 10) PRIMARY KEY, "
                        L"Name TEXT(40) NOT NULL, Qty LONG DEFAULT 5, Note MEMO)");
        test::RunJetSql(file_, L"CREATE TABLE Big (Id AUTOINCREMENT(5000000000, -3), V LONG)");
        test::RunSql(file_,
                     "CREATE TABLE Native(id INTEGER PRIMARY KEY, code TEXT UNIQUE, "
                     "  part INT REFERENCES Parts ON DELETE CASCADE, "
                     "  CONSTRAINT positive CHECK (part > 0));"
                     "CREATE VIEW PartNames AS SELECT Name FROM Parts;");
        db_ = std::make_unique<OpenDatabase>(file_);
    }

    test::TempFolder folder_;
    std::string file_;
    std::unique_ptr<OpenDatabase> db_;
};

TEST_F(TableDefinition, CounterColumnsCarrySeedAndIncrement) {
    Definition def;
    ReadDefinition(db_->session.Get(), L"parts", &def);
    ASSERT_EQ(S_OK, def.hr);
    ASSERT_EQ(4u, def.columns.size());
    EXPECT_EQ(L"PartId", def.columns[0].name);
    EXPECT_EQ(L"Note", def.columns[3].name);

    const auto& id = def.Named(L"PartId");
    EXPECT_EQ(DBTYPE_I4, id.type);
    EXPECT_EQ(L"COUNTER", id.typeName);
    EXPECT_EQ(VARIANT_TRUE, id.properties.at(DBPROP_COL_AUTOINCREMENT).boolVal);
    EXPECT_EQ(VT_I4, id.properties.at(DBPROP_COL_SEED).vt);
    EXPECT_EQ(100, id.properties.at(DBPROP_COL_SEED).lVal);
    EXPECT_EQ(10, id.properties.at(DBPROP_COL_INCREMENT).lVal);
    EXPECT_EQ(VARIANT_FALSE, id.properties.at(DBPROP_COL_NULLABLE).boolVal);
    EXPECT_EQ(VARIANT_TRUE, id.properties.at(DBPROP_COL_PRIMARYKEY).boolVal);

    const auto& name = def.Named(L"Name");
    EXPECT_EQ(DBTYPE_WSTR, name.type);
    EXPECT_EQ(40u, name.size);
    EXPECT_EQ(VARIANT_FALSE, name.properties.at(DBPROP_COL_AUTOINCREMENT).boolVal);
    EXPECT_EQ(0u, name.properties.count(DBPROP_COL_SEED));
    EXPECT_EQ(0u, name.properties.count(DBPROP_COL_INCREMENT));
    EXPECT_EQ(VARIANT_FALSE, name.properties.at(DBPROP_COL_NULLABLE).boolVal);
    EXPECT_EQ(0u, name.properties.count(DBPROP_COL_DEFAULT));

    const auto& qty = def.Named(L"Qty");
    EXPECT_EQ(VARIANT_TRUE, qty.properties.at(DBPROP_COL_NULLABLE).boolVal);
    ASSERT_EQ(VT_BSTR, qty.properties.at(DBPROP_COL_DEFAULT).vt);
    EXPECT_STREQ(L"5", qty.properties.at(DBPROP_COL_DEFAULT).bstrVal);
    EXPECT_EQ(VARIANT_TRUE, qty.properties.at(DBPROP_COL_FIXEDLENGTH).boolVal);
    EXPECT_EQ(VARIANT_FALSE, def.Named(L"Note").properties.at(DBPROP_COL_FIXEDLENGTH).boolVal);
}

TEST_F(TableDefinition, SeedsBeyondThirtyTwoBitsAndNegativeSteps) {
    Definition def;
    ReadDefinition(db_->session.Get(), L"Big", &def);
    ASSERT_EQ(S_OK, def.hr);
    const auto& id = def.Named(L"Id");
    ASSERT_EQ(VT_I8, id.properties.at(DBPROP_COL_SEED).vt);
    EXPECT_EQ(5000000000LL, id.properties.at(DBPROP_COL_SEED).llVal);
    EXPECT_EQ(-3, id.properties.at(DBPROP_COL_INCREMENT).lVal);
}

TEST_F(TableDefinition, SqliteRowidIsAnIdentityAndConstraintsAreListed) {
    Definition def;
    ReadDefinition(db_->session.Get(), L"Native", &def);
    ASSERT_EQ(S_OK, def.hr);
    const auto& id = def.Named(L"id");
    EXPECT_EQ(VARIANT_TRUE, id.properties.at(DBPROP_COL_AUTOINCREMENT).boolVal);
    EXPECT_EQ(1, id.properties.at(DBPROP_COL_SEED).lVal);
    EXPECT_EQ(1, id.properties.at(DBPROP_COL_INCREMENT).lVal);
    EXPECT_EQ(VARIANT_TRUE, def.Named(L"code").properties.at(DBPROP_COL_UNIQUE).boolVal);
    EXPECT_EQ(VARIANT_FALSE, def.Named(L"part").properties.at(DBPROP_COL_UNIQUE).boolVal);

    ASSERT_EQ(4u, def.constraints.size());
    auto find = [&](DWORD type) -> const Definition::Constraint& {
        for (const auto& c : def.constraints)
            if (c.type == type)
                return c;
        throw std::runtime_error("constraint type missing");
    };
    const auto& key = find(2);  // DBCONSTRAINTTYPE_PRIMARYKEY
    EXPECT_EQ(L"PrimaryKey", key.name);
    EXPECT_EQ(std::vector<std::wstring>{L"id"}, key.columns);
    const auto& unique = find(0);
    EXPECT_EQ(L"Unique_code", unique.name);
    const auto& check = find(4);
    EXPECT_EQ(L"positive", check.name);
    EXPECT_EQ(L"part > 0", check.text);
    const auto& foreign = find(1);
    EXPECT_EQ(L"Parts", foreign.referencedTable);
    EXPECT_EQ(std::vector<std::wstring>{L"part"}, foreign.columns);
    // No referenced column named: the referenced table's primary key.
    EXPECT_EQ(std::vector<std::wstring>{L"PartId"}, foreign.referencedColumns);
    EXPECT_EQ(1u, foreign.deleteRule);  // DBUPDELRULE_CASCADE
}

TEST_F(TableDefinition, ViewsAndNamesWithoutStringBuffer) {
    Definition view;
    ReadDefinition(db_->session.Get(), L"PartNames", &view);
    ASSERT_EQ(S_OK, view.hr);
    ASSERT_EQ(1u, view.columns.size());
    EXPECT_EQ(L"Name", view.columns[0].name);
    EXPECT_TRUE(view.constraints.empty());

    Definition bare;
    ReadDefinition(db_->session.Get(), L"Parts", &bare, false);
    ASSERT_EQ(S_OK, bare.hr);
    ASSERT_EQ(4u, bare.columns.size());
    EXPECT_EQ(L"", bare.columns[0].name);  // names live in the string buffer
    EXPECT_EQ(100, bare.columns[0].properties.at(DBPROP_COL_SEED).lVal);
}

TEST_F(TableDefinition, MissingTableIsReportedWithItsName) {
    Definition def;
    ReadDefinition(db_->session.Get(), L"Nowhere", &def);
    EXPECT_EQ(DB_E_NOTABLE, def.hr);
    const PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"'Nowhere'")) << WideToUtf8(e.description);
    EXPECT_EQ(L"42S02", e.sqlState);

    ComPtr<ITableCreation> creation;
    ASSERT_EQ(S_OK, db_->session->QueryInterface(IID_ITableCreation,
                                                 creation.ReleaseAndGetVoidAddress()));
    DBORDINAL count = 7;
    EXPECT_EQ(E_INVALIDARG, creation->GetTableDefinition(nullptr, &count, nullptr, nullptr, nullptr,
                                                         nullptr, nullptr, nullptr));
}

TEST(DefinitionText, ConstraintNamesSurviveQuotesCommentsAndKeywordsInStrings) {
    using schema::ConstraintKind;
    const auto c = schema::ReadDeclaredConstraints(
        "CREATE TABLE \"t\" (\n"
        "  [unique] TEXT DEFAULT 'UNIQUE PRIMARY KEY' CONSTRAINT \"u one\" UNIQUE, -- UNIQUE\n"
        "  b INT /* PRIMARY KEY */ CHECK (b IN (1, 2)),\n"
        "  `c``d` INT,\n"
        "  CONSTRAINT pk PRIMARY KEY (b COLLATE NOCASE DESC, `c``d`),\n"
        "  UNIQUE (\"unique\", b))");
    ASSERT_EQ(4u, c.size());
    EXPECT_EQ(ConstraintKind::Unique, c[0].kind);
    EXPECT_EQ("u one", c[0].name);
    EXPECT_EQ(std::vector<std::string>{"unique"}, c[0].columns);
    EXPECT_EQ(ConstraintKind::Check, c[1].kind);
    EXPECT_EQ("b IN (1, 2)", c[1].text);
    EXPECT_EQ(ConstraintKind::PrimaryKey, c[2].kind);
    EXPECT_EQ("pk", c[2].name);
    EXPECT_EQ((std::vector<std::string>{"b", "c`d"}), c[2].columns);
    EXPECT_EQ(ConstraintKind::Unique, c[3].kind);
    EXPECT_EQ("", c[3].name);
    EXPECT_EQ((std::vector<std::string>{"unique", "b"}), c[3].columns);

    EXPECT_TRUE(schema::ReadDeclaredConstraints("CREATE TABLE t AS SELECT 1 AS a").empty());
    // Text cut short (an unterminated string, no closing parenthesis) is read to its end.
    EXPECT_EQ(1u, schema::ReadDeclaredConstraints("CREATE TABLE t (a TEXT UNIQUE, b 'open").size());
}

TEST(DefinitionText, IndexConditions) {
    EXPECT_EQ("a > 'WHERE' AND b IS NULL",
              schema::ReadIndexCondition(
                  "CREATE INDEX \"where\" ON t (a, \"where\") WHERE a > 'WHERE' AND b IS NULL"));
    EXPECT_EQ("", schema::ReadIndexCondition("CREATE INDEX i ON t (a)"));
    EXPECT_EQ("", schema::ReadIndexCondition("CREATE INDEX i ON t (a) WHERE"));
}

}  // namespace
}  // namespace vorn::provider::testing
