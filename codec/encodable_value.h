#pragma once

#include <any>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "codec/flat_map.h"

namespace flutter {

class EncodableValue;

using EncodableList = std::vector<EncodableValue>;
using EncodableMap = FlatMap<EncodableValue, EncodableValue>;

// An application value of any type, carried by value. No channel of this
// system creates one; the codec writes it as null with a diagnostic line.
class CustomEncodableValue {
 public:
  template <typename T, typename = std::enable_if_t<!std::is_same_v<
                            std::decay_t<T>, CustomEncodableValue>>>
  explicit CustomEncodableValue(const T& value) : value_(value) {}

  // A moved-from custom value keeps its content, like a number, so a move is
  // a copy. It is declared noexcept all the same: otherwise EncodableValue's
  // move could throw and every growing EncodableList would deep-copy its
  // elements instead of moving them. Only an allocation failure while copying
  // a custom value (which nothing in this system creates) ends the process.
  CustomEncodableValue(const CustomEncodableValue&) = default;
  CustomEncodableValue(CustomEncodableValue&& other) noexcept
      : value_(other.value_) {}
  CustomEncodableValue& operator=(const CustomEncodableValue&) = default;
  CustomEncodableValue& operator=(CustomEncodableValue&& other) noexcept {
    value_ = other.value_;
    return *this;
  }
  ~CustomEncodableValue() = default;

  const std::any& value() const { return value_; }
  const std::type_info& type() const noexcept { return value_.type(); }

  // Custom values have no order of their own; their addresses give a stable
  // one, so two distinct custom values are never equal.
  bool operator<(const CustomEncodableValue& other) const {
    return std::less<const void*>()(this, &other);
  }
  bool operator==(const CustomEncodableValue& other) const {
    return this == &other;
  }
  // The other comparisons, so that every comparison of EncodableValues
  // compiles (std::variant needs the same operator from each alternative).
  bool operator!=(const CustomEncodableValue& other) const {
    return !(*this == other);
  }
  bool operator>(const CustomEncodableValue& other) const {
    return other < *this;
  }
  bool operator<=(const CustomEncodableValue& other) const {
    return !(other < *this);
  }
  bool operator>=(const CustomEncodableValue& other) const {
    return !(*this < other);
  }

 private:
  std::any value_;
};

// The index order of the alternatives is the tag: the codec and the ordering
// both depend on it, so it must never change.
using EncodableValueVariant = std::variant<std::monostate,        // 0 null
                                           bool,                  // 1
                                           int32_t,               // 2
                                           int64_t,               // 3
                                           double,                // 4
                                           std::string,           // 5
                                           std::vector<uint8_t>,  // 6
                                           std::vector<int32_t>,  // 7
                                           std::vector<int64_t>,  // 8
                                           std::vector<double>,   // 9
                                           EncodableList,         // 10
                                           EncodableMap,          // 11
                                           CustomEncodableValue,  // 12
                                           std::vector<float>>;   // 13

// The tagged value of every channel. Copies are deep; a moved-from string,
// typed list, list or map keeps its alternative and is empty. Ordering (`<`,
// the key order of EncodableMap) compares the alternative's index first, then
// the content: bytes as unsigned values, numbers numerically, lists
// lexicographically.
//
// Read alternatives with std::get / std::get_if / std::holds_alternative; for
// a switch over all of them, use index().
class EncodableValue : public EncodableValueVariant {
 public:
  using Variant = EncodableValueVariant;

  EncodableValue() = default;
  EncodableValue(const EncodableValue&) = default;
  EncodableValue(EncodableValue&&) = default;
  EncodableValue& operator=(const EncodableValue&) = default;
  EncodableValue& operator=(EncodableValue&&) = default;
  ~EncodableValue() = default;

  // A character string is text. Without this, a pointer would convert to the
  // bool alternative.
  EncodableValue(const char* string) : Variant(std::string(string)) {}
  EncodableValue& operator=(const char* string) {
    Variant::operator=(std::string(string));
    return *this;
  }

  template <typename T, typename = std::enable_if_t<
                            !std::is_same_v<std::decay_t<T>, EncodableValue> &&
                            !std::is_convertible_v<T, const char*>>>
  EncodableValue(T&& value) : Variant(std::forward<T>(value)) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(*this); }
};

