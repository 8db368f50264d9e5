#include "app/Readers.h"

#include <array>

#include "app/Catalog.h"

namespace morphel {

std::unique_ptr<Product> CreateReader(int item) {
  switch (item) {
    default:
      return nullptr;
  }
}

struct ReaderSet::Impl {
  std::array<std::unique_ptr<Product>, kProductItems> readers;
};

ReaderSet::ReaderSet() : impl_(std::make_unique<Impl>()) {
  for (int item = 1; item < kProductItems; ++item) {
    if (item == kItemBriselCard) continue;  // shares the Brisel reader
    impl_->readers[static_cast<size_t>(item)] = CreateReader(item);
  }
}

ReaderSet::~ReaderSet() = default;

Product* ReaderSet::ForItem(int item) {
  if (item == kItemBriselCard) item = kItemBrisel;
  if (item < 0 || item >= kProductItems) return nullptr;
  return impl_->readers[static_cast<size_t>(item)].get();
}

}  // namespace morphel
