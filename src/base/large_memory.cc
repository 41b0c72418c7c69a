#include "base/large_memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>

namespace indicizza {
namespace {

constexpr std::size_t kHugePageSize = std::size_t{2} << 20;

// AddressSanitizer checks only what operator new hands out, so its builds
// take every block from there.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif

bool isMapped(std::size_t bytes) { return kMapLargeBlocks && bytes >= kHugePageSize; }

// Mapped blocks are whole huge pages, so the kernel can back all of them.
std::size_t mappedSizeOf(std::size_t bytes) {
  return (bytes + kHugePageSize - 1) / kHugePageSize * kHugePageSize;
}

}  // namespace

void* allocateLarge(std::size_t bytes) {
  if (!isMapped(bytes)) return ::operator new(bytes);
  const std::size_t size = mappedSizeOf(bytes);
  if (size < bytes) throw std::bad_alloc();
  void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
  // Only advice: without huge pages the block works the same.
  madvise(block, size, MADV_HUGEPAGE);
  return block;
}

void freeLarge(void* block, std::size_t bytes) noexcept {
  if (block == nullptr) return;
  if (!isMapped(bytes)) {
    ::operator delete(block);
    return;
  }
  munmap(block, mappedSizeOf(bytes));
}

void* growLarge(void* block, std::size_t bytes, std::size_t newBytes) {
  if (block != nullptr && isMapped(bytes) && isMapped(newBytes)) {
    const std::size_t size = mappedSizeOf(newBytes);
    if (size < newBytes) throw std::bad_alloc();
    void* moved = mremap(block, mappedSizeOf(bytes), size, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) throw std::bad_alloc();
    madvise(moved, size, MADV_HUGEPAGE);
    return moved;
  }
  void* grown = allocateLarge(newBytes);
  // The bytes kept are fewer than `newBytes`, as required: said again for the
  // compiler, which can't see it.
  if (bytes > 0) std::memcpy(grown, block, std::min(bytes, newBytes));
  freeLarge(block, bytes);
  return grown;
}

}  // namespace indicizza
