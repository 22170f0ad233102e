// Buffers that the kernel reads file data into.
#pragma once

#include <cstddef>
#include <memory>

// Starts on a page boundary: on some processors the kernel copies into a
// destination that starts a few bytes past a page several times slower, and
// a large allocation from the heap starts just past one.
struct PageBufferRelease {
  void operator()(char* buffer) const;
};
using PageBuffer = std::unique_ptr<char[], PageBufferRelease>;

PageBuffer MakePageBuffer(size_t size);
