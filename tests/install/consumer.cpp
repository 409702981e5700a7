// Built against the installed library: prints the version and a connection string.
#include <cstdio>
#include <vornoledb/vornoledb.h>

int main() {
    std::wstring s;
    if (!VornOleDbHelper::FormatConnectString(s, L"/tmp/plant.db", nullptr, nullptr,
                                              L"Microsoft.ACE.OLEDB.12.0", nullptr, nullptr))
        return 1;
    std::printf("VornOleDb %s: %s\n", VornOleDbVersion(), vornoledb::WideToUtf8(s).c_str());
    return s == L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/tmp/plant.db;" ? 0 : 1;
}
