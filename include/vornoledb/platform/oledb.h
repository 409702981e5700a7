// OLE DB declarations: types, constants, structures, interfaces and the standard GUIDs.
// Counts, lengths, ordinals and offsets are 32 bits wide (the 32-bit OLE DB definitions).
#pragma once

#include "vornoledb/platform/unknown.h"
#include "vornoledb/platform/variant.h"

namespace vornoledb {

using DBTYPE = uint16_t;
using DBLENGTH = uint32_t;
using DBORDINAL = uint32_t;
using DBCOUNTITEM = uint32_t;
using DBROWCOUNT = int32_t;
using DBROWOFFSET = int32_t;
using DBBYTEOFFSET = uint32_t;
using DBREFCOUNT = uint32_t;
using DB_UPARAMS = uint32_t;
using DBSTATUS = uint32_t;
using DBROWSTATUS = uint32_t;
using DBROWOPTIONS = uint32_t;
using DBCOLUMNFLAGS = uint32_t;
using DBPROPID = uint32_t;
using DBPROPOPTIONS = uint32_t;
using DBPROPSTATUS = uint32_t;
using DBKIND = uint32_t;
using DBPART = uint32_t;
using DBMEMOWNER = uint32_t;
using DBPARAMIO = uint32_t;
using DBACCESSORFLAGS = uint32_t;
using DBBINDSTATUS = uint32_t;
using DBDATACONVERT = uint32_t;
using HROW = uintptr_t;
using HACCESSOR = uintptr_t;
using HCHAPTER = uintptr_t;
using ISOLEVEL = int32_t;

constexpr HCHAPTER DB_NULL_HCHAPTER = 0;
constexpr HROW DB_NULL_HROW = 0;
constexpr HACCESSOR DB_NULL_HACCESSOR = 0;

// ---- data types -----------------------------------------------------------------------
enum DBTYPEENUM : DBTYPE {
    DBTYPE_EMPTY = 0,
    DBTYPE_NULL = 1,
    DBTYPE_I2 = 2,
    DBTYPE_I4 = 3,
    DBTYPE_R4 = 4,
    DBTYPE_R8 = 5,
    DBTYPE_CY = 6,
    DBTYPE_DATE = 7,
    DBTYPE_BSTR = 8,
    DBTYPE_IDISPATCH = 9,
    DBTYPE_ERROR = 10,
    DBTYPE_BOOL = 11,
    DBTYPE_VARIANT = 12,
    DBTYPE_IUNKNOWN = 13,
    DBTYPE_DECIMAL = 14,
    DBTYPE_I1 = 16,
    DBTYPE_UI1 = 17,
    DBTYPE_UI2 = 18,
    DBTYPE_UI4 = 19,
    DBTYPE_I8 = 20,
    DBTYPE_UI8 = 21,
    DBTYPE_FILETIME = 64,
    DBTYPE_GUID = 72,
    DBTYPE_BYTES = 128,
    DBTYPE_STR = 129,
    DBTYPE_WSTR = 130,
    DBTYPE_NUMERIC = 131,
    DBTYPE_UDT = 132,
    DBTYPE_DBDATE = 133,
    DBTYPE_DBTIME = 134,
    DBTYPE_DBTIMESTAMP = 135,
    DBTYPE_HCHAPTER = 136,
    DBTYPE_PROPVARIANT = 138,
    DBTYPE_VARNUMERIC = 139,
    DBTYPE_VECTOR = 0x1000,
    DBTYPE_ARRAY = 0x2000,
    DBTYPE_BYREF = 0x4000,
    DBTYPE_RESERVED = 0x8000,
};

// ---- status -----------------------------------------------------------------------------
enum DBSTATUSENUM : DBSTATUS {
    DBSTATUS_S_OK = 0,
    DBSTATUS_E_BADACCESSOR = 1,
    DBSTATUS_E_CANTCONVERTVALUE = 2,
    DBSTATUS_S_ISNULL = 3,
    DBSTATUS_S_TRUNCATED = 4,
    DBSTATUS_E_SIGNMISMATCH = 5,
    DBSTATUS_E_DATAOVERFLOW = 6,
    DBSTATUS_E_CANTCREATE = 7,
    DBSTATUS_E_UNAVAILABLE = 8,
    DBSTATUS_E_PERMISSIONDENIED = 9,
    DBSTATUS_E_INTEGRITYVIOLATION = 10,
    DBSTATUS_E_SCHEMAVIOLATION = 11,
    DBSTATUS_E_BADSTATUS = 12,
    DBSTATUS_S_DEFAULT = 13,
};

// ---- OLE DB result codes ------------------------------------------------------------------
constexpr HRESULT DB_S_ENDOFROWSET = 0x00040EC6;
constexpr HRESULT DB_S_ERRORSOCCURRED = 0x00040EDA;
constexpr HRESULT DB_E_BADACCESSORHANDLE = MakeHResult(0x80040E00u);
constexpr HRESULT DB_E_ROWLIMITEXCEEDED = MakeHResult(0x80040E01u);
constexpr HRESULT DB_E_BADROWHANDLE = MakeHResult(0x80040E04u);
constexpr HRESULT DB_E_OBJECTOPEN = MakeHResult(0x80040E05u);
constexpr HRESULT DB_E_CANTCONVERTVALUE = MakeHResult(0x80040E07u);
constexpr HRESULT DB_E_BADBINDINFO = MakeHResult(0x80040E08u);
constexpr HRESULT DB_E_NOCOMMAND = MakeHResult(0x80040E0Cu);
constexpr HRESULT DB_E_BADCOLUMNID = MakeHResult(0x80040E11u);
constexpr HRESULT DB_E_ERRORSINCOMMAND = MakeHResult(0x80040E14u);
constexpr HRESULT DB_E_ERRORSOCCURRED = MakeHResult(0x80040E21u);
constexpr HRESULT DB_E_CANTFETCHBACKWARDS = MakeHResult(0x80040E24u);
constexpr HRESULT DB_E_CANTSCROLLBACKWARDS = MakeHResult(0x80040E26u);
constexpr HRESULT DB_E_INTEGRITYVIOLATION = MakeHResult(0x80040E2Fu);
constexpr HRESULT DB_E_NOTABLE = MakeHResult(0x80040E37u);
constexpr HRESULT DB_E_BADPROPERTYVALUE = MakeHResult(0x80040E3Bu);
constexpr HRESULT DB_E_CANCELED = MakeHResult(0x80040E4Eu);
constexpr HRESULT DB_SEC_E_AUTH_FAILED = MakeHResult(0x80040E4Du);
constexpr HRESULT DB_E_ALREADYINITIALIZED = MakeHResult(0x80040E52u);
constexpr HRESULT DB_E_DATAOVERFLOW = MakeHResult(0x80040E57u);
constexpr HRESULT DB_E_NOTSUPPORTED = MakeHResult(0x80040E53u);
constexpr HRESULT DB_E_NOTFOUND = MakeHResult(0x80040E19u);
constexpr HRESULT DB_E_TABLEINUSE = MakeHResult(0x80040E40u);
constexpr HRESULT DB_E_DUPLICATEDATASOURCE = MakeHResult(0x80040E80u);
constexpr HRESULT DB_E_NOTABLEEXISTS = DB_E_NOTABLE;
constexpr HRESULT DB_E_READONLY = MakeHResult(0x80040E94u);
constexpr HRESULT DB_E_BADTYPE = MakeHResult(0x80040E30u);
constexpr HRESULT DB_E_NOTREENTRANT = MakeHResult(0x80040E12u);
constexpr HRESULT DB_S_ERRORSRETURNED = 0x00040ED8;
constexpr HRESULT DB_E_ERRORSRETURNED = DB_E_ERRORSOCCURRED;
constexpr HRESULT DB_E_BADSTARTPOSITION = MakeHResult(0x80040E7Eu);
constexpr HRESULT XACT_E_NOTRANSACTION = MakeHResult(0x8004D00Eu);
constexpr HRESULT XACT_E_XTIONEXISTS = MakeHResult(0x8004D013u);
constexpr HRESULT XACT_E_ISOLATIONLEVEL = MakeHResult(0x8004D008u);
constexpr HRESULT XACT_E_CONNECTION_DOWN = MakeHResult(0x8004D01Cu);
constexpr HRESULT DB_S_NOTSINGLETON = 0x00040ED7;
constexpr HRESULT DB_E_ROWSNOTRELEASED = MakeHResult(0x80040E25u);
constexpr HRESULT DB_S_ASYNCHRONOUS = 0x00040ED6;
constexpr HRESULT DB_E_DUPLICATEID = MakeHResult(0x80040E3Eu);
constexpr HRESULT DB_E_NOINDEX = MakeHResult(0x80040E35u);
constexpr HRESULT DB_E_DATABASEEXISTS = DB_E_DUPLICATEDATASOURCE;
constexpr HRESULT DB_E_BADRECORDNUM = MakeHResult(0x80040E6Du);

// ---- column flags ---------------------------------------------------------------------------
enum DBCOLUMNFLAGSENUM : DBCOLUMNFLAGS {
    DBCOLUMNFLAGS_ISBOOKMARK = 0x1,
    DBCOLUMNFLAGS_MAYDEFER = 0x2,
    DBCOLUMNFLAGS_WRITE = 0x4,
    DBCOLUMNFLAGS_WRITEUNKNOWN = 0x8,
    DBCOLUMNFLAGS_ISFIXEDLENGTH = 0x10,
    DBCOLUMNFLAGS_ISNULLABLE = 0x20,
    DBCOLUMNFLAGS_MAYBENULL = 0x40,
    DBCOLUMNFLAGS_ISLONG = 0x80,
    DBCOLUMNFLAGS_ISROWID = 0x100,
    DBCOLUMNFLAGS_ISROWVER = 0x200,
    DBCOLUMNFLAGS_CACHEDEFERRED = 0x1000,
};

// ---- binding ---------------------------------------------------------------------------------
enum DBPARTENUM : DBPART {
    DBPART_INVALID = 0,
    DBPART_VALUE = 0x1,
    DBPART_LENGTH = 0x2,
    DBPART_STATUS = 0x4,
};
enum DBMEMOWNERENUM : DBMEMOWNER { DBMEMOWNER_CLIENTOWNED = 0, DBMEMOWNER_PROVIDEROWNED = 1 };
enum DBPARAMIOENUM : DBPARAMIO {
    DBPARAMIO_NOTPARAM = 0,
    DBPARAMIO_INPUT = 1,
    DBPARAMIO_OUTPUT = 2,
};
enum DBACCESSORFLAGSENUM : DBACCESSORFLAGS {
    DBACCESSOR_INVALID = 0,
    DBACCESSOR_PASSBYREF = 0x1,
    DBACCESSOR_ROWDATA = 0x2,
    DBACCESSOR_PARAMETERDATA = 0x4,
    DBACCESSOR_OPTIMIZED = 0x8,
};
enum DBBINDSTATUSENUM : DBBINDSTATUS {
    DBBINDSTATUS_OK = 0,
    DBBINDSTATUS_BADORDINAL = 1,
    DBBINDSTATUS_UNSUPPORTEDCONVERSION = 2,
    DBBINDSTATUS_BADBINDINFO = 3,
    DBBINDSTATUS_BADSTORAGEFLAGS = 4,
    DBBINDSTATUS_NOINTERFACE = 5,
};

struct ITypeInfo;
struct DBBINDEXT {
    BYTE* pExtension;
    DBCOUNTITEM ulExtension;
};
struct DBOBJECT {
    DWORD dwFlags;
    IID iid;
};
struct DBBINDING {
    DBORDINAL iOrdinal;
    DBBYTEOFFSET obValue;
    DBBYTEOFFSET obLength;
    DBBYTEOFFSET obStatus;
    ITypeInfo* pTypeInfo;
    DBOBJECT* pObject;
    DBBINDEXT* pBindExt;
    DBPART dwPart;
    DBMEMOWNER dwMemOwner;
    DBPARAMIO eParamIO;
    DBLENGTH cbMaxLen;
    DWORD dwFlags;
    DBTYPE wType;
    BYTE bPrecision;
    BYTE bScale;
};

// ---- column ids -------------------------------------------------------------------------------
enum DBKINDENUM : DBKIND {
    DBKIND_GUID_NAME = 0,
    DBKIND_GUID_PROPID = 1,
    DBKIND_NAME = 2,
    DBKIND_PGUID_NAME = 3,
    DBKIND_PGUID_PROPID = 4,
    DBKIND_PROPID = 5,
    DBKIND_GUID = 6,
};
struct DBID {
    union {
        GUID guid;
        GUID* pguid;
    } uGuid;
    DBKIND eKind;
    union {
        LPOLESTR pwszName;
        ULONG ulPropid;
    } uName;
};
// The null column id: kind DBKIND_GUID_PROPID, all-zero GUID and property id.
extern const DBID DB_NULLID;

struct DBCOLUMNINFO {
    LPOLESTR pwszName;
    ITypeInfo* pTypeInfo;
    DBORDINAL iOrdinal;
    DBCOLUMNFLAGS dwFlags;
    DBLENGTH ulColumnSize;
    DBTYPE wType;
    BYTE bPrecision;
    BYTE bScale;
    DBID columnid;
};

// ---- properties ------------------------------------------------------------------------------
enum DBPROPOPTIONSENUM : DBPROPOPTIONS {
    DBPROPOPTIONS_REQUIRED = 0,
    DBPROPOPTIONS_SETIFCHEAP = 1,
    DBPROPOPTIONS_OPTIONAL = 1,
};
enum DBPROPSTATUSENUM : DBPROPSTATUS {
    DBPROPSTATUS_OK = 0,
    DBPROPSTATUS_NOTSUPPORTED = 1,
    DBPROPSTATUS_BADVALUE = 2,
    DBPROPSTATUS_BADOPTION = 3,
    DBPROPSTATUS_BADCOLUMN = 4,
    DBPROPSTATUS_NOTALLSETTABLE = 5,
    DBPROPSTATUS_NOTSETTABLE = 6,
    DBPROPSTATUS_NOTSET = 7,
    DBPROPSTATUS_CONFLICTING = 8,
    DBPROPSTATUS_NOTAVAILABLE = 9,
};

struct DBPROP {
    DBPROPID dwPropertyID;
    DBPROPOPTIONS dwOptions;
    DBPROPSTATUS dwStatus;
    DBID colid;
    VARIANT vValue;
};
struct DBPROPSET {
    DBPROP* rgProperties;
    ULONG cProperties;
    GUID guidPropertySet;
};
struct DBPROPIDSET {
    DBPROPID* rgPropertyIDs;
    ULONG cPropertyIDs;
    GUID guidPropertySet;
};

// Property ids used here (values of the OLE DB headers).
constexpr DBPROPID DBPROP_CANFETCHBACKWARDS = 0x12;
constexpr DBPROPID DBPROP_CANSCROLLBACKWARDS = 0x15;
constexpr DBPROPID DBPROP_CURRENTCATALOG = 0x25;
constexpr DBPROPID DBPROP_DATASOURCENAME = 0x26;
constexpr DBPROPID DBPROP_DATASOURCEREADONLY = 0x27;
constexpr DBPROPID DBPROP_DBMSNAME = 0x28;
constexpr DBPROPID DBPROP_DBMSVER = 0x29;
constexpr DBPROPID DBPROP_INIT_DATASOURCE = 0x3B;
constexpr DBPROPID DBPROP_INIT_LOCATION = 0x3C;
constexpr DBPROPID DBPROP_INIT_CATALOG = 0xE9;
constexpr DBPROPID DBPROP_INIT_MODE = 0x3D;
constexpr DBPROPID DBPROP_INIT_PROMPT = 0x40;
constexpr DBPROPID DBPROP_INIT_HWND = 0x3F;
constexpr DBPROPID DBPROP_INIT_PROVIDERSTRING = 0xA0;
constexpr DBPROPID DBPROP_AUTH_PASSWORD = 0x09;
constexpr DBPROPID DBPROP_AUTH_USERID = 0x0C;
constexpr DBPROPID DBPROP_ISequentialStream = 0x89;
constexpr DBPROPID DBPROP_IStream = 0x8B;
constexpr DBPROPID DBPROP_IRowsetChange = 0x7B;
constexpr DBPROPID DBPROP_BOOKMARKS = 0x0E;
constexpr DBPROPID DBPROP_CONNECTIONSTATUS = 0xF4;
constexpr DBPROPID DBPROP_PROVIDERNAME = 0x60;
constexpr DBPROPID DBPROP_PROVIDERVER = 0x62;
constexpr DBPROPID DBPROP_COL_AUTOINCREMENT = 0x1A;
constexpr DBPROPID DBPROP_COL_DEFAULT = 0x1B;
constexpr DBPROPID DBPROP_COL_DESCRIPTION = 0x1C;
constexpr DBPROPID DBPROP_COL_FIXEDLENGTH = 0xA7;
constexpr DBPROPID DBPROP_COL_NULLABLE = 0x1D;
constexpr DBPROPID DBPROP_COL_PRIMARYKEY = 0x1E;
constexpr DBPROPID DBPROP_COL_UNIQUE = 0x1F;
constexpr DBPROPID DBPROP_COL_SEED = 0x11A;
constexpr DBPROPID DBPROP_COL_INCREMENT = 0x11B;

constexpr LONG DBPROPVAL_CS_UNINITIALIZED = 0;
constexpr LONG DBPROPVAL_CS_INITIALIZED = 1;
constexpr LONG DBPROPVAL_CS_COMMUNICATIONFAILURE = 2;

constexpr SHORT DBPROMPT_PROMPT = 1;
constexpr SHORT DBPROMPT_COMPLETE = 2;
constexpr SHORT DBPROMPT_COMPLETEREQUIRED = 3;
constexpr SHORT DBPROMPT_NOPROMPT = 4;

constexpr LONG DB_MODE_READ = 0x1;
constexpr LONG DB_MODE_WRITE = 0x2;
constexpr LONG DB_MODE_READWRITE = 0x3;
constexpr LONG DB_MODE_SHARE_DENY_READ = 0x4;
constexpr LONG DB_MODE_SHARE_DENY_WRITE = 0x8;
constexpr LONG DB_MODE_SHARE_EXCLUSIVE = 0xC;
constexpr LONG DB_MODE_SHARE_DENY_NONE = 0x10;

// ---- parameters, rows -------------------------------------------------------------------------
struct DBPARAMS {
    void* pData;
    DB_UPARAMS cParamSets;
    HACCESSOR hAccessor;
};

enum DBROWSTATUSENUM : DBROWSTATUS {
    DBROWSTATUS_S_OK = 0,
    DBROWSTATUS_E_INVALID = 0x4,
};

// ---- structured values ------------------------------------------------------------------------
struct DBDATE {
    SHORT year;
    USHORT month;
    USHORT day;
};
struct DBTIME {
    USHORT hour;
    USHORT minute;
    USHORT second;
};
struct DBTIMESTAMP {
    SHORT year;
    USHORT month;
    USHORT day;
    USHORT hour;
    USHORT minute;
    USHORT second;
    ULONG fraction;  // billionths of a second
};
constexpr int DB_NUMERIC_MAX_VAL = 16;
struct DB_NUMERIC {
    BYTE precision;
    BYTE scale;
    BYTE sign;                     // 1 positive, 0 negative
    BYTE val[DB_NUMERIC_MAX_VAL];  // little-endian mantissa
};
struct DB_VARNUMERIC {
    BYTE precision;
    SBYTE scale;
    BYTE sign;
    BYTE val[1];
};
static_assert(sizeof(DB_NUMERIC) == 19, "DB_NUMERIC is 19 bytes");

// ---- transactions -----------------------------------------------------------------------------
constexpr ISOLEVEL ISOLATIONLEVEL_UNSPECIFIED = -1;
constexpr ISOLEVEL ISOLATIONLEVEL_CHAOS = 0x10;
constexpr ISOLEVEL ISOLATIONLEVEL_READUNCOMMITTED = 0x100;
constexpr ISOLEVEL ISOLATIONLEVEL_READCOMMITTED = 0x1000;
constexpr ISOLEVEL ISOLATIONLEVEL_REPEATABLEREAD = 0x10000;
constexpr ISOLEVEL ISOLATIONLEVEL_SERIALIZABLE = 0x100000;
constexpr DWORD XACTTC_SYNC_PHASEONE = 1;
constexpr DWORD XACTTC_SYNC_PHASETWO = 2;
constexpr DWORD XACTTC_SYNC = 2;
constexpr DWORD XACTTC_ASYNC_PHASEONE = 4;
struct BOID {
    BYTE rgb[16];
};

// ---- data conversion -------------------------------------------------------------------------
constexpr DBDATACONVERT DBDATACONVERT_DEFAULT = 0;
constexpr DBDATACONVERT DBDATACONVERT_SETDATABEHAVIOR = 0x1;
constexpr DBDATACONVERT DBDATACONVERT_LENGTHFROMNTS = 0x2;

// ---- table definitions --------------------------------------------------------------------------
struct DBCOLUMNDESC {
    LPOLESTR pwszTypeName;
    ITypeInfo* pTypeInfo;
    DBPROPSET* rgPropertySets;
    CLSID* pclsid;
    ULONG cPropertySets;
    DBLENGTH ulColumnSize;
    DBID dbcid;
    DBTYPE wType;
    BYTE bPrecision;
    BYTE bScale;
};
struct DBCONSTRAINTDESC {
    DBID* pConstraintID;
    DWORD ConstraintType;
    DBORDINAL cColumns;
    DBID* rgColumnList;
    DBID* pReferencedTableID;
    DBORDINAL cForeignKeyColumns;
    DBID* rgForeignKeyColumnList;
    OLECHAR* pwszConstraintText;
    DWORD UpdateRule;
    DWORD DeleteRule;
    DWORD MatchType;
    DWORD Deferrability;
    DBCOUNTITEM cReserved;
    DBPROPSET* rgReserved;
};

// ---- error records ------------------------------------------------------------------------------
struct ERRORINFO {
    HRESULT hrError;
    DWORD dwMinor;
    CLSID clsid;
    IID iid;
    LONG dispid;
};
struct DISPPARAMS {
    VARIANTARG* rgvarg;
    LONG* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

// =================================================================================================
// Interfaces. Each is an abstract class with the operations of its OLE DB namesake.
// =================================================================================================

struct IErrorInfo : IUnknown {
    virtual HRESULT GetGUID(GUID* pGUID) = 0;
    virtual HRESULT GetSource(BSTR* pBstrSource) = 0;
    virtual HRESULT GetDescription(BSTR* pBstrDescription) = 0;
    virtual HRESULT GetHelpFile(BSTR* pBstrHelpFile) = 0;
    virtual HRESULT GetHelpContext(DWORD* pdwHelpContext) = 0;

