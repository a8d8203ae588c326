#include "hosts/core/file_filter.h"

#include <cctype>

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// A glob without classes: iterative, backing up to the last '*' on a mismatch.
bool Matches(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace

FileFilter::FileFilter(std::string_view patterns) {
    while (!patterns.empty()) {
        const size_t bar = patterns.find('|');
        const std::string_view one = patterns.substr(0, bar);
        if (!one.empty()) patterns_.emplace_back(one);
        if (bar == std::string_view::npos) break;
        patterns.remove_prefix(bar + 1);
    }
}

bool FileFilter::Accepts(const std::filesystem::path& file) const {
    // The name as UTF-8: patterns are ASCII, so other characters only need to compare equal.
    const std::u8string name8 = file.filename().u8string();
    const std::string_view name(reinterpret_cast<const char*>(name8.data()), name8.size());
    for (const std::string& pattern : patterns_) {
        if (Matches(pattern, name)) return true;
    }
    return false;
}
