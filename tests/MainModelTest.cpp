#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/MainModel.h"
#include "core/Bytes.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

class ListReader : public Product {
 public:
  explicit ListReader(std::initializer_list<int> ids) { SetAvailableFields(ids); }
};

// A model over list-only readers; items in `missing` have no reader.
struct Harness {
  std::map<int, std::unique_ptr<ListReader>> readers;
  std::vector<int> indexed;
  std::vector<std::pair<MessageKind, std::string>> messages;
  int changes = 0;
  std::unique_ptr<MainModel> model;

  explicit Harness(std::vector<int> missing = {}) {
    readers[kItemTolvan] = std::make_unique<ListReader>(
        std::initializer_list<int>{FieldCatalog::kData, FieldCatalog::kLatDecimal});
    for (int item : {2, 3, 4, 5, 7, 8}) {
      if (std::find(missing.begin(), missing.end(), item) != missing.end()) continue;
      readers[item] = std::make_unique<ListReader>(std::initializer_list<int>{
          FieldCatalog::kRecordNumber, FieldCatalog::kGpsTime, FieldCatalog::kData});
    }
    model = std::make_unique<MainModel>([this](int item) -> Product* {
      if (item == kItemBriselCard) item = kItemBrisel;
      auto it = readers.find(item);
      return it == readers.end() ? nullptr : it->second.get();
    });
    model->onStartIndexing = [this](int item) { indexed.push_back(item); };
    model->onReport = [this](MessageKind k, const std::string& t) { messages.emplace_back(k, t); };
    model->onChanged = [this] { ++changes; };
  }
  MainModel* operator->() { return model.get(); }
};

std::string TolvanLog(const std::string& name) {
  std::vector<uint8_t> b(48, 0);
  putLe32(b.data(), 40);
  b[4] = 'I';
  putLe32(b.data() + 5, 10);
  const std::string product = "QVR TOLVAN";
  for (size_t i = 0; i < product.size(); ++i) b[9 + i] = static_cast<uint8_t>(product[i]);
  const std::string path = test::TempPath(name);
  test::WriteFile(path, b);
  return path;
}

std::string TaggedLog(const std::string& name, const std::string& tag) {
  std::vector<uint8_t> b(64, 0);
  for (size_t i = 0; i < tag.size(); ++i) b[i] = static_cast<uint8_t>(tag[i]);
  const std::string path = test::TempPath(name);
  test::WriteFile(path, b);
  return path;
}

TEST(MainModel, StartsWithTolvanAndCustomAscii) {
  Harness h;
  EXPECT_EQ(h->CurrentReader(), h.readers[kItemTolvan].get());
  EXPECT_EQ(h->GetSettings().AvailableBox,
            (std::vector<std::string>{"<< DATA >>", "Latitude (Decimal Degrees)"}));
  EXPECT_EQ(h->GetSettings().InputFormatGroup, kItemNone);
  EXPECT_EQ(h->InputFormatLabel(), "(None)");
  EXPECT_EQ(h->PreviousInputItem, 1);
  EXPECT_EQ(h->AppliedOutputFormat, kFormatCustom);
  EXPECT_EQ(h->GetSettings().OutputFormatGroup, kFormatCustom);
  EXPECT_FALSE(h->GetSettings().NativeFormat);
  EXPECT_FALSE(h->Controls().SATField.enabled);
  EXPECT_FALSE(h->Controls().VMACField.enabled);
  EXPECT_TRUE(h.indexed.empty());
}

