// The files a host browses: those of one folder that the module's filter accepts, in name
// order, or the files named one by one; and which of them is shown. Stepping wraps at both
// ends.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "hosts/core/file_filter.h"

class FolderListing {
  public:
    FolderListing() = default;
    // A folder: its accepted files, the first one current. A file: the accepted files of its
    // folder with that file current; the file is listed even if the filter would not offer
    // it, since it was asked for by name. Empty, with `error` set, when `path` is neither, the
    // folder cannot be read, or it holds nothing to show.
    static FolderListing Of(const std::filesystem::path& path, const FileFilter& filter,
                            std::string* error);
    // Several paths: just these files, in the order given, the first current; a folder among
    // them gives its accepted files. Those that are neither a file nor a folder are left out;
    // empty, with `error` set, when nothing is left.
    static FolderListing OfPaths(const std::vector<std::filesystem::path>& paths,
                                 const FileFilter& filter, std::string* error);

    bool empty() const { return files_.empty(); }
    size_t size() const { return files_.size(); }
    size_t index() const { return index_; }
    const std::filesystem::path& current() const { return files_[index_]; }
    const std::vector<std::filesystem::path>& files() const { return files_; }
    // The folder that is browsed; empty for files named one by one.
    const std::filesystem::path& folder() const { return folder_; }

    void Next() { index_ = (index_ + 1) % files_.size(); }
    void Previous() { index_ = (index_ + files_.size() - 1) % files_.size(); }
    void First() { index_ = 0; }
    void Last() { index_ = files_.size() - 1; }

    // Reads the folder again (files named one by one: drops those that are gone). The current
    // file stays current while it is there; otherwise the file now in its place is, and the
    // answer is false. Empty when nothing is left.
    bool Reread();

  private:
    std::vector<std::filesystem::path> files_;
    size_t index_ = 0;
    std::filesystem::path folder_;
    FileFilter filter_{""};
};

// What went wrong with a path in words for the user: "permission denied", "no such file".
std::string PathErrorWords(const std::error_code& code);

// Why the module could not open `file`, in words for the user: what the file system or the
// file's first bytes tell. The module itself answers only -1.
std::string LoadFailureReason(const std::filesystem::path& file);

// For a file the module opened: empty, or what is wrong with it that the module plays past
// (a GIF cut short before its end, a WebP shorter than its header says).
std::string DamageNote(const std::filesystem::path& file);
