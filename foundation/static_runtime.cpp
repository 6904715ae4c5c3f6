// The few C++ run-time pieces the static Linux program needs, in place of
// libstdc++ (which it does not link): the allocation operators over malloc,
// and the library's failure calls, which end the program with a message
// since it is built without exceptions.
#include <unistd.h>

#include <bits/functexcept.h>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

[[noreturn]] void fail(const char* what, const char* detail) {
  const char* parts[] = {"qpk2exe: ", what, detail != nullptr ? ": " : "", detail != nullptr ? detail : "", "\n"};
  for (const char* part : parts) {
    ssize_t ignored = write(STDERR_FILENO, part, strlen(part));
    (void)ignored;
  }
  abort();
}

}  // namespace

// Memory that cannot be had is fatal here, as a throwing new would have been
// in a program that catches nothing.
void* operator new(size_t size) {
  void* block = malloc(size != 0 ? size : 1);
  if (block == nullptr) fail("out of memory", nullptr);
  return block;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }

namespace std {
void __throw_bad_alloc() { fail("out of memory", nullptr); }
void __throw_length_error(const char* text) { fail("length error", text); }
void __throw_logic_error(const char* text) { fail("logic error", text); }
}  // namespace std
