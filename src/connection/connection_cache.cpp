// The process-wide pool of idle connections. Every operation that reads or changes the
// pool holds the cache's lock for its whole run, the opening and closing of connections
// inside it included.
#include "vornoledb/connection_cache.h"

#include <new>

#include "automation.h"

std::atomic<VornOleDbConnectionCache*> VornOleDbConnectionCache::m_theCache{nullptr};
std::atomic<int32_t> VornOleDbConnectionCache::m_refcount{0};

bool VornOleDbConnectionCache::KeyLess::operator()(const std::wstring& a,
                                                   const std::wstring& b) const {
    return VarBstrCmp(const_cast<BSTR>(a.c_str()), const_cast<BSTR>(b.c_str()), LOCALE_USER_DEFAULT,
                      0) == VARCMP_LT;
}

VornOleDbConnectionCache::VornOleDbConnectionCache() = default;

VornOleDbConnectionCache::~VornOleDbConnectionCache() {
    for (auto& entry : m_map)
        for (VornOleDbConnection* c : entry.second)
            Destroy(c);
    delete m_lock;
}

VornOleDbConnectionCache* VornOleDbConnectionCache::GetCacheManager() {
    return m_theCache.load();
}

bool VornOleDbConnectionCache::InitConnectionCache() {
    if (++m_refcount != 1)
        return true;
    VornOleDbConnectionCache* cache = new (std::nothrow) VornOleDbConnectionCache;
    if (!cache)
        return false;
    cache->m_lock = new (std::nothrow) std::recursive_mutex;
    if (!cache->m_lock) {
        delete cache;
        return false;
    }
    m_theCache.store(cache);
    return true;
}

void VornOleDbConnectionCache::CloseConnectionCache() {
    int32_t count = m_refcount.load();
    // Decrease only while positive, so that an unmatched close never goes below zero.
    do {
        if (count <= 0)
            return;
    } while (!m_refcount.compare_exchange_weak(count, count - 1));
    if (count - 1 != 0)
        return;
    VornOleDbConnectionCache* cache = m_theCache.load();
    if (!cache)
        return;
    cache->ClearCache();
    m_theCache.store(nullptr);
    delete cache;
}

void VornOleDbConnectionCache::Destroy(VornOleDbConnection* connection) {
    if (!connection)
        return;
    connection->Close();
    delete connection;
}

VornOleDbConnection* VornOleDbConnectionCache::TakeIdle(const std::wstring& init) {
    auto it = m_map.find(init);
    while (it != m_map.end()) {
        VornOleDbConnection* connection = it->second.front();
        it->second.pop_front();
        if (it->second.empty()) {
            m_map.erase(it);
            it = m_map.end();
        }
        // A connection whose server went away is closed, never handed out again.
        if (connection->IsConnected())
            return connection;
        Destroy(connection);
    }
    return nullptr;
}

VornOleDbConnection* VornOleDbConnectionCache::OpenNew(const std::wstring& init, bool prompt) {
    auto* connection = new VornOleDbConnection;
    if (connection->OpenFromInitializationString(init, prompt) != S_OK) {
        SetErrorInfo(connection->GetErrorInfo(false), std::wstring());
        delete connection;
        return nullptr;
    }
    return connection;
}

VornOleDbConnection* VornOleDbConnectionCache::Connect(const std::wstring& init, bool prompt) {
    return Connect(init, prompt, nullptr);
}

VornOleDbConnection* VornOleDbConnectionCache::Connect(const std::wstring& init, bool prompt,
                                                       VornOleDbErrorInfo* failure) {
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    if (VornOleDbConnection* idle = TakeIdle(init))
        return idle;
    VornOleDbConnection* opened = OpenNew(init, prompt);
    if (!opened && failure)
        failure->SetErrorInfo(GetErrorText(), std::wstring());
    return opened;
}

VornOleDbConnection* VornOleDbConnectionCache::ConnectFromCache(const std::wstring& init) {
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    return TakeIdle(init);
}

void VornOleDbConnectionCache::Cache(VornOleDbConnection*& connection) {
    if (!connection)
        return;
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    if (!connection->IsConnected()) {
        // A broken connection (its server went away) is not kept for the next user.
        Destroy(connection);
        connection = nullptr;
        return;
    }
    auto it = m_map.find(connection->GetInit());
    if (it == m_map.end()) {
        m_map[connection->GetInit()].push_back(connection);
    } else if (it->second.size() < m_cacheSize.load()) {
        it->second.push_back(connection);
    } else {
        Destroy(connection);
        connection = nullptr;
    }
}

bool VornOleDbConnectionCache::CreateCache(const std::wstring& init) {
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    auto it = m_map.find(init);
    if (it == m_map.end()) {
        VornOleDbConnection* first = OpenNew(init, false);
        if (!first)
            return false;
        it = m_map.emplace(first->GetInit(), std::deque<VornOleDbConnection*>{first}).first;
    }
    while (it->second.size() < m_cacheSize.load()) {
        VornOleDbConnection* more = OpenNew(init, false);
        if (!more)
            return false;
        it->second.push_back(more);
    }
    return true;
}

void VornOleDbConnectionCache::ClearCache(const std::wstring& init) {
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    auto it = m_map.find(init);
    if (it == m_map.end())
        return;
    while (!it->second.empty()) {
        Destroy(it->second.front());
        it->second.pop_front();
    }
    m_map.erase(it);
}

void VornOleDbConnectionCache::ClearCache() {
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    for (auto& entry : m_map) {
        while (!entry.second.empty()) {
            Destroy(entry.second.front());
            entry.second.pop_front();
        }
    }
    m_map.clear();
}

unsigned int VornOleDbConnectionCache::GetCacheSize() const {
    return m_cacheSize.load();
}

void VornOleDbConnectionCache::SetCacheSize(unsigned int size) {
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    m_cacheSize.store(size);
}
