// Accessors of rowsets.
#include "rowset/accessor_set.h"

#include <new>
#include <string>

#include "execution/result_codes.h"
#include "values/value_conversion.h"
#include "provider_errors.h"
#include "rowset/column_type.h"

namespace vorn::provider {
namespace {

HRESULT BadHandle(REFIID iid) {
    return PostProviderError(DB_E_BADACCESSORHANDLE, iid,
                             L"The accessor handle is not one of this rowset's accessors");
}

}  // namespace

HRESULT AccessorSet::Create(DBACCESSORFLAGS flags, DBCOUNTITEM cBindings,
                            const DBBINDING rgBindings[], DBLENGTH /*cbRowSize*/,
                            HACCESSOR* phAccessor, DBBINDSTATUS rgStatus[]) {
    if (!phAccessor)
        return PostProviderError(E_INVALIDARG, IID_IAccessor,
                                 L"Creating an accessor: no place for the accessor handle");
    *phAccessor = DB_NULL_HACCESSOR;
    if (cBindings && !rgBindings)
        return PostProviderError(E_INVALIDARG, IID_IAccessor,
                                 L"Creating an accessor: the bindings are missing");
    if (!(flags & DBACCESSOR_ROWDATA) || (flags & DBACCESSOR_PARAMETERDATA) ||
        (flags & ~(DBACCESSOR_ROWDATA | DBACCESSOR_OPTIMIZED | DBACCESSOR_PASSBYREF)) ||
        (flags & DBACCESSOR_PASSBYREF))
        return PostProviderError(
            DB_E_BADACCESSORFLAGS, IID_IAccessor,
            L"Creating an accessor: a rowset's accessors bind row data (DBACCESSOR_ROWDATA), "
            L"without DBACCESSOR_PASSBYREF or DBACCESSOR_PARAMETERDATA");

    Accessor accessor;
    accessor.flags = flags;
    accessor.refs = 1;
    accessor.count = cBindings;
    if (cBindings) {
        accessor.bindings.reset(new (std::nothrow) AccessorBinding[cBindings]);
        if (!accessor.bindings)
            return PostProviderError(E_OUTOFMEMORY, IID_IAccessor,
                                     L"Creating an accessor: out of memory for " +
                                         std::to_wstring(cBindings) + L" bindings");
    }
    const size_t columnCount = ColumnCount();
    std::wstring firstProblem;
    DBCOUNTITEM bad = 0;
    for (DBCOUNTITEM i = 0; i < cBindings; ++i) {
        AccessorBinding& kept = accessor.bindings[i];
        kept.binding = rgBindings[i];
        DBBINDING& b = kept.binding;
        DBBINDSTATUS status = DBBINDSTATUS_OK;
        std::wstring problem;
        // Named only when something is wrong: the text costs more than the checks.
        auto which = [i] { return L"binding " + std::to_wstring(i + 1); };
        if (b.iOrdinal == 0 || b.iOrdinal > columnCount) {
            status = DBBINDSTATUS_BADORDINAL;
            problem = which() + L" names column " + std::to_wstring(b.iOrdinal) +
                      L", but the rowset's columns are 1 to " + std::to_wstring(columnCount);
        } else if (b.dwPart == 0 || (b.dwPart & ~(DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS))) {
            status = DBBINDSTATUS_BADBINDINFO;
            problem = which() + L" binds no valid part (value, length, status)";
        } else if (b.dwMemOwner != DBMEMOWNER_CLIENTOWNED) {
            status = DBBINDSTATUS_BADBINDINFO;
            problem = which() + L" asks for provider-owned memory, which this rowset does not give";
        } else if (!IsSupportedConversion((*columns_)[b.iOrdinal - 1].type.type, b.wType)) {
            const ResultColumn& column = (*columns_)[b.iOrdinal - 1];
            status = DBBINDSTATUS_UNSUPPORTEDCONVERSION;
            problem = which() + L" asks for column '" + column.name + L"' (" +
                      DbTypeName(column.type.type) + L") as " +
                      ((b.wType & DBTYPE_BYREF) ? std::wstring(L"DBTYPE_BYREF | ") : L"") +
                      DbTypeName(b.wType) + L", which is not supported";
        } else if (b.wType == DBTYPE_IUNKNOWN && b.pObject &&
                   !IsSupportedStreamInterface(b.pObject->iid)) {
            status = DBBINDSTATUS_NOINTERFACE;
            problem = which() +
                      L" asks for a stream interface other than ISequentialStream, "
                      L"IStream or IUnknown";
        }
        // Keep a copy of the object description; the consumer's may not outlive the call.
        if (b.pObject) {
            kept.object = *b.pObject;
        } else {
            kept.object.dwFlags = 0;
            kept.object.iid = IID_ISequentialStream;
        }
        b.pObject = &kept.object;
        b.pTypeInfo = nullptr;
        b.pBindExt = nullptr;
        if (rgStatus)
            rgStatus[i] = status;
        if (status != DBBINDSTATUS_OK) {
            ++bad;
            if (firstProblem.empty())
                firstProblem = problem;
        }
    }
    if (bad)
        return PostProviderError(DB_E_ERRORSOCCURRED, IID_IAccessor,
                                 L"Creating an accessor: " + firstProblem);
    if (first_.refs == 0) {
        first_ = std::move(accessor);
        *phAccessor = 1;
        return S_OK;
    }
    for (size_t slot = 0; slot < more_.size(); ++slot)
        if (more_[slot].refs == 0) {
            more_[slot] = std::move(accessor);
            *phAccessor = slot + 2;
            return S_OK;
        }
    more_.push_back(std::move(accessor));
    *phAccessor = more_.size() + 1;
    return S_OK;
}

Accessor* AccessorSet::Slot(HACCESSOR h) {
    Accessor* a = nullptr;
    if (h == 1)
        a = &first_;
    else if (h >= 2 && h - 2 < more_.size())
        a = &more_[h - 2];
    return a && a->refs > 0 ? a : nullptr;
}

const Accessor* AccessorSet::Find(HACCESSOR h) const {
    return const_cast<AccessorSet*>(this)->Slot(h);
}

HRESULT AccessorSet::AddRef(HACCESSOR h, DBREFCOUNT* pcRefCount) {
    Accessor* a = Slot(h);
    if (!a)
        return BadHandle(IID_IAccessor);
    const ULONG refs = ++a->refs;
    if (pcRefCount)
        *pcRefCount = refs;
    return S_OK;
}

HRESULT AccessorSet::Release(HACCESSOR h, DBREFCOUNT* pcRefCount) {
    Accessor* a = Slot(h);
    if (!a)
        return BadHandle(IID_IAccessor);
    const ULONG refs = --a->refs;
    if (refs == 0)
        *a = Accessor();
    if (pcRefCount)
        *pcRefCount = refs;
    return S_OK;
}

HRESULT AccessorSet::GetBindings(HACCESSOR h, DBACCESSORFLAGS* pdwFlags, DBCOUNTITEM* pcBindings,
                                 DBBINDING** prgBindings) const {
    if (!pdwFlags || !pcBindings || !prgBindings)
        return PostProviderError(E_INVALIDARG, IID_IAccessor,
                                 L"Reading an accessor's bindings: no place for the result");
    *pcBindings = 0;
    *prgBindings = nullptr;
    const Accessor* a = Find(h);
    if (!a)
        return BadHandle(IID_IAccessor);
    *pdwFlags = a->flags;
    const size_t n = a->count;
    if (n == 0)
        return S_OK;
    auto* out = static_cast<DBBINDING*>(CoTaskMemAlloc(n * sizeof(DBBINDING)));
    if (!out)
        return PostProviderError(E_OUTOFMEMORY, IID_IAccessor, L"Out of memory");
    for (size_t i = 0; i < n; ++i) {
        out[i] = a->Binding(i);
        out[i].pObject = nullptr;
        if (a->Binding(i).wType == DBTYPE_IUNKNOWN) {
            out[i].pObject = static_cast<DBOBJECT*>(CoTaskMemAlloc(sizeof(DBOBJECT)));
            if (!out[i].pObject) {
                for (size_t k = 0; k < i; ++k)
                    CoTaskMemFree(out[k].pObject);
                CoTaskMemFree(out);
                return PostProviderError(E_OUTOFMEMORY, IID_IAccessor, L"Out of memory");
            }
            *out[i].pObject = a->bindings[i].object;
        }
    }
    *pcBindings = static_cast<DBCOUNTITEM>(n);
    *prgBindings = out;
    return S_OK;
}

}  // namespace vorn::provider
