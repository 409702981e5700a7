// Fields as text and as 32-bit integers, and the tests on a column, for every type a
// provider can bind, including values the real store never produces.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include "support/fake_connection.h"
#include "vornoledb/command.h"

using namespace vorn::test::fake;

namespace {

class FieldTest : public ::testing::Test {
  protected:
    // Runs a one-row command over one column holding cell and fetches the row.
    void Load(Column column, Cell cell) {
        auto table = std::make_shared<Table>();
        table->columns = {column};
        table->rows = {{cell}};
        fake.ReturnRows(table);
        command.Close();
        command.SetConnection(&fake.connection);
        command.SetCommandText(L"SELECT v FROM t");
        ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
        ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    }
    template <class T>
    std::wstring Text(DBTYPE type, const T& value) {
        Load(MakeColumn(L"v", type, sizeof(T)), Cell::Of(value));
        return command.FieldAsString(1);
    }
    template <class T>
    long Long(DBTYPE type, const T& value) {
        Load(MakeColumn(L"v", type, sizeof(T)), Cell::Of(value));
        return command.FieldAsLong(1);
    }

    FakeConnection fake;
    VornOleDbCommand command;
};

DECIMAL Decimal(uint64_t lo, uint32_t hi, BYTE scale, bool negative) {
    DECIMAL d{};
    d.Lo64 = lo;
    d.Hi32 = hi;
    d.scale = scale;
    d.sign = negative ? DECIMAL_NEG : 0;
    return d;
}

TEST_F(FieldTest, IntegersAsTextAndAsLong) {
    EXPECT_EQ(L"A", Text<int8_t>(DBTYPE_I1, 65));
    EXPECT_EQ(std::wstring(1, wchar_t(0xFF80)), Text<int8_t>(DBTYPE_I1, -128));
    EXPECT_EQ(-128, Long<int8_t>(DBTYPE_I1, -128));
    EXPECT_EQ(L"200", Text<uint8_t>(DBTYPE_UI1, 200));
    EXPECT_EQ(200, Long<uint8_t>(DBTYPE_UI1, 200));
    EXPECT_EQ(L"-5", Text<int16_t>(DBTYPE_I2, -5));
    EXPECT_EQ(L"65535", Text<uint16_t>(DBTYPE_UI2, 65535));
    EXPECT_EQ(65535, Long<uint16_t>(DBTYPE_UI2, 65535));
    EXPECT_EQ(L"-2147483648", Text<int32_t>(DBTYPE_I4, INT32_MIN));
    EXPECT_EQ(L"-7", Text<int32_t>(DBTYPE_ERROR, -7));
    EXPECT_EQ(L"3000000000", Text<uint32_t>(DBTYPE_UI4, 3000000000u));
    EXPECT_EQ(-1294967296, Long<uint32_t>(DBTYPE_UI4, 3000000000u));
    EXPECT_EQ(L"-9000000000", Text<int64_t>(DBTYPE_I8, -9000000000ll));
    EXPECT_EQ(static_cast<int32_t>(static_cast<uint32_t>(-9000000000ll)),
              Long<int64_t>(DBTYPE_I8, -9000000000ll));
    EXPECT_EQ(L"18446744073709551615", Text<uint64_t>(DBTYPE_UI8, UINT64_MAX));
    EXPECT_EQ(-1, Long<uint64_t>(DBTYPE_UI8, UINT64_MAX));
    EXPECT_EQ(L"-1", Text<int16_t>(DBTYPE_BOOL, VARIANT_TRUE));
    EXPECT_EQ(L"0", Text<int16_t>(DBTYPE_BOOL, VARIANT_FALSE));
    EXPECT_EQ(-1, Long<int16_t>(DBTYPE_BOOL, VARIANT_TRUE));
}

TEST_F(FieldTest, FloatingPointAndCurrency) {
    EXPECT_EQ(L"1.500000", Text<double>(DBTYPE_R8, 1.5));
    EXPECT_EQ(L"0.250000", Text<float>(DBTYPE_R4, 0.25f));
    EXPECT_EQ(-2, Long<double>(DBTYPE_R8, -2.7));
    EXPECT_EQ(2, Long<float>(DBTYPE_R4, 2.9f));
    EXPECT_EQ(INT32_MIN, Long<double>(DBTYPE_R8, 3e9));
    EXPECT_EQ(INT32_MIN, Long<double>(DBTYPE_R8, std::nan("")));
    EXPECT_EQ(INT32_MIN, Long<double>(DBTYPE_R8, -2147483648.5));
    // Six decimals, rounded, whatever the magnitude, as printf's %f writes them.
    EXPECT_EQ(L"0.333333", Text<double>(DBTYPE_R8, 1.0 / 3));
    EXPECT_EQ(L"-0.666667", Text<double>(DBTYPE_R8, -2.0 / 3));
    EXPECT_EQ(L"-0.000000", Text<double>(DBTYPE_R8, -0.0));
    EXPECT_EQ(L"100000000000000000000.000000", Text<double>(DBTYPE_R8, 1e20));
    EXPECT_EQ(L"0.000000", Text<double>(DBTYPE_R8, 2.5e-7));
    EXPECT_EQ(L"inf", Text<double>(DBTYPE_R8, HUGE_VAL));
    EXPECT_EQ(L"-inf", Text<float>(DBTYPE_R4, -HUGE_VALF));
    EXPECT_EQ(L"nan", Text<double>(DBTYPE_R8, std::nan("")));
    // 309 digits before the point: the text is never cut short.
    EXPECT_EQ(309u + 7u, Text<double>(DBTYPE_R8, 1.5e308).size());
    EXPECT_EQ(L"0.0000", Text<int64_t>(DBTYPE_CY, 0));
    EXPECT_EQ(L"1.0000", Text<int64_t>(DBTYPE_CY, 10000));
    EXPECT_EQ(L"922337203685477.5807", Text<int64_t>(DBTYPE_CY, INT64_MAX));
    EXPECT_EQ(L"12.3456", Text<int64_t>(DBTYPE_CY, 123456));
    EXPECT_EQ(L"-0.5000", Text<int64_t>(DBTYPE_CY, -5000));
    EXPECT_EQ(L"-1.2500", Text<int64_t>(DBTYPE_CY, -12500));
    EXPECT_EQ(L"7.0001", Text<int64_t>(DBTYPE_CY, 70001));
    EXPECT_EQ(L"-922337203685477.5808", Text<int64_t>(DBTYPE_CY, INT64_MIN));
    EXPECT_EQ(12, Long<int64_t>(DBTYPE_CY, 123456));
    EXPECT_EQ(-1, Long<int64_t>(DBTYPE_CY, -12500));
}

TEST_F(FieldTest, WholeNumbersWrittenAsPrintfWritesThem) {
    // Whole numbers, their neighbours and the edge of exact integers in a double: the same
    // text as %f, on both sides of the shortcut for whole numbers.
    const double twoTo53 = 9007199254740992.0;
    std::vector<double> values = {
        0.0,   1.0,          -1.0,          10.0,         -42.0,         1e15,
        -1e15, twoTo53 - 1,  twoTo53,       -twoTo53,     twoTo53 + 2,   0.5,
        -0.5,  1.0000000001, 99999.9999999, 4294967296.0, -2147483648.0, std::nextafter(1e6, 2e6)};
    for (uint64_t v = 1; v < (uint64_t(1) << 62); v *= 7)
        values.push_back(static_cast<double>(v));
    for (double value : values) {
        char expected[400];
        std::snprintf(expected, sizeof expected, "%f", value);
        EXPECT_EQ(std::wstring(expected, expected + std::strlen(expected)),
                  Text<double>(DBTYPE_R8, value))
            << value;
    }
}

TEST_F(FieldTest, Decimals) {
    EXPECT_EQ(L"123.45", Text(DBTYPE_DECIMAL, Decimal(12345, 0, 2, false)));
    EXPECT_EQ(L"-123.45", Text(DBTYPE_DECIMAL, Decimal(12345, 0, 2, true)));
    EXPECT_EQ(L"0.00", Text(DBTYPE_DECIMAL, Decimal(0, 0, 2, false)));
    EXPECT_EQ(L"7.", Text(DBTYPE_DECIMAL, Decimal(7, 0, 0, false)));
    EXPECT_EQ(L"18446744073709551616.", Text(DBTYPE_DECIMAL, Decimal(0, 1, 0, false)));
    EXPECT_EQ(L"0.005", Text(DBTYPE_DECIMAL, Decimal(5, 0, 3, false)));
    EXPECT_EQ(L"0.123", Text(DBTYPE_DECIMAL, Decimal(123, 0, 3, false)));
    EXPECT_EQ(123, Long(DBTYPE_DECIMAL, Decimal(12345, 0, 2, false)));
    EXPECT_EQ(2, Long(DBTYPE_DECIMAL, Decimal(25, 0, 1, false)));  // halves to even
    EXPECT_EQ(0, Long(DBTYPE_DECIMAL, Decimal(0, 1, 0, false)));   // out of range
}

TEST_F(FieldTest, NumericTextComesFromTheConverter) {
    DB_NUMERIC n{};
    n.precision = 10;
    n.scale = 2;
    n.sign = 0;  // negative
    n.val[0] = 0x39;
    n.val[1] = 0x30;  // 12345
    EXPECT_EQ(L"-123.45", Text(DBTYPE_NUMERIC, n));
    EXPECT_EQ(sizeof(DB_NUMERIC), fake.provider->stats.lastConvertSourceLength);
    EXPECT_EQ(0, command.FieldAsLong(1));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.IsNumeric(1));

