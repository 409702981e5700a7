// GetData of stored SQLite values into every DBTYPE the consumer reads: values, lengths,
// statuses, truncation, NULLs, overflow and values that cannot be converted.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/provider_command_harness.h"
#include "automation.h"

namespace vorn::test {
namespace {

struct Got {
    HRESULT hr = E_FAIL;
    DBSTATUS status = 99;
    DBLENGTH length = 12345;
    alignas(16) BYTE value[512];

    template <class T>
    T As() const {
        T v;
        std::memcpy(&v, value, sizeof v);
        return v;
    }
    std::wstring Wide() const { return reinterpret_cast<const wchar_t*>(value); }
    std::string Narrow() const { return reinterpret_cast<const char*>(value); }
};

// A rowset on the first row of one SQL query, reading columns into chosen types.
class OneRow {
  public:
    OneRow(CommandHarness& h, const std::wstring& sql) {
        EXPECT_EQ(h.Execute(sql, &rowset_), S_OK) << TakePostedError().description;
        if (!rowset_)
            return;
        rowset_.As(&accessor_);
        DBCOUNTITEM obtained = 0;
        HROW* handles = &row_;
        EXPECT_EQ(rowset_->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &handles), S_OK);
    }
    ~OneRow() {
        if (row_)
            rowset_->ReleaseRows(1, &row_, nullptr, nullptr, nullptr);
    }

    Got Get(DBORDINAL column, DBTYPE type, DBLENGTH maxLength = 512, BYTE precision = 0,
            BYTE scale = 0, DBPART parts = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS) {
        Got g;
        std::memset(g.value, 0xCC, sizeof g.value);
        DBBINDING b{};
        b.iOrdinal = column;
        b.obValue = offsetof(Got, value);
        b.obLength = offsetof(Got, length);
        b.obStatus = offsetof(Got, status);
        b.dwPart = parts;
        b.cbMaxLen = maxLength;
        b.wType = type;
        b.bPrecision = precision;
        b.bScale = scale;
        HACCESSOR handle = 0;
        const HRESULT created =
            accessor_->CreateAccessor(DBACCESSOR_ROWDATA, 1, &b, sizeof g, &handle, nullptr);
        EXPECT_EQ(created, S_OK) << TakePostedError().description;
        if (FAILED(created))
            return g;
        g.hr = rowset_->GetData(row_, handle, &g);
        accessor_->ReleaseAccessor(handle, nullptr);
        return g;
    }
    IRowset* Rowset() const { return rowset_.Get(); }
    IAccessor* Accessor() const { return accessor_.Get(); }
    HROW Row() const { return row_; }

