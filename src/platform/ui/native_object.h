// NativeObject: what windows and controls share, properties under four-character tags and
// an event target to which GTK signals are delivered as events.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "platform/events/event_layer.h"

namespace tw {

class NativeObject {
  public:
    virtual ~NativeObject() = default;

    void SetProperty(std::uint32_t tag, std::uintptr_t value) { props_[tag] = value; }
    // 0 when absent.
    std::uintptr_t GetProperty(std::uint32_t tag) const {
        auto it = props_.find(tag);
        return it == props_.end() ? 0 : it->second;
    }
    bool HasProperty(std::uint32_t tag) const { return props_.count(tag) != 0; }
    void RemoveProperty(std::uint32_t tag) { props_.erase(tag); }

    EventTarget& Target() { return target_; }

  protected:
    std::unordered_map<std::uint32_t, std::uintptr_t> props_;
    EventTarget target_;
};

}  // namespace tw
