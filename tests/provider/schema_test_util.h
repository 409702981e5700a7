// Helpers of the provider's schema tests: a session on a database file, restriction
// lists, and a schema rowset read whole (column names and types, every value).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "execution/result_codes.h"
#include "provider_errors.h"
#include "provider_test_util.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::provider::testing {

// Restriction values: VT_EMPTY unless set; owns its BSTRs.
class Restrictions {
  public:
    explicit Restrictions(size_t count) : values_(count) {
        for (VARIANT& v : values_)
            VariantInit(&v);
    }
    ~Restrictions() {
        for (VARIANT& v : values_)
            VariantClear(&v);
    }
    Restrictions(const Restrictions&) = delete;
    Restrictions& operator=(const Restrictions&) = delete;

    Restrictions& Text(size_t index, const std::wstring& text) {
        VariantClear(&values_[index]);
        values_[index].vt = VT_BSTR;
        values_[index].bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *this;
    }
    Restrictions& Number(size_t index, VARTYPE vt, int value) {
        VariantClear(&values_[index]);
        values_[index].vt = vt;
        values_[index].lVal = value;
        return *this;
    }
    ULONG Count() const { return static_cast<ULONG>(values_.size()); }
    const VARIANT* Values() const { return values_.data(); }

  private:
    std::vector<VARIANT> values_;
};

struct SchemaValue {
    bool null = true;
    std::wstring text;
    long long number = 0;
};

struct SchemaResult {
    HRESULT hr = E_FAIL;
    std::vector<std::wstring> names;
    std::vector<DBTYPE> types;
    std::vector<std::vector<SchemaValue>> rows;

    size_t Column(const std::wstring& name) const {
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                return i;
        ADD_FAILURE() << "no column " << WideToUtf8(name);
        return 0;
    }
    const SchemaValue& At(size_t row, const std::wstring& column) const {
        return rows.at(row).at(Column(column));
    }
    std::wstring Text(size_t row, const std::wstring& column) const { return At(row, column).text; }
    long long Number(size_t row, const std::wstring& column) const {
        return At(row, column).number;
    }
    bool IsNull(size_t row, const std::wstring& column) const { return At(row, column).null; }
    // The rows whose column holds text (letter case kept).
    std::vector<size_t> RowsWhere(const std::wstring& column, const std::wstring& text) const {
        std::vector<size_t> found;
        for (size_t r = 0; r < rows.size(); ++r)
            if (!At(r, column).null && At(r, column).text == text)
                found.push_back(r);
        return found;
    }
};

// Reads a rowset whole, each column bound as a VARIANT.
inline void ReadRowset(IUnknown* rowsetObject, SchemaResult* result) {
    ComPtr<IColumnsInfo> info;
    ComPtr<IAccessor> accessor;
    ComPtr<IRowset> rowset;
    ASSERT_EQ(S_OK,
              rowsetObject->QueryInterface(IID_IColumnsInfo, info.ReleaseAndGetVoidAddress()));
    ASSERT_EQ(S_OK,
              rowsetObject->QueryInterface(IID_IAccessor, accessor.ReleaseAndGetVoidAddress()));
    ASSERT_EQ(S_OK, rowsetObject->QueryInterface(IID_IRowset, rowset.ReleaseAndGetVoidAddress()));
    DBORDINAL count = 0;
    DBCOLUMNINFO* columns = nullptr;
    OLECHAR* names = nullptr;
    ASSERT_EQ(S_OK, info->GetColumnInfo(&count, &columns, &names));
    std::vector<DBBINDING> bindings(count);
    // Each column: its VARIANT, then its status, padded to keep the next VARIANT aligned.
    const size_t slot = (sizeof(VARIANT) + sizeof(DBSTATUS) + 7) / 8 * 8;
    for (DBORDINAL i = 0; i < count; ++i) {
        result->names.push_back(columns[i].pwszName ? columns[i].pwszName : L"");
        result->types.push_back(columns[i].wType);
        DBBINDING& b = bindings[i];
        std::memset(&b, 0, sizeof b);
        b.iOrdinal = columns[i].iOrdinal;
        b.obValue = static_cast<DBBYTEOFFSET>(i * slot);
        b.obStatus = static_cast<DBBYTEOFFSET>(i * slot + sizeof(VARIANT));
        b.dwPart = DBPART_VALUE | DBPART_STATUS;
        b.wType = DBTYPE_VARIANT;
        b.cbMaxLen = sizeof(VARIANT);
    }
    CoTaskMemFree(columns);
    CoTaskMemFree(names);
    HACCESSOR handle = DB_NULL_HACCESSOR;
    ASSERT_EQ(S_OK,
              accessor->CreateAccessor(DBACCESSOR_ROWDATA, count, bindings.data(),
                                       static_cast<DBLENGTH>(count * slot), &handle, nullptr));
    std::vector<BYTE> buffer(count * slot);
    for (;;) {
        HROW row = DB_NULL_HROW;
        HROW* rows = &row;
        DBCOUNTITEM obtained = 0;
        const HRESULT hr = rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows);
        if (hr != S_OK || obtained != 1)
            break;
        ASSERT_EQ(S_OK, rowset->GetData(row, handle, buffer.data()));
        std::vector<SchemaValue> values(count);
        for (DBORDINAL i = 0; i < count; ++i) {
            VARIANT* v = reinterpret_cast<VARIANT*>(buffer.data() + i * slot);
            SchemaValue& out = values[i];
            out.null = v->vt == VT_NULL || v->vt == VT_EMPTY;
            switch (v->vt) {
                case VT_BSTR:
                    out.text = v->bstrVal ? v->bstrVal : L"";
                    break;
                case VT_BOOL:
                    out.number = v->boolVal;
                    break;
                case VT_I2:
                    out.number = v->iVal;
                    break;
                case VT_UI2:
                    out.number = v->uiVal;
                    break;
                case VT_I4:
                    out.number = v->lVal;
                    break;
                case VT_UI4:
                    out.number = v->ulVal;
                    break;
                case VT_I8:
                    out.number = v->llVal;
                    break;
                case VT_UI8:
                    out.number = static_cast<long long>(v->ullVal);
                    break;
                default:
                    break;
            }
            VariantClear(v);
        }
        result->rows.push_back(std::move(values));
        rowset->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
    }
    accessor->ReleaseAccessor(handle, nullptr);
}

inline SchemaResult ReadSchema(IUnknown* session, const GUID& schema,
                               const Restrictions& restrictions) {
    SchemaResult result;
    ComPtr<IDBSchemaRowset> schemas;
    result.hr = session->QueryInterface(IID_IDBSchemaRowset, schemas.ReleaseAndGetVoidAddress());
    if (FAILED(result.hr))
        return result;
    ComPtr<IUnknown> rowset;
    result.hr = schemas->GetRowset(nullptr, schema, restrictions.Count(), restrictions.Values(),
                                   IID_IRowset, 0, nullptr, rowset.ReleaseAndGetUnknownAddress());
    if (SUCCEEDED(result.hr) && rowset)
        ReadRowset(rowset.Get(), &result);
    return result;
}

// A data source and session on a database file.
struct OpenDatabase {
    explicit OpenDatabase(const std::string& file) {
        EXPECT_EQ(S_OK, OpenDataSource(ConnectionTo(file), &dataSource));
        if (dataSource)
            session = NewSession(dataSource.Get());
        EXPECT_TRUE(session);
    }
    ComPtr<IDBInitialize> dataSource;
    ComPtr<IUnknown> session;
};

}  // namespace vorn::provider::testing