  private:
    ComPtr<IRowset> rowset_;
    ComPtr<IAccessor> accessor_;
    HROW row_ = 0;
};

TEST(RowsetConversion, IntegersKeepTheirValueOrOverflow) {
    CommandHarness h;
    OneRow r(h, L"SELECT 300, -5, 1099511627776, '  42 ', 2.5, -2.5, 'abc', 127");
    EXPECT_EQ(r.Get(1, DBTYPE_I2).As<int16_t>(), 300);
    const Got i1 = r.Get(1, DBTYPE_I1);
    EXPECT_EQ(i1.hr, DB_E_ERRORSOCCURRED);
    EXPECT_EQ(i1.status, DBSTATUS_E_DATAOVERFLOW);
    EXPECT_EQ(TakePostedError().description.find(L"out of the range") != std::wstring::npos, true);
    EXPECT_EQ(r.Get(1, DBTYPE_UI1).status, DBSTATUS_E_DATAOVERFLOW);
    EXPECT_EQ(r.Get(2, DBTYPE_I4).As<int32_t>(), -5);
    EXPECT_EQ(r.Get(2, DBTYPE_UI4).status, DBSTATUS_E_SIGNMISMATCH);
    const Got big = r.Get(3, DBTYPE_I4);
    EXPECT_EQ(big.status, DBSTATUS_E_DATAOVERFLOW);
    EXPECT_EQ(r.Get(3, DBTYPE_I8).As<int64_t>(), 1099511627776LL);
    EXPECT_EQ(r.Get(3, DBTYPE_UI8).As<uint64_t>(), 1099511627776ULL);
    const Got text = r.Get(4, DBTYPE_I4);
    EXPECT_EQ(text.status, DBSTATUS_S_OK);
    EXPECT_EQ(text.As<int32_t>(), 42);
    EXPECT_EQ(text.length, 4u);
    EXPECT_EQ(r.Get(5, DBTYPE_I4).As<int32_t>(), 3);  // halves away from zero
    EXPECT_EQ(r.Get(6, DBTYPE_I4).As<int32_t>(), -3);
    const Got bad = r.Get(7, DBTYPE_I4);
    EXPECT_EQ(bad.status, DBSTATUS_E_CANTCONVERTVALUE);
    const PostedError e = TakePostedError();
    EXPECT_NE(e.description.find(L"'abc'"), std::wstring::npos) << e.description;
    EXPECT_NE(e.description.find(L"DBTYPE_I4"), std::wstring::npos) << e.description;
    EXPECT_EQ(r.Get(8, DBTYPE_I1).As<int8_t>(), 127);
    EXPECT_EQ(r.Get(8, DBTYPE_UI2).As<uint16_t>(), 127);
}

TEST(RowsetConversion, SomeOrAllBindingsFailing) {
    CommandHarness h;
    OneRow r(h, L"SELECT 1, 'x'");
    DBBINDING b[2] = {};
    int32_t values[4] = {};
    for (int i = 0; i < 2; ++i) {
        b[i].iOrdinal = static_cast<DBORDINAL>(i + 1);
        b[i].dwPart = DBPART_VALUE | DBPART_STATUS;
        b[i].wType = DBTYPE_I4;
        b[i].obValue = static_cast<DBBYTEOFFSET>(i * 8);
        b[i].obStatus = static_cast<DBBYTEOFFSET>(i * 8 + 4);
    }
    HACCESSOR handle = 0;
    ASSERT_EQ(r.Accessor()->CreateAccessor(DBACCESSOR_ROWDATA, 2, b, 0, &handle, nullptr), S_OK);
    EXPECT_EQ(r.Rowset()->GetData(r.Row(), handle, values), DB_S_ERRORSOCCURRED);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[1], static_cast<int32_t>(DBSTATUS_S_OK));
    EXPECT_EQ(values[3], static_cast<int32_t>(DBSTATUS_E_CANTCONVERTVALUE));
    EXPECT_TRUE(TakePostedError().present);
    r.Accessor()->ReleaseAccessor(handle, nullptr);
    b[0].iOrdinal = 2;
    ASSERT_EQ(r.Accessor()->CreateAccessor(DBACCESSOR_ROWDATA, 2, b, 0, &handle, nullptr), S_OK);
    EXPECT_EQ(r.Rowset()->GetData(r.Row(), handle, values), DB_E_ERRORSOCCURRED);
    TakePostedError();
}

