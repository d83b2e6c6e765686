#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

namespace flutter {

// An ordered map kept as one sorted vector of key/value pairs: a lookup is a
// binary search, and a whole map is one allocation instead of one per entry.
// Keys are ordered by `<`, each key at most once; inserting a key already
// present keeps the entry that is there. Entries may move on every insertion,
// so iterators and references last only until the next change. A key must not
// be changed through an iterator.
template <typename Key, typename Value>
class FlatMap {
 public:
  using key_type = Key;
  using mapped_type = Value;
  using value_type = std::pair<Key, Value>;
  using Entries = std::vector<value_type>;
  using size_type = std::size_t;
  using iterator = typename Entries::iterator;
  using const_iterator = typename Entries::const_iterator;
  using reverse_iterator = typename Entries::reverse_iterator;
  using const_reverse_iterator = typename Entries::const_reverse_iterator;

  FlatMap() = default;
  FlatMap(std::initializer_list<value_type> entries)
      : entries_(entries.begin(), entries.end()) {
    SortKeepingFirstOfEqualKeys();
  }

  // Takes entries in any order. Of entries with equal keys the earliest is
  // kept; the cost is O(n log n) whatever the order, and one comparison per
  // entry when they already come in key order.
  static FlatMap FromEntries(Entries entries) {
    FlatMap map;
    map.entries_ = std::move(entries);
    map.SortKeepingFirstOfEqualKeys();
    return map;
  }

  iterator begin() noexcept { return entries_.begin(); }
  iterator end() noexcept { return entries_.end(); }
  const_iterator begin() const noexcept { return entries_.begin(); }
  const_iterator end() const noexcept { return entries_.end(); }
  const_iterator cbegin() const noexcept { return entries_.cbegin(); }
  const_iterator cend() const noexcept { return entries_.cend(); }
  reverse_iterator rbegin() noexcept { return entries_.rbegin(); }
  reverse_iterator rend() noexcept { return entries_.rend(); }
  const_reverse_iterator rbegin() const noexcept { return entries_.rbegin(); }
  const_reverse_iterator rend() const noexcept { return entries_.rend(); }

  size_type size() const noexcept { return entries_.size(); }
  bool empty() const noexcept { return entries_.empty(); }
  void clear() noexcept { entries_.clear(); }

  // The entry whose key neither is less than `key` nor `key` less than it.
  iterator find(const Key& key) {
    const iterator it = LowerBound(key);
    return it != end() && !(key < it->first) ? it : end();
  }
  const_iterator find(const Key& key) const {
    return const_cast<FlatMap*>(this)->find(key);
  }
  size_type count(const Key& key) const { return find(key) != end() ? 1 : 0; }

  Value& at(const Key& key) {
    const iterator it = find(key);
    if (it == end()) {
      throw std::out_of_range("FlatMap::at: no such key");
    }
    return it->second;
  }
  const Value& at(const Key& key) const {
    return const_cast<FlatMap*>(this)->at(key);
  }
  Value& operator[](const Key& key) { return try_emplace(key).first->second; }

  // The entry is made first, so arguments may refer into this map.
  template <typename... Args>
  std::pair<iterator, bool> emplace(Args&&... args) {
    return insert(value_type(std::forward<Args>(args)...));
  }
  std::pair<iterator, bool> insert(value_type entry) {
    const iterator it = LowerBound(entry.first);
    if (it != end() && !(entry.first < it->first)) {
      return {it, false};
    }
    return {entries_.insert(it, std::move(entry)), true};
  }
  template <typename... Args>
  std::pair<iterator, bool> try_emplace(const Key& key, Args&&... args) {
    const iterator it = LowerBound(key);
    if (it != end() && !(key < it->first)) {
      return {it, false};
    }
    value_type entry(std::piecewise_construct, std::forward_as_tuple(key),
                     std::forward_as_tuple(std::forward<Args>(args)...));
    return {entries_.insert(it, std::move(entry)), true};
  }

  iterator erase(const_iterator position) { return entries_.erase(position); }
  size_type erase(const Key& key) {
    const iterator it = find(key);
    if (it == end()) {
      return 0;
    }
    entries_.erase(it);
    return 1;
  }

  // Equal when the entries are pairwise equal, in key order.
  friend bool operator==(const FlatMap& a, const FlatMap& b) {
    return a.entries_ == b.entries_;
  }
  friend bool operator!=(const FlatMap& a, const FlatMap& b) {
    return !(a == b);
  }

 private:
  // Below this many entries an insertion sort beats std::stable_sort, which
  // allocates a buffer first.
  static constexpr size_type kInsertionSortLimit = 16;

  iterator LowerBound(const Key& key) {
    return std::lower_bound(
        begin(), end(), key,
        [](const value_type& entry, const Key& k) { return entry.first < k; });
  }

  static bool KeyLess(const value_type& a, const value_type& b) {
    return a.first < b.first;
  }

  // Stable, so equal keys stay in arrival order and the first of them is the
  // one kept.
  void SortKeepingFirstOfEqualKeys() {
    const auto not_before = [](const value_type& a, const value_type& b) {
      return !(a.first < b.first);
    };
    if (std::adjacent_find(begin(), end(), not_before) == end()) {
      return;
    }
    if (size() <= kInsertionSortLimit) {
      for (iterator i = begin() + 1; i != end(); ++i) {
        for (iterator j = i; j != begin() && KeyLess(*j, *(j - 1)); --j) {
          std::iter_swap(j, j - 1);
        }
      }
    } else {
      std::stable_sort(begin(), end(), KeyLess);
    }
    entries_.erase(std::unique(begin(), end(), not_before), end());
  }

  Entries entries_;
};

}  // namespace flutter
