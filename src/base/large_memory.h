// Memory for the run's large arrays (the load batch, the word index).
//
// Blocks of 2 MiB and more are mapped on their own and marked for
// transparent huge pages where the kernel offers them, so filling them costs
// one page fault per 2 MiB instead of one per 4 KiB: on virtual machines a
// fault is dear, and a run over a million records touches a gigabyte or so.
// Smaller blocks come from operator new.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace indicizza {

// Returns `bytes` bytes aligned for any type; their content is unspecified
// (zero for mapped blocks). Throws std::bad_alloc when the memory can't be had.
void* allocateLarge(std::size_t bytes);

// Gives back a block from allocateLarge(bytes), with the same `bytes`.
void freeLarge(void* block, std::size_t bytes) noexcept;

// Makes `block`, from allocateLarge(bytes) (or null, with `bytes` 0), a
// block of `newBytes` > `bytes` that begins with its bytes, and returns it;
// `block` is then given back. A mapped block is moved by the kernel, not
// copied, and keeps its pages. Throws std::bad_alloc, `block` kept, when
// the memory can't be had.
void* growLarge(void* block, std::size_t bytes, std::size_t newBytes);

// A standard allocator over allocateLarge, for std::vector of large arrays.
template <typename T>
struct LargeAllocator {
  using value_type = T;

  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(allocateLarge(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { freeLarge(p, n * sizeof(T)); }

  template <typename U>
  bool operator==(const LargeAllocator<U>&) const {
    return true;
  }
};

// A std::vector whose storage comes from allocateLarge.
template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

// An array of trivially copyable T that grows at its end, for arrays of
// millions of elements filled one at a time. Its storage comes from
// allocateLarge and grows through growLarge, so its elements are never
// copied once it is mapped, and each page is touched once: on a virtual
// machine, where a fresh page is dear, a doubling vector touches twice as
// many and copies them too. Not copyable; movable.
template <typename T>
class GrowingArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  GrowingArray() = default;
  ~GrowingArray() { freeLarge(data_, capacity_ * sizeof(T)); }
  GrowingArray(GrowingArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  GrowingArray(const GrowingArray&) = delete;
  GrowingArray& operator=(const GrowingArray&) = delete;
  GrowingArray& operator=(GrowingArray&&) = delete;

  // Makes the array `size` elements long; those past its old end start
  // unspecified (zero when fresh mapped pages hold them), and are not
  // touched. Throws std::bad_alloc, the array as it was, when memory runs
  // out.
  void resize(std::size_t size) {
    if (size > capacity_) growTo(size);
    size_ = size;
  }

  // Throws std::bad_alloc, the array as it was, when memory runs out.
  void push_back(const T& value) {
    if (size_ == capacity_) grow();
    data_[size_++] = value;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  const T& back() const { return data_[size_ - 1]; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

 private:
  // The first block is a small one; past that the array doubles.
  static constexpr std::size_t kFirstCapacity = 1024;

  void grow() { growTo(capacity_ == 0 ? kFirstCapacity : capacity_ * 2); }
  void growTo(std::size_t capacity) {
    if (capacity > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    data_ = static_cast<T*>(growLarge(data_, capacity_ * sizeof(T), capacity * sizeof(T)));
    capacity_ = capacity;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// A block of `size` bytes from allocateLarge, owned until destruction; its
// content starts unspecified, and pages never written are never touched.
// Not copyable.
class LargeBuffer {
 public:
  explicit LargeBuffer(std::size_t size)
      : data_(static_cast<unsigned char*>(allocateLarge(size))), size_(size) {}
  ~LargeBuffer() { freeLarge(data_, size_); }
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  unsigned char* data_;
  std::size_t size_;
};

}  // namespace indicizza