  protected:
    ~IErrorInfo() = default;
};
VORN_DECLARE_INTERFACE_ID(IErrorInfo, IID_IErrorInfo)

struct IErrorRecords : IUnknown {
    virtual HRESULT AddErrorRecord(ERRORINFO* pErrorInfo, DWORD dwLookupID, DISPPARAMS* pdispparams,
                                   IUnknown* punkCustomError, DWORD dwDynamicErrorID) = 0;
    virtual HRESULT GetBasicErrorInfo(ULONG ulRecordNum, ERRORINFO* pErrorInfo) = 0;
    virtual HRESULT GetCustomErrorObject(ULONG ulRecordNum, REFIID riid, IUnknown** ppObject) = 0;
    virtual HRESULT GetErrorInfo(ULONG ulRecordNum, LCID lcid, IErrorInfo** ppErrorInfo) = 0;
    virtual HRESULT GetErrorParameters(ULONG ulRecordNum, DISPPARAMS* pdispparams) = 0;
    virtual HRESULT GetRecordCount(ULONG* pcRecords) = 0;

  protected:
    ~IErrorRecords() = default;
};
VORN_DECLARE_INTERFACE_ID(IErrorRecords, IID_IErrorRecords)

struct ISQLErrorInfo : IUnknown {
    virtual HRESULT GetSQLInfo(BSTR* pbstrSQLState, LONG* plNativeError) = 0;

