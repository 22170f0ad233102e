#include "support/page_buffer.h"

#include <new>

namespace {

constexpr std::align_val_t PageAlignment{4096};

}  // namespace

void PageBufferRelease::operator()(char* buffer) const {
  ::operator delete[](buffer, PageAlignment);
}

PageBuffer MakePageBuffer(size_t size) {
  return PageBuffer(static_cast<char*>(::operator new[](size, PageAlignment)));
}
