// Objects named by handles that are numbers never given out twice (multiples of 4 from 4 up),
// so that a stale or made-up handle names nothing, also once a new object has the old one's
// memory, and fails as it does on Windows. Not locked: each user guards its registry.
// `Owner` is how the registry holds an object: a std::shared_ptr where a call in progress may
// keep the object past its handle's closing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace platform {

template <typename T, typename Handle, typename Owner = std::unique_ptr<T>>
class HandleRegistry {
  public:
    Handle Add(Owner object) {
        last_ += 4;
        objects_.emplace(last_, std::move(object));
        return reinterpret_cast<Handle>(last_);
    }
    // The live object that `handle` names, or null with `error` as the last error.
    T* Find(Handle handle, DWORD error) const {
        const Owner* owner = Lookup(handle, error);
        return owner ? owner->get() : nullptr;
    }
    // A share of the object that `handle` names (Owner a std::shared_ptr), or null with
    // `error` as the last error.
    Owner Share(Handle handle, DWORD error) const {
        const Owner* owner = Lookup(handle, error);
        return owner ? *owner : nullptr;
    }
    bool Contains(Handle handle) const {
        return objects_.count(reinterpret_cast<uintptr_t>(handle)) != 0;
    }
    // The object, no longer named by its handle; null when the handle names none.
    Owner Remove(Handle handle) {
        const auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
        if (found == objects_.end()) return nullptr;
        Owner object = std::move(found->second);
        objects_.erase(found);
        return object;
    }
    std::vector<Handle> Handles() const {
        std::vector<Handle> handles;
        for (const auto& entry : objects_) handles.push_back(reinterpret_cast<Handle>(entry.first));
        return handles;
    }
    size_t size() const { return objects_.size(); }

  private:
    const Owner* Lookup(Handle handle, DWORD error) const {
        const auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
        if (found != objects_.end()) return &found->second;
        SetLastError(error);
        return nullptr;
    }

    std::unordered_map<uintptr_t, Owner> objects_;
    uintptr_t last_ = 0;
};

}  // namespace platform
