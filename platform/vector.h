#ifndef TOLVARIN_PLATFORM_VECTOR_H_
#define TOLVARIN_PLATFORM_VECTOR_H_

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>

namespace tolvarin {

// A growable array with the part of std::vector the programs use and the same meaning for each
// member; for the reason it is not std::vector, see text.h. Memory comes from ::operator new, on
// malloc in the Windows programs, whose alignment is all an element may ask: two pointers' worth
// (8 bytes on 32-bit Windows, though the compiler assumes 16 for new). The aligned forms are
// libstdc++'s throwing ones, so an over-aligned element type is refused here rather than
// silently misplaced.
template <typename T>
  requires(alignof(T) <= 2 * sizeof(void*))
class Vector {
 public:
  using value_type = T;
  using size_type = std::size_t;
  using iterator = T*;
  using const_iterator = const T*;

  Vector() noexcept = default;
  Vector(std::initializer_list<T> items) { AppendCopies(items.begin(), items.end()); }
  explicit Vector(std::size_t count) {
    reserve(count);
    while (size_ < count) emplace_back();
  }
  Vector(std::size_t count, const T& item) { assign(count, item); }
  template <typename It>
    requires(!std::is_integral_v<It>)
  Vector(It first, It last) {
    for (; first != last; ++first) emplace_back(*first);
  }
  Vector(const Vector& other) { AppendCopies(other.begin(), other.end()); }
  Vector(Vector&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  ~Vector() { Release(); }

  Vector& operator=(const Vector& other) {
    if (this != &other) {
      Vector copy(other);
      *this = std::move(copy);
    }
    return *this;
  }
  Vector& operator=(Vector&& other) noexcept {
    if (this != &other) {
      Release();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }

  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  T* begin() noexcept { return data_; }
  T* end() noexcept { return data_ + size_; }
  const T* begin() const noexcept { return data_; }
  const T* end() const noexcept { return data_ + size_; }
  std::reverse_iterator<T*> rbegin() noexcept { return std::reverse_iterator<T*>(end()); }
  std::reverse_iterator<T*> rend() noexcept { return std::reverse_iterator<T*>(begin()); }
  std::reverse_iterator<const T*> rbegin() const noexcept {
    return std::reverse_iterator<const T*>(end());
  }
  std::reverse_iterator<const T*> rend() const noexcept {
    return std::reverse_iterator<const T*>(begin());
  }
  T& operator[](std::size_t i) noexcept { return data_[i]; }
  const T& operator[](std::size_t i) const noexcept { return data_[i]; }
  T& front() noexcept { return data_[0]; }
  const T& front() const noexcept { return data_[0]; }
  T& back() noexcept { return data_[size_ - 1]; }
  const T& back() const noexcept { return data_[size_ - 1]; }

  void reserve(std::size_t capacity) {
    if (capacity > capacity_) Grow(capacity);
  }
  void resize(std::size_t size) {
    reserve(size);
    while (size_ < size) emplace_back();
    while (size_ > size) pop_back();
  }
  void assign(std::size_t count, const T& item) {
    Vector copies;
    copies.reserve(count);
    while (copies.size_ < count) copies.emplace_back(item);
    *this = std::move(copies);
  }
  void clear() noexcept {
    while (size_ != 0) pop_back();
  }

  template <typename... Args>
  T& emplace_back(Args&&... args) {
    if (size_ == capacity_) {
      T item(std::forward<Args>(args)...);  // the arguments may refer into this vector
      Grow(capacity_ == 0 ? 4 : capacity_ * 2);
      return *new (data_ + size_++) T(std::move(item));
    }
    return *new (data_ + size_++) T(std::forward<Args>(args)...);
  }
  void push_back(const T& item) { emplace_back(item); }
  void push_back(T&& item) { emplace_back(std::move(item)); }
  void pop_back() noexcept { data_[--size_].~T(); }

  // Inserts `item` before `position`; returns where it now is.
  T* insert(const T* position, T item) {
    const std::size_t index = position - data_;
    emplace_back(std::move(item));
    std::rotate(data_ + index, data_ + size_ - 1, data_ + size_);
    return data_ + index;
  }
  // Inserts copies of [first, last) before `position`; returns where the first now is.
  template <typename It>
  T* insert(const T* position, It first, It last) {
    const std::size_t index = position - data_;
    const std::size_t count = static_cast<std::size_t>(last - first);
    Vector items;
    items.reserve(count);
    for (; first != last; ++first) items.emplace_back(*first);  // may lie in this vector
    reserve(size_ + count);
    for (T& item : items) emplace_back(std::move(item));
    std::rotate(data_ + index, data_ + size_ - count, data_ + size_);
    return data_ + index;
  }
  // Removes [first, last); returns what followed them.
  T* erase(const T* first, const T* last) {
    const std::size_t index = first - data_;
    const std::size_t count = last - first;
    if (count == 0) return data_ + index;  // else each later element is moved onto itself
    for (std::size_t i = index; i + count < size_; ++i) data_[i] = std::move(data_[i + count]);
    for (std::size_t i = 0; i < count; ++i) pop_back();
    return data_ + index;
  }
  T* erase(const T* position) { return erase(position, position + 1); }

  friend bool operator==(const Vector& a, const Vector& b) {
    if (a.size_ != b.size_) return false;
    for (std::size_t i = 0; i < a.size_; ++i) {
      if (!(a.data_[i] == b.data_[i])) return false;
    }
    return true;
  }

 private:
  template <typename It>
  void AppendCopies(It first, It last) {
    reserve(static_cast<std::size_t>(last - first));
    for (; first != last; ++first) emplace_back(*first);
  }
  void Grow(std::size_t capacity) {
    if (capacity > static_cast<std::size_t>(-1) / 2 / sizeof(T)) std::abort();
    T* grown = static_cast<T*>(::operator new(capacity * sizeof(T)));
    for (std::size_t i = 0; i < size_; ++i) {
      new (grown + i) T(std::move(data_[i]));
      data_[i].~T();
    }
    ::operator delete(data_);
    data_ = grown;
    capacity_ = capacity;
  }
  void Release() noexcept {
    clear();
    ::operator delete(data_);
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace tolvarin

#endif  // TOLVARIN_PLATFORM_VECTOR_H_
