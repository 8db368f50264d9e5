#include "tests/ui/GuiTestSupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTreeWidget>

#include "app/ConversionRun.h"
#include "index/IndexRun.h"
#include "products/ProductTable.h"
#include "synth/SampleFile.h"
#include "tests/TestSupport.h"

namespace morphel::ui::test {

int RecordingMessages::Count(const QString& text) const {
  int n = 0;
  for (const auto& m : shown) n += m.second == text ? 1 : 0;
  return n;
}

void Window::Click(const char* name) const {
  auto* button = Find<QAbstractButton>(name);
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(button->isEnabled()) << name;
  button->click();
}

void Window::BrowseAndIndex(const std::string& path) {
  QSignalSpy indexed(form.get(), &TMainForm::indexingFinished);
  files.inputs.push_back(QString::fromStdString(path));
  Click("InBrowse");
  if (indexed.isEmpty()) {
    ASSERT_TRUE(indexed.wait(kRunTimeoutMs)) << "indexing of " << path;
  }
  ASSERT_FALSE(form->Indexing());
}

void Window::ChooseFormat(int item) const {
  auto* list = Find<QComboBox>("OutputFormatGroup");
  ASSERT_NE(list, nullptr);
  list->setCurrentIndex(item);
  emit list->activated(item);
}

void Window::Highlight(const char* list, int row) const {
  auto* box = Find<QListWidget>(list);
  ASSERT_NE(box, nullptr);
  ASSERT_LT(row, box->count()) << list;
  box->setCurrentRow(row);
}

void Window::ConvertAndWait() {
  QSignalSpy converted(form.get(), &TMainForm::conversionFinished);
  Click("btnConvert");
  ASSERT_TRUE(converted.wait(kRunTimeoutMs));
  ASSERT_FALSE(form->Converting());
}

void ChooseDriveFields(Window& w) {
  w.ChooseFormat(11);
  w.Click("DeselectAll");
  const auto& names = w.model.GetSettings().AvailableBox;
  for (const char* wanted : {"Latitude (Decimal Degrees)", "Longitude (Decimal Degrees)",
                             "GPS Time (HH:MM:SS)", "<< DATA >>"}) {
    for (size_t a = 0; a < names.size(); ++a) {
      if (names[a] != wanted) continue;
      w.Highlight("AvailableBox", static_cast<int>(a));
      w.Click("SelectField");
    }
  }
  ASSERT_EQ(w.model.GetSettings().SelectedBox.size(), 4u);
}

void SetOutput(Window& w, const std::string& path) {
  w.files.outputs.push_back(QString::fromStdString(path));
  w.Click("OutBrowse");
  ASSERT_EQ(w.model.GetSettings().OutputFilename, path);
}

std::string DirectConversion(const Window& w, const std::string& output,
                             const std::vector<int>& leftOut) {
  Settings snapshot = w.model.Snapshot();
  snapshot.OutputFilename = output;
  const int item = snapshot.InputFormatGroup;
  std::unique_ptr<Product> reader = CreateReader(item);
  reader->SelectedFieldIds = w.model.SelectedIds();
  RecordingHooks hooks;
  IndexRun indexing(*reader, snapshot, item, hooks);
  EXPECT_EQ(indexing.Run(), IndexOutcome::Completed);
  for (int index : leftOut) reader->SegmentNodes.SetState(index, SegmentTable::kUnchecked);
  ConversionRun run(*reader, snapshot, hooks);
  EXPECT_EQ(run.Run(), RunOutcome::Completed);
  return morphel::test::ReadFile(output);
}

QString StatusLineOf(const Window& w) {
  auto* line = w.Find<QLabel>("StatusText");
  return line ? line->toolTip() : QString();
}

std::string SampleLog(const std::string& product, const std::string& name, double seconds) {
  const std::string path = morphel::test::TempPath(name);
  if (morphel::test::FileExists(path)) return path;
  synth::SampleOptions options;
  options.seconds = seconds;
  std::string error;
  EXPECT_TRUE(WriteSample(product, path, options, error)) << error;
  return path;
}

std::vector<std::string> Entries(const QListWidget* box) {
  std::vector<std::string> texts;
  for (int i = 0; i < box->count(); ++i) texts.push_back(box->item(i)->text().toStdString());
  return texts;
}

QTreeWidgetItem* SegmentNode(const QTreeWidget* tree, int index) {
  for (int t = 0; t < tree->topLevelItemCount(); ++t) {
    QTreeWidgetItem* top = tree->topLevelItem(t);
    for (int c = 0; c < top->childCount(); ++c)
      if (top->child(c)->data(0, Qt::UserRole).toInt() == index) return top->child(c);
  }
  return nullptr;
}

std::vector<std::pair<std::string, std::vector<std::string>>> TreeCaptions(
    const QTreeWidget* tree) {
  std::vector<std::pair<std::string, std::vector<std::string>>> captions;
  for (int t = 0; t < tree->topLevelItemCount(); ++t) {
    QTreeWidgetItem* top = tree->topLevelItem(t);
    std::vector<std::string> children;
    for (int c = 0; c < top->childCount(); ++c)
      children.push_back(top->child(c)->text(0).toStdString());
    captions.emplace_back(top->text(0).toStdString(), children);
  }
  return captions;
}

}  // namespace morphel::ui::test
