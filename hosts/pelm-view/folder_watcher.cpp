#include "hosts/pelm-view/folder_watcher.h"

namespace {

QString Native(const std::filesystem::path& path) {
    return QString::fromStdU16String(path.u16string());
}

}  // namespace

FolderWatcher::FolderWatcher(std::function<void()> folderChanged,
                             std::function<void()> fileChanged) {
    QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, &watcher_,
                     [folderChanged](const QString&) { folderChanged(); });
    QObject::connect(&watcher_, &QFileSystemWatcher::fileChanged, &watcher_,
                     [fileChanged](const QString&) { fileChanged(); });
}

void FolderWatcher::Watch(const std::filesystem::path& folder, const std::filesystem::path& file) {
    const QString dir = folder.empty() ? QString() : Native(folder), one = Native(file);
    // A file replaced by a rename is no longer watched under its name: it is added again.
    const QStringList files = watcher_.files(), dirs = watcher_.directories();
    if (files != QStringList{one} && !files.isEmpty()) watcher_.removePaths(files);
    if ((dirs.isEmpty() ? QString() : dirs.front()) != dir && !dirs.isEmpty()) {
        watcher_.removePaths(dirs);
    }
    if (!dir.isEmpty() && !watcher_.directories().contains(dir)) watcher_.addPath(dir);
    if (!file.empty() && !watcher_.files().contains(one)) watcher_.addPath(one);
}