TEST(RowsetConversion, RealsMoneyAndYesNo) {
    CommandHarness h;
    OneRow r(h, L"SELECT 1.5, '2.25', 19.99, 1e300, 0, 'True', 'maybe', -12.34567");
    EXPECT_EQ(r.Get(1, DBTYPE_R8).As<double>(), 1.5);
    EXPECT_EQ(r.Get(1, DBTYPE_R4).As<float>(), 1.5f);
    EXPECT_EQ(r.Get(2, DBTYPE_R8).As<double>(), 2.25);
    EXPECT_EQ(r.Get(3, DBTYPE_CY).As<CY>().int64, 199900);
    EXPECT_EQ(r.Get(4, DBTYPE_R4).status, DBSTATUS_E_DATAOVERFLOW);
    EXPECT_EQ(r.Get(4, DBTYPE_CY).status, DBSTATUS_E_DATAOVERFLOW);
    EXPECT_EQ(r.Get(1, DBTYPE_BOOL).As<VARIANT_BOOL>(), VARIANT_TRUE);
    EXPECT_EQ(r.Get(5, DBTYPE_BOOL).As<VARIANT_BOOL>(), VARIANT_FALSE);
    EXPECT_EQ(r.Get(6, DBTYPE_BOOL).As<VARIANT_BOOL>(), VARIANT_TRUE);
    EXPECT_EQ(r.Get(7, DBTYPE_BOOL).status, DBSTATUS_E_CANTCONVERTVALUE);
    EXPECT_EQ(r.Get(8, DBTYPE_CY).As<CY>().int64, -123457);  // rounded to four places
    TakePostedError();
}

TEST(RowsetConversion, DatesFromStoredTextAndNumbers) {
    CommandHarness h;
    OneRow r(h,
             L"SELECT '2021-03-04 05:06:07', '1999-12-31', '13:30:00', 45000.5, "
             L"'2021-02-30', 'soon', '2024-01-15T10:20:30.250Z'");
    SYSTEMTIME st{};
    st.wYear = 2021;
    st.wMonth = 3;
    st.wDay = 4;
    st.wHour = 5;
    st.wMinute = 6;
    st.wSecond = 7;
    double expected = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &expected));
    EXPECT_DOUBLE_EQ(r.Get(1, DBTYPE_DATE).As<DATE>(), expected);
    const Got d = r.Get(2, DBTYPE_DATE);
    EXPECT_EQ(d.status, DBSTATUS_S_OK);
    EXPECT_EQ(std::floor(d.As<DATE>()), d.As<DATE>()) << "a date alone has no time of day";
    EXPECT_DOUBLE_EQ(r.Get(3, DBTYPE_DATE).As<DATE>(), 13.5 / 24);  // on day 0
    EXPECT_DOUBLE_EQ(r.Get(4, DBTYPE_DATE).As<DATE>(), 45000.5);

    const DBTIMESTAMP ts = r.Get(1, DBTYPE_DBTIMESTAMP).As<DBTIMESTAMP>();
    EXPECT_EQ(ts.year, 2021);
    EXPECT_EQ(ts.month, 3);
    EXPECT_EQ(ts.day, 4);
    EXPECT_EQ(ts.hour, 5);
    EXPECT_EQ(ts.second, 7);
    const DBDATE dd = r.Get(2, DBTYPE_DBDATE).As<DBDATE>();
    EXPECT_EQ(dd.year, 1999);
    EXPECT_EQ(dd.day, 31);
    const DBTIME tt = r.Get(3, DBTYPE_DBTIME).As<DBTIME>();
    EXPECT_EQ(tt.hour, 13);
    EXPECT_EQ(tt.minute, 30);
    const DBTIMESTAMP fromNumber = r.Get(4, DBTYPE_DBTIMESTAMP).As<DBTIMESTAMP>();
    EXPECT_EQ(fromNumber.hour, 12);
    EXPECT_EQ(r.Get(5, DBTYPE_DATE).status, DBSTATUS_E_CANTCONVERTVALUE) << "30 February";
    EXPECT_EQ(r.Get(6, DBTYPE_DBDATE).status, DBSTATUS_E_CANTCONVERTVALUE);
    const DBTIMESTAMP iso = r.Get(7, DBTYPE_DBTIMESTAMP).As<DBTIMESTAMP>();
    EXPECT_EQ(iso.minute, 20);
    EXPECT_EQ(iso.fraction, 250000000u);
    TakePostedError();
}

