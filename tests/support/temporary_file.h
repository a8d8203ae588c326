// A file of the test's own, removed when the test ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/wide_path.h"

class TemporaryFile {
  public:
    explicit TemporaryFile(const std::vector<BYTE>& bytes)
        : path_(std::filesystem::temp_directory_path() /
                ("tavoren-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".gif")) {
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    ~TemporaryFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    std::basic_string<WCHAR> wide() const { return Wide(path_.string()); }

  private:
    std::filesystem::path path_;
};
