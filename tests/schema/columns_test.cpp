// VornOleDbColumns on a real database made with Jet DDL and on the fake provider.
#include <gtest/gtest.h>

#include <memory>

#include "schema_database.h"
#include "schema_fakes.h"
#include "vornoledb/columns.h"

namespace vorn::test::schema {
namespace {

class Columns : public SchemaDatabase {
  protected:
    // Moves the reader to the column of that name.
    static bool MoveTo(VornOleDbColumns& columns, const std::wstring& wanted) {
        std::wstring name;
        while (columns.FetchNext())
            if (columns.GetName(name) && name == wanted)
                return true;
        return false;
    }
};

TEST_F(Columns, CounterColumnAnswersItsSeedAndIncrement) {
    VornOleDbColumns columns;
    ASSERT_TRUE(columns.Open(&connection_, nullptr, nullptr, L"orders", nullptr, true))
        << WideToUtf8(columns.GetErrorText());
    ASSERT_TRUE(MoveTo(columns, L"OrderId"));
    EXPECT_TRUE(columns.IsIdentity());
    EXPECT_EQ(100, columns.Seed());
    EXPECT_EQ(10, columns.Increment());
    EXPECT_FALSE(columns.IsNullable());
    ASSERT_TRUE(MoveTo(columns, L"Qty"));
    EXPECT_FALSE(columns.IsIdentity());
    EXPECT_EQ(0, columns.Seed());
    EXPECT_EQ(1, columns.Increment());
}

TEST_F(Columns, WithoutIdentityDataEveryColumnAnswersMinusOne) {
    VornOleDbColumns columns;
    ASSERT_TRUE(columns.Open(&connection_, nullptr, nullptr, L"Orders", nullptr, true));
    // A second Open without identity data drops the entries of the first.
    ASSERT_TRUE(columns.Open(&connection_, nullptr, nullptr, L"Orders", nullptr, false));
    int rows = 0;
    while (columns.FetchNext()) {
        ++rows;
        EXPECT_FALSE(columns.IsIdentity());
        EXPECT_EQ(-1, columns.Seed());
        EXPECT_EQ(-1, columns.Increment());
    }
    EXPECT_EQ(6, rows);
}

TEST_F(Columns, TypesSizesNullabilityAndDefaultsFollowTheDdl) {
    VornOleDbColumns columns;
    ASSERT_TRUE(columns.Open(&connection_, nullptr, nullptr, L"Orders", nullptr, true));
    EXPECT_EQ(0u, columns.OrdinalPosition());  // before the first row
    std::wstring text;
    unsigned long ordinal = 0;
    while (columns.FetchNext()) {
        EXPECT_EQ(++ordinal, columns.OrdinalPosition());
        EXPECT_TRUE(columns.GetTableName(text));
        EXPECT_EQ(L"Orders", text);
        EXPECT_FALSE(columns.GetCatalog(text));
        columns.GetName(text);
        if (text == L"Code") {
            EXPECT_TRUE(columns.IsDataType(DBTYPE_WSTR));
            EXPECT_EQ(50u, columns.MaxLength());
            EXPECT_EQ(50u, columns.Precision());
            EXPECT_FALSE(columns.IsNullable());
            EXPECT_FALSE(columns.HasDefault());
            EXPECT_FALSE(columns.GetDefault(text));
        } else if (text == L"Qty") {
            EXPECT_EQ(DBTYPE_I4, columns.DataType());
            EXPECT_EQ(4u, columns.Precision());
            EXPECT_TRUE(columns.IsNullable());
            EXPECT_TRUE(columns.HasDefault());
            EXPECT_TRUE(columns.GetDefault(text));
            EXPECT_EQ(L"5", text);
            EXPECT_NE(0u, columns.Flags() & DBCOLUMNFLAGS_ISNULLABLE);
        } else if (text == L"Notes") {
            EXPECT_NE(0u, columns.Flags() & DBCOLUMNFLAGS_ISLONG);
        } else if (text == L"Placed") {
            EXPECT_EQ(DBTYPE_DATE, columns.DataType());
            EXPECT_EQ(columns.DateTimePrecision(), columns.Precision());
        } else if (text == L"Weight") {
            EXPECT_EQ(DBTYPE_R8, columns.DataType());
            EXPECT_EQ(15u, columns.NumericPrecision());
            EXPECT_EQ(15u, columns.Precision());
            EXPECT_EQ(0u, columns.NumericScale());  // NULL scale
        }
    }
    EXPECT_EQ(6u, ordinal);
    // The last move is recorded as well: the end of the rowset leaves no error text.
    EXPECT_FALSE(columns.HasErrorInfo());
    // After the end: number getters give the cleared values.
    EXPECT_EQ(0u, columns.OrdinalPosition());
    EXPECT_FALSE(columns.IsIdentity());
    columns.Close();
    EXPECT_EQ(0xFFFFFFFFul, columns.OrdinalPosition());
    EXPECT_EQ(-1, columns.Seed());
    EXPECT_EQ(0u, columns.DataType());
    EXPECT_FALSE(columns.IsDataType(0));
}

TEST_F(Columns, ColumnRestrictionAndRefusals) {
    VornOleDbColumns columns;
    ASSERT_TRUE(columns.Open(&connection_, nullptr, nullptr, L"Orders", L"code", false));
    ASSERT_TRUE(columns.FetchNext());
    EXPECT_FALSE(columns.FetchNext());
    // A null table name is refused and the rowset stays open.
    ASSERT_TRUE(columns.Open(&connection_, nullptr, nullptr, L"Customers", nullptr, false));
    EXPECT_FALSE(columns.Open(&connection_, nullptr, nullptr, nullptr, nullptr, false));
    EXPECT_FALSE(columns.Open(nullptr, nullptr, nullptr, L"Orders", nullptr, false));
    ASSERT_TRUE(columns.FetchNext());
    std::wstring name;
    columns.GetTableName(name);
    EXPECT_EQ(L"Customers", name);
    // A table that does not exist has no columns.
    ASSERT_TRUE(columns.Open(&connection_, nullptr, nullptr, L"Nowhere", nullptr, false));
    EXPECT_FALSE(columns.FetchNext());
    // ... and no definition to read identity data from.
    EXPECT_FALSE(columns.Open(&connection_, nullptr, nullptr, L"Nowhere", nullptr, true));
}

TEST_F(Columns, DeletingThroughItsOwnClassClosesEverything) {
    std::unique_ptr<VornOleDbColumns> columns = std::make_unique<VornOleDbColumns>();
    ASSERT_TRUE(columns->Open(&connection_, nullptr, nullptr, L"Orders", nullptr, true));
    ASSERT_TRUE(columns->FetchNext());
    columns.reset();  // the sanitizer build reports anything left behind
}

// ---- edge cases on the fake provider ---------------------------------------------------

class ColumnsOnFake : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, fake_.opened);
        fake_.provider->onSchemaRowset =
            [this](const GUID& schema,
                   const std::vector<std::optional<std::wstring>>& restrictions) {
                schema_ = schema;
                restrictions_ = restrictions;
                return fake::Outcome::Rows(ColumnsRowset(rows_));
            };
    }

    fake::FakeConnection fake_;
    std::vector<ColumnRow> rows_;
    GUID schema_ = GUID_NULL;
    std::vector<std::optional<std::wstring>> restrictions_;
};