  protected:
    ~ISQLErrorInfo() = default;
};
VORN_DECLARE_INTERFACE_ID(ISQLErrorInfo, IID_ISQLErrorInfo)

struct IDataInitialize : IUnknown {
    virtual HRESULT GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx,
                                  LPCOLESTR pwszInitializationString, REFIID riid,
                                  IUnknown** ppDataSource) = 0;
    virtual HRESULT GetInitializationString(IUnknown* pDataSource, bool fIncludePassword,
                                            LPOLESTR* ppwszInitString) = 0;

  protected:
    ~IDataInitialize() = default;
};
VORN_DECLARE_INTERFACE_ID(IDataInitialize, IID_IDataInitialize)

struct IDBInitialize : IUnknown {
    virtual HRESULT Initialize() = 0;
    virtual HRESULT Uninitialize() = 0;

  protected:
    ~IDBInitialize() = default;
};
VORN_DECLARE_INTERFACE_ID(IDBInitialize, IID_IDBInitialize)

struct IDBProperties : IUnknown {
    // Gives one DBPROPSET per requested set, allocated with CoTaskMemAlloc (the caller frees
    // the property arrays, the set array and clears each value).
    virtual HRESULT GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                                  ULONG* pcPropertySets, DBPROPSET** prgPropertySets) = 0;
    virtual HRESULT SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) = 0;

  protected:
    ~IDBProperties() = default;
};
VORN_DECLARE_INTERFACE_ID(IDBProperties, IID_IDBProperties)

