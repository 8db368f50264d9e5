// Saved set-ups: the INI file itself, and saving and opening through the
// main model.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/Configuration.h"
#include "app/MainModel.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "tests/TestSupport.h"

namespace morphel {
namespace {

// --- IniFile ---------------------------------------------------------------

TEST(IniFile, IntegersAreWholeDecimalNumbersOrTheDefault) {
  struct Case {
    const char* value;
    int expected;
  } cases[] = {
      {"12", 12},
      {"-3", -3},
      {"+7", 7},
      {" 7", 7},
      {"7 ", 7},
      {"0", 0},
      {"", 99},
      {"12abc", 99},
      {"abc", 99},
      {"0x10", 99},
      {"1.5", 99},
      {"- 3", 99},
      {"99999999999", 99},
      {"2147483647", 2147483647},
      {"--1", 99},
  };
  for (const auto& c : cases) {
    IniFile ini;
    ini.Parse(std::string("[S]\r\nK=") + c.value + "\r\n");
    EXPECT_EQ(ini.ReadInteger("S", "K", 99), c.expected) << "'" << c.value << "'";
  }
  IniFile ini;
  ini.Parse("[S]\nOn=1\nOff=0\nOdd=5\nBad=yes\n");
  EXPECT_TRUE(ini.ReadBool("S", "On", false));
  EXPECT_FALSE(ini.ReadBool("S", "Off", true));
  EXPECT_TRUE(ini.ReadBool("S", "Odd", false));
  EXPECT_TRUE(ini.ReadBool("S", "Bad", true));
  EXPECT_FALSE(ini.ReadBool("S", "Bad", false));
  EXPECT_FALSE(ini.ReadBool("S", "Missing", false));
  EXPECT_FALSE(ini.ReadBool("Missing", "On", false));
}

TEST(IniFile, NamesIgnoreCaseAndTheFirstSpellingStays) {
  IniFile ini;
  ini.Parse("[outputFILTER]\r\nreceiver1 = 0\r\n");
  EXPECT_FALSE(ini.ReadBool("OutputFilter", "Receiver1", true));
  EXPECT_TRUE(ini.HasKey("OUTPUTFILTER", "RECEIVER1"));
  ini.WriteBool("OutputFilter", "Receiver1", true);
  ini.WriteBool("OUTPUTFILTER", "Receiver2", true);
  EXPECT_EQ(ini.Text(), "[outputFILTER]\r\nreceiver1=1\r\nReceiver2=1\r\n");
}

TEST(IniFile, WritesOverwriteInPlaceAndKeepEverythingElse) {
  IniFile ini;
  ini.Parse("; written by hand\n[A]\nx=1\n; about A\n\n[Z]\nq=9\nnot an entry\n");
  ini.WriteInteger("A", "x", 5);
  ini.WriteInteger("A", "y", 6);
  ini.WriteString("B", "k", "v");
  ini.WriteString("Z", "q", "new");
  EXPECT_EQ(ini.Text(),
            "; written by hand\r\n[A]\r\nx=5\r\ny=6\r\n; about A\r\n\r\n[Z]\r\nq=new\r\n"
            "not an entry\r\n[B]\r\nk=v\r\n");
  // New sections and keys in the order of their first write.
  IniFile fresh;
  fresh.WriteString("One", "b", "1");
  fresh.WriteString("Two", "a", "2");
  fresh.WriteString("One", "a", "3");
  fresh.WriteString("One", "b", "4");
  EXPECT_EQ(fresh.Text(), "[One]\r\nb=4\r\na=3\r\n[Two]\r\na=2\r\n");
}

TEST(IniFile, ReadsLfAndCrLfAndSurvivesGarbage) {
  IniFile lf, crlf;
  lf.Parse("[S]\nName=run7.tlf\n");
  crlf.Parse("[S]\r\nName=run7.tlf\r\n");
  EXPECT_EQ(lf.ReadString("S", "Name", ""), "run7.tlf");
  EXPECT_EQ(crlf.ReadString("S", "Name", ""), "run7.tlf");

  IniFile nul;
  nul.Parse(std::string("[S]\nName=ab\0cd\nN=4\n", 20));
  EXPECT_EQ(nul.ReadString("S", "Name", ""), "ab");
  EXPECT_EQ(nul.ReadInteger("S", "N", 0), 4);

  std::string junk;
  uint32_t x = 12345;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1103515245u + 12345u;
    junk.push_back(static_cast<char>(x >> 24));
  }
  junk += "\n[" + std::string(1 << 20, 'k') + "=\n[S]\nK=3";
  IniFile garbage;
  garbage.Parse(junk);
  EXPECT_EQ(garbage.ReadInteger("S", "K", 0), 3);
  // What was read is written back whole.
  IniFile again;
  again.Parse(garbage.Text());
  EXPECT_EQ(again.Text(), garbage.Text());

