// Follows the browsed folder and the shown file on disk, so that the listing does not go
// stale: files added or removed, the shown file rewritten or deleted.
#pragma once

#include <QFileSystemWatcher>

#include <filesystem>
#include <functional>

class FolderWatcher {
  public:
    FolderWatcher(std::function<void()> folderChanged, std::function<void()> fileChanged);
    // Watches `folder` (none when empty) and `file`, instead of what was watched before.
    void Watch(const std::filesystem::path& folder, const std::filesystem::path& file);

  private:
    QFileSystemWatcher watcher_;
};
