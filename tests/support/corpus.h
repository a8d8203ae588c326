// The shared corpus of real and artificial images, beside the project. A clone elsewhere has
// none: tests that need it skip with that reason.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Every file of the corpus folder `kind` ("gif" or "webp"), sorted by name; empty when the
// corpus is absent.
inline std::vector<std::filesystem::path> CorpusFiles(const std::string& kind) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(TAVOREN_CORPUS_DIR) / kind, error)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A file's bytes; empty when it cannot be read.
inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

#define SKIP_WITHOUT_CORPUS(files)                                                         \
    if ((files).empty()) {                                                                 \
        GTEST_SKIP() << "no corpus at " TAVOREN_CORPUS_DIR " (a clone without ../shared)"; \
    }
