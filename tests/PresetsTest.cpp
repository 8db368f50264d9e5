#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/MainModel.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"

namespace morphel {
namespace {

using Names = std::vector<std::string>;

class ListReader : public Product {
 public:
  explicit ListReader(std::initializer_list<int> ids) { SetAvailableFields(ids); }
  void Offer(const std::vector<int>& ids) {
    AvailableFieldIds.fill(kNoFieldId);
    AvailableCount = 0;
    for (int id : ids)
      AvailableFieldIds[static_cast<size_t>(AvailableCount++)] = static_cast<int16_t>(id);
  }
};

// A model whose products are served by small list-only readers.
struct PresetModel {
  std::map<int, std::unique_ptr<ListReader>> readers;
  std::unique_ptr<MainModel> model;
  PresetModel() {
    for (int item : {1, 2, 3, 4, 5, 7, 8})
      readers[item] = std::make_unique<ListReader>(
          std::initializer_list<int>{FieldCatalog::kData, FieldCatalog::kLatDecimal,
                                     FieldCatalog::kLonDecimal, FieldCatalog::kGpsTime});
    model = std::make_unique<MainModel>([this](int item) -> Product* {
      if (item == kItemBriselCard) item = kItemBrisel;
      auto it = readers.find(item);
      return it == readers.end() ? nullptr : it->second.get();
    });
  }
  MainModel& operator*() { return *model; }
  MainModel* operator->() { return model.get(); }
};

Names SelectedNames(const MainModel& m) {
  return m.GetSettings().SelectedBox;
}

// The ids parallel to SelectedBox must name the same fields.
void ExpectIdsMatchNames(const MainModel& m) {
  const auto& box = m.GetSettings().SelectedBox;
  for (size_t i = 0; i < box.size(); ++i)
    EXPECT_EQ(FieldCatalog::Name(m.SelectedIds()[i]), box[i]) << "position " << i;
}

struct PresetCase {
  int item;
  bool header;    // expected FieldTitles (the start state is checked)
  int delimiter;  // expected DelimiterGroup (the start state is Space)
  Names others;
  Names skarn;
  bool setA;
  const char* outputName;  // expected OutputFilename
  bool native;
};

const Names kLonLatData = {"Longitude (Decimal Degrees)", "Latitude (Decimal Degrees)",
                           "<< DATA >>"};
const Names kData = {"<< DATA >>"};
const char* const kStartOutput = "/logs/run7.out";

const std::vector<PresetCase> kCases = {
    {0, true, kDelimiterSpace, {}, {}, false, kStartOutput, false},
    {1, false, kDelimiterComma, kLonLatData, kData, true, kStartOutput, false},
    {2,
     false,
     kDelimiterTab,
     {"Latitude (Decimal Degrees)", "Longitude (Decimal Degrees)", "<< DATA >>"},
     kData,
     true,
     "test.sdr",
     false},
    {3, true, kDelimiterSpace, {}, {}, false, kStartOutput, true},
    {4, false, kDelimiterTab, kLonLatData, kData, false, kStartOutput, false},
    {5,
     true,
     kDelimiterTab,
     {"Longitude (Decimal Degrees)", "Latitude (Decimal Degrees)", "GPS Time (HH:MM:SS)"},
     {},
     false,
     kStartOutput,
     false},
    {6, true, kDelimiterSpace, {}, {}, false, "MLJ.M01", true},
    {7, true, kDelimiterSpace, {}, {}, false, kStartOutput, true},
    {8, true, kDelimiterSpace, {}, {}, false, kStartOutput, false},
    {9,
     false,
     kDelimiterComma,
     {"Record Number", "Latitude (Degrees)", "Latitude (Minutes)", "Latitude (Seconds)",
      "Latitude Hemisphere", "Longitude (Degrees)", "Longitude (Minutes)", "Longitude (Seconds)",
      "Longitude Hemisphere", "<< DATA >>", "RTC Year (YY)", "RTC Month (MM)", "RTC Day (DD)",
      "GPS Hour (HH)", "GPS Minute (MM)", "GPS Second (SS)"},
     {"Record Number"},
     false,
     kStartOutput,
     false},
    {10, false, kDelimiterTab, kLonLatData, kData, false, kStartOutput, false},
    {11, false, kDelimiterComma, {}, {}, false, kStartOutput, false},
    {12, true, kDelimiterSpace, {}, {}, false, kStartOutput, true},
};

void RunPresetCase(const PresetCase& c, bool skarn) {
  PresetModel m;
  if (skarn) m->SelectProduct(kItemSkarn);
  Settings& s = m->EditSettings();
  s.DelimiterGroup = kDelimiterSpace;
  s.FieldTitles = true;
  s.OutputFilename = kStartOutput;
  s.FrequencyField = s.ChannelField = s.SATField = s.VMACField = true;
  s.RSSIField = false;
  s.Receiver1 = false;
  s.Receiver2 = s.Receiver3 = true;
  // Move off the item first with a preset that keeps header and delimiter.
  m->ApplyOutputPreset(c.item == 0 ? 8 : 0);
  m->ApplyOutputPreset(c.item);

  const Settings& after = m->GetSettings();
  EXPECT_EQ(after.OutputFormatGroup, c.item);
  EXPECT_EQ(m->AppliedOutputFormat, c.item);
  EXPECT_EQ(after.FieldTitles, c.header);
  EXPECT_EQ(after.DelimiterGroup, c.delimiter);
  EXPECT_EQ(SelectedNames(*m), skarn ? c.skarn : c.others);
  ExpectIdsMatchNames(*m);
  EXPECT_EQ(after.OutputFilename, c.outputName);
  EXPECT_EQ(after.NativeFormat, c.native);
  // Field Data set A, or the boxes as they were.
  EXPECT_EQ(after.FrequencyField, !c.setA);
  EXPECT_EQ(after.ChannelField, !c.setA);
  EXPECT_EQ(after.RSSIField, c.setA);
  EXPECT_EQ(after.Receiver1, c.setA);
  EXPECT_EQ(after.Receiver2, !c.setA);
  EXPECT_EQ(after.Receiver3, !c.setA);
  EXPECT_FALSE(after.Receiver4);
  EXPECT_EQ(after.SATField, !c.setA);
  EXPECT_EQ(after.VMACField, !c.setA);
  const MainControls& ctl = m->Controls();
  for (const ControlState* b :
       {&ctl.SelectField, &ctl.DeselectField, &ctl.SelectAll, &ctl.DeselectAll})
    EXPECT_EQ(b->enabled, !c.native);
  EXPECT_EQ(ctl.DelimiterGroup.visible, !c.native);
  EXPECT_EQ(ctl.FieldTitles.visible, !c.native);
  EXPECT_EQ(ctl.OtherDelimiter.visible, !c.native);
}

TEST(Presets, EveryRowForOtherProducts) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.item);
    RunPresetCase(c, false);
  }
}