struct IDBCreateSession : IUnknown {
    virtual HRESULT CreateSession(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) = 0;

  protected:
    ~IDBCreateSession() = default;
};
VORN_DECLARE_INTERFACE_ID(IDBCreateSession, IID_IDBCreateSession)

struct IDBDataSourceAdmin : IUnknown {
    virtual HRESULT CreateDataSource(ULONG cPropertySets, DBPROPSET rgPropertySets[],
                                     IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) = 0;
    virtual HRESULT DestroyDataSource() = 0;

  protected:
    ~IDBDataSourceAdmin() = default;
};
VORN_DECLARE_INTERFACE_ID(IDBDataSourceAdmin, IID_IDBDataSourceAdmin)

struct ITransactionOptions;
struct ITransaction : IUnknown {
    virtual HRESULT Commit(BOOL fRetaining, DWORD grfTC, DWORD grfRM) = 0;
    virtual HRESULT Abort(BOID* pboidReason, BOOL fRetaining, BOOL fAsync) = 0;

  protected:
    ~ITransaction() = default;
};
VORN_DECLARE_INTERFACE_ID(ITransaction, IID_ITransaction)

struct ITransactionLocal : ITransaction {
    virtual HRESULT StartTransaction(ISOLEVEL isoLevel, ULONG isoFlags,
                                     ITransactionOptions* pOtherOptions,
                                     ULONG* pulTransactionLevel) = 0;

