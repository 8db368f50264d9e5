#include "products/Readers.h"

#include <array>

#include "products/ProductTable.h"

namespace morphel {

struct ReaderSet::Impl {
  std::array<std::unique_ptr<Product>, kProductItems> readers;
};

// One reader object per product; a product that shares another's reader
// (the Brisel PC card logs) gets none of its own.
ReaderSet::ReaderSet() : impl_(std::make_unique<Impl>()) {
  for (const ProductRow& row : ProductRows())
    if (row.readerOf == row.item && row.createReader)
      impl_->readers[static_cast<size_t>(row.Number())] = row.createReader();
}

ReaderSet::~ReaderSet() = default;

Product* ReaderSet::ForItem(int item) {
  const ProductRow* row = ProductRowFor(item);
  if (!row) return nullptr;
  return impl_->readers[static_cast<size_t>(ItemNumber(row->readerOf))].get();
}

}  // namespace morphel