TEST(RowsetConversion, TextIsCutWithItsFullLengthReported) {
    CommandHarness h;
    OneRow r(h, L"SELECT 'abcdefghij', 'h\u00e9\u00e9llo', x'0102030405', 12345, 1.25, x'ABCD'");
    const Got full = r.Get(1, DBTYPE_WSTR);
    EXPECT_EQ(full.Wide(), L"abcdefghij");
    EXPECT_EQ(full.length, 10 * sizeof(wchar_t));
    EXPECT_EQ(full.hr, S_OK);
    // Room for four characters and the NUL.
    const Got cut = r.Get(1, DBTYPE_WSTR, 5 * sizeof(wchar_t));
    EXPECT_EQ(cut.hr, S_OK) << "truncation is a warning, not an error";
    EXPECT_EQ(cut.status, DBSTATUS_S_TRUNCATED);
    EXPECT_EQ(cut.Wide(), L"abcd");
    EXPECT_EQ(cut.length, 10 * sizeof(wchar_t));
    const Got narrow = r.Get(2, DBTYPE_STR, 4);  // "h" + two-byte é would not fit whole
    EXPECT_EQ(narrow.status, DBSTATUS_S_TRUNCATED);
    EXPECT_EQ(narrow.Narrow(), "h\xc3\xa9");
    EXPECT_EQ(narrow.length, 8u);
    EXPECT_EQ(r.Get(2, DBTYPE_WSTR).Wide(), L"h\u00e9\u00e9llo");
    const Got bytes = r.Get(3, DBTYPE_BYTES, 3);
    EXPECT_EQ(bytes.status, DBSTATUS_S_TRUNCATED);
    EXPECT_EQ(bytes.length, 5u);
    EXPECT_EQ(bytes.value[2], 3);
    EXPECT_EQ(bytes.value[3], 0xCC) << "no byte beyond the limit is written";
    EXPECT_EQ(r.Get(4, DBTYPE_WSTR).Wide(), L"12345");
    EXPECT_EQ(r.Get(5, DBTYPE_WSTR).Wide(), L"1.25");
    EXPECT_EQ(r.Get(6, DBTYPE_WSTR).Wide(), L"ABCD") << "binary as hexadecimal digits";
    const Got lengthOnly = r.Get(1, DBTYPE_WSTR, 0, 0, 0, DBPART_LENGTH | DBPART_STATUS);
    EXPECT_EQ(lengthOnly.status, DBSTATUS_S_OK);
    EXPECT_EQ(lengthOnly.length, 10 * sizeof(wchar_t));
    EXPECT_EQ(lengthOnly.value[0], 0xCC);
    BSTR bstr = r.Get(1, DBTYPE_BSTR).As<BSTR>();
    EXPECT_STREQ(bstr, L"abcdefghij");
    EXPECT_EQ(SysStringLen(bstr), 10u);
    SysFreeString(bstr);
}

TEST(RowsetConversion, NullsLeaveNoPointerBehind) {
    CommandHarness h;
    h.Sql("CREATE TABLE n(a TEXT, b BLOB, c INTEGER); INSERT INTO n VALUES (NULL, NULL, NULL);");
    OneRow r(h, L"SELECT a, b, c FROM n");
    for (DBTYPE type : {DBTYPE(DBTYPE_WSTR), DBTYPE(DBTYPE_I4), DBTYPE(DBTYPE_DATE)}) {
        const Got g = r.Get(1, type);
        EXPECT_EQ(g.hr, S_OK);
        EXPECT_EQ(g.status, DBSTATUS_S_ISNULL);
        EXPECT_EQ(g.length, 0u);
    }
    const Got byRef = r.Get(2, DBTYPE_BYTES | DBTYPE_BYREF);
    EXPECT_EQ(byRef.status, DBSTATUS_S_ISNULL);
    EXPECT_EQ(byRef.As<void*>(), nullptr);
    const Got stream = r.Get(2, DBTYPE_IUNKNOWN);
    EXPECT_EQ(stream.status, DBSTATUS_S_ISNULL);
    EXPECT_EQ(stream.As<void*>(), nullptr);
    const Got variant = r.Get(3, DBTYPE_VARIANT);
    EXPECT_EQ(variant.status, DBSTATUS_S_ISNULL);
    EXPECT_EQ(variant.As<VARIANT>().vt, VT_NULL);
}

