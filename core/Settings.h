#pragma once
// The state of the main window's controls as a plain value. The window (and
// the command line) edit one; a run works on a copy taken when it starts, so a
// worker never reads memory that the window writes.

#include <cstdint>
#include <string>
#include <vector>

namespace morphel {

struct Settings {
  // Step 1: input and output.
  std::string InputFilename;
  std::string OutputFilename;
  int InputFormatGroup = 0;  // input product item 0..9
  bool cbSplit = false;      // "Excel Split"

  // Step 2: receivers, data reduction, averaging, output format.
  bool Receiver1 = true;
  bool Receiver2 = false;
  bool Receiver3 = false;
  bool Receiver4 = false;
  bool NoAvg = true;   // "Convert All Data"
  bool BSAvg = false;  // "Best Server"
  bool cbAT_None = true;
  bool LambdaAvg = false;  // "40 Lambda"
  bool rbORPS = false;     // "1 Rec per" N second(s)
  bool rbORPM = false;     // "1 Rec per " N meters
  std::string ORPS_Value = "1";
  std::string ORPM_Value = "100";
  int ScanTypeGroup = 1;  // 0 "Scan Table", 1 "Fast Data"
  int SkarnMode = 0;      // 0 "1 Channel", 1 "3 Channel", 2 "Scan Table"
  int OutputFormatGroup = 11;
  bool NativeFormat = false;  // the reader's own layout is written

  // Step 3: fields and delimiters.
  std::vector<std::string> AvailableBox;
  std::vector<std::string> SelectedBox;
  bool FieldTitles = true;  // "Header"
  int DelimiterGroup = 0;   // 0 Comma, 1 Semi-Colon, 2 Tab, 3 Space, 4 Other
  std::string OtherDelimiter = ":";
  bool FrequencyField = true;
  bool ChannelField = false;
  bool RSSIField = true;
  bool SATField = false;
  bool VMACField = false;

  // "40 Lambda Averaging" dialog.
  std::string LambdaSpeed = "30";
  bool MPHchoice = true;  // false: "KM / H"

  // Seconds since 1970 to stamp into side files instead of the current time;
  // negative means the real clock. Lets reference outputs stay reproducible.
  int64_t FrozenClock = -1;

  // Receiver box r (1..4) checked.
  bool ReceiverChecked(int r) const {
    switch (r) {
      case 1:
        return Receiver1;
      case 2:
        return Receiver2;
      case 3:
        return Receiver3;
      case 4:
        return Receiver4;
      default:
        return false;
    }
  }
  void SetReceiver(int r, bool on) {
    switch (r) {
      case 1:
        Receiver1 = on;
        break;
      case 2:
        Receiver2 = on;
        break;
      case 3:
        Receiver3 = on;
        break;
      case 4:
        Receiver4 = on;
        break;
      default:
        break;
    }
  }
};

// Whole-number value of an edit box as the window reads it: leading digits
// after optional blanks and sign; anything else gives the fallback.
int EditBoxInt(const std::string& text, int fallback);
// Decimal value of an edit box ("30", "12.5"); not a number gives fallback.
double EditBoxDouble(const std::string& text, double fallback);

}  // namespace morphel
