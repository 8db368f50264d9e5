#pragma once
// The main window: the four numbered steps over MainModel. The window holds
// no settings of its own: every edit goes into the model's Settings, every
// model change is mirrored back into the widgets, and the handlers call the
// model's handlers. The three background runs are started and sequenced
// here so that only one of them uses a reader at a time and the window never
// waits for a run.

#include <QMainWindow>
#include <QString>
#include <array>
#include <memory>
#include <vector>

#include "app/MainModel.h"
#include "ui/Seams.h"

class QAction;
class QButtonGroup;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace morphel::ui {

class TAboutDlg;
class TConvert;
class TDriveMapForm;
class TGeneratorDlg;
class THelp_Form;
class TLambdaDlg;
class TMakeIndex;
class TMakeList;
class TThresholdDlg;
class StatusLine;
class TWaitDlg;
class WindowState;

// A path as typed or pasted: without surrounding blanks or quotes, and a
// file manager's file:// address as the file's path.
QString LogPathFromText(const QString& text);

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // The smallest size: the window's classic 800 x 504.
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 504;
  static constexpr const char* kChooseInputFirst = "Choose an input log first.";

  TMainForm(MainModel& model, FileDialogs& files, MessageBoxes& messages,
            QWidget* parent = nullptr);
  ~TMainForm() override;

  MainModel& Model() { return model_; }
  // Step 1 for a log already chosen (the browse dialog's answer, a typed or
  // dropped path, the command line's LOG): recognise it, select its product
  // and index it. False when the file is not a log of ours (after the warning).
  bool OpenInputFile(const QString& path);

  // The size the window opens at: every field name readable, never below
  // 800 x 504, never beyond the screen's free area.
  QSize OpeningSize(const QRect& available) const;
  // Size, position and the last log folder kept between runs; without a
  // store the window opens at its opening size, centred.
  void SetWindowState(WindowState* state);
  // Opens at the remembered place, or at the opening size centred on the screen.
  void PlaceOnScreen();

  bool Converting() const { return converting_; }
  bool Indexing() const { return indexing_; }
  bool Gathering() const { return gathering_; }
  bool Busy() const { return converting_ || indexing_ || gathering_; }

  TWaitDlg* WaitDialog() const { return waitDlg_; }
  TGeneratorDlg* GeneratorDialog() const { return generatorDlg_; }
  TLambdaDlg* LambdaDialog() const { return lambdaDlg_; }
  TThresholdDlg* ThresholdDialog() const { return thresholdDlg_; }
  TAboutDlg* AboutDialog() const { return aboutDlg_; }
  THelp_Form* HelpWindow() const { return helpForm_; }
  TDriveMapForm* DriveMapWindow() const { return driveMap_; }

  // Handlers, named after their controls.
  void InBrowseClick();
  void OutBrowseClick();
  void sbHelpClick();
  void OutputFormatGroupChange(int item);
  void SelectClick();
  void DeselectClick();
  void SelectAllClick();
  void DeselectAllClick();
  void MoveFieldUpClick();
  void MoveFieldDownClick();
  void InputFilenameEditingFinished();
  void btnConvertClick();
  void btnCancelClick();
  void TimerTimer();
  void OpenConfiguration1Click();
  void SaveConfiguration1Click();
  void Exit1Click();
  void ContentsIndex1Click();
  void About1Click();
  void Generator1Click();
  void Threshold1Click();
  void Lambda1Click();
  void DriveMap1Click();

 signals:
  void indexingFinished();
  void conversionFinished();
  void gatheringFinished();

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Construction (TMainForm.cpp).
  void BuildMenu();
  QWidget* BuildStep1(QWidget* parent);
  QWidget* BuildStep2(QWidget* parent);
  QWidget* BuildScanType(QWidget* parent);
  QWidget* BuildAveraging(QWidget* parent);
  QWidget* BuildStep3(QWidget* parent);
  QLayout* BuildFieldButtons(QWidget* parent);
  QWidget* BuildFieldOptions(QWidget* parent);
  QWidget* BuildStep4(QWidget* parent);
  QWidget* BuildHiddenGroups(QWidget* parent);
  void BuildStatusBar();
  void ConnectControls();
  void KeepSmallestSize();