  // A value never breaks into a second line.
  IniFile split;
  split.WriteString("S", "Name", "a\r\nK=1");
  EXPECT_EQ(split.Text(), "[S]\r\nName=a  K=1\r\n");
}

TEST(IniFile, LoadAndSave) {
  IniFile ini;
  EXPECT_FALSE(ini.Load(test::TempPath("no-such.cfg")));
  EXPECT_FALSE(ini.Load(test::TempDir()));
  ini.WriteInteger("S", "K", 1);
  EXPECT_FALSE(ini.Save(test::TempPath("no-dir/x.cfg")));
  const std::string path = test::TempPath("ini-save.cfg");
  ASSERT_TRUE(ini.Save(path));
  EXPECT_EQ(test::ReadFile(path), "[S]\r\nK=1\r\n");
  IniFile back;
  ASSERT_TRUE(back.Load(path));
  EXPECT_EQ(back.ReadInteger("S", "K", 0), 1);
}

// --- Saving and opening through the model ----------------------------------

class ListReader : public Product {
 public:
  explicit ListReader(std::initializer_list<int> ids) { SetAvailableFields(ids); }
};

struct Harness {
  std::map<int, std::unique_ptr<ListReader>> readers;
  std::vector<std::pair<int, Settings>> indexed;  // item and the settings at the request
  std::unique_ptr<MainModel> model;

