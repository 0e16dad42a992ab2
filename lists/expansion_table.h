#pragma once
// The active list as the expansion engine reads it: key -> decoded replacement
// text, exact (case-sensitive) keys, the last duplicate winning.
//
// A table is immutable once built. The main thread builds a complete new one
// on every load and publishes it through an ExpansionTableSlot; each expansion
// worker takes one snapshot when it starts and reads only that, so a reload
// never shows a worker a half-built table and never frees one in use.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/sync.h"

namespace calmirande {

class ExpansionTable {
public:
    class Builder;

    // The replacement text of `key`, or nullptr when the list has no such key.
    const std::u16string* find(std::u16string_view key) const;
    std::size_t size() const { return entries_.size(); }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::u16string_view key) const noexcept {
            return std::hash<std::u16string_view>{}(key);
        }
    };
    std::unordered_map<std::u16string, std::u16string, Hash, std::equal_to<>> entries_;
};

class ExpansionTable::Builder {
public:
    explicit Builder(std::size_t expectedEntries = 0);
    // A key already present takes the new text.
    void set(std::u16string key, std::u16string text);
    std::shared_ptr<const ExpansionTable> build() &&;

private:
    std::shared_ptr<ExpansionTable> table_;
};

// The published table. Written on the main thread, read by any thread.
class ExpansionTableSlot {
public:
    ExpansionTableSlot();
    void publish(std::shared_ptr<const ExpansionTable> table);
    // Never null: an empty table until something is published.
    std::shared_ptr<const ExpansionTable> snapshot() const;
    // Changes with every publish: a reader that keeps a snapshot (the
    // keyboard hook) takes a new one only then, and never waits otherwise.
    std::uint32_t generation() const { return generation_.load(std::memory_order_acquire); }

private:
    // Held only to copy or swap the pointer. (libstdc++ 12's
    // atomic<shared_ptr> reads the pointer outside its lock; a plain mutex is
    // as cheap here and plainly right.)
    mutable Mutex mutex_;
    std::shared_ptr<const ExpansionTable> current_;
    std::atomic<std::uint32_t> generation_{0};
};

}  // namespace calmirande
