// Loads an image through the entry point and keeps what a host would see: the result, the
// progress calls and the image description.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "module/entry_points.h"
#include "module/tavoren_gif.h"

struct LoadRecord {
    INT32 result = 0;
    std::vector<std::pair<UINT32, UINT32>> progress;  // (done, total) in call order

    static INT32 Progress(UINT32 done, UINT32 total, void* userData) {
        static_cast<LoadRecord*>(userData)->progress.emplace_back(done, total);
        return 0;
    }
};

inline LoadRecord LoadFromMemory(TavorenGif* viewer, const std::vector<BYTE>& bytes) {
    LoadRecord record;
    INT32 memoryResult = -7;
    record.result = LoadImageSource(viewer, nullptr, bytes.data(), bytes.size(), &memoryResult, 0,
                                    0, &LoadRecord::Progress, &record);
    return record;
}

inline LoadRecord LoadFromFile(TavorenGif* viewer, LPCWSTR path) {
    LoadRecord record;
    record.result =
        LoadImageSource(viewer, path, nullptr, 0, nullptr, 0, 0, &LoadRecord::Progress, &record);
    return record;
}