  protected:
    ~ITransactionLocal() = default;
};
VORN_DECLARE_INTERFACE_ID(ITransactionLocal, IID_ITransactionLocal)

struct IOpenRowset : IUnknown {
    virtual HRESULT OpenRowset(IUnknown* pUnkOuter, DBID* pTableID, DBID* pIndexID, REFIID riid,
                               ULONG cPropertySets, DBPROPSET rgPropertySets[],
                               IUnknown** ppRowset) = 0;

  protected:
    ~IOpenRowset() = default;
};
VORN_DECLARE_INTERFACE_ID(IOpenRowset, IID_IOpenRowset)

struct IDBCreateCommand : IUnknown {
    virtual HRESULT CreateCommand(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) = 0;

  protected:
    ~IDBCreateCommand() = default;
};
VORN_DECLARE_INTERFACE_ID(IDBCreateCommand, IID_IDBCreateCommand)

struct ICommand : IUnknown {
    virtual HRESULT Cancel() = 0;
    virtual HRESULT Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                            DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) = 0;
    virtual HRESULT GetDBSession(REFIID riid, IUnknown** ppSession) = 0;

  protected:
    ~ICommand() = default;
};
VORN_DECLARE_INTERFACE_ID(ICommand, IID_ICommand)

struct ICommandText : ICommand {
    virtual HRESULT GetCommandText(GUID* pguidDialect, LPOLESTR* ppwszCommand) = 0;
    virtual HRESULT SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) = 0;

  protected:
    ~ICommandText() = default;
};
VORN_DECLARE_INTERFACE_ID(ICommandText, IID_ICommandText)