TEST(Presets, EveryRowForSkarn) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.item);
    RunPresetCase(c, true);
  }
}

TEST(Presets, TableRowsAreTheFormatListInOrder) {
  for (int i = 0; i < kFormatCount; ++i) {
    const FormatRow* f = FormatRowFor(i);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Number(), i);
    EXPECT_EQ(FormatRowByName(f->cliName), f);
    // The four tools with a layout of their own are the native rows.
    const bool native = i == 3 || i == 6 || i == 7 || i == 12;
    EXPECT_EQ(f->Native(), native) << f->caption;
  }
  EXPECT_EQ(FormatRowFor(-1), nullptr);
  EXPECT_EQ(FormatRowFor(kFormatCount), nullptr);
}

TEST(Presets, CustomAsciiRightAfterStartupChangesNothing) {
  PresetModel m;
  ASSERT_TRUE(m->SelectClick(1));
  m->EditSettings().DelimiterGroup = kDelimiterTab;
  m->ApplyOutputPreset(kFormatCustom);
  EXPECT_EQ(SelectedNames(*m), Names{"Latitude (Decimal Degrees)"});
  EXPECT_TRUE(m->GetSettings().FieldTitles);
  EXPECT_EQ(m->GetSettings().DelimiterGroup, kDelimiterTab);
}

