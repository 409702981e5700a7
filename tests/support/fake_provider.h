// A scripted OLE DB provider for consumer tests: data-initialisation service, data source,
// session, command and rowset objects over tables the test writes, with the cases the real
// provider never produces (bookmark columns, refused streams, by-reference values, DECIMAL,
// NUMERIC, DBDATE, DBTIME, FILETIME values, chapters, failing calls) and counters of every
// call that matters for releasing what was handed out.
//
// Usage:
//   auto provider = std::make_shared<vorn::test::fake::Provider>();
//   auto installed = provider->Install();          // registers CLSID_MSDAINITIALIZE
//   provider->onExecute = [&](const std::wstring& sql) { return Outcome::Rows(table); };
//   VornOleDbConnection connection;
//   connection.OpenFromInitializationString(L"Provider=Fake;", false);
//
// The rowset moves as the embedded provider does (a current row; offsets both ways; a
// backward fetch from the start of the rowset begins at its end), refuses to move while a
// row is held, checks every accessor against the row size it is created for (no part
// outside the row, no overlap, aligned parts) and releases nothing the consumer must
// release.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "com.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::test::fake {

struct Column {
    std::wstring name;
    DBTYPE type = DBTYPE_I4;
    DBLENGTH size = 4;  // declared size: characters for text, bytes otherwise
    DBCOLUMNFLAGS flags = 0;
    BYTE precision = 0;
    BYTE scale = 0;
    bool nullName = false;      // the description carries no name at all
    bool refuseStream = false;  // a stream binding fails with DBSTATUS_E_CANTCREATE
    int ordinal = -1;           // -1: 0 for a leading bookmark column, then 1, 2, ...
};

// A column of that name, type and declared size.
Column MakeColumn(const std::wstring& name, DBTYPE type, DBLENGTH size, DBCOLUMNFLAGS flags = 0);
// A bookmark column (ordinal 0, flagged DBCOLUMNFLAGS_ISBOOKMARK).
Column BookmarkColumn();

// One value of a row, kept in the column's own type.
struct Cell {
    DBSTATUS status = DBSTATUS_S_OK;
    std::vector<BYTE> bytes;           // fixed-size value, narrow or wide text, binary
    std::shared_ptr<VARIANT> variant;  // DBTYPE_VARIANT columns
    ComPtr<IUnknown> object;           // DBTYPE_IUNKNOWN / DBTYPE_IDISPATCH columns

    static Cell Null();
    static Cell Status(DBSTATUS status);
    template <class T>
    static Cell Of(const T& value) {
        Cell c;
        c.bytes.resize(sizeof(T));
        std::memcpy(c.bytes.data(), &value, sizeof(T));
        return c;
    }
    static Cell Wide(const std::wstring& text);   // DBTYPE_WSTR and DBTYPE_BSTR columns
    static Cell Narrow(const std::string& text);  // DBTYPE_STR columns
    static Cell Binary(const std::vector<BYTE>& bytes);
    static Cell Binary(size_t count, BYTE fill);
    static Cell Variant(const VARIANT& value);  // deep copy
    static Cell Object(IUnknown* object);
};

struct Table {
    std::vector<Column> columns;
    std::vector<std::vector<Cell>> rows;

    // How the rowset answers DBPROP_ISequentialStream and DBPROP_IStream.
    bool answersSequentialStream = true;
    bool answersIStream = false;
    // Which interfaces the stream objects it hands out answer.
    bool streamsOfferSequential = true;
    bool streamsOfferIStream = false;
    bool offersRowsetChange = true;
    bool canHoldRows = false;  // false: moving while a row is held fails

    HRESULT getColumnInfoResult = S_OK;
    HRESULT createAccessorResult = S_OK;
    HRESULT restartPositionResult = S_OK;
    std::map<size_t, HRESULT> getDataResults;  // forced GetData result per row index
};

// A table of one DBTYPE_I4 column holding 1, 2, ... count.
std::shared_ptr<Table> NumberTable(const std::wstring& column, int count);

