#include "app/SupportArchive.h"

#include <sys/stat.h>
#include <zip.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace app {
namespace {

struct ZipDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ZipDiscard>;

bool EndsWithNoCase(const std::string& name, const char* suffix) {
    const size_t n = std::strlen(suffix);
    if (name.size() < n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) !=
            std::tolower(static_cast<unsigned char>(suffix[i]))) {
            return false;
        }
    }
    return true;
}

// The whole file, or false when it cannot be read.
bool ReadWhole(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

bool IsStoredInArchive(const std::string& name) {
    static const char* const kStored[] = {".Z",   ".zip", ".zoo", ".arc",
                                          ".lzh", ".arj", ".gz",  ".tgz"};
    for (const char* suffix : kStored) {
        if (EndsWithNoCase(name, suffix)) {
            return true;
        }
    }
    return false;
}

SupportArchiveResult WriteSupportArchive(const std::string& logFolder, const std::string& zipPath) {
    SupportArchiveResult result;
    int error = 0;
    Archive archive(zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!archive) {
        zip_error_t ze;
        zip_error_init_with_code(&ze, error);
        result.error = zip_error_strerror(&ze);
        zip_error_fini(&ze);
        return result;
    }

    std::error_code ec;
    for (std::filesystem::directory_iterator it(logFolder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string path = it->path().string();
        const std::string name = it->path().filename().string();
        // lstat: a link is not followed out of the log folder (it could
        // point at anything of the user's).
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
            continue;
        }
        // Read now: a file that cannot be read is left out here instead of
        // failing the whole archive when it is closed.
        std::string bytes;
        if (!S_ISREG(st.st_mode) || !ReadWhole(path, bytes)) {
            result.skipped.push_back(name);
            continue;
        }
        void* data = bytes.empty() ? nullptr : std::malloc(bytes.size());
        if (data) {
            std::memcpy(data, bytes.data(), bytes.size());
        }
        // The source frees `data` (freep = 1), also when adding fails below.
        zip_source_t* source = zip_source_buffer(archive.get(), data, bytes.size(), 1);
        if (!source) {
            std::free(data);
            result.skipped.push_back(name);
            continue;
        }
        const zip_int64_t index =
            zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(source);
            result.skipped.push_back(name);
            continue;
        }
        const zip_uint64_t i = static_cast<zip_uint64_t>(index);
        zip_set_file_compression(archive.get(), i,
                                 IsStoredInArchive(name) ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
        zip_file_set_mtime(archive.get(), i, st.st_mtime, 0);
        result.entries.push_back(name);
    }

    // libzip writes nothing for an archive without entries; an empty log
    // folder still gives a valid (empty) archive file.
    if (result.entries.empty()) {
        archive.reset();
        std::ofstream out(zipPath, std::ios::binary | std::ios::trunc);
        static const char kEmptyZip[22] = {'P', 'K', 5, 6};
        out.write(kEmptyZip, sizeof kEmptyZip);
        result.written = static_cast<bool>(out);
        if (!result.written) {
            result.error = std::strerror(errno);
        }
        return result;
    }
    if (zip_close(archive.get()) != 0) {
        result.error = zip_strerror(archive.get());
        return result;
    }
    archive.release();
    result.written = true;
    return result;
}

}  // namespace app
