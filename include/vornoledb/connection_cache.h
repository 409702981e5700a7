// The process-wide pool of idle connections, keyed by connection string.
#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "vornoledb/connection.h"

class VornOleDb;

class VORNOLEDB_API VornOleDbConnectionCache : public VornOleDbErrorInfo {
  public:
    // The one cache; null before the module starts and after it ends.
    static VornOleDbConnectionCache* GetCacheManager();

    // The longest-idle connection for init, or a newly opened one (not entered in the pool);
    // null when the open failed (the cache's error text then says why).
    VornOleDbConnection* Connect(const std::wstring& init, bool prompt);
    // The longest-idle connection for init, or null; never opens one.
    VornOleDbConnection* ConnectFromCache(const std::wstring& init);
    // Fills the pool for init up to the cache size.
    bool CreateCache(const std::wstring& init);
    // Takes a connection back. When its string already has the cache size idle connections,
    // the connection is closed, destroyed and the caller's pointer set to null.
    void Cache(VornOleDbConnection*& connection);
    void ClearCache(const std::wstring& init);
    void ClearCache();
    unsigned int GetCacheSize() const;
    void SetCacheSize(unsigned int size);

    ~VornOleDbConnectionCache();
    // One process-wide object with one lock: copying is not offered.
    VornOleDbConnectionCache(const VornOleDbConnectionCache&) = delete;
    VornOleDbConnectionCache& operator=(const VornOleDbConnectionCache&) = delete;

  protected:
    static bool InitConnectionCache();
    static void CloseConnectionCache();
    friend class VornOleDb;
    // Recordsets take the reason of a failed connect from inside the locked call.
    friend class VornOleDbRecordset;

  private:
    VornOleDbConnectionCache();

    // Keys ordered by the locale comparison without flags, which keeps letter case apart.
    struct KeyLess {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    using Pool = std::map<std::wstring, std::deque<VornOleDbConnection*>, KeyLess>;

    // Connect; when the open fails and failure is given, the reason is also copied into
    // failure while the lock is still held, so no other thread's failure can replace it.
    VornOleDbConnection* Connect(const std::wstring& init, bool prompt,
                                 VornOleDbErrorInfo* failure);
    VornOleDbConnection* TakeIdle(const std::wstring& init);
    VornOleDbConnection* OpenNew(const std::wstring& init, bool prompt);
    static void Destroy(VornOleDbConnection* connection);

    std::recursive_mutex* m_lock = nullptr;
    std::atomic<uint32_t> m_cacheSize{4};
    Pool m_map;

    static std::atomic<VornOleDbConnectionCache*> m_theCache;
    static std::atomic<int32_t> m_refcount;
};
