#include "app/ConversionRun.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/Detect.h"
#include "core/LogFile.h"
#include "products/FormatTable.h"
#include "products/Formats.h"
#include "products/LogPass.h"
#include "products/ProductTable.h"

namespace morphel {

namespace {

// Whether two names reach the same file (the same name, another name of it, a
// hard link or a symbolic link). A name that does not exist yet is no file.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}
}  // namespace

ConversionRun::ConversionRun(Product& reader, const Settings& snapshot, RunHooks& hooks)
    : reader_(reader), settings_(snapshot), hooks_(hooks) {}

char ConversionRun::DelimiterFor(int item, const std::string& other) {
  switch (item) {
    case 0:
      return ',';
    case 1:
      return ';';
    case 2:
      return '\t';
    case 3:
      return ' ';
    case 4:
      return other.empty() ? '\0' : other[0];
    default:
      return '@';
  }
}

int ConversionRun::AverageModeFor(const Settings& s) {
  if (s.LambdaAvg) return Product::kAverageLambda;
  if (s.BSAvg) return Product::kAverageBestServer;
  if (s.rbORPM) return Product::kAveragePerMeters;
  if (s.rbORPS) return Product::kAveragePerSeconds;
  return Product::kAverageNone;
}

int ConversionRun::ReceiversFor(int item) {
  const ProductRow* row = ProductRowFor(item);
  return row ? row->rowReceivers : 1;
}

bool ConversionRun::TitleAtBoundary() const {
  const ProductRow* row = ProductRowFor(settings_.InputFormatGroup);
  return row && row->titleAtFirstSegment;
}

const FormatRow& ConversionRun::Format() const {
  const FormatRow* row = FormatRowFor(settings_.OutputFormatGroup);
  return row ? *row : Row(FormatItem::Custom);
}

bool ConversionRun::OverwritesInput() const {
  const std::string& input = settings_.InputFilename;
  if (outputFd_ >= 0) {
    // Standard output appended to the log would be read back as it grows.
    struct stat out {
    }, in{};
    return ::fstat(outputFd_, &out) == 0 && ::stat(input.c_str(), &in) == 0 &&
           out.st_dev == in.st_dev && out.st_ino == in.st_ino;
  }
  if (SameFile(settings_.OutputFilename, input)) return true;
  // The PathView layout also writes a side file next to the output.
  return settings_.NativeFormat && Format().sideFile &&
         SameFile(formats::PathViewSideFileName(settings_.OutputFilename), input);
}

RunOutcome ConversionRun::Run() {
  // Opening the output truncates it: never when that destroys the log.
  summary_ = ConversionSummary{};
  if (OverwritesInput()) {
    hooks_.report(MessageKind::Error, kOutputIsInput);
    return RunOutcome::OutputFailed;
  }
  if (Refuse()) return RunOutcome::Refused;
  LogPass pass(reader_, settings_, hooks_, ProgressGauge::UnknownSize::ShowsNothing);
  if (!pass.Open(true)) return RunOutcome::InputFailed;
  const bool binary = settings_.NativeFormat && Format().binary;
  const bool opened = outputFd_ >= 0 ? out_.OpenDescriptor(outputFd_, binary)
                                     : out_.Open(settings_.OutputFilename, binary);
  if (!opened) {
    pass.Close();
    hooks_.reportDetail(MessageKind::Error, kOutputFailed,
                        SystemReason(settings_.OutputFilename, out_.Error()));
    return RunOutcome::OutputFailed;
  }
  const uint64_t inputSize = reader_.Input.Size();
  summary_.inputSize = inputSize;
  delimiter_ = DelimiterFor(settings_.DelimiterGroup, settings_.OtherDelimiter);
  if (Format().firstLine) out_.Write(Format().firstLine);
  reader_.SetAverageMode(AverageModeFor(settings_));
  if (!settings_.NativeFormat && !TitleAtBoundary()) WriteTitleLine();

  headerPending_ = true;
  summary_.stopped = pass.ReadBlocks([this](Product::Block& block) { TakeBlock(block); },
                                     [this] { return !out_.Failed(); });
  if (settings_.NativeFormat) {
    recordArea_.clear();
    int len = reader_.WriteFormatTrailer(recordArea_);
    out_.Write(recordArea_.data(),
               std::min<size_t>(static_cast<size_t>(std::max(len, 0)), recordArea_.size()));
  }
  summary_.consumed = pass.Consumed();
  summary_.percent = pass.Gauge().Percent();
  summary_.rowsStarted = reader_.RecordCounter;
  CountSegments();
  pass.Close();
  // A full disk must never end in the completion message.
  if (!out_.Close()) {
    hooks_.reportDetail(MessageKind::Error, kOutputFailed,
                        SystemReason(settings_.OutputFilename, out_.Error()));
    return RunOutcome::OutputFailed;
  }
  // A read error ends the blocks as the end of the log would: it must not
  // pass for one.
  if (pass.ReadFailed()) {
    hooks_.reportDetail(MessageKind::Error, kInputUnreadable,
                        SystemReason(settings_.InputFilename, pass.ReadError()));
    return RunOutcome::InputFailed;
  }
  // A stopped run keeps its gauge where it stopped.
  if (!summary_.stopped) hooks_.progress(100);
  if (settings_.cbSplit && reader_.RecordCounter > kExcelLines) {
    RunOutcome split = ExcelSplit();
    if (split != RunOutcome::Completed) return split;
  }
  if (!summary_.stopped) hooks_.progress(100);
  const bool whole = !summary_.stopped && (summary_.dataRecords > 0 || inputSize == 0);
  if (whole || !completionOnlyWhenWhole_) hooks_.report(MessageKind::Information, kCompleted);
  return RunOutcome::Completed;
}

// One block of the log: its records, its text or the start of a segment.
void ConversionRun::TakeBlock(Product::Block& block) {
  switch (reader_.ProcessBlock(block)) {
    case Product::kRecordsReady:
      WriteRecordLines();
      break;
    case Product::kTextReady:
      if (!reader_.TextBuffer.empty()) ++summary_.dataRecords;
      out_.Write(reader_.TextBuffer);
      break;
    case Product::kBoundary:
      if (!settings_.NativeFormat) {
        WriteTitleLine();
      } else {
        WriteNativeHeader();
      }
      break;
    case Product::kBoundaryAndRecords:
      if (!settings_.NativeFormat) {
        reader_.TitlePending = 1;
        WriteTitleLine();
      } else {
        WriteNativeHeader();
      }
      WriteRecordLines();
      break;
    default:
      break;
  }
}

bool ConversionRun::Refuse() {
  if (settings_.NativeFormat) {
    const int format = settings_.OutputFormatGroup;
    if (!ProductWritesFormat(settings_.InputFormatGroup, format)) {
      const FormatRow* f = FormatRowFor(format);
      const ProductRow* p = ProductRowFor(settings_.InputFormatGroup);
      hooks_.report(MessageKind::Error, std::string(p ? p->caption : "This product") + " has no " +
                                            (f ? f->caption : "such") +
                                            " layout; it is written for " +
                                            ProductsWritingFormat(format) + ".");
      return true;
    }
    return false;
  }
  if (settings_.SelectedBox.empty()) {
    hooks_.report(MessageKind::Warning, kNoFieldSelected);
    return true;
  }
  return false;
}

void ConversionRun::CountSegments() {
  summary_.segmentsMet = reader_.SegmentCounter;
  summary_.segmentsLeftOut = 0;
  for (int i = 0; i < reader_.SegmentCounter && i < SegmentTable::kMaxSegments; ++i)
    if (!reader_.SegmentNodes.Included(i)) ++summary_.segmentsLeftOut;
}

std::string ConversionRun::EmptyResultReason() const {
  const ConversionSummary& s = summary_;
  if (s.dataRecords > 0 || s.inputSize == 0) return {};
  const ProductRow* chosen = ProductRowFor(settings_.InputFormatGroup);
  const std::string reader = chosen ? chosen->caption : "this";
  std::string reason = "no data record was written: ";
  if (s.stopped) return reason + "the run was stopped before the first record";
  if (s.segmentsMet > 0 && s.segmentsLeftOut == s.segmentsMet)
    return reason + "every segment of the log is left out";
  const int detected = DetectProduct(settings_.InputFilename);
  const ProductRow* seen = ProductRowFor(detected);
  if (detected != kItemNone && seen && chosen && seen->readerOf != chosen->readerOf)
    reason += "the log looks like a " + std::string(seen->caption) + " log, not " + reader + "; ";
  if (s.offeredRecords == 0) {
    reason += "the " + reader + " reader found no measurement record in it";
  } else if (s.rowsStarted == 0 && !settings_.NativeFormat) {
    reason += "none of the selected receivers has readings in this log";
  } else {
    reason += "every selected field is empty for every record";
  }
  const uint64_t skipped = reader_.Damage.resyncBytes;
  if (skipped > 0) reason += " (" + std::to_string(skipped) + " bytes skipped between records)";
  return reason;
}

void ConversionRun::WriteNativeHeader() {
  if (!headerPending_ || !reader_.TitlePending) return;
  // PathView's MDF side file goes beside the output with its header.
  if (Format().sideFile)
    formats::WritePathViewSideFile(settings_.OutputFilename, settings_.FrozenClock);
  recordArea_.clear();
  int len = reader_.WriteFormatHeader(recordArea_);
  out_.Write(recordArea_.data(),
             std::min<size_t>(static_cast<size_t>(std::max(len, 0)), recordArea_.size()));
  headerPending_ = false;
}

void ConversionRun::WriteTitleLine() {
  if (!reader_.TitlePending) return;
  if (settings_.FieldTitles) {
    const auto& names = settings_.SelectedBox;
    for (size_t i = 0; i < names.size() && i < reader_.SelectedFieldIds.size(); ++i) {
      int id = reader_.SelectedFieldIds[i];
      if (id != 0) {
        if (i > 0) out_.Put(delimiter_);
        out_.Put('"');
        out_.Write(names[i]);
        out_.Put('"');
        continue;
      }
      int r = reader_.WriteDataTitles(0, titleArea_, delimiter_);
      if (i > 0 && !titleArea_.empty()) out_.Put(delimiter_);
      while (r >= 0) {
        if (!titleArea_.empty()) out_.Write(titleArea_);
        r = reader_.WriteDataTitles(1, titleArea_, delimiter_);
        if (!titleArea_.empty()) out_.Put(delimiter_);
      }
    }
    out_.Put('\n');
  }
  reader_.TitlePending = 0;
}

void ConversionRun::WriteRecordLines() {
  reader_.RemainingRecordCount = reader_.PendingRecordCount;
  if (reader_.PendingRecordCount > 0) summary_.offeredRecords += reader_.PendingRecordCount;
  const int receivers = ReceiversFor(settings_.InputFormatGroup);
  const bool askReceivers = receivers > 1;
  const auto& names = settings_.SelectedBox;
  const size_t fields = std::min(names.size(), reader_.SelectedFieldIds.size());
  while (reader_.RemainingRecordCount > 0) {
    if (settings_.NativeFormat) {
      WriteNativeHeader();
      recordArea_.clear();
      int len = reader_.WriteFormatRecord(recordArea_);
      if (len > 0) ++summary_.dataRecords;
      out_.Write(recordArea_.data(),
                 std::min<size_t>(static_cast<size_t>(std::max(len, 0)), recordArea_.size()));
    } else {
      for (int j = 1; j <= receivers; ++j) {
        if (askReceivers && !reader_.ReceiverHasData(j)) continue;
        ++reader_.RecordCounter;
        // Empty fields keep their columns, but a line with no text at all is
        // not written: the delimiters before its first text wait for it.
        bool content = false;
        int owed = 0;
        auto separate = [&] {
          if (content) {
            out_.Put(delimiter_);
          } else {
            ++owed;
          }
        };
        auto text = [&] {
          if (recordArea_.empty()) return;
          for (; owed > 0; --owed) out_.Put(delimiter_);
          content = true;
          out_.Write(recordArea_);
        };
        for (size_t i = 0; i < fields; ++i) {
          int id = reader_.SelectedFieldIds[i];
          if (id != 0) {
            if (i > 0) separate();
            reader_.FormatField(id, recordArea_);
            text();
            continue;
          }
          int r = reader_.FormatDataValues(0, recordArea_, delimiter_);
          if (i > 0 && r == 0) separate();
          while (r >= 0) {
            text();
            r = reader_.FormatDataValues(1, recordArea_, delimiter_);
            if (r == 0) separate();
          }
        }
        if (content) {
          out_.Put('\n');
          ++summary_.dataRecords;
        }
      }
    }
    --reader_.RemainingRecordCount;
  }
}

RunOutcome ConversionRun::ExcelSplit() {
  const std::string& output = settings_.OutputFilename;
  if (output.size() <= 4) {
    hooks_.reportDetail(MessageKind::Error, kNoDirectory,
                        output + ": the name is too short to give a folder name");
    return RunOutcome::SplitFailed;
  }
  const std::string dir = output.substr(0, output.size() - 4);
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0) {
    if (::mkdir(dir.c_str(), 0777) != 0) {
      hooks_.reportDetail(MessageKind::Error, kNoDirectory, SystemReason(dir, errno));
      return RunOutcome::SplitFailed;
    }
  } else if (!S_ISDIR(st.st_mode)) {
    // A file of that name is in the way: never overwrite it.
    hooks_.reportDetail(MessageKind::Error, kNoDirectory, SystemReason(dir, ENOTDIR));
    return RunOutcome::SplitFailed;
  }
  LogFile in;
  if (!in.Open(output)) {
    hooks_.reportDetail(MessageKind::Error, kOutputFailed, SystemReason(output, in.Error()));
    return RunOutcome::OutputFailed;
  }
  ProgressGauge gauge(hooks_, ProgressGauge::UnknownSize::ShowsNothing);
  gauge.Start(in.Size());
  const size_t slash = dir.rfind('/');
  const std::string base = slash == std::string::npos ? dir : dir.substr(slash + 1);

