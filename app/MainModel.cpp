#include "app/MainModel.h"

#include <algorithm>
#include <utility>

#include "app/Detect.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"

namespace morphel {

namespace {
constexpr const char* kOutputExtension = ".out";
constexpr int kReceiverCount = 4;
constexpr int kScanTable = 0;
constexpr int kFastData = 1;
}  // namespace

ControlState& MainControls::Receiver(int r) {
  switch (r) {
    case 1:
      return Receiver1;
    case 2:
      return Receiver2;
    case 3:
      return Receiver3;
    default:
      return Receiver4;
  }
}

const ControlState& MainControls::Receiver(int r) const {
  return const_cast<MainControls*>(this)->Receiver(r);
}

MainModel::MainModel() : MainModel(ReaderLookup{}) {}

MainModel::MainModel(ReaderLookup lookup) : lookup_(std::move(lookup)) {
  if (!lookup_) lookup_ = [this](int item) { return readers_.ForItem(item); };
  spareIds_.fill(Product::kNoFieldId);
  // The Tolvan reader is current from the start; the output format list
  // shows "Custom ASCII Configuration" without its preset having run.
  current_ = lookup_(kItemTolvan);
  settings_.OutputFormatGroup = kFormatCustom;
  settings_.NativeFormat = false;
  FillAvailableFields();
}

void MainModel::Report(MessageKind kind, const std::string& text) {
  if (onReport) onReport(kind, text);
}

void MainModel::Changed() {
  if (onChanged) onChanged();
}

std::array<int16_t, Product::kMaxFieldIds>& MainModel::Ids() {
  return current_ ? current_->SelectedFieldIds : spareIds_;
}

const std::array<int16_t, Product::kMaxFieldIds>& MainModel::SelectedIds() const {
  return current_ ? current_->SelectedFieldIds : spareIds_;
}

std::string MainModel::DefaultOutputName(const std::string& input) {
  const size_t slash = input.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : input.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
  const size_t first = name.find_first_not_of('.');
  name = first == std::string::npos ? "" : name.substr(first);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  if (name.empty()) name = "output";
  std::string output = folder + name + kOutputExtension;
  if (output == input) output += kOutputExtension;
  return output;
}

void MainModel::BrowseInput(const std::string& path) {
  const int item = DetectProduct(path);
  if (item == kItemNone) {
    SetInputFormatGroup(kItemNone);
    Report(MessageKind::Warning, kNotOurProduct);
    return;
  }
  settings_.InputFilename = path;
  settings_.OutputFilename = DefaultOutputName(path);
  // Through item 0 so that selecting the same product again still indexes
  // the new file.
  SetInputFormatGroup(kItemNone);
  SetInputFormatGroup(item);
}

void MainModel::SetInputFormatGroup(int item) {
  if (item == settings_.InputFormatGroup) return;
  SelectProduct(item);
}

// The selection the user built stays with the product change: the new
// reader takes over the id list so it matches SelectedBox.
void MainModel::MakeCurrent(Product* reader) {
  if (reader == current_) return;
  auto& target = reader ? reader->SelectedFieldIds : spareIds_;
  target = Ids();
  current_ = reader;
}

void MainModel::SelectProduct(int item) {
  const ProductRow* info = ProductRowFor(item);
  if (!info) return;
  settings_.InputFormatGroup = item;
  if (item == kItemNone) {
    PreviousInputItem = kItemNone;
    Changed();
    return;
  }
  if (!info->Supported()) {
    // Listed without a reader (QVR Darsk): the list goes back to the product
    // selected before.
    const ProductRow* before = ProductRowFor(PreviousInputItem);
    const int previous = before && before->Supported() ? PreviousInputItem : kItemNone;
    SelectProduct(previous);
    return;
  }
  MakeCurrent(lookup_(item));
  ConfigureProductControls(item, info->label, info->scanType, info->receivers, info->satDcc,
                           info->vmac, info->lambda);
  FillAvailableFields();
  PreviousInputItem = static_cast<int16_t>(item);
  Changed();
  if (current_ && onStartIndexing) onStartIndexing(item);
}

void MainModel::ConfigureProductControls(int item, const std::string& caption, bool scanType,
                                         int receivers, bool satDcc, bool vmac, bool lambda) {
  inputFormatLabel_ = caption;

  controls_.ScanTypeGroup = {scanType, scanType};
  settings_.ScanTypeGroup = scanType ? kFastData : kScanTable;

  const ProductRow* product = ProductRowFor(item);
  const bool scanMode = product && product->scanMode;
  controls_.SkarnMode = {scanMode, scanMode};

  for (int r = 1; r <= kReceiverCount; ++r) {
    const bool offered = r <= receivers;
    controls_.Receiver(r).enabled = offered;
    if (!offered) settings_.SetReceiver(r, false);
  }

  controls_.SATField.enabled = satDcc;
  if (!satDcc) settings_.SATField = false;
  controls_.VMACField.enabled = vmac;
  if (!vmac) settings_.VMACField = false;

  controls_.LambdaAvg = {lambda, lambda};
  if (!lambda && settings_.LambdaAvg) {
    settings_.LambdaAvg = false;
    settings_.cbAT_None = true;
  }
}

void MainModel::FillAvailableFields() {
  settings_.AvailableBox.clear();
  if (!current_) return;
  for (int i = 0; i < current_->AvailableCount; ++i) {
    const int id = current_->AvailableFieldIds[static_cast<size_t>(i)];
    settings_.AvailableBox.emplace_back(FieldCatalog::Name(id));
  }
}

bool MainModel::AppendSelected(int id) {
  const size_t position = settings_.SelectedBox.size();
  if (position >= static_cast<size_t>(kMaxSelected)) return false;
  settings_.SelectedBox.emplace_back(FieldCatalog::Name(id));
  Ids()[position] = static_cast<int16_t>(id);
  return true;
}

void MainModel::ApplyPresetFields(bool skarn, int item) {
  const OutputPreset& preset = FormatRowFor(item)->preset;
  if (preset.header == HeaderChoice::Off) settings_.FieldTitles = false;
  if (preset.header == HeaderChoice::On) settings_.FieldTitles = true;
  if (preset.delimiter != kDelimiterUnchanged) settings_.DelimiterGroup = preset.delimiter;
  for (int id : skarn ? preset.skarnFields : preset.fields) AppendSelected(id);
  if (preset.fieldDataSetA) {
    settings_.FrequencyField = false;
    settings_.ChannelField = false;
    settings_.RSSIField = true;
    settings_.SATField = false;
    settings_.VMACField = false;
    settings_.Receiver1 = true;
    settings_.Receiver2 = settings_.Receiver3 = settings_.Receiver4 = false;
  }
  if (preset.outputFilename) settings_.OutputFilename = preset.outputFilename;
}

void MainModel::ApplyOutputPreset(int item) {
  const FormatRow* format = FormatRowFor(item);
  if (!format) return;
  settings_.OutputFormatGroup = item;
  if (item == AppliedOutputFormat) return;
  AppliedOutputFormat = static_cast<int16_t>(item);

  // The id list is left as it is: the preset overwrites its first positions.
  settings_.SelectedBox.clear();
  for (ControlState* button : {&controls_.SelectField, &controls_.DeselectField,
                               &controls_.SelectAll, &controls_.DeselectAll})
    button->enabled = true;
  controls_.DelimiterGroup.visible = true;
  controls_.FieldTitles.visible = true;
  settings_.NativeFormat = false;

  const ProductRow* product = ProductRowFor(settings_.InputFormatGroup);
  ApplyPresetFields(product && product->skarnPresets, item);

  if (format->Native()) {
    for (ControlState* button : {&controls_.SelectField, &controls_.DeselectField,
                                 &controls_.SelectAll, &controls_.DeselectAll})
      button->enabled = false;
    // The Other box is not shown again by a later preset.
    controls_.DelimiterGroup.visible = false;
    controls_.FieldTitles.visible = false;
    controls_.OtherDelimiter.visible = false;
    settings_.NativeFormat = true;
  }
  Changed();
}

bool MainModel::SelectClick(int availableIndex) {
  if (availableIndex < 0 || !current_ || availableIndex >= current_->AvailableCount ||
      static_cast<size_t>(availableIndex) >= settings_.AvailableBox.size())
    return false;
  if (!AppendSelected(current_->AvailableFieldIds[static_cast<size_t>(availableIndex)]))
    return false;
  Changed();
  return true;
}

bool MainModel::DeselectClick(int selectedIndex) {
  auto& box = settings_.SelectedBox;
  if (selectedIndex < 0 || static_cast<size_t>(selectedIndex) >= box.size()) return false;
  // Every later id moves down one place; the last position becomes empty
  // rather than being read from past the end of the list.
  auto& ids = Ids();
  std::copy(ids.begin() + selectedIndex + 1, ids.end(), ids.begin() + selectedIndex);
  ids.back() = Product::kNoFieldId;
  box.erase(box.begin() + selectedIndex);
  Changed();
  return true;
}

bool MainModel::SelectAllClick() {
  bool any = false;
  const int count = current_ ? current_->AvailableCount : 0;
  for (int a = 0; a < count; ++a) {
    if (!AppendSelected(current_->AvailableFieldIds[static_cast<size_t>(a)])) break;
    any = true;
  }
  if (any) Changed();
  return any;
}

void MainModel::DeselectAllClick() {
  settings_.SelectedBox.clear();
  Ids().fill(Product::kNoFieldId);
  Changed();
}

bool MainModel::MoveSelected(int from, int to) {
  auto& box = settings_.SelectedBox;
  const int count = static_cast<int>(box.size());
  if (from < 0 || to < 0 || from >= count || to >= count || from == to) return false;
  auto& ids = Ids();
  auto rotate = [from, to](auto first) {
    if (from < to)
      std::rotate(first + from, first + from + 1, first + to + 1);
    else
      std::rotate(first + to, first + from, first + from + 1);
  };
  rotate(box.begin());
  rotate(ids.begin());
  Changed();
  return true;
}

void MainModel::RestoreSelection(const std::vector<std::string>& names,
                                 const std::vector<int>& ids) {
  const size_t count = std::min(names.size(), static_cast<size_t>(kMaxSelected));
  settings_.SelectedBox.assign(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(count));
  auto& target = Ids();
  for (size_t i = 0; i < count; ++i)
    target[i] = static_cast<int16_t>(i < ids.size() ? ids[i] : FieldCatalog::kData);
  Changed();
}

void MainModel::sbHelpClick() {
  Report(MessageKind::Information, kSplitHelp);
}

void MainModel::ToggleSegment(int index) {
  if (current_) current_->SegmentNodes.Toggle(index);
}

}  // namespace morphel