TEST(RowsetConversion, GuidsNumericsDecimalsAndVariants) {
    CommandHarness h;
    h.Sql(
        "CREATE TABLE g(id GUID, amount DECIMAL(10,2), n INTEGER, t TEXT);"
        "INSERT INTO g VALUES (x'00112233445566778899AABBCCDDEEFF', 123.456, 7, 'x');");
    OneRow r(h,
             L"SELECT id, amount, n, t, '{12345678-9ABC-DEF0-1234-56789ABCDEF0}', "
             L"'-0.005', '123456789012345678901234567890.5', "
             L"'12345678901234567890123456789.5' FROM g");
    const GUID fromBlob = r.Get(1, DBTYPE_GUID).As<GUID>();
    EXPECT_EQ(fromBlob.Data1, 0x33221100u);
    EXPECT_EQ(fromBlob.Data4[7], 0xFF);
    const GUID fromText = r.Get(5, DBTYPE_GUID).As<GUID>();
    EXPECT_EQ(fromText.Data1, 0x12345678u);
    EXPECT_EQ(fromText.Data2, 0x9ABC);
    EXPECT_EQ(r.Get(4, DBTYPE_GUID).status, DBSTATUS_E_CANTCONVERTVALUE);
    TakePostedError();

    // NUMERIC takes the column's precision and scale: 123.456 in DECIMAL(10,2) is 123.46.
    const DB_NUMERIC amount = r.Get(2, DBTYPE_NUMERIC).As<DB_NUMERIC>();
    EXPECT_EQ(amount.precision, 10);
    EXPECT_EQ(amount.scale, 2);
    EXPECT_EQ(amount.sign, 1);
    EXPECT_EQ(amount.val[0] | (amount.val[1] << 8), 12346);
    const DB_NUMERIC tiny = r.Get(6, DBTYPE_NUMERIC, 0, 10, 3).As<DB_NUMERIC>();
    EXPECT_EQ(tiny.sign, 0);
    EXPECT_EQ(tiny.val[0], 5);
    EXPECT_EQ(r.Get(7, DBTYPE_NUMERIC, 0, 20, 0).status, DBSTATUS_E_DATAOVERFLOW);
    const DECIMAL dec = r.Get(6, DBTYPE_DECIMAL).As<DECIMAL>();
    EXPECT_EQ(dec.sign, DECIMAL_NEG);
    EXPECT_EQ(dec.scale, 3);
    EXPECT_EQ(dec.Lo64, 5u);
    EXPECT_EQ(r.Get(7, DBTYPE_DECIMAL).status, DBSTATUS_E_DATAOVERFLOW) << "beyond 96 bits";
    const Got wide = r.Get(8, DBTYPE_DECIMAL);
    ASSERT_EQ(wide.status, DBSTATUS_S_OK);
    const DECIMAL w = wide.As<DECIMAL>();
    EXPECT_EQ(w.scale, 0) << "the fraction gives way to 96 bits of digits";
    const unsigned __int128 mantissa = (static_cast<unsigned __int128>(w.Hi32) << 64) | w.Lo64;
    unsigned __int128 expected = 0;
    for (char c : std::string("12345678901234567890123456790"))
        expected = expected * 10 + (c - '0');
    EXPECT_TRUE(mantissa == expected);

    const VARIANT vn = r.Get(3, DBTYPE_VARIANT).As<VARIANT>();
    EXPECT_EQ(vn.vt, VT_I8);
    EXPECT_EQ(vn.llVal, 7);
    VARIANT vt = r.Get(4, DBTYPE_VARIANT).As<VARIANT>();
    EXPECT_EQ(vt.vt, VT_BSTR);
    EXPECT_STREQ(vt.bstrVal, L"x");
    VariantClear(&vt);
    TakePostedError();
}

