// The file a data source names, held open and told by kind.
#include "data_source_file.h"

#include <cerrno>

#include "provider_errors.h"
#include "sqlite_database.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider {

HRESULT PostHoldError(HoldStatus status, int error, const std::wstring& path, REFIID iid,
                      const std::wstring& what) {
    switch (status) {
        case HoldStatus::Ok:
        case HoldStatus::Replaced:  // retried inside the registry, never reported
            break;
        case HoldStatus::NotFound:
            return PostProviderError(STG_E_FILENOTFOUND, iid,
                                     L"could not find file " + Quoted(path));
        case HoldStatus::IsDirectory:
            return PostProviderError(E_FAIL, iid,
                                     Quoted(path) + L" is a folder, not a database file");
        case HoldStatus::NotRegularFile:
            return PostProviderError(E_FAIL, iid,
                                     Quoted(path) +
                                         L" is not a regular file (a device, pipe or socket), "
                                         L"not a database file");
        case HoldStatus::Exists:
            return PostProviderError(STG_E_FILEALREADYEXISTS, iid,
                                     L"a file named " + Quoted(path) + L" exists already");
        case HoldStatus::InUseHere:
            return PostProviderError(STG_E_SHAREVIOLATION, iid,
                                     L"cannot " + what + L" the database " + Quoted(path) +
                                         L": it is in use by another connection of this process "
                                         L"(or by a command or rowset "
                                         L"still holding one)");
        case HoldStatus::InUseElsewhere:
            return PostProviderError(STG_E_SHAREVIOLATION, iid,
                                     L"cannot " + what + L" the database " + Quoted(path) +
                                         L": it is in use by another process");
        case HoldStatus::SystemError:
            return PostProviderError(
                error == EACCES || error == EPERM ? STG_E_ACCESSDENIED : E_FAIL, iid,
                L"could not " + what + L" " + Quoted(path) + L": " + ErrnoText(error));
    }
    return PostProviderError(E_FAIL, iid, L"could not " + what + L" " + Quoted(path));
}

HRESULT CheckPathText(const std::wstring& path, REFIID iid) {
    const size_t nul = path.find(L'\0');
    if (nul == std::wstring::npos)
        return S_OK;
    return PostProviderError(E_INVALIDARG, iid,
                             L"the file name " + Quoted(path.substr(0, nul)) +
                                 L"... holds a NUL character at position " +
                                 std::to_wstring(nul + 1));
}

HRESULT HoldDataSourceFile(const std::wstring& path, bool exclusive, REFIID iid,
                           std::unique_ptr<FileHold>* hold, FileKind* kind) {
    hold->reset();
    const HRESULT checked = CheckPathText(path, iid);
    if (FAILED(checked))
        return checked;
    const std::string utf8 = WideToUtf8(path);
    HoldResult held =
        exclusive ? HoldFileExclusive(utf8) : HoldFileShared(utf8, BusyTimeoutMilliseconds());
    if (held.status != HoldStatus::Ok)
        return PostHoldError(held.status, held.error, path, iid,
                             exclusive ? L"open exclusively" : L"open");
    if (!ProbeFileKind(held.hold->Fd(), kind)) {
        const int error = errno;
        return PostProviderError(E_FAIL, iid,
                                 L"could not read " + Quoted(path) + L": " + ErrnoText(error));
    }
    *hold = std::move(held.hold);
    return S_OK;
}

}  // namespace vorn::provider