struct ICommandProperties : IUnknown {
    virtual HRESULT GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                                  ULONG* pcPropertySets, DBPROPSET** prgPropertySets) = 0;
    virtual HRESULT SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) = 0;

  protected:
    ~ICommandProperties() = default;
};
VORN_DECLARE_INTERFACE_ID(ICommandProperties, IID_ICommandProperties)

struct IRowset : IUnknown {
    virtual HRESULT AddRefRows(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT rgRefCounts[],
                               DBROWSTATUS rgRowStatus[]) = 0;
    virtual HRESULT GetData(HROW hRow, HACCESSOR hAccessor, void* pData) = 0;
    // *prghRows: when null on entry the provider allocates the array with CoTaskMemAlloc.
    virtual HRESULT GetNextRows(HCHAPTER hReserved, DBROWOFFSET lRowsOffset, DBROWCOUNT cRows,
                                DBCOUNTITEM* pcRowsObtained, HROW** prghRows) = 0;
    virtual HRESULT ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[],
                                DBROWOPTIONS rgRowOptions[], DBREFCOUNT rgRefCounts[],
                                DBROWSTATUS rgRowStatus[]) = 0;
    virtual HRESULT RestartPosition(HCHAPTER hReserved) = 0;

  protected:
    ~IRowset() = default;
};
VORN_DECLARE_INTERFACE_ID(IRowset, IID_IRowset)