TEST(RowsetAccessors, BadBindingsAreRefusedOneByOne) {
    CommandHarness h;
    OneRow r(h, L"SELECT 1, 'text'");
    DBBINDING b[4] = {};
    b[0].iOrdinal = 3;  // no such column
    b[0].dwPart = DBPART_VALUE;
    b[0].wType = DBTYPE_I4;
    b[1].iOrdinal = 1;
    b[1].dwPart = DBPART_VALUE;
    b[1].wType = DBTYPE_IDISPATCH;  // not a conversion rows have
    b[2].iOrdinal = 2;
    b[2].dwPart = DBPART_VALUE;
    b[2].wType = DBTYPE_WSTR;
    b[3].iOrdinal = 0;  // there is no bookmark column
    b[3].dwPart = DBPART_VALUE;
    b[3].wType = DBTYPE_I4;
    DBBINDSTATUS status[4] = {9, 9, 9, 9};
    HACCESSOR handle = 77;
    EXPECT_EQ(r.Accessor()->CreateAccessor(DBACCESSOR_ROWDATA, 4, b, 0, &handle, status),
              DB_E_ERRORSOCCURRED);
    EXPECT_EQ(handle, DB_NULL_HACCESSOR);
    EXPECT_EQ(status[0], DBBINDSTATUS_BADORDINAL);
    EXPECT_EQ(status[1], DBBINDSTATUS_UNSUPPORTEDCONVERSION);
    EXPECT_EQ(status[2], DBBINDSTATUS_OK);
    EXPECT_EQ(status[3], DBBINDSTATUS_BADORDINAL);
    const PostedError e = TakePostedError();
    EXPECT_NE(e.description.find(L"column 3"), std::wstring::npos) << e.description;
    // A stream of a number column is refused; parameter accessors are too.
    DBBINDING stream{};
    stream.iOrdinal = 1;
    stream.dwPart = DBPART_VALUE;
    stream.wType = DBTYPE_IUNKNOWN;
    EXPECT_EQ(r.Accessor()->CreateAccessor(DBACCESSOR_ROWDATA, 1, &stream, 0, &handle, status),
              DB_E_ERRORSOCCURRED);
    EXPECT_EQ(status[0], DBBINDSTATUS_UNSUPPORTEDCONVERSION);
    EXPECT_NE(r.Accessor()->CreateAccessor(DBACCESSOR_PARAMETERDATA, 1, &b[2], 0, &handle, nullptr),
              S_OK);
    TakePostedError();
    // GetBindings gives the accessor's bindings back.
    ASSERT_EQ(r.Accessor()->CreateAccessor(DBACCESSOR_ROWDATA, 1, &b[2], 0, &handle, nullptr),
              S_OK);
    DBACCESSORFLAGS flags = 0;
    DBCOUNTITEM count = 0;
    DBBINDING* back = nullptr;
    ASSERT_EQ(r.Accessor()->GetBindings(handle, &flags, &count, &back), S_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(back[0].iOrdinal, 2u);
    EXPECT_EQ(back[0].wType, DBTYPE_WSTR);
    EXPECT_EQ(flags, DBACCESSOR_ROWDATA);
    CoTaskMemFree(back);
    DBREFCOUNT refs = 0;
    EXPECT_EQ(r.Accessor()->AddRefAccessor(handle, &refs), S_OK);
    EXPECT_EQ(refs, 2u);
    EXPECT_EQ(r.Accessor()->ReleaseAccessor(handle, &refs), S_OK);
    EXPECT_EQ(r.Accessor()->ReleaseAccessor(handle, &refs), S_OK);
    EXPECT_EQ(refs, 0u);
    EXPECT_EQ(r.Accessor()->ReleaseAccessor(handle, &refs), DB_E_BADACCESSORHANDLE);
    TakePostedError();
}

}  // namespace
}  // namespace vorn::test
