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
#include <vector>

namespace indicizza {

// Returns `bytes` bytes aligned for any type; their content is unspecified
// (zero for mapped blocks). Throws std::bad_alloc when the memory can't be had.
void* allocateLarge(std::size_t bytes);

// Gives back a block from allocateLarge(bytes), with the same `bytes`.
void freeLarge(void* block, std::size_t bytes) noexcept;

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
