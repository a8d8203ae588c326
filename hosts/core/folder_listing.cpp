#include "hosts/core/folder_listing.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace {

// Name order as a person reads it: case folded, so that "B.gif" does not come before "a.gif".
bool NameBefore(const std::filesystem::path& a, const std::filesystem::path& b) {
    const std::u8string x = a.filename().u8string(), y = b.filename().u8string();
    return std::lexicographical_compare(
        x.begin(), x.end(), y.begin(), y.end(), [](char8_t c, char8_t d) {
            const auto lower = [](char8_t v) { return v >= 'A' && v <= 'Z' ? v + 32 : v; };
            return lower(c) < lower(d);
        });
}

}  // namespace

FolderListing FolderListing::Of(const std::filesystem::path& path, const FileFilter& filter,
                                std::string* error) {
    namespace fs = std::filesystem;
    FolderListing listing;
    std::error_code code;
    const bool isFolder = fs::is_directory(path, code);
    if (!isFolder && !fs::is_regular_file(path, code)) {
        *error = "no such file or folder: " + path.string();
        return listing;
    }
    const fs::path folder = isFolder ? path : path.parent_path().empty() ? "." : path.parent_path();
    for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const fs::path& file = it->path();
        if (filter.Accepts(file) || (!isFolder && fs::equivalent(file, path, typeError))) {
            listing.files_.push_back(file);
        }
    }
    // A folder that cannot be listed still shows the file that was named.
    if (!isFolder && listing.files_.empty()) listing.files_.push_back(path);
    std::sort(listing.files_.begin(), listing.files_.end(), NameBefore);
    if (listing.files_.empty()) {
        *error = "no GIF or WebP files in " + path.string();
        return listing;
    }
    if (!isFolder) {
        for (size_t i = 0; i < listing.files_.size(); ++i) {
            std::error_code same;
            if (fs::equivalent(listing.files_[i], path, same)) listing.index_ = i;
        }
    }
    return listing;
}

std::string LoadFailureReason(const std::filesystem::path& file) {
    namespace fs = std::filesystem;
    std::error_code code;
    if (!fs::exists(file, code)) return "the file is gone";
    if (fs::is_directory(file, code)) return "a folder, not an image";
    const auto size = fs::file_size(file, code);
    if (code) return "the file cannot be read";
    if (size == 0) return "the file is empty";
    std::ifstream in(file, std::ios::binary);
    char head[12] = {};
    if (!in.read(head, sizeof(head)) && in.gcount() < 6) {
        return in.gcount() > 0 ? "too short for an image" : "the file cannot be read";
    }
    const bool gif = std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0;
    const bool webp = std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0;
    if (!gif && !webp) return "not a GIF or WebP image";
    return std::string(gif ? "a damaged GIF" : "a damaged or unsupported WebP") +
           ": the module cannot read its frames";
}
