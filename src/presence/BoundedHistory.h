#pragma once

#include <array>
#include <cstddef>
#include <iterator>

namespace ambleguard {

// A fixed-capacity list, oldest first, that drops its oldest entry when a new one would not fit.
// Readings arrive many times per second for as long as the program runs, so the histories of the
// filter, the presence engine and the display buffer live in storage allocated once.
template <typename T, std::size_t Capacity>
class BoundedHistory {
    static_assert(Capacity > 0);

  public:
    static constexpr std::size_t capacity() { return Capacity; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // Index 0 is the oldest entry.
    const T& operator[](std::size_t index) const { return slots_[slot(index)]; }
    const T& front() const { return (*this)[0]; }
    const T& back() const { return (*this)[size_ - 1]; }

    void push_back(const T& value) {
        if (size_ == Capacity) {
            pop_front();
        }
        slots_[slot(size_)] = value;
        ++size_;
    }

    void pop_front() {
        if (size_ == 0) {
            return;
        }
        head_ = head_ + 1 == Capacity ? 0 : head_ + 1;
        --size_;
    }

    void clear() {
        head_ = 0;
        size_ = 0;
    }

    // Removes every entry for which `remove` is true, keeping the order of the rest.
    template <typename Predicate>
    void eraseIf(Predicate remove) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < size_; ++i) {
            const T& entry = slots_[slot(i)];
            if (!remove(entry)) {
                if (kept != i) {
                    slots_[slot(kept)] = entry;
                }
                ++kept;
            }
        }
        size_ = kept;
    }

    class const_iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        const_iterator() = default;
        const_iterator(const BoundedHistory* owner, std::size_t index)
            : owner_(owner), index_(index) {}
        const T& operator*() const { return (*owner_)[index_]; }
        const T* operator->() const { return &(*owner_)[index_]; }
        const_iterator& operator++() {
            ++index_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++index_;
            return before;
        }
        bool operator==(const const_iterator& other) const { return index_ == other.index_; }

      private:
        const BoundedHistory* owner_ = nullptr;
        std::size_t index_ = 0;
    };
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size_); }

  private:
    std::size_t slot(std::size_t index) const {
        const std::size_t position = head_ + index;  // index < Capacity, so one wrap at most
        return position < Capacity ? position : position - Capacity;
    }

    std::array<T, Capacity> slots_{};
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

}  // namespace ambleguard
