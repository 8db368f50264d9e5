#pragma once
// The reader objects: one per product, created once and kept for the life of
// the program (the window, the command line and the runs share them).

#include <memory>

#include "products/Product.h"
#include "products/ProductTable.h"

namespace morphel {

class ReaderSet {
 public:
  ReaderSet();
  ~ReaderSet();
  // The reader for an input list item; nullptr for "(None)", "QVR Darsk" and
  // products without a reader. Items 8 and 9 share one reader.
  Product* ForItem(int item);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace morphel