TEST(MainModel, BrowseSelectsProductAndProposesOutputName) {
  Harness h;
  const std::string path = TaggedLog("drive3.bin", "ZEV");
  h->BrowseInput(path);
  EXPECT_EQ(h->GetSettings().InputFilename, path);
  EXPECT_EQ(h->GetSettings().OutputFilename, test::TempPath("drive3.out"));
  EXPECT_EQ(h->GetSettings().InputFormatGroup, kItemZevCard);
  EXPECT_EQ(h->InputFormatLabel(), "QVR Zev (PC CARD)");
  EXPECT_EQ(h->CurrentReader(), h.readers[kItemZevCard].get());
  EXPECT_EQ(h->GetSettings().AvailableBox,
            (std::vector<std::string>{"Record Number", "GPS Time (HH:MM:SS)", "<< DATA >>"}));
  EXPECT_EQ(h.indexed, std::vector<int>{kItemZevCard});
  EXPECT_EQ(h->PreviousInputItem, kItemZevCard);
  EXPECT_TRUE(h.messages.empty());
  EXPECT_GT(h.changes, 0);
}

TEST(MainModel, BrowsingTheSameFileTwiceIndexesTwice) {
  Harness h;
  const std::string path = TolvanLog("run7.tlf");
  h->BrowseInput(path);
  h->BrowseInput(path);
  EXPECT_EQ(h.indexed, (std::vector<int>{kItemTolvan, kItemTolvan}));
  EXPECT_EQ(h->GetSettings().OutputFilename, test::TempPath("run7.out"));
  EXPECT_EQ(h->InputFormatLabel(), "QVR Tolvan");
}

TEST(MainModel, UnrecognisedFileWarnsAndKeepsNames) {
  Harness h;
  const std::string good = TolvanLog("good.tlf");
  h->BrowseInput(good);
  const std::string bad = TaggedLog("notes.txt", "hello");
  h->BrowseInput(bad);
  ASSERT_EQ(h.messages.size(), 1u);
  EXPECT_EQ(h.messages[0].first, MessageKind::Warning);
  EXPECT_EQ(h.messages[0].second, "File is not from a QVR CW product.");
  EXPECT_EQ(h->GetSettings().InputFilename, good);
  EXPECT_EQ(h->GetSettings().OutputFilename, test::TempPath("good.out"));
  EXPECT_EQ(h->GetSettings().InputFormatGroup, kItemNone);
  EXPECT_EQ(h->PreviousInputItem, kItemNone);
  EXPECT_EQ(h->CurrentReader(), h.readers[kItemTolvan].get());  // the reader stays
  EXPECT_EQ(h->InputFormatLabel(), "QVR Tolvan");
  EXPECT_EQ(h.indexed, std::vector<int>{kItemTolvan});  // no run for the bad file
}

TEST(MainModel, MissingFileWarns) {
  Harness h;
  h->BrowseInput(test::TempPath("absent.tlf"));
  ASSERT_EQ(h.messages.size(), 1u);
  EXPECT_EQ(h.messages[0].second, MainModel::kNotOurProduct);
  EXPECT_TRUE(h.indexed.empty());
}

TEST(MainModel, DarskFallsBackToPreviousItem) {
  Harness h;
  h->SetInputFormatGroup(kItemZevDump);
  h->SetInputFormatGroup(kItemDarsk);
  EXPECT_EQ(h->GetSettings().InputFormatGroup, kItemZevDump);
  EXPECT_EQ(h->PreviousInputItem, kItemZevDump);
  EXPECT_EQ(h.indexed, (std::vector<int>{kItemZevDump, kItemZevDump}));

  h->SetInputFormatGroup(kItemNone);
  h->SetInputFormatGroup(kItemDarsk);
  EXPECT_EQ(h->GetSettings().InputFormatGroup, kItemNone);
  EXPECT_EQ(h.indexed.size(), 2u);
}

TEST(MainModel, SettingTheSameItemDoesNotReselect) {
  Harness h;
  h->SetInputFormatGroup(kItemSkarn);
  h->SetInputFormatGroup(kItemSkarn);
  EXPECT_EQ(h.indexed, std::vector<int>{kItemSkarn});
  h->SetInputFormatGroup(42);  // not a list item
  EXPECT_EQ(h->GetSettings().InputFormatGroup, kItemSkarn);
}

struct ProductRow {
  int item;
  const char* label;
  bool scanType;
  int receivers;
  bool satVmac;
  bool lambda;
};

