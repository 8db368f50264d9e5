// morphel info: what a log holds, as lines of text or one JSON object.

#include <fmt/format.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/Catalog.h"
#include "app/Readers.h"
#include "cli/CliHooks.h"
#include "cli/Commands.h"
#include "cli/ExportCommands.h"
#include "export/Cells.h"
#include "index/IndexRun.h"
#include "index/LogFacts.h"

namespace morphel::cli {

namespace {

constexpr double kMetresPerKm = 1000.0;

using exporting::IsoTime;

const char* ClockWords(ReadingClock clock) {
  return clock == ReadingClock::Gps ? "GPS time" : "receiver clock";
}

double Share(int64_t part, int64_t whole) {
  return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

bool Paging(int item) {
  return item == kItemZevCard || item == kItemZevDump;
}

// Everything the info command tells about one log.
struct Report {
  std::string log;
  const ProductInfo* product = nullptr;
  LogFacts facts;
  ReadingSummary summary;
  DamageCounts damage;
};

void PrintText(const Report& r) {
  const LogFacts& f = r.facts;
  std::printf("File: %s\n", r.log.c_str());
  std::printf("Product: %s (%s)%s\n", r.product->caption, r.product->cliName,
              f.firmware.empty() ? "" : (", firmware " + f.firmware).c_str());
  std::printf("Size: %llu bytes\n", static_cast<unsigned long long>(r.summary.inputSize));
  if (f.hasTime) {
    std::string clocks = ClockWords(f.first.clock);
    if (f.last.clock != f.first.clock) clocks += std::string(" to ") + ClockWords(f.last.clock);
    std::printf("Time: %s to %s (%s), %lld s\n", IsoTime(f.first).c_str(), IsoTime(f.last).c_str(),
                clocks.c_str(), static_cast<long long>(f.DurationSeconds()));
  } else
    std::printf("Time: none\n");
  std::printf("Records: %lld, %lld with a valid position fix (%.1f%%)\n",
              static_cast<long long>(f.records), static_cast<long long>(f.recordsWithFix),
              Share(f.recordsWithFix, f.records));
  std::string segments;
  for (const TopLevelNode& node : TopLevelNodes(r.product->item)) {
    if (!segments.empty()) segments += ", ";
    segments += fmt::format("{} {}", node.caption,
                            r.summary.segmentsByType[static_cast<size_t>(node.type)]);
  }
  std::printf("Segments: %s\n", segments.c_str());
  if (f.hasFix)
    std::printf("Area: latitude %.6f to %.6f, longitude %.6f to %.6f; %.2f km driven\n", f.south,
                f.north, f.west, f.east, f.distanceMetres / kMetresPerKm);
  else
    std::printf("Area: no position fix\n");
  for (size_t i = 0; i < f.receivers.size(); ++i) {
    const ReceiverFacts& rx = f.receivers[i];
    if (rx.readings == 0) continue;
    std::string levels = rx.levels > 0 ? fmt::format("RSSI min {} median {} max {} dBm",
                                                     rx.LevelMin(), rx.LevelMedian(), rx.LevelMax())
                                       : "no RSSI";
    std::printf("Receiver %zu: %lld readings, channels %d to %d, %s to %s MHz, %s\n", i + 1,
                static_cast<long long>(rx.readings), rx.channelMin, rx.channelMax,
                fmt::format("{:.5f}", rx.frequencyMinMHz).c_str(),
                fmt::format("{:.5f}", rx.frequencyMaxMHz).c_str(), levels.c_str());
  }
  if (Paging(r.product->item))
    std::printf("Paging messages: %lld POCSAG, %lld FLEX\n",
                static_cast<long long>(f.pocsagMessages), static_cast<long long>(f.flexMessages));
  std::printf("Damage: %s\n", DamageText(r.damage).c_str());
}

// A JSON string, escaped.
std::string Json(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      out += fmt::format("\\u{:04x}", c);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

std::string JsonReceivers(const LogFacts& f) {
  std::string out = "[";
  for (size_t i = 0; i < f.receivers.size(); ++i) {
    const ReceiverFacts& rx = f.receivers[i];
    if (rx.readings == 0) continue;
    if (out.size() > 1) out += ",";
    out += fmt::format(
        "{{\"receiver\":{},\"readings\":{},\"channel_min\":{},\"channel_max\":{},"
        "\"frequency_min_mhz\":{},\"frequency_max_mhz\":{},\"rssi_min_dbm\":{},"
        "\"rssi_median_dbm\":{},\"rssi_max_dbm\":{}}}",
        i + 1, rx.readings, rx.channelMin, rx.channelMax, rx.frequencyMinMHz, rx.frequencyMaxMHz,
        rx.levels ? std::to_string(rx.LevelMin()) : "null",
        rx.levels ? std::to_string(rx.LevelMedian()) : "null",
        rx.levels ? std::to_string(rx.LevelMax()) : "null");
  }
  return out + "]";
}

void PrintJson(const Report& r) {
  const LogFacts& f = r.facts;
  std::string segments = "{";
  for (const TopLevelNode& node : TopLevelNodes(r.product->item)) {
    if (segments.size() > 1) segments += ",";
    segments += Json(node.caption) + ":" +
                std::to_string(r.summary.segmentsByType[static_cast<size_t>(node.type)]);
  }
  segments += "}";
  const std::string box = f.hasFix ? fmt::format(
                                         "{{\"south\":{},\"west\":{},\"north\":{},"
                                         "\"east\":{}}}",
                                         f.south, f.west, f.north, f.east)
                                   : "null";
  const std::string paging = Paging(r.product->item) ? fmt::format("{{\"pocsag\":{},\"flex\":{}}}",
                                                                   f.pocsagMessages, f.flexMessages)
                                                     : "null";
  const DamageCounts& d = r.damage;
  std::printf(
      "{\"file\":%s,\"product\":%s,\"product_caption\":%s,\"firmware\":%s,\"size_bytes\":%llu,"
      "\"first_time\":%s,\"last_time\":%s,\"clock\":%s,\"duration_s\":%lld,\"records\":%lld,"
      "\"records_with_fix\":%lld,\"fix_share\":%s,\"segments\":%s,\"bounding_box\":%s,"
      "\"distance_m\":%s,\"receivers\":%s,\"paging_messages\":%s,\"damage\":{\"resync_bytes\":%llu,"
      "\"bad_length_blocks\":%llu,\"unknown_records\":%llu,\"truncated_blocks\":%llu}}\n",
      Json(r.log).c_str(), Json(r.product->cliName).c_str(), Json(r.product->caption).c_str(),
      f.firmware.empty() ? "null" : Json(f.firmware).c_str(),
      static_cast<unsigned long long>(r.summary.inputSize),
      f.hasTime ? Json(IsoTime(f.first)).c_str() : "null",
      f.hasTime ? Json(IsoTime(f.last)).c_str() : "null",
      f.hasTime ? Json(exporting::ClockName(f.first.clock)).c_str() : "null",
      static_cast<long long>(f.DurationSeconds()), static_cast<long long>(f.records),
      static_cast<long long>(f.recordsWithFix),
      fmt::format("{}", f.records
                            ? static_cast<double>(f.recordsWithFix) / static_cast<double>(f.records)
                            : 0.0)
          .c_str(),
      segments.c_str(), box.c_str(), fmt::format("{:.1f}", f.distanceMetres).c_str(),
      JsonReceivers(f).c_str(), paging.c_str(), static_cast<unsigned long long>(d.resyncBytes),
      static_cast<unsigned long long>(d.badLengthBlocks),
      static_cast<unsigned long long>(d.unknownRecords),
      static_cast<unsigned long long>(d.truncatedBlocks));
}

}  // namespace

int RunInfo(const InfoArgs& a) {
  int status = kOk;
  const int item = LogProduct(a.product, a.log, status);
  if (!item) return status;
  std::unique_ptr<Product> reader = CreateReader(item);
  Report report;
  report.log = a.log;
  report.product = ProductByItem(item);
  if (!reader) {
    std::fprintf(stderr, "morphel: no reader for %s in this build\n", report.product->caption);
    return kFailed;
  }
  Settings s;
  s.InputFilename = a.log;
  s.InputFormatGroup = item;
  InstallInterruptHandler();
  CliHooks hooks("Reading", false);
  LogFactsSink sink;
  ReadingRun run(*reader, s, ReadingOptions{}, hooks);
  if (run.Run(sink) != ReadingOutcome::Completed) return kFailed;
  if (run.Summary().stopped) return kInterrupted;
  report.facts = sink.Facts();
  report.summary = run.Summary();
  report.damage = reader->Damage;
  if (a.json)
    PrintJson(report);
  else
    PrintText(report);
  return kOk;
}

}  // namespace morphel::cli
