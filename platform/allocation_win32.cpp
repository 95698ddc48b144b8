// Built into every Windows program. libstdc++'s operator new throws std::bad_alloc, which links
// the exception runtime and the unwinder that these programs, built without exceptions, do not
// otherwise carry. Out of memory ends the process with abort(): a box or a line saying so would
// need memory too.
#include <cstddef>
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;  // a unique pointer for 0
  std::abort();
}

void* operator new[](std::size_t size) { return ::operator new(size); }

// libstdc++'s call the one above inside a try block: they would abort, not return null.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
