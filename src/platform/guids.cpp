// The standard interface, class, property-set and schema GUIDs.
#include "vornoledb/platform/oledb.h"

namespace vornoledb {

namespace {
// OLE DB interface ids share the tail 2a1c-11ce-ade5-00aa0044773d.
constexpr GUID OleDbInterface(uint32_t d1) {
    return {d1, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
}
// OLE DB property sets, dialects and schema rowsets share the tail 5cf3-11ce-ade5-00aa0044773d.
constexpr GUID OleDbConstant(uint32_t d1) {
    return {d1, 0x5cf3, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
}
// COM's own interfaces: xxxxxxxx-0000-0000-C000-000000000046.
constexpr GUID ComInterface(uint32_t d1) {
    return {d1, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}
}  // namespace

const IID IID_IUnknown = ComInterface(0x00000000);
const IID IID_IStream = ComInterface(0x0000000c);
const IID IID_IErrorInfo = {
    0x1cf2b120, 0x547d, 0x101b, {0x8e, 0x65, 0x08, 0x00, 0x2b, 0x2b, 0xd1, 0x19}};
const IID IID_IDataInitialize = {
    0x2206ccb1, 0x19c1, 0x11d1, {0x89, 0xe0, 0x00, 0xc0, 0x4f, 0xd7, 0xa8, 0x29}};
const IID IID_ITransaction = {
    0x0fb15084, 0xaf41, 0x11ce, {0xbd, 0x2b, 0x20, 0x4c, 0x4f, 0x4f, 0x50, 0x20}};
const IID IID_ISequentialStream = OleDbInterface(0x0c733a30);
const IID IID_IRowsetChange = OleDbInterface(0x0c733a05);
const IID IID_IColumnsInfo = OleDbInterface(0x0c733a11);
const IID IID_IDBCreateCommand = OleDbInterface(0x0c733a1d);
const IID IID_ICommandText = OleDbInterface(0x0c733a27);
const IID IID_IRowsetInfo = OleDbInterface(0x0c733a55);
const IID IID_IDBCreateSession = OleDbInterface(0x0c733a5d);
const IID IID_ITransactionLocal = OleDbInterface(0x0c733a5f);
const IID IID_ICommand = OleDbInterface(0x0c733a63);
const IID IID_IErrorRecords = OleDbInterface(0x0c733a67);
const IID IID_IOpenRowset = OleDbInterface(0x0c733a69);
const IID IID_ISQLErrorInfo = OleDbInterface(0x0c733a74);
const IID IID_ICommandProperties = OleDbInterface(0x0c733a79);
const IID IID_IDBDataSourceAdmin = OleDbInterface(0x0c733a7a);
const IID IID_IDBSchemaRowset = OleDbInterface(0x0c733a7b);
const IID IID_IRowset = OleDbInterface(0x0c733a7c);
const IID IID_IDBProperties = OleDbInterface(0x0c733a8a);
const IID IID_IDBInitialize = OleDbInterface(0x0c733a8b);
const IID IID_IAccessor = OleDbInterface(0x0c733a8c);
const IID IID_IDataConvert = OleDbInterface(0x0c733a8d);
const IID IID_IChapteredRowset = OleDbInterface(0x0c733a93);
const IID IID_ITableCreation = OleDbInterface(0x0c733abc);
const IID IID__DBEngine = {
    0x00000021, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x6d, 0x2e, 0xa4}};

const CLSID CLSID_MSDAINITIALIZE = {
    0x2206cdb0, 0x19c1, 0x11d1, {0x89, 0xe0, 0x00, 0xc0, 0x4f, 0xd7, 0xa8, 0x29}};
const CLSID CLSID_OLEDB_CONVERSIONLIBRARY = OleDbConstant(0xc8b522d1);
const CLSID CLSID_DBEngine = {
    0xcd7791b9, 0x43fd, 0x42c5, {0xae, 0x42, 0x8d, 0xd2, 0x81, 0x1f, 0x04, 0x19}};
const CLSID CLSID_ACE_OLEDB_12 = {
    0x3be786a0, 0x0366, 0x4f5c, {0x94, 0x34, 0x25, 0xcf, 0x16, 0x2e, 0x47, 0x5e}};
const CLSID CLSID_JET_OLEDB_4 = {
    0xdee35070, 0x506b, 0x11cf, {0xb1, 0xaa, 0x00, 0xaa, 0x00, 0xb8, 0xde, 0x95}};

const GUID DBGUID_DEFAULT = OleDbConstant(0xc8b521fb);
const GUID DBGUID_SQL = {
    0xc8b522d7, 0x5cf3, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
const GUID DBPROPSET_COLUMN = OleDbConstant(0xc8b522b9);
const GUID DBPROPSET_DATASOURCE = OleDbConstant(0xc8b522ba);
const GUID DBPROPSET_DATASOURCEINFO = OleDbConstant(0xc8b522bb);
const GUID DBPROPSET_DBINIT = OleDbConstant(0xc8b522bc);
const GUID DBPROPSET_ROWSET = OleDbConstant(0xc8b522be);
const GUID DBPROPSET_SESSION = OleDbConstant(0xc8b522c6);
const GUID DBSCHEMA_TABLES = OleDbConstant(0xc8b52229);
const GUID DBSCHEMA_COLUMNS = OleDbConstant(0xc8b52214);
const GUID DBSCHEMA_INDEXES = OleDbConstant(0xc8b5221e);
const GUID DBSCHEMA_PROCEDURES = OleDbConstant(0xc8b52224);

const DBID DB_NULLID = {{{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}}, DBKIND_GUID_PROPID, {nullptr}};

}  // namespace vornoledb