struct IRowsetInfo : IUnknown {
    virtual HRESULT GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                                  ULONG* pcPropertySets, DBPROPSET** prgPropertySets) = 0;
    virtual HRESULT GetReferencedRowset(DBORDINAL iOrdinal, REFIID riid,
                                        IUnknown** ppReferencedRowset) = 0;

  protected:
    ~IRowsetInfo() = default;
};
VORN_DECLARE_INTERFACE_ID(IRowsetInfo, IID_IRowsetInfo)

struct IRowsetChange : IUnknown {
    virtual HRESULT DeleteRows(HCHAPTER hReserved, DBCOUNTITEM cRows, const HROW rghRows[],
                               DBROWSTATUS rgRowStatus[]) = 0;
    virtual HRESULT SetData(HROW hRow, HACCESSOR hAccessor, void* pData) = 0;
    virtual HRESULT InsertRow(HCHAPTER hReserved, HACCESSOR hAccessor, void* pData,
                              HROW* phRow) = 0;

  protected:
    ~IRowsetChange() = default;
};
VORN_DECLARE_INTERFACE_ID(IRowsetChange, IID_IRowsetChange)

struct IAccessor : IUnknown {
    virtual HRESULT AddRefAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) = 0;
    virtual HRESULT CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings,
                                   const DBBINDING rgBindings[], DBLENGTH cbRowSize,
                                   HACCESSOR* phAccessor, DBBINDSTATUS rgStatus[]) = 0;
    virtual HRESULT GetBindings(HACCESSOR hAccessor, DBACCESSORFLAGS* pdwAccessorFlags,
                                DBCOUNTITEM* pcBindings, DBBINDING** prgBindings) = 0;
    virtual HRESULT ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) = 0;

  protected:
    ~IAccessor() = default;
};
VORN_DECLARE_INTERFACE_ID(IAccessor, IID_IAccessor)

struct IColumnsInfo : IUnknown {
    // *prgInfo and *ppStringsBuffer are CoTaskMemAlloc'd; the caller frees both.
    virtual HRESULT GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                                  OLECHAR** ppStringsBuffer) = 0;
    virtual HRESULT MapColumnIDs(DBORDINAL cColumnIDs, const DBID rgColumnIDs[],
                                 DBORDINAL rgColumns[]) = 0;

  protected:
    ~IColumnsInfo() = default;
};
VORN_DECLARE_INTERFACE_ID(IColumnsInfo, IID_IColumnsInfo)

struct ISequentialStream : IUnknown {
    virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;

  protected:
    ~ISequentialStream() = default;
};
VORN_DECLARE_INTERFACE_ID(ISequentialStream, IID_ISequentialStream)

