// The files a host browses: those of one folder that the module's filter accepts, in name
// order, and which of them is shown. Stepping wraps at both ends.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "hosts/core/file_filter.h"

class FolderListing {
  public:
    FolderListing() = default;
    // A folder: its accepted files, the first one current. A file: the accepted files of its
    // folder with that file current; the file is listed even if the filter would not offer
    // it, since it was asked for by name. Empty, with `error` set, when `path` is neither or
    // the folder holds nothing to show.
    static FolderListing Of(const std::filesystem::path& path, const FileFilter& filter,
                            std::string* error);

    bool empty() const { return files_.empty(); }
    size_t size() const { return files_.size(); }
    size_t index() const { return index_; }
    const std::filesystem::path& current() const { return files_[index_]; }
    const std::vector<std::filesystem::path>& files() const { return files_; }

    void Next() { index_ = (index_ + 1) % files_.size(); }
    void Previous() { index_ = (index_ + files_.size() - 1) % files_.size(); }
    void First() { index_ = 0; }
    void Last() { index_ = files_.size() - 1; }

  private:
    std::vector<std::filesystem::path> files_;
    size_t index_ = 0;
};

// Why the module could not open `file`, in words for the user: what the file system or the
// file's first bytes tell. The module itself answers only -1.
std::string LoadFailureReason(const std::filesystem::path& file);