TEST_F(ColumnsOnFake, TableNameGoesUpperCasedWhileTheDefinitionGetsItAsWritten) {
    auto session = WithDefinitions(fake_.connection);
    session->properties = {{}};
    rows_ = {Row(L"MixedCase", L"A", 1)};
    VornOleDbColumns columns;
    ASSERT_TRUE(columns.Open(&fake_.connection, L"c", nullptr, L"mixedCase", L"a", true));
    EXPECT_EQ(DBSCHEMA_COLUMNS, schema_);
    ASSERT_EQ(4u, restrictions_.size());
    EXPECT_EQ(L"c", restrictions_[0].value_or(L"<none>"));
    EXPECT_FALSE(restrictions_[1].has_value());
    EXPECT_EQ(L"MIXEDCASE", restrictions_[2].value_or(L"<none>"));
    EXPECT_EQ(L"a", restrictions_[3].value_or(L"<none>"));
    EXPECT_EQ(std::vector<std::wstring>{L"mixedCase"}, session->asked);
    ASSERT_TRUE(columns.FetchNext());
    EXPECT_FALSE(columns.IsIdentity());  // no properties: the defaults
    EXPECT_EQ(0, columns.Seed());
    EXPECT_EQ(1, columns.Increment());
}

TEST_F(ColumnsOnFake, IdentityEntriesAreMatchedByOrdinal) {
    auto session = WithDefinitions(fake_.connection);
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"'a default the reader must free'");
    session->properties = {
        {{DBPROP_COL_AUTOINCREMENT, BoolValue(true)},
         {DBPROP_COL_SEED, I4Value(100)},
         {DBPROP_COL_INCREMENT, I4Value(10)},
         {DBPROP_COL_DEFAULT, text},
         {DBPROP_COL_SEED, I4Value(7)}},            // a later value of the same property wins
        {{DBPROP_COL_AUTOINCREMENT, I4Value(-1)}},  // not a VARIANT_BOOL: not an identity
    };
    rows_ = {Row(L"T", L"second", 2), Row(L"T", L"first", 1), Row(L"T", L"third", 3),
             Row(L"T", L"none", 0)};
    VornOleDbColumns columns;
    ASSERT_TRUE(columns.Open(&fake_.connection, nullptr, nullptr, L"T", nullptr, true));
    for (auto& column : session->properties)
        for (auto& p : column)
            VariantClear(&p.second);

    ASSERT_TRUE(columns.FetchNext());  // ordinal 2
    EXPECT_FALSE(columns.IsIdentity());
    EXPECT_EQ(0, columns.Seed());
    ASSERT_TRUE(columns.FetchNext());  // ordinal 1
    EXPECT_TRUE(columns.IsIdentity());
    EXPECT_EQ(7, columns.Seed());
    EXPECT_EQ(10, columns.Increment());
    ASSERT_TRUE(columns.FetchNext());  // ordinal 3: more than there are entries
    EXPECT_FALSE(columns.IsIdentity());
    EXPECT_EQ(-1, columns.Seed());
    EXPECT_EQ(-1, columns.Increment());
    ASSERT_TRUE(columns.FetchNext());  // ordinal 0
    EXPECT_EQ(-1, columns.Seed());
}