// Lists grow by moving their elements only when a move cannot throw.
static_assert(std::is_nothrow_move_constructible_v<EncodableValue>,
              "EncodableValue must move without throwing");

namespace encodable_value_internal {

// Lists and maps compared on this thread so far, nested ones included, in a
// build that defines LQ_COUNT_COMPARED_CONTAINERS: the ordering tests read it
// to bound a comparison's work where its time would depend on the machine.
// Only their own build of the codec defines it; the product counts nothing.
#ifdef LQ_COUNT_COMPARED_CONTAINERS
inline thread_local uint64_t compared_containers = 0;
inline void CountComparedContainer() { ++compared_containers; }
#else
inline void CountComparedContainer() {}
#endif

template <typename T>
int CompareScalars(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareValues(const EncodableValue& a, const EncodableValue& b);

template <typename T>
int CompareElements(const std::vector<T>& a, const std::vector<T>& b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    int order;
    if constexpr (std::is_same_v<T, EncodableValue>) {
      order = CompareValues(a[i], b[i]);
    } else {
      order = CompareScalars(a[i], b[i]);
    }
    if (order != 0) {
      return order;
    }
  }
  return CompareScalars(a.size(), b.size());
}

// The order of std::variant, its containers and std::pair, but visiting each
// nested value once: those compare every element pair both ways (a < b, then
// b < a), which doubles the work at every level of nesting, so a short
// message with two equal deeply nested map keys would take forever to insert.
inline int CompareValues(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) {
    // A valueless variant (index npos) orders first, as in std::variant.
    return CompareScalars(a.index() + 1, b.index() + 1);
  }
  if (a.valueless_by_exception()) {
    return 0;
  }
  // Map keys are strings most often: those are compared without the
  // dispatch through std::visit's table.
  if (const auto* x = std::get_if<std::string>(&a)) {
    const int order = x->compare(*std::get_if<std::string>(&b));
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
  }
  const auto& other = static_cast<const EncodableValue::Variant&>(b);
  return std::visit(
      [&other](const auto& x) -> int {
        using T = std::decay_t<decltype(x)>;
        const T& y = *std::get_if<T>(&other);
        if constexpr (std::is_same_v<T, std::string>) {
          const int order = x.compare(y);
          return order < 0 ? -1 : (order > 0 ? 1 : 0);
        } else if constexpr (std::is_same_v<T, EncodableMap>) {
          CountComparedContainer();
          auto i = x.begin();
          auto j = y.begin();
          for (; i != x.end() && j != y.end(); ++i, ++j) {
            int order = CompareValues(i->first, j->first);
            if (order == 0) {
              order = CompareValues(i->second, j->second);
            }
            if (order != 0) {
              return order;
            }
          }
          return CompareScalars(x.size(), y.size());
        } else if constexpr (std::is_same_v<T, EncodableList>) {
          CountComparedContainer();
          return CompareElements(x, y);
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>> ||
                             std::is_same_v<T, std::vector<int32_t>> ||
                             std::is_same_v<T, std::vector<int64_t>> ||
                             std::is_same_v<T, std::vector<double>> ||
                             std::is_same_v<T, std::vector<float>>) {
          return CompareElements(x, y);
        } else {
          return CompareScalars(x, y);
        }
      },
      static_cast<const EncodableValue::Variant&>(a));
}

}  // namespace encodable_value_internal

// Preferred over std::variant's templates for EncodableValues, so that map
// keys and every nested comparison take the linear path above.
inline bool operator<(const EncodableValue& a, const EncodableValue& b) {
  return encodable_value_internal::CompareValues(a, b) < 0;
}
inline bool operator>(const EncodableValue& a, const EncodableValue& b) {
  return encodable_value_internal::CompareValues(a, b) > 0;
}
inline bool operator<=(const EncodableValue& a, const EncodableValue& b) {
  return encodable_value_internal::CompareValues(a, b) <= 0;
}
inline bool operator>=(const EncodableValue& a, const EncodableValue& b) {
  return encodable_value_internal::CompareValues(a, b) >= 0;
}

}  // namespace flutter
