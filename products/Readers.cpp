#include "products/Readers.h"

#include <array>

#include "products/Brisel.h"
#include "products/Catalog.h"
#include "products/Skarn.h"
#include "products/Tolvan.h"
#include "products/Tolvan2.h"
#include "products/Velmar.h"
#include "products/Zev.h"
#include "products/ZevDump.h"

namespace morphel {

std::unique_ptr<Product> CreateReader(int item) {
  switch (item) {
    case kItemTolvan:
      return std::make_unique<Tolvan>();
    case kItemVelmar:
      return std::make_unique<Velmar>();
    case kItemZevCard:
      return std::make_unique<Zev>();
    case kItemZevDump:
      return std::make_unique<ZevDump>();
    case kItemSkarn:
      return std::make_unique<Skarn>();
    case kItemTolvanNew:
      return std::make_unique<Tolvan2>();
    case kItemBrisel:
    case kItemBriselCard:
      return std::make_unique<Brisel>();
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
