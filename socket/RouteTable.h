// A table of routes from a handle (socket or host lookup) to the value that
// owns it. Slots are found in order; a freed slot is reused by the next route
// before the table grows, and the table grows one slot at a time. Handles are
// the platform's pointer-sized values, so no two handles ever share a route.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vorlane {

template <class Value>
class RouteTable {
public:
    using Handle = uintptr_t;
    static constexpr Handle kFree = ~Handle{0};

    // Routes handle to value. A handle already routed is given the new value.
    void add(Handle handle, Value value) {
        Slot* free = nullptr;
        for (Slot& slot : slots_) {
            if (slot.handle == handle) {
                slot.value = std::move(value);
                return;
            }
            if (slot.handle == kFree && !free) free = &slot;
        }
        if (free) {
            *free = Slot{handle, std::move(value)};
        } else {
            slots_.push_back(Slot{handle, std::move(value)});
        }
    }

    // Frees the slot of handle and answers the value it held; nullopt when the
    // handle had no route.
    std::optional<Value> remove(Handle handle) {
        Slot* slot = find(handle);
        if (!slot) return std::nullopt;
        std::optional<Value> value(std::move(slot->value));
        *slot = Slot{};
        return value;
    }

    // The value routed to handle, or nullptr.
    Value* lookup(Handle handle) {
        Slot* slot = find(handle);
        return slot ? &slot->value : nullptr;
    }

    // 1-based slot of handle, 0 when it has no route.
    size_t slotOf(Handle handle) const {
        for (size_t i = 0; i < slots_.size(); ++i)
            if (slots_[i].handle == handle) return i + 1;
        return 0;
    }

    size_t slotCount() const noexcept { return slots_.size(); }

    // Every value still routed, in slot order.
    template <class Visit>
    void forEach(Visit&& visit) {
        for (Slot& slot : slots_)
            if (slot.handle != kFree) visit(slot.handle, slot.value);
    }

    void clear() noexcept { slots_.clear(); }

private:
    struct Slot {
        Handle handle = kFree;
        Value value{};
    };

    Slot* find(Handle handle) {
        if (handle == kFree) return nullptr;
        for (Slot& slot : slots_)
            if (slot.handle == handle) return &slot;
        return nullptr;
    }

    std::vector<Slot> slots_;
};

}  // namespace vorlane