TEST(Presets, ChoosingTheAppliedItemAgainKeepsHandEdits) {
  PresetModel m;
  m->ApplyOutputPreset(5);
  ASSERT_TRUE(m->DeselectClick(0));
  m->ApplyOutputPreset(5);
  EXPECT_EQ(SelectedNames(*m), (Names{"Latitude (Decimal Degrees)", "GPS Time (HH:MM:SS)"}));
}

TEST(Presets, ExcelWithSkarnLeavesSelectionEmpty) {
  PresetModel m;
  m->SelectProduct(kItemSkarn);
  m->ApplyOutputPreset(1);
  ASSERT_FALSE(m->GetSettings().SelectedBox.empty());
  m->EditSettings().FieldTitles = false;
  m->ApplyOutputPreset(5);
  EXPECT_TRUE(m->GetSettings().SelectedBox.empty());
  EXPECT_TRUE(m->GetSettings().FieldTitles);
  EXPECT_EQ(m->GetSettings().DelimiterGroup, kDelimiterTab);
}

TEST(Presets, PlanetThenExcelReEnablesButtonsButOtherBoxStaysHidden) {
  PresetModel m;
  m->ApplyOutputPreset(7);
  EXPECT_TRUE(m->GetSettings().NativeFormat);
  EXPECT_FALSE(m->Controls().SelectAll.enabled);
  m->ApplyOutputPreset(5);
  const MainControls& ctl = m->Controls();
  EXPECT_TRUE(ctl.SelectField.enabled && ctl.DeselectField.enabled && ctl.SelectAll.enabled &&
              ctl.DeselectAll.enabled);
  EXPECT_TRUE(ctl.DelimiterGroup.visible);
  EXPECT_TRUE(ctl.FieldTitles.visible);
  EXPECT_FALSE(ctl.OtherDelimiter.visible);
  EXPECT_FALSE(m->GetSettings().NativeFormat);
  m->ApplyOutputPreset(11);
  EXPECT_FALSE(m->Controls().OtherDelimiter.visible);
}

TEST(Presets, ComarcoAndOpasOnlyEmptyTheSelection) {
  for (int item : {0, 8}) {
    PresetModel m;
    m->ApplyOutputPreset(9);  // sixteen fields, header off, comma
    m->EditSettings().FieldTitles = true;
    m->EditSettings().DelimiterGroup = kDelimiterSemicolon;
    m->ApplyOutputPreset(item);
    EXPECT_TRUE(m->GetSettings().SelectedBox.empty());
    EXPECT_TRUE(m->GetSettings().FieldTitles);
    EXPECT_EQ(m->GetSettings().DelimiterGroup, kDelimiterSemicolon);
    // The id list itself is left alone.
    EXPECT_EQ(m->SelectedIds()[0], FieldCatalog::kRecordNumber);
  }
}

TEST(Presets, PresetOverwritesOnlyTheFirstIdPositions) {
  PresetModel m;
  m->ApplyOutputPreset(9);
  m->ApplyOutputPreset(1);
  EXPECT_EQ(m->SelectedIds()[0], FieldCatalog::kLonDecimal);
  EXPECT_EQ(m->SelectedIds()[2], FieldCatalog::kData);
  EXPECT_EQ(m->SelectedIds()[3], FieldCatalog::kLatSeconds);  // left from the wizard row
}