// What a command execution, schema request or OpenRowset gives.
struct Outcome {
    HRESULT hr = S_OK;
    DBROWCOUNT rowsAffected = 0;
    std::shared_ptr<Table> table;  // null: no rowset
    // Posted as the error record of a failing result.
    std::wstring error;
    std::wstring sqlState;
    LONG nativeError = 0;

    static Outcome Rows(std::shared_ptr<Table> table);
    static Outcome Affected(DBROWCOUNT rows);
    static Outcome Failure(HRESULT hr, const std::wstring& error,
                           const std::wstring& sqlState = L"");
};

struct FetchCall {
    DBROWOFFSET offset;
    DBROWCOUNT rows;
    HRESULT result;
};

struct RecordedProperty {
    GUID set;
    DBPROPID id;
    DBPROPOPTIONS options;
    VARTYPE vt;
    VARIANT_BOOL boolValue;
};

struct Stats {
    std::vector<FetchCall> fetches;
    int getData = 0;
    int restartPosition = 0;
    int releaseRows = 0;
    int outstandingRows = 0;
    int accessorsCreated = 0;
    int accessorsReleased = 0;
    int getColumnInfo = 0;
    int liveRowsets = 0;
    int liveStreams = 0;
    int liveCommands = 0;
    int liveObjects = 0;             // Cell::Object objects made by MakeObject
    std::vector<ULONG> streamReads;  // bytes delivered by each Read
    std::vector<HCHAPTER> releasedChapters;
    std::vector<DBBINDING> lastBindings;  // pObject cleared; see lastBindingObjects
    std::vector<std::optional<IID>> lastBindingObjects;
    DBLENGTH lastRowSize = 0;
    DBLENGTH lastConvertSourceLength = 0;
    int transactionsStarted = 0;
    int commits = 0;
    int aborts = 0;
};

class Provider : public std::enable_shared_from_this<Provider> {
  public:
    Provider();
    ~Provider();

    // Registers this provider as the data-initialisation service (and, with converter,
    // a data-conversion library that turns NUMERIC and VARNUMERIC into text) until the
    // returned object is destroyed.
    std::unique_ptr<ScopedClassFactory> Install();
    std::unique_ptr<ScopedClassFactory> InstallConverter();

    // A rowset over a table, as a command execution would give it.
    ComPtr<IRowset> MakeRowset(std::shared_ptr<Table> table);
    // A plain object that counts itself in stats.liveObjects.
    ComPtr<IUnknown> MakeObject();

    // Data-source properties answered by IDBProperties::GetProperties. Preset:
    // DBPROP_CONNECTIONSTATUS = DBPROPVAL_CS_INITIALIZED.
    void SetProperty(const GUID& set, DBPROPID id, const VARIANT& value);
    const VARIANT* FindProperty(const GUID& set, DBPROPID id) const;

    // Scripts.
    std::function<Outcome(const std::wstring& sql)> onExecute;
    std::function<Outcome(const GUID& schema,
                          const std::vector<std::optional<std::wstring>>& restrictions)>
        onSchemaRowset;
    std::function<Outcome(const std::wstring& table)> onOpenRowset;

    HRESULT getDataSourceResult = S_OK;
    HRESULT initializeResult = S_OK;
    HRESULT createSessionResult = S_OK;
    HRESULT createCommandResult = S_OK;
    HRESULT setCommandTextResult = S_OK;
    HRESULT setCommandPropertiesResult = S_OK;  // may be a success code such as DB_S_ERRORSOCCURRED
    HRESULT startTransactionResult = S_OK;

    // What the consumer did.
    std::wstring lastInit;
    std::vector<std::wstring> executed;
    std::vector<RecordedProperty> commandProperties;  // of the last SetProperties
    std::vector<RecordedProperty> dataSourceProperties;
    Stats stats;

  private:
    struct PropertyEntry {
        GUID set;
        DBPROPID id;
        VARIANT value;
    };
    std::vector<PropertyEntry> properties_;
};

// Posts an error record with this description and the fake's source name; returns hr.
HRESULT PostFakeError(HRESULT hr, const std::wstring& description,
                      const std::wstring& sqlState = L"", LONG nativeError = 0);

}  // namespace vorn::test::fake
