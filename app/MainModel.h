#pragma once
// The main window's state and handlers without any toolkit: the settings the
// runs read, the enabled and visible state of the controls that product
// selection and format presets change, the reader objects and the current
// one. The Qt window mirrors it; the command line drives it directly.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/RunHooks.h"
#include "core/Settings.h"
#include "products/Product.h"
#include "products/Readers.h"

namespace morphel {

struct ControlState {
  bool enabled = true;
  bool visible = true;
};

// The controls whose state follows the product and the output format.
struct MainControls {
  ControlState SelectField;
  ControlState DeselectField;
  ControlState SelectAll;
  ControlState DeselectAll;
  ControlState DelimiterGroup;
  ControlState FieldTitles;
  ControlState OtherDelimiter;
  ControlState ScanTypeGroup;
  ControlState SkarnMode{false, false};
  ControlState Receiver1;
  ControlState Receiver2;
  ControlState Receiver3;
  ControlState Receiver4;
  ControlState SATField{false, true};
  ControlState VMACField{false, true};
  ControlState LambdaAvg;

  ControlState& Receiver(int r);  // r = 1..4
  const ControlState& Receiver(int r) const;
};

class MainModel {
 public:
  static constexpr int kMaxSelected = Product::kMaxFieldIds;
  static constexpr const char* kNotOurProduct = "File is not from a QVR CW product.";
  static constexpr const char* kSplitHelp =
      "The Excel Split option will split the output file into multiple files of no more than "
      "60000 records if needed. A subfolder with the name of the original output folder will "
      "be created.";

  // The output name proposed for a log: the extension after the last dot of
  // the file name becomes "out" ("drive1.tlf" gives "drive1.out"), a name
  // without one gets ".out" ("DRIVE1" gives "DRIVE1.out"), in the log's own
  // folder. Never a hidden file (leading dots of the name are dropped) and
  // never the log itself ("x.out" gives "x.out.out").
  static std::string DefaultOutputName(const std::string& input);

  // Which reader serves an input item; the default is the model's own
  // ReaderSet. Tests and tools may supply their own readers.
  using ReaderLookup = std::function<Product*(int item)>;

  MainModel();
  explicit MainModel(ReaderLookup lookup);
  MainModel(const MainModel&) = delete;
  MainModel& operator=(const MainModel&) = delete;

  // Something shown in the window changed (lists, boxes, labels, states).
  std::function<void()> onChanged;
  // A message box: the face shows it (or prints it) before returning.
  std::function<void(MessageKind, const std::string&)> onReport;
  // Product selection asks for the log to be indexed with the current reader
  // for this input item. The command line runs IndexRun at once; the window
  // starts its worker. Unset: no indexing.
  std::function<void(int item)> onStartIndexing;

  const Settings& GetSettings() const { return settings_; }
  // For loading configurations and command-line options.
  Settings& EditSettings() { return settings_; }
  // The copy a run works on.
  Settings Snapshot() const { return settings_; }
  const MainControls& Controls() const { return controls_; }
  const std::string& InputFormatLabel() const { return inputFormatLabel_; }

  // The reader of the current product; nullptr while that product has no
  // reader in this build.
  Product* CurrentReader() const { return current_; }
  ReaderSet& Readers() { return readers_; }

  int16_t PreviousInputItem = 1;
  int16_t AppliedOutputFormat = 11;

  // Step 1, after the open dialog: recognise the log and select its product.
  void BrowseInput(const std::string& path);
  // Sets InputFormatGroup; SelectProduct runs only when the item changes, as
  // the list's change handler does.
  void SetInputFormatGroup(int item);
  // The InputFormatGroup change handler for the new item.
  void SelectProduct(int item);
  void ConfigureProductControls(int item, const std::string& caption, bool scanType, int receivers,
                                bool satDcc, bool vmac, bool lambda);
  // AvailableBox := names of the current reader's available fields.
  void FillAvailableFields();

  // The OutputFormatGroup change handler: applies the item's preset unless
  // it is the one applied last.
  void ApplyOutputPreset(int item);

  // Field selection. Each returns whether the selection changed; entries past
  // kMaxSelected are refused.
  bool SelectClick(int availableIndex);
  bool DeselectClick(int selectedIndex);
  bool SelectAllClick();
  void DeselectAllClick();
  // Moves the selected entry at `from` to position `to` with its id: the
  // order of SelectedBox is the order of the output's columns.
  bool MoveSelected(int from, int to);
  // The selected field ids, parallel to SelectedBox (kMaxSelected positions).
  const std::array<int16_t, Product::kMaxFieldIds>& SelectedIds() const;
  // Puts a saved selection back: SelectedBox := names, and the id at each of
  // their positions; later positions keep their ids. At most kMaxSelected
  // entries are taken (ids missing from the list are 0).
  void RestoreSelection(const std::vector<std::string>& names, const std::vector<int>& ids);
  // Settings edited through EditSettings are to be shown.
  void SettingsChanged() { Changed(); }

  // "What's This?" beside "Excel Split".
  void sbHelpClick();

  // A click on a segment node: checked <-> unchecked (index in file order).
  void ToggleSegment(int index);

 private:
  std::array<int16_t, Product::kMaxFieldIds>& Ids();
  bool AppendSelected(int id);
  void MakeCurrent(Product* reader);
  void ApplyPresetFields(bool skarn, int item);
  void Report(MessageKind kind, const std::string& text);
  void Changed();

  Settings settings_;
  MainControls controls_;
  std::string inputFormatLabel_ = "(None)";
  ReaderSet readers_;
  ReaderLookup lookup_;
  Product* current_ = nullptr;
  // Holds the selection while no reader is current.
  std::array<int16_t, Product::kMaxFieldIds> spareIds_;
};

}  // namespace morphel