    // A VARNUMERIC is handed over with the length the provider wrote: 3 + 2 bytes.
    Load(MakeColumn(L"v", DBTYPE_VARNUMERIC, 20), Cell::Binary({5, 1, 1, 0xD2, 0x04}));
    EXPECT_EQ(L"123.4", command.FieldAsString(1));
    EXPECT_EQ(5u, fake.provider->stats.lastConvertSourceLength);
}

TEST_F(FieldTest, DatesAndTimes) {
    EXPECT_EQ(L"2021-01-01 12:00:00", Text<double>(DBTYPE_DATE, 44197.5));
    EXPECT_EQ(L"2021-01-01", Text<double>(DBTYPE_DATE, 44197.0));
    EXPECT_EQ(L"06:00:00", Text<double>(DBTYPE_DATE, 0.25));
    EXPECT_EQ(L"Invalid DateTime", Text<double>(DBTYPE_DATE, 1e9));
    // The text of a date is VarBstrFromDate's, across the calendar and around its edges.
    for (const double v : {-657435.0, -657434.0, -657434.75, -1.5, -0.25, 0.0, 0.5, 1.0,
                           36526.9999999, 44197.123456, 2958465.5, 2958465.999999, 2958466.0}) {
        BSTR expected = nullptr;
        const std::wstring text = SUCCEEDED(VarBstrFromDate(v, LOCALE_USER_DEFAULT, 0, &expected))
                                      ? std::wstring(expected)
                                      : L"Invalid DateTime";
        SysFreeString(expected);
        EXPECT_EQ(text, Text<double>(DBTYPE_DATE, v)) << v;
    }
    EXPECT_EQ(2, Long<double>(DBTYPE_DATE, 2.5));
    EXPECT_EQ(4, Long<double>(DBTYPE_DATE, 3.5));
    EXPECT_EQ(0, Long<double>(DBTYPE_DATE, 1e12));

    EXPECT_EQ(L"2021-02-28", Text(DBTYPE_DBDATE, DBDATE{2021, 2, 28}));
    EXPECT_EQ(L"Invalid DateTime", Text(DBTYPE_DBDATE, DBDATE{2021, 2, 30}));
    EXPECT_EQ(L"13:45:30", Text(DBTYPE_DBTIME, DBTIME{13, 45, 30}));
    EXPECT_EQ(L"Invalid DateTime", Text(DBTYPE_DBTIME, DBTIME{25, 0, 0}));
    EXPECT_EQ(L"2021-03-04 05:06:07",
              Text(DBTYPE_DBTIMESTAMP, DBTIMESTAMP{2021, 3, 4, 5, 6, 7, 500000000}));
    EXPECT_EQ(L"2021-03-04", Text(DBTYPE_DBTIMESTAMP, DBTIMESTAMP{2021, 3, 4, 0, 0, 0, 0}));
    EXPECT_EQ(L"Invalid DateTime", Text(DBTYPE_DBTIMESTAMP, DBTIMESTAMP{-5, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(0, command.FieldAsLong(1));

    // 2021-01-01 12:30:15.250 UTC: 153402 days after 1 January 1601.
    const uint64_t ticks = ((153402ull * 86400 + 12 * 3600 + 30 * 60 + 15) * 1000 + 250) * 10000;
    FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    EXPECT_EQ(L"2021-01-01 12:30:15", Text(DBTYPE_FILETIME, ft));
    EXPECT_EQ(L"", Text(DBTYPE_FILETIME, FILETIME{0, 0x80000000u}));
}

TEST_F(FieldTest, TextTypes) {
    Load(MakeColumn(L"v", DBTYPE_WSTR, 10), Cell::Wide(L"42  "));
    EXPECT_EQ(L"42  ", command.FieldAsString(1));
    EXPECT_EQ(L"42", command.FieldAsStringEx(1));
    EXPECT_EQ(0, command.FieldAsLong(1));
    EXPECT_EQ(4u * sizeof(wchar_t), command.GetColumnSize(1));

    Load(MakeColumn(L"v", DBTYPE_WSTR, 3), Cell::Wide(L"abcdef"));  // truncated by the provider
    EXPECT_EQ(L"abc", command.FieldAsString(1));
    EXPECT_EQ(6u * sizeof(wchar_t), command.GetColumnSize(1));

    Load(MakeColumn(L"v", DBTYPE_STR, 20), Cell::Narrow(" \t-17 pieces, h\xC3\xA9"));
    EXPECT_EQ(L" \t-17 pieces, h\u00e9", command.FieldAsString(1));
    EXPECT_EQ(-17, command.FieldAsLong(1));
    Load(MakeColumn(L"v", DBTYPE_STR, 20), Cell::Narrow("99999999999"));
    EXPECT_EQ(INT32_MAX, command.FieldAsLong(1));

    Load(MakeColumn(L"v", DBTYPE_BSTR, sizeof(BSTR)), Cell::Wide(L"  +31st \n"));
    EXPECT_EQ(L"  +31st \n", command.FieldAsString(1));
    EXPECT_EQ(L"  +31st", command.FieldAsStringEx(1));
    EXPECT_EQ(31, command.FieldAsLong(1));

    GUID g = {0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    EXPECT_EQ(L"01234567-89ab-cdef-0123-456789abcdef", Text(DBTYPE_GUID, g));
}

TEST_F(FieldTest, VariantsAndObjects) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(L"hello");
    Load(MakeColumn(L"v", DBTYPE_VARIANT, sizeof(VARIANT)), Cell::Variant(v));
    VariantClear(&v);
    EXPECT_EQ(L"hello", command.FieldAsString(1));
    v.vt = VT_I4;
    v.lVal = -12;
    Load(MakeColumn(L"v", DBTYPE_VARIANT, sizeof(VARIANT)), Cell::Variant(v));
    EXPECT_EQ(L"-12", command.FieldAsString(1));
    v.vt = VT_DATE;
    v.date = 44197.0;
    Load(MakeColumn(L"v", DBTYPE_VARIANT, sizeof(VARIANT)), Cell::Variant(v));
    EXPECT_EQ(L"2021-01-01", command.FieldAsString(1));
    v.vt = VT_BOOL;
    v.boolVal = VARIANT_TRUE;
    Load(MakeColumn(L"v", DBTYPE_VARIANT, sizeof(VARIANT)), Cell::Variant(v));
    EXPECT_EQ(L"-1", command.FieldAsString(1));
    v.vt = VT_NULL;
    Load(MakeColumn(L"v", DBTYPE_VARIANT, sizeof(VARIANT)), Cell::Variant(v));
    EXPECT_EQ(L"", command.FieldAsString(1));
    EXPECT_EQ(0, command.FieldAsLong(1));

    auto object = fake.provider->MakeObject();
    Load(MakeColumn(L"v", DBTYPE_IDISPATCH, sizeof(void*)), Cell::Object(object.Get()));
    EXPECT_EQ(2 * sizeof(void*), command.FieldAsString(1).size());
    Load(MakeColumn(L"v", DBTYPE_IUNKNOWN, sizeof(void*)), Cell::Object(object.Get()));
    EXPECT_EQ(L"", command.FieldAsString(1));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.IsBlob(1));
}

TEST_F(FieldTest, NullBadColumnsAndUnfetchedRows) {
    Load(MakeColumn(L"v", DBTYPE_I4, 4), Cell::Null());
    EXPECT_EQ(L"", command.FieldAsString(1));
    EXPECT_EQ(0, command.FieldAsLong(1));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.IsNull(1));
    for (unsigned long bad : {0ul, 2ul, 0xFFFFFFFFul}) {
        EXPECT_EQ(L"", command.FieldAsString(bad));
        EXPECT_EQ(0, command.FieldAsLong(bad));
        EXPECT_EQ(VornOleDbCommand::dbError, command.IsNull(bad));
        EXPECT_EQ(VornOleDbCommand::dbError, command.IsNumeric(bad));
        EXPECT_EQ(VornOleDbCommand::dbError, command.IsIntegral(bad));
        EXPECT_EQ(VornOleDbCommand::dbError, command.IsBlob(bad));
    }

    // Before the first fetch the buffer holds zeros.
    auto table = std::make_shared<Table>();
    table->columns = {MakeColumn(L"n", DBTYPE_I4, 4), MakeColumn(L"t", DBTYPE_WSTR, 5)};
    table->rows = {{Cell::Of<int32_t>(5), Cell::Wide(L"x")}};
    fake.ReturnRows(table);
    ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
    EXPECT_EQ(L"0", command.FieldAsString(1));
    EXPECT_EQ(L"", command.FieldAsString(2));
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.IsNull(1));

    // A value the provider could not deliver reads as nothing; the others as they are.
    table->rows = {{Cell::Of<int32_t>(5), Cell::Status(DBSTATUS_E_CANTCONVERTVALUE)}};
    ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());  // DB_S_ERRORSOCCURRED
    EXPECT_EQ(L"5", command.FieldAsString(1));
    EXPECT_EQ(L"", command.FieldAsString(2));
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.IsNull(2));
}

