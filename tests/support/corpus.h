// The shared corpus of real and artificial images, beside the project. A clone elsewhere has
// none: tests that need it skip with that reason.
#pragma once

#include <algorithm>
#include <filesystem>
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

#define SKIP_WITHOUT_CORPUS(files)                                                         \
    if ((files).empty()) {                                                                 \
        GTEST_SKIP() << "no corpus at " TAVOREN_CORPUS_DIR " (a clone without ../shared)"; \
    }
