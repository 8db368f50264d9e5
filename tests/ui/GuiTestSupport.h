#pragma once
// A main window with recording fakes behind its file dialogs and message
// boxes, and small helpers to drive its widgets by object name.

#include <gtest/gtest.h>

#include <QObject>
#include <QString>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/MainModel.h"
#include "app/ui/Seams.h"
#include "app/ui/TMainForm.h"

class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace morphel::ui::test {

// Answers each dialog with the next queued path (nothing queued: cancelled).
class FakeFileDialogs : public FileDialogs {
 public:
  std::deque<QString> inputs, outputs, openConfigs, saveConfigs;
  std::optional<QString> OpenInput(QWidget*) override { return Next(inputs); }
  std::optional<QString> SaveOutput(QWidget*) override { return Next(outputs); }
  std::optional<QString> OpenConfig(QWidget*) override { return Next(openConfigs); }
  std::optional<QString> SaveConfig(QWidget*) override { return Next(saveConfigs); }

 private:
  static std::optional<QString> Next(std::deque<QString>& queue) {
    if (queue.empty()) return std::nullopt;
    QString path = queue.front();
    queue.pop_front();
    return path;
  }
};

// Records every message instead of showing a box.
class RecordingMessages : public MessageBoxes {
 public:
  std::vector<std::pair<MessageKind, QString>> shown;
  void Show(QWidget*, MessageKind kind, const QString& text) override {
    shown.emplace_back(kind, text);
  }
  int Count(const QString& text) const;
};

struct Window {
  MainModel model;
  FakeFileDialogs files;
  RecordingMessages messages;
  std::unique_ptr<TMainForm> form;
  Window() : form(std::make_unique<TMainForm>(model, files, messages)) {}

  template <typename W>
  W* Find(const char* name) const {
    W* widget = form->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void Click(const char* name) const;
  // Browses to a log through the input "Browse" button and waits until its
  // indexing run has finished.
  void BrowseAndIndex(const std::string& path);
  // Picks an output format in the list as the user does.
  void ChooseFormat(int item) const;
  // Highlights a row of a list box.
  void Highlight(const char* list, int row) const;
  // Converts with "Convert Data" and waits until the run has ended.
  void ConvertAndWait();
};

// A sample log of a product ("tolvan", "zev-card", ...) of the given length.
std::string SampleLog(const std::string& product, const std::string& name, double seconds);
// The texts of a list box's entries.
std::vector<std::string> Entries(const QListWidget* box);
// The child node of the tree for the segment at index (file order from 0).
QTreeWidgetItem* SegmentNode(const QTreeWidget* tree, int index);
// Child captions of each top-level node, in display order.
std::vector<std::pair<std::string, std::vector<std::string>>> TreeCaptions(const QTreeWidget* tree);

// Hooks of a run made directly in a test: records the messages.
class RecordingHooks : public RunHooks {
 public:
  std::vector<std::string> messages;
  void report(MessageKind, const std::string& text) override { messages.push_back(text); }
};

constexpr int kRunTimeoutMs = 60000;

}  // namespace morphel::ui::test