TEST_F(FieldTest, TypeTests) {
    struct Case {
        DBTYPE type;
        VornOleDbCommand::dbStatus numeric, integral, blob;
    };
    const auto ok = VornOleDbCommand::dbOK, no = VornOleDbCommand::dbFalse;
    for (Case c : {Case{DBTYPE_DECIMAL, ok, no, no}, Case{DBTYPE_NUMERIC, ok, no, no},
                   Case{DBTYPE_VARNUMERIC, ok, no, no}, Case{DBTYPE_I2, no, ok, no},
                   Case{DBTYPE_UI8, no, ok, no}, Case{DBTYPE_I1, no, no, no},
                   Case{DBTYPE_UI1, no, no, no}, Case{DBTYPE_R8, no, no, no},
                   Case{DBTYPE_BYTES, no, no, ok}, Case{DBTYPE_EMPTY, no, no, ok}}) {
        SCOPED_TRACE(c.type);
        Load(MakeColumn(L"v", c.type, 16), Cell::Null());
        EXPECT_EQ(c.numeric, command.IsNumeric(1));
        EXPECT_EQ(c.integral, command.IsIntegral(1));
        EXPECT_EQ(c.blob, command.IsBlob(1));
    }
}

TEST_F(FieldTest, LongColumnsAreNotConverted) {
    // By reference, the mode of a new command.
    Load(MakeColumn(L"memo", DBTYPE_WSTR, 100000), Cell::Wide(L"12 long text"));
    EXPECT_EQ(DBTYPE_WSTR | DBTYPE_BYREF, command.GetRawType(1));
    EXPECT_EQ(L"", command.FieldAsString(1));
    EXPECT_EQ(0, command.FieldAsLong(1));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.IsBlob(1));
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.IsNull(1));
    Load(MakeColumn(L"memo", DBTYPE_WSTR, 100000), Cell::Null());
    EXPECT_EQ(VornOleDbCommand::dbOK, command.IsNull(1));

    // Length and status only: nothing to read, the column keeps its own type.
    command.Close();
    ASSERT_TRUE(command.SetBlobHandling(DBBLOBHANDLING_SKIP));
    Load(MakeColumn(L"memo", DBTYPE_STR, 100000), Cell::Narrow("34 skipped"));
    EXPECT_EQ(DBTYPE_STR, command.GetRawType(1));
    EXPECT_EQ(L"", command.FieldAsString(1));
    EXPECT_EQ(0, command.FieldAsLong(1));
    EXPECT_EQ(10u, command.GetColumnSize(1));
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.IsBlob(1));
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.IsNull(1));
}

}  // namespace
