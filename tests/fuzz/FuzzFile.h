// A private scratch file for fuzz targets whose reader takes a path (the INI
// reader, the style loader): each input is written to it before the call.
// One per process, removed at exit; one thread.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fuzzsupport {

class ScratchFile {
public:
    explicit ScratchFile(const char* suffix) {
        folder_ =
            std::filesystem::temp_directory_path() / ("daymark-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / (std::string("input") + suffix)).string();
    }
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the file's bytes with `data`; returns its path.
    const std::string& Write(const uint8_t* data, size_t size) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) {
            std::abort();
        }
        return path_;
    }
    const std::string& path() const { return path_; }

private:
    std::filesystem::path folder_;
    std::string path_;
};

}  // namespace fuzzsupport
