// Tables of readings and paging messages as RFC 4180 text: one title line,
// the same columns on every row, CR LF line ends, fields quoted where they
// hold a comma, a quote or a line break.

#include <unistd.h>

#include <memory>
#include <vector>

#include "core/OutputFile.h"
#include "core/RunHooks.h"
#include "export/Writers.h"

namespace morphel::exporting {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

class CsvTable {
 public:
  bool Open(const std::string& path, std::span<const Column> columns, std::string& error) {
    path_ = path;
    // Bytes as they are: line ends are CR LF, and a line feed inside a
    // quoted field stays the line feed it is.
    if (!file_.Open(path, true)) {
      error = SystemReason(path, file_.Error());
      return false;
    }
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) file_.Put(',');
      file_.Write(columns[i].name);
    }
    file_.Write(kLineEnd);
    return true;
  }
  bool IsOpen() const { return file_.IsOpen(); }
  void Row(const std::vector<Cell>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) file_.Put(',');
      text_.clear();
      AppendCellText(text_, cells[i]);
      if (text_.find_first_of(",\"\r\n") == std::string::npos) {
        file_.Write(text_);
        continue;
      }
      file_.Put('"');
      for (char c : text_) {
        if (c == '"') file_.Put('"');
        file_.Put(c);
      }
      file_.Put('"');
    }
    file_.Write(kLineEnd);
  }
  bool Failed() const { return file_.Failed(); }
  bool Close(std::string& error) {
    if (!file_.IsOpen()) return true;
    if (file_.Close()) return true;
    error = SystemReason(path_, file_.Error());
    return false;
  }

 private:
  std::string path_;
  OutputFile file_;
  std::string text_;
};

class CsvExport : public ExportSink {
 public:
  explicit CsvExport(const ExportSettings& settings)
      : path_(settings.path), pagingPath_(PagingFileName(ExportFormat::Csv, settings.path)) {}

  bool BeginLog(const Product&) override {
    if (readingsTable_.IsOpen()) return true;
    // The messages' table is made with the first message; one left from an
    // earlier export of the same name would describe another log.
    ::unlink(pagingPath_.c_str());
    return readingsTable_.Open(path_, ReadingColumns(), error_);
  }

  bool Take(const ReadingRecord& record) override {
    for (const Reading& reading : record.readings) {
      ReadingCells(log_, record, reading, cells_);
      readingsTable_.Row(cells_);
      ++readings_;
    }
    if (!record.messages.empty() && !pagingTable_.IsOpen() &&
        !pagingTable_.Open(pagingPath_, PagingColumns(), error_))
      return false;
    for (const PagingMessage& message : record.messages) {
      MessageCells(log_, record, message, cells_);
      pagingTable_.Row(cells_);
      ++messages_;
    }
    if (!readingsTable_.Failed() && !pagingTable_.Failed()) return true;
    Close();  // says which file could not be written, and why
    return false;
  }

  bool EndLog() override { return true; }

  bool Close() override {
    const bool readingsOk = readingsTable_.Close(error_);
    std::string pagingError;
    const bool pagingOk = pagingTable_.Close(pagingError);
    if (readingsOk && !pagingOk) error_ = pagingError;
    return readingsOk && pagingOk;
  }

 private:
  std::string path_;
  std::string pagingPath_;
  CsvTable readingsTable_;
  CsvTable pagingTable_;
  std::vector<Cell> cells_;
};

}  // namespace

std::unique_ptr<ExportSink> CreateCsvExport(const ExportSettings& settings) {
  return std::make_unique<CsvExport>(settings);
}

}  // namespace morphel::exporting