TEST_F(ColumnsOnFake, PropertiesOfOtherSetsAreIgnored) {
    auto session = WithDefinitions(fake_.connection);
    session->propertySet = DBPROPSET_ROWSET;
    session->properties = {
        {{DBPROP_COL_AUTOINCREMENT, BoolValue(true)}, {DBPROP_COL_SEED, I4Value(5)}}};
    rows_ = {Row(L"T", L"a", 1)};
    VornOleDbColumns columns;
    ASSERT_TRUE(columns.Open(&fake_.connection, nullptr, nullptr, L"T", nullptr, true));
    for (auto& column : session->properties)
        for (auto& p : column)
            VariantClear(&p.second);
    ASSERT_TRUE(columns.FetchNext());
    EXPECT_FALSE(columns.IsIdentity());
    EXPECT_EQ(0, columns.Seed());
}

TEST_F(ColumnsOnFake, WithoutATableDefinitionOpenFailsButTheRowsetIsReadable) {
    rows_ = {Row(L"T", L"a", 1)};
    VornOleDbColumns columns;
    // The fake session offers no ITableCreation.
    EXPECT_FALSE(columns.Open(&fake_.connection, nullptr, nullptr, L"T", nullptr, true));
    EXPECT_FALSE(columns.HasErrorInfo());
    ASSERT_TRUE(columns.FetchNext());
    EXPECT_FALSE(columns.IsIdentity());
    EXPECT_EQ(-1, columns.Seed());

    auto session = WithDefinitions(fake_.connection);
    session->result = DB_E_NOTABLE;
    EXPECT_FALSE(columns.Open(&fake_.connection, nullptr, nullptr, L"T", nullptr, true));
    ASSERT_TRUE(columns.FetchNext());
    EXPECT_EQ(-1, columns.Increment());
}

