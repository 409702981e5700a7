// Prints the library version and a connection string built from its parts.
//   connection_string [DATA_SOURCE]
#include <cstdio>
#include <vornoledb/vornoledb.h>

int main(int argc, char** argv) {
    std::wstring source = argc > 1 ? vornoledb::Utf8ToWide(argv[1]) : L"/data/plant.mdb";
    std::wstring init;
    if (!VornOleDbHelper::FormatConnectString(init, source.c_str(), nullptr, nullptr,
                                              L"Microsoft.ACE.OLEDB.12.0",
                                              L"Jet OLEDB:Engine Type=5", nullptr)) {
        std::fprintf(stderr, "could not build a connection string for '%s'\n",
                     vornoledb::WideToUtf8(source).c_str());
        return 1;
    }
    std::printf("VornOleDb %s\n%s\n", VornOleDbVersion(), vornoledb::WideToUtf8(init).c_str());
    return 0;
}