  Harness() {
    readers[kItemTolvan] = std::make_unique<ListReader>(
        std::initializer_list<int>{FieldCatalog::kData, FieldCatalog::kLatDecimal});
    for (int item : {2, 3, 4, 5, 7, 8})
      readers[item] = std::make_unique<ListReader>(std::initializer_list<int>{
          FieldCatalog::kRecordNumber, FieldCatalog::kGpsTime, FieldCatalog::kData});
    model = std::make_unique<MainModel>([this](int item) -> Product* {
      if (item == kItemBriselCard) item = kItemBrisel;
      auto it = readers.find(item);
      return it == readers.end() ? nullptr : it->second.get();
    });
    model->onStartIndexing = [this](int item) { indexed.emplace_back(item, model->GetSettings()); };
  }
  MainModel* operator->() { return model.get(); }
  std::vector<int> Ids() const {
    const size_t n = model->GetSettings().SelectedBox.size();
    const auto& ids = model->SelectedIds();
    return std::vector<int>(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(n));
  }
};

std::string Cfg(const std::string& name, const std::string& text) {
  const std::string path = test::TempPath(name);
  test::WriteFile(path, text);
  return path;
}

// Tolvan with receivers 1 and 2, tab delimiter and two fields in reverse
// order of the Available list.
void TolvanSetUp(Harness& h) {
  h->SetInputFormatGroup(kItemTolvan);
  Settings& s = h->EditSettings();
  s.InputFilename = "/data/run7.tlf";
  s.OutputFilename = "/data/run7.out";
  s.Receiver2 = true;
  s.DelimiterGroup = 2;
  h->SelectClick(1);
  h->SelectClick(0);
}

TEST(Configuration, SavedFileHoldsTheEntriesInTheWindowsOrder) {
  Harness h;
  TolvanSetUp(h);
  const std::string path = test::TempPath("order.cfg");
  std::string error;
  ASSERT_TRUE(SaveConfiguration(*h.model, path, &error)) << error;
  EXPECT_EQ(test::ReadFile(path),
            "[InputFormat]\r\nProduct=1\r\n"
            "[InputFile]\r\nFilename=/data/run7.tlf\r\n"
            "[OutputFilter]\r\nSkarnMode=0\r\nScanType=1\r\nReceiver1=1\r\nReceiver2=1\r\n"
            "Receiver3=0\r\nReceiver4=0\r\nFrequencyField=1\r\nChannelField=0\r\nRSSIField=1\r\n"
            "SATField=0\r\nVMACField=0\r\nNoAvg=1\r\nLambdaAvg=0\r\nBSAvg=0\r\n"
            "[OutFormat]\r\nFormat=11\r\n"
            "[OutputFieldSelection]\r\nDelimiter=2\r\nFieldTitles=1\r\n"
            "[AvailableFields]\r\nCount=2\r\nField0=<< DATA >>\r\n"
            "Field1=Latitude (Decimal Degrees)\r\n"
            "[SelectedFields]\r\nCount=2\r\nField0=Latitude (Decimal Degrees)\r\n"
            "Field1=<< DATA >>\r\n"
            "[SelectedTags]\r\nTag0=5\r\nTag1=0\r\n"
            "[OutputFile]\r\nFilename=/data/run7.out\r\n");
  EXPECT_FALSE(SaveConfiguration(*h.model, test::TempPath("no-dir/x.cfg"), &error));
  EXPECT_NE(error.find("no-dir/x.cfg"), std::string::npos);
}

TEST(Configuration, EmptyFileRestoresTheDefaults) {
  Harness h;
  h->SetInputFormatGroup(2);
  Settings& s = h->EditSettings();
  s.Receiver1 = false;
  s.Receiver2 = true;
  s.RSSIField = false;
  s.ChannelField = true;
  s.NoAvg = false;
  s.BSAvg = true;
  s.DelimiterGroup = 3;
  h->SelectClick(0);
  ASSERT_TRUE(OpenConfiguration(*h.model, Cfg("empty.cfg", "")));
  const Settings& r = h->GetSettings();
  EXPECT_EQ(r.InputFormatGroup, kItemNone);
  EXPECT_EQ(h->PreviousInputItem, kItemNone);
  EXPECT_EQ(r.InputFilename, "Sample.in");
  EXPECT_EQ(r.OutputFilename, "Sample.out");
  EXPECT_TRUE(r.Receiver1);
  EXPECT_FALSE(r.Receiver2 || r.Receiver3 || r.Receiver4);
  EXPECT_TRUE(r.FrequencyField && r.RSSIField);
  EXPECT_FALSE(r.ChannelField || r.SATField || r.VMACField);
  EXPECT_TRUE(r.NoAvg);
  EXPECT_FALSE(r.BSAvg || r.LambdaAvg);
  EXPECT_EQ(r.OutputFormatGroup, 0);
  EXPECT_EQ(r.DelimiterGroup, 0);
  EXPECT_FALSE(r.FieldTitles);
  EXPECT_EQ(r.ScanTypeGroup, 0);
  EXPECT_EQ(r.SkarnMode, 0);
  EXPECT_TRUE(r.SelectedBox.empty());
  EXPECT_TRUE(r.AvailableBox.empty());
  // Item 0 leaves the reader current; only one indexing (the first choice).
  EXPECT_EQ(h->CurrentReader(), h.readers[2].get());
  EXPECT_EQ(h.indexed.size(), 1u);
}

TEST(Configuration, MissingFileChangesNothing) {
  Harness h;
  TolvanSetUp(h);
  EXPECT_FALSE(OpenConfiguration(*h.model, test::TempPath("missing.cfg")));
  EXPECT_EQ(h->GetSettings().InputFilename, "/data/run7.tlf");
  EXPECT_EQ(h.Ids(), (std::vector<int>{5, 0}));
  ASSERT_TRUE(h->onStartIndexing);
}

TEST(Configuration, DarskFallsBackToThePreviousProduct) {
  Harness h;
  h->SetInputFormatGroup(5);
  h->SetInputFormatGroup(kItemNone);  // PreviousInputItem 0
  h->SetInputFormatGroup(2);
  h.indexed.clear();
  ASSERT_TRUE(OpenConfiguration(
      *h.model,
      Cfg("darsk.cfg", "[InputFormat]\r\nProduct=6\r\n[InputFile]\r\nFilename=d.log\r\n")));
  EXPECT_EQ(h->GetSettings().InputFormatGroup, 2);
  EXPECT_EQ(h->CurrentReader(), h.readers[2].get());
  EXPECT_EQ(h->InputFormatLabel(), "QVR Velmar");
  ASSERT_EQ(h.indexed.size(), 1u);
  EXPECT_EQ(h.indexed[0].first, 2);
  EXPECT_EQ(h.indexed[0].second.InputFilename, "d.log");
}

TEST(Configuration, IndexingWaitsForTheRestoredState) {
  Harness h;
  ASSERT_TRUE(OpenConfiguration(
      *h.model, Cfg("index.cfg",
                    "[InputFormat]\r\nProduct=8\r\n[InputFile]\r\nFilename=b.blf\r\n"
                    "[OutputFilter]\r\nReceiver2=1\r\nScanType=1\r\n")));
  ASSERT_EQ(h.indexed.size(), 1u);
  EXPECT_EQ(h.indexed[0].first, 8);
  EXPECT_EQ(h.indexed[0].second.InputFilename, "b.blf");
  EXPECT_TRUE(h.indexed[0].second.Receiver2);
  EXPECT_EQ(h.indexed[0].second.OutputFilename, "Sample.out");
  // The callback is the face's again.
  h->SetInputFormatGroup(kItemNone);
  h->SetInputFormatGroup(3);
  EXPECT_EQ(h.indexed.size(), 2u);

  // Same product: indexed again only for another log.
  const std::string same =
      Cfg("same.cfg", "[InputFormat]\r\nProduct=3\r\n[InputFile]\r\nFilename=z.bin\r\n");
  ASSERT_TRUE(OpenConfiguration(*h.model, same));
  EXPECT_EQ(h.indexed.size(), 3u);
  EXPECT_EQ(h.indexed.back().second.InputFilename, "z.bin");
  ASSERT_TRUE(OpenConfiguration(*h.model, same));
  EXPECT_EQ(h.indexed.size(), 3u);
}

TEST(Configuration, CustomSelectionRoundTripsWithItsIds) {
  Harness h;
  h->SetInputFormatGroup(7);
  h->SelectClick(2);
  h->SelectClick(0);
  h->SelectClick(1);
  h->SelectClick(2);
  Settings& s = h->EditSettings();
  s.NoAvg = false;
  s.BSAvg = true;
  s.FieldTitles = false;
  s.InputFilename = "n.tlf";
  const std::string path = test::TempPath("roundtrip.cfg");
  ASSERT_TRUE(SaveConfiguration(*h.model, path, nullptr));

  Harness back;
  ASSERT_TRUE(OpenConfiguration(*back.model, path));
  const Settings& r = back->GetSettings();
  EXPECT_EQ(r.InputFormatGroup, 7);
  EXPECT_EQ(back->CurrentReader(), back.readers[7].get());
  EXPECT_EQ(r.SelectedBox, h->GetSettings().SelectedBox);
  EXPECT_EQ(back.Ids(), (std::vector<int>{0, 32, 18, 0}));
  EXPECT_EQ(r.AvailableBox, h->GetSettings().AvailableBox);
  EXPECT_TRUE(r.BSAvg);
  EXPECT_FALSE(r.NoAvg);
  EXPECT_FALSE(r.FieldTitles);
  EXPECT_EQ(r.InputFilename, "n.tlf");
}

TEST(Configuration, MissingTagsReadAsDataAndCountIsCapped) {
  Harness h;
  std::string text =
      "[SelectedFields]\r\nCount=3\r\nField0=A\r\nField1=B\r\nField2=C\r\n"
      "[SelectedTags]\r\nTag0=18\r\nTag2=x\r\n";
  ASSERT_TRUE(OpenConfiguration(*h.model, Cfg("tags.cfg", text)));
  EXPECT_EQ(h->GetSettings().SelectedBox, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(h.Ids(), (std::vector<int>{18, 0, 0}));

  std::string many = "[SelectedFields]\r\nCount=150\r\n";
  for (int i = 0; i < 150; ++i) many += "Field" + std::to_string(i) + "=F\r\n";
  many += "[SelectedTags]\r\nTag99=32\r\nTag100=18\r\nTag1=70000\r\n";
  ASSERT_TRUE(OpenConfiguration(*h.model, Cfg("many.cfg", many)));
  ASSERT_EQ(h->GetSettings().SelectedBox.size(), 100u);
  EXPECT_EQ(h.Ids()[99], 32);
  EXPECT_EQ(h.Ids()[1], 0);  // not a 16-bit id

  ASSERT_TRUE(OpenConfiguration(*h.model, Cfg("neg.cfg", "[SelectedFields]\r\nCount=-4\r\n")));
  EXPECT_TRUE(h->GetSettings().SelectedBox.empty());
}

TEST(Configuration, SavingOverALongerSelectionKeepsTheSurplus) {
  Harness h;
  TolvanSetUp(h);
  h->SelectClick(1);  // three selected
  const std::string path = test::TempPath("over.cfg");
  ASSERT_TRUE(SaveConfiguration(*h.model, path, nullptr));
  h->DeselectClick(2);
  h->DeselectClick(1);
  ASSERT_TRUE(SaveConfiguration(*h.model, path, nullptr));
  IniFile ini;
  ASSERT_TRUE(ini.Load(path));
  EXPECT_EQ(ini.ReadInteger("SelectedFields", "Count", -1), 1);
  EXPECT_EQ(ini.ReadString("SelectedFields", "Field2", ""), "Latitude (Decimal Degrees)");
  EXPECT_EQ(ini.ReadInteger("SelectedTags", "Tag1", -1), 0);
  EXPECT_EQ(ini.ReadInteger("SelectedTags", "Tag2", -1), 5);

  Harness back;
  ASSERT_TRUE(OpenConfiguration(*back.model, path));
  EXPECT_EQ(back->GetSettings().SelectedBox,
            (std::vector<std::string>{"Latitude (Decimal Degrees)"}));
  EXPECT_EQ(back.Ids(), (std::vector<int>{5}));
}

TEST(Configuration, FormatSetsTheListItemOnly) {
  Harness h;
  h->SetInputFormatGroup(kItemTolvan);
  ASSERT_TRUE(OpenConfiguration(*h.model, Cfg("planet.cfg", "[OutFormat]\r\nFormat=7\r\n")));
  EXPECT_EQ(h->GetSettings().OutputFormatGroup, 7);
  EXPECT_FALSE(h->GetSettings().NativeFormat);
  EXPECT_EQ(h->AppliedOutputFormat, kFormatCustom);
  EXPECT_TRUE(h->Controls().SelectField.enabled);

  h->ApplyOutputPreset(7);  // Planet applied for real
  ASSERT_TRUE(OpenConfiguration(*h.model, Cfg("excel.cfg", "[OutFormat]\r\nFormat=5\r\n")));
  EXPECT_EQ(h->GetSettings().OutputFormatGroup, 5);
  EXPECT_TRUE(h->GetSettings().NativeFormat);
  EXPECT_FALSE(h->Controls().SelectField.enabled);
}

TEST(Configuration, RadioButtonsAndForeignValues) {
  struct Case {
    std::string filter;
    bool noAvg, bsAvg, lambda, none;
  } cases[] = {
      {"NoAvg=1\r\nBSAvg=1\r\n", false, true, false, true},
      {"NoAvg=0\r\nBSAvg=0\r\n", false, false, false, true},
      {"NoAvg=1\r\nBSAvg=0\r\nLambdaAvg=1\r\n", true, false, true, false},
      {"NoAvg=abc\r\nBSAvg=\r\n", true, false, false, true},
  };
  for (const auto& c : cases) {
    Harness h;
    ASSERT_TRUE(OpenConfiguration(*h.model, Cfg("radio.cfg", "[OutputFilter]\r\n" + c.filter)));
    const Settings& s = h->GetSettings();
    EXPECT_EQ(s.NoAvg, c.noAvg) << c.filter;
    EXPECT_EQ(s.BSAvg, c.bsAvg) << c.filter;
    EXPECT_EQ(s.LambdaAvg, c.lambda) << c.filter;
    EXPECT_EQ(s.cbAT_None, c.none) << c.filter;
  }
  // Item numbers outside their lists read as the defaults.
  Harness h;
  h->SetInputFormatGroup(2);
  ASSERT_TRUE(
      OpenConfiguration(*h.model, Cfg("foreign.cfg",
                                      "[InputFormat]\r\nProduct=42\r\n[OutFormat]\r\nFormat=13\r\n"
                                      "[OutputFilter]\r\nScanType=-1\r\nSkarnMode=3\r\n"
                                      "[OutputFieldSelection]\r\nDelimiter=5\r\n")));
  const Settings& s = h->GetSettings();
  EXPECT_EQ(s.InputFormatGroup, kItemNone);
  EXPECT_EQ(s.OutputFormatGroup, 0);
  EXPECT_EQ(s.ScanTypeGroup, 0);
  EXPECT_EQ(s.SkarnMode, 0);
  EXPECT_EQ(s.DelimiterGroup, 0);

  std::string binary(4096, '\0');
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 7);
  EXPECT_TRUE(OpenConfiguration(*h.model, Cfg("binary.cfg", binary)));
}

}  // namespace
}  // namespace morphel
