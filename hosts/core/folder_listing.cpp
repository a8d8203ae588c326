#include "hosts/core/folder_listing.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Name order as a person reads it: case folded, so that "B.gif" does not come before "a.gif".
bool NameBefore(const fs::path& a, const fs::path& b) {
    const std::u8string x = a.filename().u8string(), y = b.filename().u8string();
    return std::lexicographical_compare(
        x.begin(), x.end(), y.begin(), y.end(), [](char8_t c, char8_t d) {
            const auto lower = [](char8_t v) { return v >= 'A' && v <= 'Z' ? v + 32 : v; };
            return lower(c) < lower(d);
        });
}

// The accepted files of `folder` in name order, and `named` among them even if not accepted.
std::vector<fs::path> ListFolder(const fs::path& folder, const FileFilter& filter,
                                 const fs::path& named, std::error_code& code) {
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const fs::path& file = it->path();
        if (filter.Accepts(file) || (!named.empty() && fs::equivalent(file, named, typeError))) {
            files.push_back(file);
        }
    }
    std::sort(files.begin(), files.end(), NameBefore);
    return files;
}

size_t IndexOf(const std::vector<fs::path>& files, const fs::path& file, size_t otherwise) {
    for (size_t i = 0; i < files.size(); ++i) {
        std::error_code same;
        if (files[i] == file || fs::equivalent(files[i], file, same)) return i;
    }
    return otherwise;
}

}  // namespace

std::string PathErrorWords(const std::error_code& code) {
    if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted) {
        return "permission denied";
    }
    if (code == std::errc::no_such_file_or_directory) return "no such file or folder";
    if (code == std::errc::not_a_directory) return "a part of the path is not a folder";
    std::string words = code.message();
    if (!words.empty()) words[0] = static_cast<char>(std::tolower(words[0]));
    return words;
}

FolderListing FolderListing::Of(const fs::path& path, const FileFilter& filter,
                                std::string* error) {
    FolderListing listing;
    listing.filter_ = filter;
    std::error_code code;
    const bool isFolder = fs::is_directory(path, code);
    if (!isFolder && !fs::is_regular_file(path, code)) {
        // Without an error code: something that is neither, such as a device.
        *error = (code ? PathErrorWords(code) : "not a file or folder") + ": " + path.string();
        return listing;
    }
    listing.folder_ = isFolder ? path : path.parent_path().empty() ? "." : path.parent_path();
    listing.files_ = ListFolder(listing.folder_, filter, isFolder ? fs::path() : path, code);
    if (isFolder && code) {
        *error = PathErrorWords(code) + ": " + path.string();
        listing.files_.clear();
        return listing;
    }
    // A folder that cannot be listed still shows the file that was named.
    if (!isFolder && listing.files_.empty()) listing.files_.push_back(path);
    if (listing.files_.empty()) {
        *error = "no GIF or WebP files in " + path.string();
        return listing;
    }
    if (!isFolder) listing.index_ = IndexOf(listing.files_, path, 0);
    return listing;
}

FolderListing FolderListing::OfPaths(const std::vector<fs::path>& paths, const FileFilter& filter,
                                     std::string* error) {
    if (paths.size() == 1) return Of(paths.front(), filter, error);
    FolderListing listing;
    listing.filter_ = filter;
    std::string firstError;
    for (const fs::path& path : paths) {
        std::error_code code;
        if (fs::is_regular_file(path, code)) {
            listing.files_.push_back(path);
            continue;
        }
        std::string reason;
        FolderListing folder = Of(path, filter, &reason);
        if (firstError.empty()) firstError = reason;
        if (!folder.empty() && fs::is_directory(path, code)) {
            listing.files_.insert(listing.files_.end(), folder.files_.begin(), folder.files_.end());
        }
    }
    if (listing.files_.empty()) *error = firstError.empty() ? "nothing to show" : firstError;
    return listing;
}

bool FolderListing::Reread() {
    if (files_.empty()) return false;
    const fs::path current = files_[index_];
    std::error_code code;
    const bool currentThere = fs::is_regular_file(current, code);
    std::vector<fs::path> files;
    if (!folder_.empty()) {
        files = ListFolder(folder_, filter_, currentThere ? current : fs::path(), code);
        if (code) files.clear();
    } else {
        for (const fs::path& file : files_) {
            std::error_code ignored;
            if (fs::is_regular_file(file, ignored)) files.push_back(file);
        }
    }
    // Gone: the file that came after it in name order takes its place, as after a deletion
    // in a file manager.
    size_t place = 0;
    if (!currentThere) {
        place = folder_.empty() ? std::min(index_, files.size())
                                : static_cast<size_t>(std::lower_bound(files.begin(), files.end(),
                                                                       current, NameBefore) -
                                                      files.begin());
        if (place == files.size()) place = 0;
    }
    files_ = std::move(files);
    index_ = currentThere ? IndexOf(files_, current, 0) : place;
    return currentThere;
}

std::string LoadFailureReason(const fs::path& file) {
    std::error_code code;
    if (!fs::exists(file, code)) return code ? PathErrorWords(code) : "the file is gone";
    if (fs::is_directory(file, code)) return "a folder, not an image";
    const auto size = fs::file_size(file, code);
    if (code) return PathErrorWords(code);
    if (size == 0) return "the file is empty";
    std::ifstream in(file, std::ios::binary);
    if (!in) return "the file cannot be read";
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

std::string DamageNote(const fs::path& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : 0;
    if (size < 12) return {};
    unsigned char head[12] = {}, last = 0;
    in.seekg(0);
    in.read(reinterpret_cast<char*>(head), sizeof(head));
    in.seekg(size - 1);
    in.read(reinterpret_cast<char*>(&last), 1);
    if (!in) return {};
    constexpr const char* kNote = "damaged: plays the frames that survive";
    // A GIF ends in its trailer byte, ';'.
    if (std::memcmp(head, "GIF8", 4) == 0) return last == 0x3B ? "" : kNote;
    if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0) {
        const uint64_t declared = 8 + (uint64_t{head[4]} | uint64_t{head[5]} << 8 |
                                       uint64_t{head[6]} << 16 | uint64_t{head[7]} << 24);
        return declared > static_cast<uint64_t>(size) ? kNote : "";
    }
    return {};
}
