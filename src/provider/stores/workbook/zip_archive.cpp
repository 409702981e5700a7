// The zip container of an .xlsx workbook.
#include "stores/workbook/zip_archive.h"

#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::workbook {
namespace {

std::wstring ZipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::wstring text = Utf8ToWide(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

class ZipEntrySource final : public ByteSource {
  public:
    ZipEntrySource(zip_file* file, std::wstring what) : file_(file), what_(std::move(what)) {}
    ~ZipEntrySource() override { zip_fclose(file_); }
    long Read(char* buffer, size_t size, std::wstring* error) override {
        const zip_int64_t n = zip_fread(file_, buffer, size);
        if (n < 0) {
            *error = what_ + L" cannot be read: " + Utf8ToWide(zip_file_strerror(file_));
            return -1;
        }
        return static_cast<long>(n);
    }

  private:
    zip_file* file_;
    std::wstring what_;
};

}  // namespace

long MemorySource::Read(char* buffer, size_t size, std::wstring*) {
    const size_t n = size < bytes_.size() ? size : bytes_.size();
    std::memcpy(buffer, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return static_cast<long>(n);
}

ZipArchive::~ZipArchive() {
    if (archive_)
        zip_discard(archive_);
}

std::unique_ptr<ZipArchive> ZipArchive::Open(int fd, const std::wstring& shown,
                                             std::wstring* error) {
    // An open file description of its own, so that this archive's reads never move the
    // offset of the caller's descriptor (or of another archive over the same file).
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    int own = ::open(self.c_str(), O_RDONLY | O_CLOEXEC);
    if (own < 0)
        own = ::dup(fd);
    if (own < 0) {
        *error = L"could not read '" + shown + L"': " + Utf8ToWide(std::strerror(errno));
        return nullptr;
    }
    int code = 0;
    zip* archive = zip_fdopen(own, ZIP_RDONLY, &code);
    if (!archive) {
        ::close(own);
        if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS)
            *error = L"'" + shown + L"' is not a workbook: it is no complete zip archive (" +
                     ZipErrorText(code) + L")";
        else
            *error = L"'" + shown + L"' cannot be read as a zip archive: " + ZipErrorText(code);
        return nullptr;
    }
    std::unique_ptr<ZipArchive> result(new ZipArchive);
    result->archive_ = archive;
    result->shown_ = shown;
    return result;
}

int64_t ZipArchive::Find(const std::string& part) const {
    std::string name = part;
    while (!name.empty() && name.front() == '/')
        name.erase(name.begin());
    zip_int64_t index = zip_name_locate(archive_, name.c_str(), ZIP_FL_ENC_GUESS);
    if (index < 0)
        index = zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE | ZIP_FL_ENC_GUESS);
    return index;
}

std::string ZipArchive::Name(int64_t index) const {
    const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(index), ZIP_FL_ENC_GUESS);
    return name ? name : "";
}

uint64_t ZipArchive::Size(int64_t index) const {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE))
        return 0;
    return st.size;
}

bool ZipArchive::ReadWhole(int64_t index, std::string* out, std::wstring* error,
                           uint64_t limit) const {
    out->clear();
    std::unique_ptr<ByteSource> stream = Stream(index, error);
    if (!stream)
        return false;
    char buffer[65536];
    while (true) {
        const long n = stream->Read(buffer, sizeof buffer, error);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (out->size() + static_cast<size_t>(n) > limit) {
            *error = L"the part '" + Utf8ToWide(Name(index)) + L"' of '" + shown_ +
                     L"' is larger than " + std::to_wstring(limit >> 20) + L" MiB";
            return false;
        }
        out->append(buffer, static_cast<size_t>(n));
    }
}

std::unique_ptr<ByteSource> ZipArchive::Stream(int64_t index, std::wstring* error) const {
    const std::wstring what = L"the part '" + Utf8ToWide(Name(index)) + L"' of '" + shown_ + L"'";
    zip_file* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        zip_error_t* e = zip_get_error(archive_);
        *error = what + L" cannot be read: " + Utf8ToWide(zip_error_strerror(e));
        if (zip_error_code_zip(e) == ZIP_ER_NOPASSWD || zip_error_code_zip(e) == ZIP_ER_ENCRNOTSUPP)
            *error = what + L" is encrypted";
        return nullptr;
    }
    return std::make_unique<ZipEntrySource>(file, what);
}

std::string ResolvePartName(const std::string& fromPart, const std::string& target) {
    std::string joined;
    if (!target.empty() && target.front() == '/') {
        joined = target.substr(1);
    } else {
        const size_t slash = fromPart.rfind('/');
        joined =
            (slash == std::string::npos ? std::string() : fromPart.substr(0, slash + 1)) + target;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find('/', start);
        if (end == std::string::npos)
            end = joined.size();
        const std::string piece = joined.substr(start, end - start);
        if (piece == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

}  // namespace vorn::provider::stores::workbook