TEST_F(ColumnsOnFake, PrecisionByType) {
    ColumnRow error = Row(L"T", L"error", 1, DBTYPE_ERROR);
    error.precision = 10;
    ColumnRow big = Row(L"T", L"big", 2, DBTYPE_UI8);
    ColumnRow bstr = Row(L"T", L"bstr", 3, DBTYPE_BSTR);
    bstr.maxLength = 0;
    bstr.octetLength = 400;
    ColumnRow real = Row(L"T", L"real", 4, DBTYPE_R8);
    real.precision = 15;
    ColumnRow number = Row(L"T", L"number", 5, DBTYPE_NUMERIC);
    number.precision = 12;
    number.scale = -1;
    ColumnRow stamp = Row(L"T", L"stamp", 6, DBTYPE_DBTIMESTAMP);
    stamp.datetimePrecision = 3;
    ColumnRow other = Row(L"T", L"other", 7, DBTYPE_VARIANT);
    other.octetLength = 16;
    ColumnRow flag = Row(L"T", L"flag", 8, DBTYPE_I1);
    flag.nullableValue = 1;  // not VARIANT_TRUE
    rows_ = {error, big, bstr, real, number, stamp, other, flag};
    VornOleDbColumns columns;
    ASSERT_TRUE(columns.Open(&fake_.connection, nullptr, nullptr, L"T", nullptr, false));
    const unsigned long expected[] = {32, 8, 400, 15, 12, 3, 16, 1};
    for (unsigned long precision : expected) {
        ASSERT_TRUE(columns.FetchNext());
        std::wstring name;
        columns.GetName(name);
        EXPECT_EQ(precision, columns.Precision()) << WideToUtf8(name);
        if (name == L"number") {
            EXPECT_EQ(0xFFFFFFFFul, columns.NumericScale());
            EXPECT_EQ(12u, columns.NumericPrecision());
        }
        if (name == L"real") {
            EXPECT_EQ(0u, columns.NumericScale());
        }
        if (name == L"flag") {
            EXPECT_FALSE(columns.IsNullable());
        }
    }
    EXPECT_FALSE(columns.FetchNext());
}

TEST_F(ColumnsOnFake, EveryMoveIsRecorded) {
    rows_ = {Row(L"T", L"a", 1), Row(L"T", L"b", 2)};
    auto table = ColumnsRowset(rows_);
    table->getDataResults[1] = E_FAIL;
    fake_.provider->onSchemaRowset = [table](const GUID&,
                                             const std::vector<std::optional<std::wstring>>&) {
        return fake::Outcome::Rows(table);
    };
    VornOleDbColumns columns;
    ASSERT_TRUE(columns.Open(&fake_.connection, nullptr, nullptr, L"T", nullptr, false));
    ASSERT_TRUE(columns.FetchNext());
    EXPECT_FALSE(columns.HasErrorInfo());
    EXPECT_FALSE(columns.FetchNext());
    EXPECT_NE(std::wstring::npos, columns.GetErrorText().find(L"Reading row 2 failed."));
    EXPECT_EQ(0, fake_.provider->stats.outstandingRows);

    // A failed restart is recorded too.
    table->getDataResults.clear();
    table->restartPositionResult = E_UNEXPECTED;
    ASSERT_TRUE(columns.Open(&fake_.connection, nullptr, nullptr, L"T", nullptr, false));
    EXPECT_FALSE(columns.FetchNext());
    EXPECT_NE(std::wstring::npos, columns.GetErrorText().find(L"cannot restart"));
}

}  // namespace
}  // namespace vorn::test::schema
