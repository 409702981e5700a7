// Two threads read one database through cached recordsets: each Open takes an idle
// connection from the process-wide pool (or opens one), each Close hands it back.
//   pooled_recordsets [DATABASE]   (default: a new database in a temporary folder; with
//                                   DATABASE, a table Readings is created in it)
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include <vornoledb/vornoledb.h>

namespace {

constexpr int kRows = 500;
constexpr int kRounds = 200;

int Fail(const char* what, VornOleDbErrorInfo& errors) {
    std::fprintf(stderr, "%s failed:\n%s\n", what,
                 vornoledb::WideToUtf8(errors.GetErrorInfo(true)).c_str());
    return 1;
}

// One thread's work: count and sum the readings of one sensor, again and again.
void Reader(const std::wstring& init, int sensor, std::atomic<int>* failures) {
    const std::wstring filter = vornoledb::VornFormat(L"Sensor = %d", sensor);
    for (int round = 0; round < kRounds; ++round) {
        VornOleDbRecordset recordset(VornOleDbRecordset::ctCached);
        if (!recordset.Open(init, false) || !recordset.GetRecNum(L"Readings", filter.c_str()) ||
            recordset.FetchNext() != VornOleDbCommand::dbOK ||
            recordset.FieldAsLong(1) != kRows / 2) {
            std::fprintf(stderr, "sensor %d, round %d: %s\n", sensor, round,
                         vornoledb::WideToUtf8(recordset.GetErrorInfo(true)).c_str());
            ++*failures;
            return;
        }
        recordset.Close();  // the connection goes back to the pool
    }
}

}  // namespace

int main(int argc, char** argv) {
    char folder[] = "/tmp/vornoledb-example-XXXXXX";
    std::string file;
    if (argc > 1) {
        file = argv[1];
    } else {
        if (!mkdtemp(folder)) {
            std::perror("mkdtemp");
            return 1;
        }
        file = std::string(folder) + "/readings.db";
    }
    const std::wstring path = vornoledb::Utf8ToWide(file);
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) {
        VornOleDbErrorInfo errors;
        if (VornOleDbConnection::CreateMdbFile(L"Provider=Microsoft.ACE.OLEDB.12.0;", path,
                                               errors) != vornoledb::S_OK)
            return Fail("create", errors);
    }
    std::wstring init;
    VornOleDbHelper::FormatConnectString(init, path.c_str(), nullptr, nullptr,
                                         L"Microsoft.ACE.OLEDB.12.0", nullptr, nullptr);

    // The rows, written on a private recordset's connection inside one transaction.
    {
        VornOleDbRecordset setup(VornOleDbRecordset::ctPrivate);
        if (!setup.Open(init, false))
            return Fail("open", setup);
        VornOleDbConnection* connection = setup.GetConnection();
        VornOleDbDDLCommand builder;
        builder.SetConnection(connection);
        builder.SetCommandText(
            L"CREATE TABLE Readings (ID LONG PRIMARY KEY, Sensor LONG, "
            L"Value DOUBLE)");
        if (builder.Execute() != VornOleDbCommand::dbOK)
            return Fail("create table", builder);
        if (!connection->StartTransaction())
            return Fail("start", *connection);
        builder.SetTable(L"Readings");
        for (int i = 0; i < kRows; ++i) {
            builder.AddColumn(L"ID", L"%d", i + 1);
            builder.AddColumn(L"Sensor", L"%d", i % 2 + 1);
            builder.AddColumn(L"Value", L"%d.%d", i / 10, i % 10);
            if (!builder.Insert())
                return Fail("insert", builder);
        }
        if (!connection->Commit())
            return Fail("commit", *connection);
        setup.Close();
    }

    std::atomic<int> failures{0};
    std::thread first(Reader, init, 1, &failures);
    std::thread second(Reader, init, 2, &failures);
    first.join();
    second.join();

    VornOleDbConnectionCache* cache = VornOleDbConnectionCache::GetCacheManager();
    int idle = 0;
    // Take the idle connections out of the pool to count them, then close them.
    while (VornOleDbConnection* c = cache ? cache->ConnectFromCache(init) : nullptr) {
        ++idle;
        c->Close();
        delete c;
    }
    std::printf("%d reads on 2 threads, %d failed; %d idle connection(s) were pooled\n",
                2 * kRounds, failures.load(), idle);

    if (argc <= 1) {
        unlink(file.c_str());
        rmdir(folder);
    }
    // Two threads never need more than two connections at once.
    return failures == 0 && idle >= 1 && idle <= 2 ? 0 : 1;
}