TEST(MainModel, ProductSelectionConfiguresControls) {
  const std::vector<ProductRow> rows = {
      {1, "QVR Tolvan", true, 4, false, true},
      {2, "QVR Velmar", true, 2, false, true},
      {3, "QVR Zev (PC CARD)", false, 1, true, false},
      {4, "QVR Zev (PC DUMP)", false, 1, true, false},
      {5, "QVR Skarn", false, 1, false, false},
      {7, "QVR Tolvan (>=fv1.27)", true, 4, false, true},
      {8, "QVR Brisel", true, 2, false, false},
      {9, "QVR Brisel", true, 2, false, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.item);
    Harness h;
    Settings& s = h->EditSettings();
    s.Receiver1 = s.Receiver2 = s.Receiver3 = s.Receiver4 = true;
    s.SATField = s.VMACField = true;
    s.LambdaAvg = true;
    s.cbAT_None = false;
    s.ScanTypeGroup = 0;
    s.SkarnMode = 2;
    h->SelectProduct(row.item);

    const Settings& a = h->GetSettings();
    const MainControls& c = h->Controls();
    EXPECT_EQ(h->InputFormatLabel(), row.label);
    EXPECT_EQ(c.ScanTypeGroup.enabled, row.scanType);
    EXPECT_EQ(c.ScanTypeGroup.visible, row.scanType);
    EXPECT_EQ(a.ScanTypeGroup, row.scanType ? 1 : 0);
    EXPECT_EQ(c.SkarnMode.enabled, row.item == kItemSkarn);
    EXPECT_EQ(c.SkarnMode.visible, row.item == kItemSkarn);
    EXPECT_EQ(a.SkarnMode, 2);
    for (int r = 1; r <= 4; ++r) {
      EXPECT_EQ(c.Receiver(r).enabled, r <= row.receivers) << r;
      EXPECT_EQ(a.ReceiverChecked(r), r <= row.receivers) << r;
    }
    EXPECT_EQ(c.SATField.enabled, row.satVmac);
    EXPECT_EQ(c.VMACField.enabled, row.satVmac);
    EXPECT_EQ(a.SATField, row.satVmac);
    EXPECT_EQ(a.VMACField, row.satVmac);
    EXPECT_EQ(c.LambdaAvg.enabled, row.lambda);
    EXPECT_EQ(c.LambdaAvg.visible, row.lambda);
    EXPECT_EQ(a.LambdaAvg, row.lambda);
    EXPECT_EQ(a.cbAT_None, !row.lambda);
    EXPECT_EQ(h.indexed, std::vector<int>{row.item});
  }
}

TEST(MainModel, ReceiverStatesKeptWhenOffered) {
  Harness h;
  h->EditSettings().Receiver1 = false;
  h->EditSettings().Receiver2 = true;
  h->SelectProduct(kItemVelmar);
  EXPECT_FALSE(h->GetSettings().Receiver1);
  EXPECT_TRUE(h->GetSettings().Receiver2);
  EXPECT_FALSE(h->GetSettings().LambdaAvg);  // unchecked and offered: left alone
  EXPECT_TRUE(h->GetSettings().cbAT_None);
}

TEST(MainModel, SelectedIdsFollowTheProductChange) {
  Harness h;
  ASSERT_TRUE(h->SelectClick(1));
  ASSERT_TRUE(h->SelectClick(0));
  h->SelectProduct(kItemSkarn);
  EXPECT_EQ(h->GetSettings().SelectedBox,
            (std::vector<std::string>{"Latitude (Decimal Degrees)", "<< DATA >>"}));
  const auto& ids = h.readers[kItemSkarn]->SelectedFieldIds;
  EXPECT_EQ(ids[0], FieldCatalog::kLatDecimal);
  EXPECT_EQ(ids[1], FieldCatalog::kData);
  EXPECT_EQ(ids[2], Product::kNoFieldId);
  EXPECT_EQ(&h->SelectedIds(), &ids);
}