TEST(FieldSelection, DeselectFirstOfThreeKeepsTheOthersInOrder) {
  PresetModel m;
  m->ApplyOutputPreset(1);  // Longitude, Latitude, << DATA >>
  ASSERT_TRUE(m->DeselectClick(0));
  EXPECT_EQ(SelectedNames(*m), (Names{"Latitude (Decimal Degrees)", "<< DATA >>"}));
  EXPECT_EQ(m->SelectedIds()[0], FieldCatalog::kLatDecimal);
  EXPECT_EQ(m->SelectedIds()[1], FieldCatalog::kData);
  EXPECT_EQ(m->SelectedIds()[2], Product::kNoFieldId);
}

TEST(FieldSelection, DeselectWithoutSelectedEntryDoesNothing) {
  PresetModel m;
  m->ApplyOutputPreset(1);
  EXPECT_FALSE(m->DeselectClick(-1));
  EXPECT_FALSE(m->DeselectClick(3));
  EXPECT_EQ(m->GetSettings().SelectedBox.size(), 3u);
}

TEST(FieldSelection, SelectAppendsAndAllowsRepeats) {
  PresetModel m;
  EXPECT_FALSE(m->SelectClick(-1));
  EXPECT_FALSE(m->SelectClick(4));
  ASSERT_TRUE(m->SelectClick(3));
  ASSERT_TRUE(m->SelectClick(3));
  ASSERT_TRUE(m->SelectClick(0));
  EXPECT_EQ(SelectedNames(*m), (Names{"GPS Time (HH:MM:SS)", "GPS Time (HH:MM:SS)", "<< DATA >>"}));
  ExpectIdsMatchNames(*m);
  EXPECT_EQ(m->GetSettings().AvailableBox.size(), 4u);  // selected fields stay available
}

TEST(FieldSelection, SelectAllStopsAtOneHundredEntries) {
  PresetModel m;
  std::vector<int> thirty;
  for (int id = 0; id < 30; ++id) thirty.push_back(id + 5);
  m.readers[kItemTolvan]->Offer(thirty);
  m->FillAvailableFields();
  ASSERT_EQ(m->GetSettings().AvailableBox.size(), 30u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(m->SelectAllClick());
  EXPECT_TRUE(m->SelectAllClick());  // ten more fit
  EXPECT_EQ(m->GetSettings().SelectedBox.size(), 100u);
  EXPECT_EQ(m->SelectedIds()[99], 5 + 9);
  EXPECT_FALSE(m->SelectAllClick());
  EXPECT_FALSE(m->SelectClick(0));
  EXPECT_EQ(m->GetSettings().SelectedBox.size(), 100u);
  ExpectIdsMatchNames(*m);
  // Deselecting the first shifts all 99 others down and empties the last.
  ASSERT_TRUE(m->DeselectClick(0));
  EXPECT_EQ(m->SelectedIds()[0], 6);
  EXPECT_EQ(m->SelectedIds()[98], 5 + 9);
  EXPECT_EQ(m->SelectedIds()[99], Product::kNoFieldId);
  EXPECT_TRUE(m->SelectClick(0));
}

TEST(FieldSelection, DeselectAllEmptiesEveryPosition) {
  PresetModel m;
  m->SelectAllClick();
  m->DeselectAllClick();
  EXPECT_TRUE(m->GetSettings().SelectedBox.empty());
  for (int16_t id : m->SelectedIds()) EXPECT_EQ(id, Product::kNoFieldId);
}

TEST(FieldSelection, SplitHelpMessage) {
  PresetModel m;
  std::vector<std::pair<MessageKind, std::string>> messages;
  m->onReport = [&](MessageKind k, const std::string& t) { messages.emplace_back(k, t); };
  m->sbHelpClick();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, MessageKind::Information);
  EXPECT_EQ(messages[0].second,
            "The Excel Split option will split the output file into multiple files of no more "
            "than 60000 records if needed. A subfolder with the name of the original output "
            "folder will be created.");
}

}  // namespace
}  // namespace morphel
