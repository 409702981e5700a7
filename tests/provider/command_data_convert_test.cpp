// The data conversion library: exact numbers to text, and the common numeric conversions.
#include <gtest/gtest.h>

#include <cstring>

#include "vornoledb/platform/oledb.h"

namespace {

ComPtr<IDataConvert> Library() {
    ComPtr<IDataConvert> convert;
    EXPECT_EQ(CoCreateInstance(CLSID_OLEDB_CONVERSIONLIBRARY, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDataConvert, convert.ReleaseAndGetVoidAddress()),
              S_OK);
    return convert;
}

DB_NUMERIC Numeric(unsigned long long mantissa, BYTE scale, bool negative = false) {
    DB_NUMERIC n{};
    n.precision = 38;
    n.scale = scale;
    n.sign = negative ? 0 : 1;
    for (int i = 0; i < 8; ++i)
        n.val[i] = static_cast<BYTE>(mantissa >> (8 * i));
    return n;
}

std::string ToStr(IDataConvert* c, DBTYPE type, const void* src, DBLENGTH srcLength,
                  HRESULT* hr = nullptr) {
    char out[200] = {};
    DBLENGTH length = 0;
    DBSTATUS status = 99;
    const HRESULT r = c->DataConvert(type, DBTYPE_STR, srcLength, &length, const_cast<void*>(src),
                                     out, sizeof out, DBSTATUS_S_OK, &status, 0, 0, 0);
    if (hr)
        *hr = r;
    if (FAILED(r))
        return "<failed>";
    return std::string(out, length);
}

TEST(DataConvertLibrary, ExactNumbersBecomeText) {
    ComPtr<IDataConvert> c = Library();
    ASSERT_TRUE(c);
    DB_NUMERIC n = Numeric(12345, 2);
    EXPECT_EQ(ToStr(c.Get(), DBTYPE_NUMERIC, &n, sizeof n), "123.45");
    n = Numeric(12345, 2, true);
    EXPECT_EQ(ToStr(c.Get(), DBTYPE_NUMERIC, &n, sizeof n), "-123.45");
    n = Numeric(5, 3);
    EXPECT_EQ(ToStr(c.Get(), DBTYPE_NUMERIC, &n, sizeof n), "0.005");
    n = Numeric(7, 0);
    EXPECT_EQ(ToStr(c.Get(), DBTYPE_NUMERIC, &n, sizeof n), "7");
    n = Numeric(0, 2);
    EXPECT_EQ(ToStr(c.Get(), DBTYPE_NUMERIC, &n, sizeof n), "0.00");
    // 2^64, beyond 64 bits of mantissa.
    n = Numeric(0, 0);
    n.val[8] = 1;
    EXPECT_EQ(ToStr(c.Get(), DBTYPE_NUMERIC, &n, sizeof n), "18446744073709551616");
    // Into a buffer with room for the text and its terminator, one byte short, and none.
    n = Numeric(12345, 2, true);
    for (const DBLENGTH room : {8u, 7u, 1u, 0u}) {
        char out[8];
        std::memset(out, '#', sizeof out);
        DBLENGTH length = 0;
        DBSTATUS status = 99;
        ASSERT_EQ(c->DataConvert(DBTYPE_NUMERIC, DBTYPE_STR, sizeof n, &length, &n, out, room,
                                 DBSTATUS_S_OK, &status, 0, 0, 0),
                  S_OK);
        EXPECT_EQ(length, 7u) << room;
        EXPECT_EQ(status, room >= 8 ? DBSTATUS_S_OK : DBSTATUS_S_TRUNCATED) << room;
        if (room > 0)
            EXPECT_EQ(std::string(out), std::string("-123.45").substr(0, room - 1)) << room;
        else
            EXPECT_EQ(out[0], '#');
    }
    // A scale beyond 38 digits is no NUMERIC.
    n = Numeric(1, 39);
    HRESULT refused = S_OK;
    EXPECT_EQ(ToStr(c.Get(), DBTYPE_NUMERIC, &n, sizeof n, &refused), "<failed>");
    EXPECT_EQ(refused, DB_E_CANTCONVERTVALUE);

    // VARNUMERIC: precision, signed scale, sign, then as many mantissa bytes as it has.
    const BYTE var[] = {10, 2, 1, 0x39, 0x30};  // 12345, scale 2
    EXPECT_EQ(ToStr(c.Get(), DBTYPE_VARNUMERIC, var, sizeof var), "123.45");
    const BYTE negativeScale[] = {10, static_cast<BYTE>(-3), 0, 12};  // -12 * 10^3
    EXPECT_EQ(ToStr(c.Get(), DBTYPE_VARNUMERIC, negativeScale, sizeof negativeScale), "-12000");
    HRESULT hr = S_OK;
    EXPECT_EQ(ToStr(c.Get(), DBTYPE_VARNUMERIC, var, 2, &hr), "<failed>");
    EXPECT_EQ(hr, DB_E_CANTCONVERTVALUE);

    // To wide text too.
    n = Numeric(98765, 4);
    wchar_t wide[50] = {};
    DBLENGTH length = 0;
    DBSTATUS status = 0;
    ASSERT_EQ(c->DataConvert(DBTYPE_NUMERIC, DBTYPE_WSTR, sizeof n, &length, &n, wide, sizeof wide,
                             DBSTATUS_S_OK, &status, 0, 0, 0),
              S_OK);
    EXPECT_STREQ(wide, L"9.8765");
    EXPECT_EQ(length, 6 * sizeof(wchar_t));
}

TEST(DataConvertLibrary, NumbersBetweenTypes) {
    ComPtr<IDataConvert> c = Library();
    ASSERT_TRUE(c);
    DB_NUMERIC n = Numeric(12355, 2);  // 123.55
    int32_t i4 = 0;
    DBSTATUS status = 0;
    DBLENGTH length = 0;
    ASSERT_EQ(c->DataConvert(DBTYPE_NUMERIC, DBTYPE_I4, sizeof n, &length, &n, &i4, 0,
                             DBSTATUS_S_OK, &status, 0, 0, 0),
              S_OK);
    EXPECT_EQ(i4, 124);
    double r8 = 0;
    ASSERT_EQ(c->DataConvert(DBTYPE_NUMERIC, DBTYPE_R8, sizeof n, &length, &n, &r8, 0,
                             DBSTATUS_S_OK, &status, 0, 0, 0),
              S_OK);
    EXPECT_DOUBLE_EQ(r8, 123.55);
    CY cy{};
    cy.int64 = -15000;  // -1.5
    EXPECT_EQ(ToStr(c.Get(), DBTYPE_CY, &cy, sizeof cy), "-1.5000");
    const int64_t big = 5000000000LL;
    EXPECT_EQ(c->DataConvert(DBTYPE_I8, DBTYPE_I4, 8, &length, const_cast<int64_t*>(&big), &i4, 0,
                             DBSTATUS_S_OK, &status, 0, 0, 0),
              DB_E_DATAOVERFLOW);
    EXPECT_EQ(status, DBSTATUS_E_DATAOVERFLOW);
    DB_NUMERIC back{};
    const double pi = 3.14159;
    ASSERT_EQ(c->DataConvert(DBTYPE_R8, DBTYPE_NUMERIC, 8, &length, const_cast<double*>(&pi), &back,
                             sizeof back, DBSTATUS_S_OK, &status, 10, 3, 0),
              S_OK);
    EXPECT_EQ(back.scale, 3);
    EXPECT_EQ(back.val[0] | (back.val[1] << 8), 3142);
    // NULL in, NULL out; unsupported pairs are refused.
    ASSERT_EQ(c->DataConvert(DBTYPE_NUMERIC, DBTYPE_STR, 0, &length, nullptr, nullptr, 0,
                             DBSTATUS_S_ISNULL, &status, 0, 0, 0),
              S_OK);
    EXPECT_EQ(status, DBSTATUS_S_ISNULL);
    EXPECT_EQ(c->CanConvert(DBTYPE_NUMERIC, DBTYPE_STR), S_OK);
    EXPECT_EQ(c->CanConvert(DBTYPE_VARNUMERIC, DBTYPE_WSTR), S_OK);
    EXPECT_EQ(c->CanConvert(DBTYPE_IDISPATCH, DBTYPE_STR), S_FALSE);
    EXPECT_EQ(c->DataConvert(DBTYPE_NUMERIC, DBTYPE_HCHAPTER, sizeof n, &length, &n, &i4, 0,
                             DBSTATUS_S_OK, &status, 0, 0, 0),
              static_cast<HRESULT>(0x80040E1D));
}

}  // namespace
