// morphel info: what a log holds, as lines of text or one JSON document.

#include <fmt/format.h>

#include <cstdio>
#include <string>

#include "app/MainModel.h"
#include "cli/CliHooks.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/ExportCommands.h"
#include "cli/Json.h"
#include "cli/Setup.h"
#include "export/Cells.h"
#include "index/LogFacts.h"
#include "products/ProductTable.h"

namespace morphel::cli {

namespace {

constexpr double kMetresPerKm = 1000.0;
constexpr int kMHzPlaces = 5;  // the finest any product prints

using exporting::IsoTime;

const char* ClockWords(ReadingClock clock) {
  return clock == ReadingClock::Gps ? "GPS time" : "receiver clock";
}

double Share(int64_t part, int64_t whole) {
  return whole > 0 ? static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

// Everything the info command tells about one log.
struct Report {
  std::string log;
  const ProductRow* product = nullptr;
  LogFacts facts;
  ReadingSummary summary;
  DamageCounts damage;
};

void PrintReceiversText(const LogFacts& f) {
  for (size_t i = 0; i < f.receivers.size(); ++i) {
    const ReceiverFacts& rx = f.receivers[i];
    if (rx.readings == 0) continue;
    const std::string levels = rx.levels > 0
                                   ? fmt::format("RSSI min {} median {} max {} dBm", rx.LevelMin(),
                                                 rx.LevelMedian(), rx.LevelMax())
                                   : "no RSSI";
    std::fputs(
        fmt::format("Receiver {}: {} readings, channels {} to {}, {:.5f} to {:.5f} MHz, {}\n",
                    i + 1, rx.readings, rx.channelMin, rx.channelMax, rx.frequencyMinMHz,
                    rx.frequencyMaxMHz, levels)
            .c_str(),
        stdout);
  }
}

void PrintText(const Report& r) {
  const LogFacts& f = r.facts;
  std::string out =
      fmt::format("File: {}\nProduct: {} ({}){}\nSize: {} bytes\n", r.log, r.product->caption,
                  r.product->cliName, f.firmware.empty() ? "" : ", firmware " + f.firmware,
                  r.summary.inputSize);
  if (f.hasTime) {
    std::string clocks = ClockWords(f.first.clock);
    if (f.last.clock != f.first.clock) clocks += std::string(" to ") + ClockWords(f.last.clock);
    out += fmt::format("Time: {} to {} ({}), {} s\n", IsoTime(f.first), IsoTime(f.last), clocks,
                       f.DurationSeconds());
  } else {
    out += "Time: none\n";
  }
  out += fmt::format("Records: {}, {} with a valid position fix ({:.1f}%)\n", f.records,
                     f.recordsWithFix, 100 * Share(f.recordsWithFix, f.records));
  std::string segments;
  for (const TopLevelNode& node : r.product->segmentNodes)
    segments += fmt::format("{}{} {}", segments.empty() ? "" : ", ", node.caption,
                            r.summary.segmentsByType[static_cast<size_t>(node.type)]);
  out += "Segments: " + segments + "\n";
  if (f.hasFix)
    out += fmt::format(
        "Area: latitude {:.6f} to {:.6f}, longitude {:.6f} to {:.6f}; {:.2f} km "
        "driven\n",
        f.south, f.north, f.west, f.east, f.distanceMetres / kMetresPerKm);
  else
    out += "Area: no position fix\n";
  std::fputs(out.c_str(), stdout);
  PrintReceiversText(f);
  if (r.product->paging)
    std::printf("Paging messages: %lld POCSAG, %lld FLEX\n",
                static_cast<long long>(f.pocsagMessages), static_cast<long long>(f.flexMessages));
  const std::string damage = DamageText(r.damage);
  std::printf("Damage: %s\n", damage.empty() ? "none" : damage.c_str());
}

void ReceiversJson(Json& json, const LogFacts& f) {
  json.Key("receivers").BeginArray();
  for (size_t i = 0; i < f.receivers.size(); ++i) {
    const ReceiverFacts& rx = f.receivers[i];
    if (rx.readings == 0) continue;
    json.BeginObject().Key("receiver").Number(static_cast<int64_t>(i + 1));
    json.Key("readings").Number(rx.readings);
    json.Key("channelMin").Number(int64_t{rx.channelMin});
    json.Key("channelMax").Number(int64_t{rx.channelMax});
    json.Key("frequencyMinMHz").Number(exporting::RoundTo(rx.frequencyMinMHz, kMHzPlaces));
    json.Key("frequencyMaxMHz").Number(exporting::RoundTo(rx.frequencyMaxMHz, kMHzPlaces));
    for (const auto& [key, value] : {std::pair{"rssiMinDbm", rx.levels ? rx.LevelMin() : 0},
                                     std::pair{"rssiMedianDbm", rx.levels ? rx.LevelMedian() : 0},
                                     std::pair{"rssiMaxDbm", rx.levels ? rx.LevelMax() : 0}}) {
      json.Key(key);
      if (rx.levels) {
        json.Number(int64_t{value});
      } else {
        json.Null();
      }
    }
    json.EndObject();
  }
  json.EndArray();
}

void TimeJson(Json& json, const LogFacts& f) {
  for (const auto& [key, time] : {std::pair{"firstTime", &f.first}, {"lastTime", &f.last}}) {
    json.Key(key);
    if (f.hasTime) {
      json.String(IsoTime(*time));
    } else {
      json.Null();
    }
  }
  json.Key("clock");
  if (f.hasTime) {
    json.String(exporting::ClockName(f.first.clock));
  } else {
    json.Null();
  }
  json.Key("durationSeconds").Number(f.DurationSeconds());
}

void PrintJson(const Report& r) {
  const LogFacts& f = r.facts;
  Json json;
  json.BeginObject().Key("path").String(r.log);
  ProductMembers(json, r.product->Number());
  json.Key("firmware");
  if (f.firmware.empty()) {
    json.Null();
  } else {
    json.String(f.firmware);
  }
  json.Key("sizeBytes").Number(static_cast<int64_t>(r.summary.inputSize));
  TimeJson(json, f);
  json.Key("records").Number(f.records).Key("recordsWithFix").Number(f.recordsWithFix);
  json.Key("fixShare").Number(Share(f.recordsWithFix, f.records));
  json.Key("segments").BeginObject();
  for (const TopLevelNode& node : r.product->segmentNodes)
    json.Key(node.caption)
        .Number(int64_t{r.summary.segmentsByType[static_cast<size_t>(node.type)]});
  json.EndObject().Key("boundingBox");
  if (f.hasFix) {
    json.BeginObject();
    for (const auto& [key, value] :
         {std::pair{"south", f.south}, {"west", f.west}, {"north", f.north}, {"east", f.east}})
      json.Key(key).Number(exporting::RoundTo(value, exporting::kDegreePlaces));
    json.EndObject();
  } else {
    json.Null();
  }
  json.Key("distanceMetres").Number(exporting::RoundTo(f.distanceMetres, 1));
  ReceiversJson(json, f);
  json.Key("pagingMessages");
  if (r.product->paging) {
    json.BeginObject().Key("pocsag").Number(f.pocsagMessages);
    json.Key("flex").Number(f.flexMessages).EndObject();
  } else {
    json.Null();
  }
  DamageMembers(json, r.damage);
  std::fputs(json.EndObject().Text().c_str(), stdout);
}

}  // namespace

int RunInfo(const InfoArgs& a) {
  Terminal terminal;
  Console console(terminal, false);
  int status = kOk, item = 0;
  MainModel model;
  if (!OpenLog(model, a.product, a.log, console, item, status)) return status;
  Product& reader = *model.CurrentReader();
  Report report;
  report.log = a.log;
  report.product = ProductRowFor(item);
  CliHooks hooks(console, "Reading", false);
  LogFactsSink sink;
  ReadingRun run(reader, model.Snapshot(), ReadingOptions{}, hooks);
  if (run.Run(sink) != ReadingOutcome::Completed) return kFailed;
  if (run.Summary().stopped) return kInterrupted;
  report.facts = sink.Facts();
  report.summary = run.Summary();
  report.damage = reader.Damage;
  if (a.json) {
    PrintJson(report);
  } else {
    PrintText(report);
  }
  return kOk;
}

}  // namespace morphel::cli