  // Mirroring the model (TMainFormSync.cpp).
  void SyncFromModel();
  void SyncLists();
  void SyncStates();
  void SyncRunStates();
  void StoreRadioGroups();
  void SettingsEdited();
  void RefreshCommandLine();
  void Report(MessageKind kind, const QString& text);
  // The Input box's path, whole (empty when the box is).
  QString TypedInput() const;
  // The status bar's line: what runs, or how the last run ended.
  void ShowStatus(const QString& text);
  void MoveSelectedField(int from, int to);
  void SelectedRowsMoved(int from, int to);

  // Background runs and the index tree (TMainFormRuns.cpp).
  void RequestIndexing(int item);
  void StartPending();
  void StartIndexing(int item);
  void StartConversion();
  void StartGathering();
  void IndexFinished();
  void ConversionFinished();
  void GatheringFinished();
  void ResetTree(int item);
  void AddSegmentNode(int index, int type, const QString& caption, bool stored);
  void tvIndexItemChanged(QTreeWidgetItem* item, int column);

  MainModel& model_;
  FileDialogs& files_;
  MessageBoxes& messages_;
  bool syncing_ = false;

  // Step 1.
  QLabel* InputFormatLabel;
  QLineEdit* InputFilename;
  QPushButton* InBrowse;
  QLineEdit* OutputFilename;
  QPushButton* OutBrowse;
  QCheckBox* cbSplit;
  QToolButton* sbHelp;
  // Step 2.
  std::array<QCheckBox*, 4> Receiver;
  QRadioButton* NoAvg;
  QRadioButton* BSAvg;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QPushButton* btnThreshold;
  QPushButton* btnChannelList;
  QRadioButton* cbAT_None;
  QRadioButton* rbORPS;
  QLineEdit* ORPS_Value;
  QLabel* orpsUnit;
  QRadioButton* rbORPM;
  QLineEdit* ORPM_Value;
  QLabel* orpmUnit;
  QRadioButton* LambdaAvg;
  QTreeWidget* tvIndex;
  QComboBox* OutputFormatGroup;
  // Shown for the products whose logs have scan-table and fast-data rows.
  QGroupBox* ScanTypeGroup;
  QButtonGroup* scanTypeButtons;
  QLabel* scanTypeHint;
  // Kept outside the visible area.
  QComboBox* InputFormatGroup;
  QGroupBox* SkarnMode;
  QButtonGroup* skarnModeButtons;
  // Step 3.
  QListWidget* AvailableBox;
  QListWidget* SelectedBox;
  QCheckBox* FieldTitles;
  QPushButton* SelectField;
  QPushButton* DeselectField;
  QPushButton* SelectAll;
  QPushButton* DeselectAll;
  QPushButton* MoveFieldUp;
  QPushButton* MoveFieldDown;
  QGroupBox* DelimiterGroup;
  QButtonGroup* delimiterButtons;
  QLineEdit* OtherDelimiter;
  QCheckBox* FrequencyField;
  QCheckBox* ChannelField;
  QCheckBox* RSSIField;
  QCheckBox* SATField;
  QCheckBox* VMACField;
  // Step 4.
  QPushButton* btnConvert;
  QPushButton* btnCancel;
  QLineEdit* CommandLine;
  // Status bar: what runs, the gauge and the clock.
  StatusLine* StatusText;
  QProgressBar* ProgressBar;
  QLabel* olClock;
  QTimer* Timer;
  QAction* openConfigAction_ = nullptr;

  // Secondary windows, created with the main window.
  TAboutDlg* aboutDlg_;
  THelp_Form* helpForm_;
  TLambdaDlg* lambdaDlg_;
  TWaitDlg* waitDlg_;
  TGeneratorDlg* generatorDlg_;
  TThresholdDlg* thresholdDlg_;
  TDriveMapForm* driveMap_;

  // Index tree: the top-level node of each segment type code.
  std::vector<QTreeWidgetItem*> typeNodes_;

  // The runs. A finished run object stays until the next start of its kind.
  std::unique_ptr<TConvert> convert_;
  std::unique_ptr<TMakeIndex> index_;
  std::unique_ptr<TMakeList> gather_;
  bool converting_ = false;
  bool indexing_ = false;
  bool gathering_ = false;
  bool convertPending_ = false;
  int indexPending_ = 0;  // product item waiting to be indexed, 0 none

  // The log the current reader was chosen for and indexed from, and the
  // last path tried (recognised or not), so a path is examined once.
  QString acceptedInput_;
  QString triedInput_;
  bool openingInput_ = false;
  // Where the file dialogs open: the folder of the last log opened.
  QString lastFolder_;
  WindowState* windowState_ = nullptr;
};

}  // namespace morphel::ui