  // Lines are read as a text stream sees them (CR LF as one line feed) and
  // written back through the CR LF output, so parts hold the same bytes. A
  // line is copied whole whatever its length (a fast-data row runs to
  // thousands of characters): a part never ends inside a row.
  std::string line;
  uint64_t consumed = 0;
  bool atEnd = false;
  int pending = -1;  // a byte read ahead after a lone carriage return
  auto nextByte = [&]() -> int {
    if (pending >= 0) {
      int c = pending;
      pending = -1;
      return c;
    }
    return in.ReadByte();
  };
  auto readLine = [&]() -> bool {
    line.clear();
    for (;;) {
      int c = nextByte();
      if (c < 0) break;
      ++consumed;
      if (c == '\r') {
        int c2 = nextByte();
        if (c2 == '\n') {
          ++consumed;
          line.push_back('\n');
          break;
        }
        pending = c2;
        line.push_back('\r');
        continue;
      }
      line.push_back(static_cast<char>(c));
      if (c == '\n') break;
    }
    return !line.empty();
  };
  for (int part = 1; !atEnd; ++part) {
    OutputFile partFile;
    std::string name = dir + "/" + base + "-" + std::to_string(part) + ".out";
    // A part reached through a link must not overwrite the output or the log.
    if (SameFile(name, output) || SameFile(name, settings_.InputFilename)) {
      hooks_.reportDetail(MessageKind::Error, kSplitFailed,
                          name + ": it is the output or the log under another name");
      return RunOutcome::OutputFailed;
    }
    if (!partFile.Open(name, false)) {
      hooks_.reportDetail(MessageKind::Error, kSplitFailed, SystemReason(name, partFile.Error()));
      return RunOutcome::OutputFailed;
    }
    for (int lines = 0; lines < kExcelLines; ++lines) {
      if (!readLine()) {
        atEnd = true;
        break;
      }
      partFile.Write(line);
      gauge.Show(consumed);
    }
    if (!partFile.Close()) {
      hooks_.reportDetail(MessageKind::Error, kSplitFailed, SystemReason(name, partFile.Error()));
      return RunOutcome::OutputFailed;
    }
  }
  return RunOutcome::Completed;
}

}  // namespace morphel
