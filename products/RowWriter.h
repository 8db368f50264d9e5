#pragma once
// Delimited rows written straight into the output buffer. The selection is
// compiled once per run into a row plan: runs of fields whose texts change
// together (kept, with their separators, under the reader's stamps and made
// again through FormatField only when a stamp moves), the record number, the
// fields made afresh for every row, and the << DATA >> columns, which the
// reader writes itself. A row is then a few copies of kept text, the
// reader's values and CR LF, with no string filled and copied per value.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/OutputFile.h"
#include "core/RowOutput.h"
#include "products/Product.h"

namespace morphel {

// How the fields of a reader with receiver bands change: the band fields
// (minimum and maximum frequency, step) and the receiver number follow the
// row's receiver, the record number counts rows, the other catalogue fields
// follow the record, and ids beyond the catalogue are made every row.
FieldChange BandReaderFieldChange(int id);

class RowWriter {
 public:
  // The plan of the reader's selection: `fields` positions of
  // SelectedFieldIds, separated by `delimiter` (never a line feed, which the
  // reference path stores as CR LF inside the reader's texts too).
  RowWriter(Product& reader, size_t fields, OutputFile& file, char delimiter);

  // Writes the reader's current row; true when it held text and was written.
  bool WriteRow();

 private:
  struct Kept {
    uint64_t stamp = 0;
    bool valid = false;
    bool text = false;  // some field of the run has text
    std::string bytes;  // separators and texts, line feeds as CR LF
  };
  struct Piece {
    FieldChange change = FieldChange::EveryRow;
    bool data = false;  // the << DATA >> columns
    int part = 0;       // of a Record piece: the stamp it follows
    size_t begin = 0;   // positions [begin, end) of the selection
    size_t end = 0;
    std::array<Kept, RowStamps::kSlots> kept;
  };

  void Compile(size_t fields);
  void Refill(const Piece& piece, Kept& kept);
  void WriteKept(Piece& piece, const RowStamps& stamps);
  void WriteRecordNumber(const Piece& piece);
  void WriteEveryRow(const Piece& piece);

  Product& reader_;
  RowOutput out_;
  std::vector<Piece> pieces_;
  bool keeps_ = false;  // some piece is kept under the reader's stamps
  std::string field_;   // FormatField's text
};

}  // namespace morphel
