#pragma once

// An allocator for the store's big arrays. Large blocks are asked for in transparent huge pages:
// a million-message trace otherwise spends much of its load time faulting in 4 KiB pages.

#include <sys/mman.h>

#include <cstddef>
#include <new>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define SIGRUNE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SIGRUNE_ADDRESS_SANITIZER 1
#endif
#endif

namespace sigrune {

template <typename T>
struct LargeAllocator {
  using value_type = T;

  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    if (!UsesPages(bytes)) {
      return static_cast<T*>(::operator new(bytes));
    }
    void* memory =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
      throw std::bad_alloc();
    }
    ::madvise(memory, bytes, MADV_HUGEPAGE);
    return static_cast<T*>(memory);
  }

  void deallocate(T* memory, std::size_t count) noexcept {
    const std::size_t bytes = count * sizeof(T);
    if (!UsesPages(bytes)) {
      ::operator delete(memory);
    } else {
      ::munmap(memory, bytes);
    }
  }

  template <typename U>
  bool operator==(const LargeAllocator<U>&) const noexcept {
    return true;
  }

 private:
  static constexpr std::size_t kHugePage = 2u << 20;
  // The address sanitizer only watches the heap, so its builds keep everything there.
  static constexpr bool UsesPages(std::size_t bytes) {
#ifdef SIGRUNE_ADDRESS_SANITIZER
    static_cast<void>(bytes);
    return false;
#else
    return bytes >= kHugePage;
#endif
  }
};

template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;
using LargeString = std::basic_string<char, std::char_traits<char>, LargeAllocator<char>>;

}  // namespace sigrune