TEST(MainModel, ProductWithoutReaderIsNotIndexed) {
  Harness h({kItemVelmar});
  ASSERT_TRUE(h->SelectClick(0));
  h->SelectProduct(kItemVelmar);
  EXPECT_EQ(h->CurrentReader(), nullptr);
  EXPECT_EQ(h->InputFormatLabel(), "QVR Velmar");
  EXPECT_TRUE(h->GetSettings().AvailableBox.empty());
  EXPECT_TRUE(h.indexed.empty());
  EXPECT_FALSE(h->SelectClick(0));
  EXPECT_FALSE(h->SelectAllClick());
  h->ToggleSegment(0);  // harmless without a reader
  // The selection is kept and handed to the next reader.
  h->SelectProduct(kItemSkarn);
  EXPECT_EQ(h.readers[kItemSkarn]->SelectedFieldIds[0], FieldCatalog::kData);
  EXPECT_EQ(h.indexed, std::vector<int>{kItemSkarn});
}

TEST(MainModel, BriselItemsShareOneReader) {
  Harness h;
  h->SelectProduct(kItemBriselCard);
  EXPECT_EQ(h->CurrentReader(), h.readers[kItemBrisel].get());
  EXPECT_EQ(h.indexed, std::vector<int>{kItemBriselCard});
}

}  // namespace
}  // namespace morphel

namespace morphel {
namespace {

TEST(MainModelOutputName, ReplacesTheFileNamesExtensionInItsOwnFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"drive1.tlf", "drive1.out"},
      {"/data/drive1.tlf", "/data/drive1.out"},
      {"DRIVE1", "DRIVE1.out"},                                // no extension: appended
      {"/data/run.2024/DRIVE1", "/data/run.2024/DRIVE1.out"},  // a dotted folder is not cut
      {"drive.tar.blf", "drive.tar.out"},                      // only the last extension
      {"/data/.tlf", "/data/tlf.out"},                         // never a hidden file
      {"..hidden.bin", "hidden.out"},
      {"/data/...", "/data/output.out"},
      {"x.out", "x.out.out"},  // never the log itself
      {"/data/x.out", "/data/x.out.out"},
  };
  for (const auto& [input, output] : cases)
    EXPECT_EQ(MainModel::DefaultOutputName(input), output) << input;
}

}  // namespace
}  // namespace morphel

namespace morphel {
namespace {

// The selected entries are the output's columns: a move takes the entry's
// id along, and a move off either end changes nothing.
TEST(MainModelSelection, MovingAnEntryMovesItsIdWithIt) {
  Harness h;
  h->SelectAllClick();  // << DATA >>, latitude
  h->SelectAllClick();  // ... twice: four entries
  h->DeselectClick(3);
  ASSERT_EQ(h->GetSettings().SelectedBox.size(), 3u);
  auto ids = [&] {
    return std::vector<int>(h->SelectedIds().begin(), h->SelectedIds().begin() + 4);
  };
  const int data = FieldCatalog::kData, lat = FieldCatalog::kLatDecimal, none = Product::kNoFieldId;
  ASSERT_EQ(ids(), (std::vector<int>{data, lat, data, none}));
  const struct {
    int from, to;
    bool moved;
    std::vector<int> after;
  } cases[] = {
      {1, 0, true, {lat, data, data, none}},   // up
      {0, 2, true, {data, data, lat, none}},   // down past two
      {2, 3, false, {data, data, lat, none}},  // off the end
      {-1, 0, false, {data, data, lat, none}}, {1, 1, false, {data, data, lat, none}},
  };
  for (const auto& c : cases) {
    const int changes = h.changes;
    EXPECT_EQ(h->MoveSelected(c.from, c.to), c.moved) << c.from << "->" << c.to;
    EXPECT_EQ(ids(), c.after) << c.from << "->" << c.to;
    EXPECT_EQ(h.changes, changes + (c.moved ? 1 : 0));
    for (size_t i = 0; i < h->GetSettings().SelectedBox.size(); ++i)
      EXPECT_EQ(h->GetSettings().SelectedBox[i], FieldCatalog::Name(c.after[i]));
  }
}

}  // namespace
}  // namespace morphel
