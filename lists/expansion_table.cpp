#include "lists/expansion_table.h"

#include <utility>

namespace calmirande {

const std::u16string* ExpansionTable::find(std::u16string_view key) const {
    const auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

ExpansionTable::Builder::Builder(std::size_t expectedEntries) : table_(std::make_shared<ExpansionTable>()) {
    table_->entries_.reserve(expectedEntries);
}

void ExpansionTable::Builder::set(std::u16string key, std::u16string text) {
    table_->entries_.insert_or_assign(std::move(key), std::move(text));
}

std::shared_ptr<const ExpansionTable> ExpansionTable::Builder::build() && { return std::move(table_); }

ExpansionTableSlot::ExpansionTableSlot() : current_(ExpansionTable::Builder{}.build()) {}

void ExpansionTableSlot::publish(std::shared_ptr<const ExpansionTable> table) {
    if (!table) table = ExpansionTable::Builder{}.build();
    {
        const LockGuard lock(mutex_);
        current_.swap(table);
    }
    generation_.fetch_add(1, std::memory_order_acq_rel);
    // The old table, now in `table`, is released after the lock, by whoever
    // drops the last snapshot of it.
}

std::shared_ptr<const ExpansionTable> ExpansionTableSlot::snapshot() const {
    const LockGuard lock(mutex_);
    return current_;
}

}  // namespace calmirande
