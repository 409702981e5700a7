// Stream objects over long values.
#include "rowset/long_value_stream.h"

#include <cstdint>
#include <cstring>

namespace vorn::provider {
namespace {

class LongValueStream final : public ComObject<IStream> {
  public:
    explicit LongValueStream(std::string bytes) : bytes_(std::move(bytes)) {}

    HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (pcbRead)
            *pcbRead = 0;
        if (!pv && cb)
            return E_POINTER;
        const size_t left = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
        const size_t n = cb < left ? cb : left;
        if (n)
            std::memcpy(pv, bytes_.data() + position_, n);
        position_ += n;
        if (pcbRead)
            *pcbRead = static_cast<ULONG>(n);
        return S_OK;
    }
    HRESULT Write(const void*, ULONG, ULONG* pcbWritten) override {
        if (pcbWritten)
            *pcbWritten = 0;
        return STG_E_ACCESSDENIED;
    }
    HRESULT Seek(LONGLONG move, DWORD origin, ULONGLONG* newPosition) override {
        long long base;
        switch (origin) {
            case STREAM_SEEK_SET:
                base = 0;
                break;
            case STREAM_SEEK_CUR:
                base = static_cast<long long>(position_);
                break;
            case STREAM_SEEK_END:
                base = static_cast<long long>(bytes_.size());
                break;
            default:
                return E_INVALIDARG;
        }
        // Positions before the start, or beyond what 64 bits can count, are refused.
        if (move < -base || (move > 0 && base > INT64_MAX - move))
            return E_INVALIDARG;
        position_ = static_cast<size_t>(base + move);
        if (newPosition)
            *newPosition = position_;
        return S_OK;
    }
    HRESULT SetSize(ULONGLONG) override { return STG_E_ACCESSDENIED; }

  protected:
    void* QueryExtra(REFIID riid) override {
        if (riid == IID_ISequentialStream)
            return static_cast<ISequentialStream*>(this);
        return nullptr;
    }

  private:
    std::string bytes_;
    size_t position_ = 0;
};

}  // namespace

ComPtr<IStream> MakeLongValueStream(std::string bytes) {
    return ComPtr<IStream>(new LongValueStream(std::move(bytes)));
}

}  // namespace vorn::provider
