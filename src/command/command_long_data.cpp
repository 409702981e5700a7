// Long values of the current row as raw bytes, into the caller's buffer or into a heap
// block that becomes the caller's, and the choice of how long columns are bound.
#include <cwchar>

#include "vornoledb/command.h"

namespace {

constexpr ULONG kChunkSize = 10000;

bool IsTextOrBinary(DBTYPE type) {
    return type == DBTYPE_BYTES || type == DBTYPE_STR || type == DBTYPE_WSTR;
}

// The pointer a value slot holds; null when the slot cannot hold one.
template <class T>
T* SlotPointer(const BYTE* value, DBLENGTH size) {
    T* p = nullptr;
    if (value && size >= sizeof p)
        std::memcpy(&p, value, sizeof p);
    return p;
}

}  // namespace

bool VornOleDbCommand::OpenLongStream(DBORDINAL index, const BYTE* value, DBLENGTH size,
                                      ComPtr<ISequentialStream>* stream) {
    // The type the provider describes the column with, before binding made it a stream.
    ComPtr<IColumnsInfo> columnsInfo;
    if (!m_cursor.rowset || FAILED(m_cursor.rowset.As(&columnsInfo)))
        return false;
    DBORDINAL count = 0;
    DBCOLUMNINFO* info = nullptr;
    OLECHAR* names = nullptr;
    const HRESULT hr = columnsInfo->GetColumnInfo(&count, &info, &names);
    DBTYPE described = DBTYPE_EMPTY;
    const bool described_ok = SUCCEEDED(hr) && info && index < count;
    if (described_ok)
        described = info[index].wType;
    CoTaskMemFree(info);
    CoTaskMemFree(names);
    if (!described_ok)
        return false;

    IUnknown* object = SlotPointer<IUnknown>(value, size);
    if (!object)
        return false;
    if (FAILED(object->QueryInterface(IID_ISequentialStream, stream->ReleaseAndGetVoidAddress())) ||
        !*stream) {
        ComPtr<IStream> full;
        if (FAILED(object->QueryInterface(IID_IStream, full.ReleaseAndGetVoidAddress())) || !full)
            return false;
        *stream = ComPtr<ISequentialStream>(full.Get());
    }
    if (!IsTextOrBinary(described)) {
        stream->Reset();
        return false;
    }
    return true;
}

VornOleDbCommand::dbStatus VornOleDbCommand::GetBlobData(unsigned long column,
                                                         unsigned char* buffer,
                                                         unsigned long length) {
    DBORDINAL index;
    DBTYPE type;
    DBSTATUS status;
    if (!EnterField(column, &index, &type, &status))
        return dbError;
    if (status == DBSTATUS_S_ISNULL)
        return dbNull;
    if (status != DBSTATUS_S_OK && status != DBSTATUS_S_TRUNCATED)
        return dbError;
    if (buffer == nullptr)
        return dbError;
    DBLENGTH size = 0;
    const BYTE* value = ValueSlot(index, &size);

    if (type == DBTYPE_IUNKNOWN) {
        ComPtr<ISequentialStream> stream;
        if (!OpenLongStream(index, value, size, &stream))
            return dbError;
        const ULONG wanted = length > 0xFFFFFFFFul ? 0xFFFFFFFFu : static_cast<ULONG>(length);
        ULONG read = 0;
        return SUCCEEDED(stream->Read(buffer, wanted, &read)) ? dbOK : dbError;
    }
    if (type == DBTYPE_EMPTY) {
        // Wide text behind a pointer. The buffer length counts bytes, so at most as many
        // characters as fit whole are copied.
        const wchar_t* text = SlotPointer<const wchar_t>(value, size);
        if (!text)
            return dbError;
        const unsigned long capacity = length / sizeof(wchar_t);
        unsigned long copied = 0;
        while (copied < capacity && text[copied] != 0) {
            std::memcpy(buffer + copied * sizeof(wchar_t), &text[copied], sizeof(wchar_t));
            ++copied;
        }
        return text[copied] != 0 ? dbTruncated : dbOK;
    }
    if (type & DBTYPE_BYREF) {
        const BYTE* data = SlotPointer<const BYTE>(value, size);
        if (!data)
            return dbError;
        DBLENGTH valueLength = 0;
        ReadLength(index, &valueLength);
        const unsigned long n = valueLength < length ? valueLength : length;
        std::memcpy(buffer, data, n);
        return valueLength > length ? dbTruncated : dbOK;
    }
    return dbError;
}

unsigned long VornOleDbCommand::GetBlobData(unsigned long column,
                                            CHeapPtr<unsigned char, CCRTAllocator>& block) {
    DBORDINAL index;
    DBTYPE type;
    DBSTATUS status;
    if (!EnterField(column, &index, &type, &status))
        return 0;
    if (status != DBSTATUS_S_OK && status != DBSTATUS_S_TRUNCATED)
        return 0;
    DBLENGTH size = 0;
    const BYTE* value = ValueSlot(index, &size);

    // A new block replaces (and frees) whatever the caller's pointer held.
    auto storeCopy = [&block](const void* data, size_t bytes) -> unsigned long {
        if (bytes == 0)
            return 0;
        void* copy = std::malloc(bytes);
        if (!copy)
            return 0;
        std::memcpy(copy, data, bytes);
        block.Attach(static_cast<unsigned char*>(copy));
        return static_cast<unsigned long>(bytes);
    };

    if (type == DBTYPE_IUNKNOWN) {
        ComPtr<ISequentialStream> stream;
        if (!OpenLongStream(index, value, size, &stream))
            return 0;
        unsigned char chunk[kChunkSize];
        size_t total = 0;
        for (;;) {
            ULONG read = 0;
            const HRESULT hr = stream->Read(chunk, kChunkSize, &read);
            if (FAILED(hr) || read == 0)
                break;
            if (read > kChunkSize)
                read = kChunkSize;
            if (total == 0) {
                if (storeCopy(chunk, read) == 0)
                    return 0;
            } else {
                // A failed growth leaves the block read so far with the caller.
                if (!block.Reallocate(total + read))
                    return 0;
                std::memcpy(block.m_pData + total, chunk, read);
            }
            total += read;
        }
        return static_cast<unsigned long>(total);
    }
    if (type == DBTYPE_EMPTY) {
        const wchar_t* text = SlotPointer<const wchar_t>(value, size);
        if (!text)
            return 0;
        return storeCopy(text, std::wcslen(text) * sizeof(wchar_t));
    }
    if (type & DBTYPE_BYREF) {
        const BYTE* data = SlotPointer<const BYTE>(value, size);
        if (!data)
            return 0;
        DBLENGTH valueLength = 0;
        ReadLength(index, &valueLength);
        return storeCopy(data, valueLength);
    }
    return 0;
}

bool VornOleDbCommand::SetBlobHandling(DBBLOBHANDLINGENUM mode) {
    if (m_executed)
        return false;
    m_blobHandling = mode;
    return true;
}
