// File and memory streams with the results Windows gives: SHCreateStreamOnFileW refuses a
// second exclusive open of a file, SHCreateMemStream keeps its own copy of the bytes.
#include "shell/streams.h"

#include <fcntl.h>
#include <shlwapi.h>
#include <windows.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <map>
#include <string>
#include <utility>

#include "com/com_object.h"

namespace platform {
namespace {

HRESULT SeekTo(LONGLONG base, LARGE_INTEGER move, ULONGLONG* position) {
    LONGLONG target = base + move.QuadPart;
    if (target < 0) return STG_E_INVALIDFUNCTION;
    *position = static_cast<ULONGLONG>(target);
    return S_OK;
}

HRESULT NewPosition(DWORD origin, LARGE_INTEGER move, ULONGLONG current, ULONGLONG size,
                    ULONGLONG* position) {
    switch (origin) {
        case STREAM_SEEK_SET:
            return SeekTo(0, move, position);
        case STREAM_SEEK_CUR:
            return SeekTo(static_cast<LONGLONG>(current), move, position);
        case STREAM_SEEK_END:
            return SeekTo(static_cast<LONGLONG>(size), move, position);
        default:
            return STG_E_INVALIDFUNCTION;
    }
}

// What the file and the memory stream share: a read-only position over `Size()` bytes.
class ReadOnlyStream : public ComObject<IStream> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return Answer(iid, object,
                      {{&IID_IStream, static_cast<IStream*>(this)},
                       {&IID_ISequentialStream, static_cast<IStream*>(this)}});
    }
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (!pv) return STG_E_INVALIDPOINTER;
        std::lock_guard<std::mutex> guard(lock_);
        const ULONGLONG size = Size();
        const ULONG wanted =
            position_ >= size ? 0 : static_cast<ULONG>(std::min<ULONGLONG>(cb, size - position_));
        const ULONG count = wanted ? ReadAt(position_, static_cast<BYTE*>(pv), wanted) : 0;
        position_ += count;
        if (pcbRead) *pcbRead = count;
        return count == cb ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* newPosition) override {
        std::lock_guard<std::mutex> guard(lock_);
        ULONGLONG target;
        HRESULT hr = NewPosition(origin, move, position_, Size(), &target);
        if (FAILED(hr)) return hr;
        position_ = target;
        if (newPosition) newPosition->QuadPart = position_;
        return S_OK;
    }

  protected:
    virtual ULONGLONG Size() const = 0;
    // Copies up to `count` bytes from `offset`; answers how many it copied.
    virtual ULONG ReadAt(ULONGLONG offset, BYTE* out, ULONG count) = 0;

  private:
    std::mutex lock_;
    ULONGLONG position_ = 0;
};

class MemoryStream final : public ReadOnlyStream {
  public:
    explicit MemoryStream(SharedBytes bytes) : bytes_(std::move(bytes)) {}
    SharedBytes bytes() const { return bytes_; }

  private:
    ULONGLONG Size() const override { return bytes_->size(); }
    ULONG ReadAt(ULONGLONG offset, BYTE* out, ULONG count) override {
        std::memcpy(out, bytes_->data() + offset, count);
        return count;
    }

    const SharedBytes bytes_;
};

// Open file streams by device and inode: how many, and whether one of them is exclusive.
struct OpenFile {
    int streams = 0;
    bool exclusive = false;
};
std::mutex openFilesLock;
std::map<std::pair<dev_t, ino_t>, OpenFile> openFiles;

class FileStream final : public ReadOnlyStream {
  public:
    FileStream(int fd, std::pair<dev_t, ino_t> id, ULONGLONG size)
        : fd_(fd), id_(id), size_(size) {}
    ~FileStream() override {
        close(fd_);
        std::lock_guard<std::mutex> guard(openFilesLock);
        if (--openFiles[id_].streams == 0) openFiles.erase(id_);
    }

  private:
    ULONGLONG Size() const override { return size_; }
    ULONG ReadAt(ULONGLONG offset, BYTE* out, ULONG count) override {
        ULONG total = 0;
        while (total < count) {
            ssize_t got =
                pread(fd_, out + total, count - total, static_cast<off_t>(offset + total));
            if (got <= 0) break;
            total += static_cast<ULONG>(got);
        }
        return total;
    }

    const int fd_;
    const std::pair<dev_t, ino_t> id_;
    const ULONGLONG size_;
};

std::string Utf8Path(LPCWSTR path) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
    std::string out(length > 0 ? static_cast<size_t>(length) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, path, -1, out.data(), length, nullptr, nullptr);
    out.resize(std::strlen(out.c_str()));
    return out;
}

}  // namespace

SharedBytes ReadWholeStream(IStream* stream) {
    if (!stream) return nullptr;
    if (auto* memory = dynamic_cast<MemoryStream*>(stream)) return memory->bytes();
    ULARGE_INTEGER end{};
    LARGE_INTEGER zero{};
    if (FAILED(stream->Seek(zero, STREAM_SEEK_END, &end)) ||
        FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr)) || end.QuadPart > 0xFFFFFFFFu) {
        return nullptr;
    }
    try {
        auto bytes = std::make_shared<ImageBytes>(static_cast<size_t>(end.QuadPart));
        ULONG read = 0;
        if (bytes->size() &&
            FAILED(stream->Read(bytes->data(), static_cast<ULONG>(bytes->size()), &read))) {
            return nullptr;
        }
        bytes->Shrink(read);
        return bytes;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace platform

extern "C" HRESULT SHCreateStreamOnFileW(LPCWSTR pszFile, DWORD grfMode, IStream** ppstm) {
    if (!ppstm) return E_INVALIDARG;
    *ppstm = nullptr;
    if (!pszFile) return E_INVALIDARG;
    // Only read access is implemented: the module opens its images read-only.
    if ((grfMode & 0x3) != STGM_READ) return E_INVALIDARG;
    const std::string path = platform::Utf8Path(pszFile);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return HRESULT_FROM_WIN32(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    }
    const auto id = std::make_pair(info.st_dev, info.st_ino);
    const bool exclusive = (grfMode & 0x70) == STGM_SHARE_EXCLUSIVE;
    {
        std::lock_guard<std::mutex> guard(platform::openFilesLock);
        platform::OpenFile& open = platform::openFiles[id];
        if (open.exclusive || (exclusive && open.streams > 0)) {
            if (open.streams == 0) platform::openFiles.erase(id);
            close(fd);
            return HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
        }
        ++open.streams;
        open.exclusive = exclusive;
    }
    *ppstm = new platform::FileStream(fd, id, static_cast<ULONGLONG>(info.st_size));
    return S_OK;
}

extern "C" IStream* SHCreateMemStream(const BYTE* pInit, UINT cbInit) {
    try {
        auto bytes = pInit ? std::make_shared<platform::ImageBytes>(pInit, cbInit)
                           : std::make_shared<platform::ImageBytes>(0);
        return new platform::MemoryStream(std::move(bytes));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
