#include "products/RowWriter.h"

#include <algorithm>

#include "core/FastText.h"
#include "products/FieldCatalog.h"

namespace morphel {

FieldChange BandReaderFieldChange(int id) {
  using F = FieldCatalog;
  switch (id) {
    case F::kRecordNumber:
      return FieldChange::RecordNumber;
    case F::kMinFrequency:
    case F::kMaxFrequency:
    case F::kStepSize:
    case F::kReceiver:
      return FieldChange::Receiver;
    default:
      return id >= 0 && id < F::kFieldCount ? FieldChange::Record : FieldChange::EveryRow;
  }
}

RowWriter::RowWriter(Product& reader, size_t fields, OutputFile& file, char delimiter)
    : reader_(reader), out_(file, delimiter) {
  reader_.BeginRows();
  Compile(fields);
}

// Consecutive fields that change together (the same kind of change and, for
// Record fields, the same part) make one piece; the record number, fields
// made every row and the << DATA >> columns stand alone.
void RowWriter::Compile(size_t fields) {
  pieces_.clear();
  for (size_t i = 0; i < fields; ++i) {
    const int id = reader_.SelectedFieldIds[i];
    Piece piece;
    piece.begin = i;
    piece.end = i + 1;
    if (id == FieldCatalog::kData) {
      piece.data = true;
    } else {
      piece.change = reader_.FieldChangeOf(id);
      if (piece.change == FieldChange::Record)
        piece.part = std::clamp(reader_.RecordPartOf(id), 0, RowStamps::kRecordParts - 1);
      const bool kept =
          piece.change == FieldChange::Record || piece.change == FieldChange::Receiver;
      if (kept && !pieces_.empty() && !pieces_.back().data &&
          pieces_.back().change == piece.change && pieces_.back().part == piece.part) {
        pieces_.back().end = i + 1;
        continue;
      }
    }
    pieces_.push_back(std::move(piece));
  }
  keeps_ = false;
  for (const Piece& piece : pieces_)
    keeps_ |= !piece.data &&
              (piece.change == FieldChange::Record || piece.change == FieldChange::Receiver);
}

void RowWriter::Refill(const Piece& piece, Kept& kept) {
  const char delimiter = out_.Delimiter();
  kept.bytes.clear();
  kept.text = false;
  for (size_t i = piece.begin; i < piece.end; ++i) {
    if (i > 0) kept.bytes.push_back(delimiter);
    reader_.FormatField(reader_.SelectedFieldIds[i], field_);
    if (field_.empty()) continue;
    kept.text = true;
    if (field_.find('\n') == std::string::npos) {
      kept.bytes.append(field_);
      continue;
    }
    for (char c : field_) {
      if (c == '\n') kept.bytes.push_back('\r');
      kept.bytes.push_back(c);
    }
  }
  kept.valid = true;
}

void RowWriter::WriteKept(Piece& piece, const RowStamps& stamps) {
  const bool perReceiver = piece.change == FieldChange::Receiver;
  const uint64_t stamp =
      perReceiver ? stamps.receiver : stamps.record[static_cast<size_t>(piece.part)];
  const int slot = perReceiver ? stamps.slot : 0;
  Kept& kept = piece.kept[static_cast<size_t>(slot) % RowStamps::kSlots];
  if (!kept.valid || kept.stamp != stamp) {
    Refill(piece, kept);
    kept.stamp = stamp;
  }
  out_.Bytes(kept.bytes, kept.text);
}

void RowWriter::WriteRecordNumber(const Piece& piece) {
  char* p = out_.Room(24);
  if (piece.begin > 0) {
    *p++ = out_.Delimiter();
    out_.WroteSeparators(p);
  }
  out_.Wrote(fast::Signed(p, reader_.RecordCounter));
}

void RowWriter::WriteEveryRow(const Piece& piece) {
  if (piece.begin > 0) out_.Separator();
  reader_.FormatField(reader_.SelectedFieldIds[piece.begin], field_);
  out_.Text(field_);
}

bool RowWriter::WriteRow() {
  const RowStamps stamps = keeps_ ? reader_.CurrentRowStamps() : RowStamps{};
  out_.BeginRow();
  for (Piece& piece : pieces_) {
    if (piece.data) {
      reader_.WriteDataColumns(out_, piece.begin == 0);
      continue;
    }
    switch (piece.change) {
      case FieldChange::Record:
      case FieldChange::Receiver:
        WriteKept(piece, stamps);
        break;
      case FieldChange::RecordNumber:
        WriteRecordNumber(piece);
        break;
      case FieldChange::EveryRow:
        WriteEveryRow(piece);
        break;
    }
  }
  return out_.EndRow();
}

}  // namespace morphel
