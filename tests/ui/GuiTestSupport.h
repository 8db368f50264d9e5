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
#include "ui/Seams.h"
#include "ui/TMainForm.h"

class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace morphel::ui::test {

// Answers each dialog with the next queued path (nothing queued: cancelled)
// and records where each dialog was asked to open.
class FakeFileDialogs : public FileDialogs {
 public:
  std::deque<QString> inputs, outputs, openConfigs, saveConfigs, maps;
  std::vector<QString> starts;
  std::optional<QString> OpenInput(QWidget*, const QString& start) override {
    return Next(inputs, start);
  }
  std::optional<QString> SaveOutput(QWidget*, const QString& start) override {
    return Next(outputs, start);
  }
  std::optional<QString> OpenConfig(QWidget*, const QString& start) override {
    return Next(openConfigs, start);
  }
  std::optional<QString> SaveConfig(QWidget*, const QString& start) override {
    return Next(saveConfigs, start);
  }
  std::optional<QString> SaveMap(QWidget*, const QString& start) override {
    return Next(maps, start);
  }

 private:
  std::optional<QString> Next(std::deque<QString>& queue, const QString& start) {
    starts.push_back(start);
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

// Fields of a delimited conversion: position, time and the readings.
void ChooseDriveFields(Window& w);
// Names the output file through the output "Browse" button.
void SetOutput(Window& w, const std::string& path);
// The same conversion made directly: a fresh reader, the window's settings
// and field ids, indexed first, the listed segments left out.
std::string DirectConversion(const Window& w, const std::string& output,
                             const std::vector<int>& leftOut);
// The status bar's whole line.
QString StatusLineOf(const Window& w);

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
