#pragma once
// The secondary windows: About, the help window, the 40 Lambda settings, the
// indexing wait window, average information generation and the threshold
// settings. All are created with the main window and live until it closes.

#include <QDialog>

#include "core/Settings.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTextBrowser;

namespace morphel::ui {

class TAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutDlg(QWidget* parent);
};

class THelp_Form : public QDialog {
  Q_OBJECT
 public:
  explicit THelp_Form(QWidget* parent);
  void btnOKClick() { close(); }
  // The section headings of the manual, in order.
  static QStringList SectionHeadings();

 private:
  QTextBrowser* manual_;
};

// Holds the vehicle speed that the 40-lambda window is computed from.
class TLambdaDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TLambdaDlg(QWidget* parent);
  void Load(const Settings& settings);
  void Store(Settings& settings) const;

 private:
  QLineEdit* LambdaSpeed;
  QRadioButton* MPHchoice;
  QRadioButton* KMHchoice;
};

// Shown without blocking the main window while a log is indexed.
class TWaitDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TWaitDlg(QWidget* parent);
  void SetProgress(int percent);

 private:
  QProgressBar* ProgressBar;
};

// Measures the record rate of the log (records per second).
class TGeneratorDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TGeneratorDlg(QWidget* parent);
  void SetProgress(int percent);
  void SetGenerateEnabled(bool enabled);

 signals:
  // "Generate": the main window starts the gathering run.
  void generateRequested();
  // "Exit": the running gathering is to stop.
  void exitRequested();

 private:
  void OKBtnClick();
  void CancelBtnClick();

  QLabel* PercentComplete;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QProgressBar* ProgressBar;
};

// Collects a field, a comparator and a value for data reduction by threshold.
class TThresholdDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TThresholdDlg(QWidget* parent);
  QString Field() const;
  QString Comparator() const;
  QString Value() const;

 private:
  void OKBtnClick() { accept(); }

  QComboBox* comboField;
  QComboBox* comboComparator;
  QLineEdit* edValue;
  QPushButton* OKBtn;
};

}  // namespace morphel::ui