constexpr DWORD STREAM_SEEK_SET = 0;
constexpr DWORD STREAM_SEEK_CUR = 1;
constexpr DWORD STREAM_SEEK_END = 2;
struct IStream : ISequentialStream {
    virtual HRESULT Seek(LONGLONG dlibMove, DWORD dwOrigin, ULONGLONG* plibNewPosition) = 0;
    virtual HRESULT SetSize(ULONGLONG libNewSize) = 0;

  protected:
    ~IStream() = default;
};
VORN_DECLARE_INTERFACE_ID(IStream, IID_IStream)

struct IChapteredRowset : IUnknown {
    virtual HRESULT AddRefChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) = 0;
    virtual HRESULT ReleaseChapter(HCHAPTER hChapter, DBREFCOUNT* pcRefCount) = 0;

  protected:
    ~IChapteredRowset() = default;
};
VORN_DECLARE_INTERFACE_ID(IChapteredRowset, IID_IChapteredRowset)

struct IDBSchemaRowset : IUnknown {
    virtual HRESULT GetRowset(IUnknown* pUnkOuter, REFGUID rguidSchema, ULONG cRestrictions,
                              const VARIANT rgRestrictions[], REFIID riid, ULONG cPropertySets,
                              DBPROPSET rgPropertySets[], IUnknown** ppRowset) = 0;
    virtual HRESULT GetSchemas(ULONG* pcSchemas, GUID** prgSchemas,
                               ULONG** prgRestrictionSupport) = 0;

  protected:
    ~IDBSchemaRowset() = default;
};
VORN_DECLARE_INTERFACE_ID(IDBSchemaRowset, IID_IDBSchemaRowset)

struct ITableCreation : IUnknown {
    // Everything returned is CoTaskMemAlloc'd; names point into *ppwszStringBuffer.
    virtual HRESULT GetTableDefinition(DBID* pTableID, DBORDINAL* pcColumnDescs,
                                       DBCOLUMNDESC* prgColumnDescs[], ULONG* pcPropertySets,
                                       DBPROPSET* prgPropertySets[], ULONG* pcConstraintDescs,
                                       DBCONSTRAINTDESC* prgConstraintDescs[],
                                       OLECHAR** ppwszStringBuffer) = 0;

  protected:
    ~ITableCreation() = default;
};
VORN_DECLARE_INTERFACE_ID(ITableCreation, IID_ITableCreation)

struct IDataConvert : IUnknown {
    virtual HRESULT DataConvert(DBTYPE wSrcType, DBTYPE wDstType, DBLENGTH cbSrcLength,
                                DBLENGTH* pcbDstLength, void* pSrc, void* pDst,
                                DBLENGTH cbDstMaxLength, DBSTATUS dbsSrcStatus,
                                DBSTATUS* pdbsStatus, BYTE bPrecision, BYTE bScale,
                                DBDATACONVERT dwFlags) = 0;
    virtual HRESULT CanConvert(DBTYPE wFromType, DBTYPE wToType) = 0;

  protected:
    ~IDataConvert() = default;
};
VORN_DECLARE_INTERFACE_ID(IDataConvert, IID_IDataConvert)

// DAO engine: the one operation used, compaction of a closed database file.
struct _DBEngine : IUnknown {
    virtual HRESULT CompactDatabase(BSTR SrcName, BSTR DstName, VARIANT DstLocale, VARIANT Options,
                                    VARIANT SrcLocale) = 0;

  protected:
    ~_DBEngine() = default;
};
VORN_DECLARE_INTERFACE_ID(_DBEngine, IID__DBEngine)

// ---- class ids, property sets, dialects, schema rowsets ------------------------------------
extern const CLSID CLSID_MSDAINITIALIZE;
extern const CLSID CLSID_OLEDB_CONVERSIONLIBRARY;
extern const CLSID CLSID_DBEngine;
// Class of the embedded provider (the Microsoft.ACE.OLEDB.12.0 provider's class id).
extern const CLSID CLSID_ACE_OLEDB_12;
extern const CLSID CLSID_JET_OLEDB_4;

extern const GUID DBGUID_DEFAULT;
extern const GUID DBGUID_SQL;
extern const GUID DBPROPSET_COLUMN;
extern const GUID DBPROPSET_DATASOURCE;
extern const GUID DBPROPSET_DATASOURCEINFO;
extern const GUID DBPROPSET_DBINIT;
extern const GUID DBPROPSET_ROWSET;
extern const GUID DBPROPSET_SESSION;
extern const GUID DBSCHEMA_TABLES;
extern const GUID DBSCHEMA_COLUMNS;
extern const GUID DBSCHEMA_INDEXES;
extern const GUID DBSCHEMA_PROCEDURES;

}  // namespace vornoledb
