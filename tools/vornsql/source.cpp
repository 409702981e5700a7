// Connection strings for files and folders, and opening them.
#include "source.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <cstdio>

#include <vornoledb/helper.h>
#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

#include "messages.h"

namespace vornsql {
namespace {

const wchar_t kProvider[] = L"Microsoft.ACE.OLEDB.12.0";

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string ext = path.substr(dot);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// The folder of a file, absolute when it exists, so that messages about the text data
// source name a folder a person recognises rather than ".".
std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : path.substr(0, slash);
    if (char* real = ::realpath(folder.c_str(), nullptr)) {
        folder = real;
        std::free(real);
    }
    return folder;
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::wstring ConnectionStringValue(const std::wstring& value) {
    bool quote = value.empty() == false && (value.front() == L' ' || value.back() == L' ' ||
                                            value.front() == L'\t' || value.back() == L'\t');
    for (wchar_t c : value)
        if (c == L';' || c == L'"' || c == L'\'' || c == L'=')
            quote = true;
    if (!quote)
        return value;
    std::wstring out = L"\"";
    for (wchar_t c : value) {
        if (c == L'"')
            out += L'"';
        out += c;
    }
    out += L'"';
    return out;
}

std::wstring ConnectionStringForPath(const std::string& path, bool readOnly) {
    const std::string ext = LowerExtension(path);
    std::string dataSource = path;
    const wchar_t* extended = nullptr;
    if (ext == ".xlsx" || ext == ".xlsm") {
        extended = L"Excel 12.0 Xml;HDR=YES";
    } else if (ext == ".xls") {
        extended = L"Excel 8.0;HDR=YES";
    } else if (ext == ".csv" || ext == ".txt") {
        extended = L"text;HDR=YES;FMT=Delimited";
        dataSource = FolderOf(path);
    } else if (ext == ".tsv" || ext == ".tab") {
        // The file itself is the data source: its folder opens with the file among the
        // tables, whatever its extension.
        extended = L"text;HDR=YES;FMT=TabDelimited";
    } else if (IsFolder(path)) {
        extended = L"text;HDR=YES;FMT=Delimited";
    }
    std::wstring properties;
    if (extended)
        properties = L"Extended Properties=" + ConnectionStringValue(extended) + L";";
    if (readOnly)
        properties += L"Mode=Read;";
    const std::wstring source = ConnectionStringValue(Utf8ToWide(dataSource));
    std::wstring init;
    VornOleDbHelper::FormatConnectString(init, source.c_str(), nullptr, nullptr, kProvider,
                                         properties.empty() ? nullptr : properties.c_str(),
                                         nullptr);
    return init;
}

std::wstring ConnectionStringFor(const Options& options) {
    if (options.connect.empty())
        return ConnectionStringForPath(options.source, options.readOnly);
    std::wstring init = Utf8ToWide(options.connect);
    if (options.readOnly) {
        if (!init.empty() && init.back() != L';')
            init += L';';
        init += L"Mode=Read;";
    }
    return init;
}

std::string DescribeSource(const Options& options) {
    if (!options.connect.empty())
        return "the connection string '" + options.connect + "'";
    return "'" + options.source + "'";
}

bool OpenConnection(const Options& options, VornOleDbConnection* connection) {
    const std::wstring init = ConnectionStringFor(options);
    const HRESULT hr = connection->OpenFromInitializationString(init, false);
    if (hr == S_OK)
        return true;
    ReportFailure("could not open " + DescribeSource(options), *connection, hr);
    return false;
}

}  // namespace vornsql
