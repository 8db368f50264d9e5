#include "ui/HelpText.h"

#include <array>

namespace morphel::ui {

namespace {

struct Section {
  const char* heading;
  const char* body;  // rich text paragraphs
};

constexpr std::array<Section, 8> kSections = {{
    {"Introduction",
     "<p>Morphel moves the measurements of a drive test out of the binary logs written by the QVR "
     "scanning receivers (Tolvan, Velmar, Zev, Skarn and Brisel) and into the tools you analyse "
     "a network with: Comarco Workbench, EDX SignalPro, Expert Wireless MaXPlan, Grayson IQ "
     "Analyzer, MapInfo with dB Planner, Microsoft Excel, MLJ PathPro, MSI Planet, SAFCO OPAS32, "
     "TEC Cellular Wizard, Teleworx PlotworX, Wireless Valley InFielder, or a delimited ASCII "
     "layout of your own.</p>"
     "<p>Each output line carries the position and time from the receiver's GPS together with "
     "the frequency, channel and signal strength (RSSI, in dBm) of the channels you scanned. "
     "Paging traffic recorded by a Zev receiver is decoded into message lines.</p>"},
    {"Installation",
     "<p>Copy the program to any folder on the machine that holds your logs, or install it with "
     "its menu entry (<i>cmake --install</i>). It needs no database; it remembers only the "
     "window's size and position and the folder of the last log. Saved set-ups are ordinary "
     "<i>.cfg</i> files that you keep wherever you like, for example beside the logs of a "
     "project.</p>"},
    {"Running the Application",
     "<p>Start Morphel and work through the four numbered steps of the window from top to "
     "bottom. The status bar says what is running (indexing, converting, gathering) and how "
     "the last run ended; the gauge beside it shows how far the current conversion has read "
     "the log, and the clock shows the time of day.</p>"
     "<p>When you choose a log, Morphel recognises the receiver that wrote it and indexes the "
     "file in the background. A small window shows the progress; the measurement segments then "
     "appear in the tree of step 2.</p>"},
    {"Main Menu",
     "<p><b>Application</b>: <i>Open Configuration</i> restores the input, the options, the "
     "format and the field lists saved earlier; <i>Save Configuration</i> stores them in a "
     "<i>.cfg</i> file; <i>Exit</i> closes the program.</p>"
     "<p><b>Tools</b>: <i>Generate Average Information</i> reads the log once to measure how "
     "many records it holds per second; <i>Data Reduction via Threshold</i> collects a "
     "field-value criterion; <i>40 Lambda Averaging</i> sets the average vehicle speed (MPH or "
     "km/h) from which the length of a 40-wavelength averaging window is worked out; <i>Drive "
     "Map</i> draws the route of the log on a plain longitude/latitude map, its points coloured "
     "by the signal strength of the best server or of a receiver you choose. Turn the mouse "
     "wheel to zoom, drag to move the map, point at a place to read its time, position, "
     "channel and RSSI; segments unticked in the tree are drawn grey. <b>Export...</b> writes "
     "the strongest readings of the receivers shown (without the unticked segments) to a "
     "GeoPackage, GeoJSON, KML or CSV file, or the map to a PNG picture.</p>"
     "<p><b>Help</b>: <i>Contents &amp; Index</i> opens this manual; <i>About</i> shows the "
     "version.</p>"},
    {"Step 1 - Select Input / Output",
     "<p>Press <b>Browse</b> beside <i>Input</i> and pick a receiver log (.tlf, .vlf, .bin, "
     ".zev, .slf or .blf), type or paste its path into the box and press Return, drop the log "
     "file on the window, or name it when you start the program (<i>morphel-gui LOG</i>). The "
     "receiver product is shown beside <i>Input:</i>. If the file was not written by a QVR "
     "receiver you are told so and nothing changes.</p>"
     "<p>The output name is proposed from the input name with the extension <i>.out</i>; use "
     "the second <b>Browse</b> to choose another. Tick <b>Excel Split</b> to have a long output "
     "cut into part files of at most 60000 lines each in a folder named after the output "
     "file.</p>"},
    {"Step 2 - Choose Formatting Options",
     "<p><b>Convert Data for Receiver(s)</b>: tick the receivers whose readings go into the "
     "output; only the receivers the product has can be ticked.</p>"
     "<p><b>Scan Type</b> (Tolvan, Velmar and Brisel logs): <i>Scan Table</i> or <i>Fast "
     "Data</i>, the rows of the log that the title line and the tools' own layouts "
     "describe.</p>"
     "<p><b>Data Reduction</b>: <i>Convert All Data</i> keeps every reading; <i>Best Server</i> "
     "keeps the strongest channel of each scan. <b>Average Type</b>: <i>40 Lambda</i> averages "
     "each channel over 40 wavelengths of driving distance (Tolvan and Velmar logs) to remove "
     "fast fading.</p>"
     "<p>The tree lists the measurement segments of the log under their measurement type, "
     "captioned with their start time. Untick a segment to leave it out of the conversion.</p>"
     "<p><b>Format Type</b>: choosing a post-processing tool sets up the columns, header and "
     "delimiter that tool expects. Grayson IQ Analyzer, MLJ PathPro, MSI Planet and Wireless "
     "Valley InFielder are written in their own layouts.</p>"},
    {"Step 3 - Select Data and Fields Which Are To Be In The Output File",
     "<p><i>Available Fields</i> lists what the receiver can deliver. Use <b>&gt;</b> to add the "
     "highlighted field to <i>Selected Fields</i>, <b>&lt;</b> to remove the highlighted "
     "selected field, <b>&gt;&gt;</b> to add all fields and <b>&lt;&lt;</b> to clear the "
     "selection. The order of <i>Selected Fields</i> is the column order of the output: move "
     "the highlighted field with the arrow buttons, or drag it within the list.</p>"
     "<p>The <i>&lt;&lt; DATA &gt;&gt;</i> field stands for the channel readings; "
     "<b>Field Data</b> decides which values each reading contributes (frequency in MHz, "
     "channel, RSSI, SAT/DCC and VMAC where the receiver records them). <b>Header</b> writes a "
     "title line; <b>Field Delimiter</b> chooses the separator, <i>Other</i> a character of "
     "your own.</p>"},
    {"Step 4 - Convert The Input File",
     "<p>Press <b>Convert Data</b>. The gauge in the status bar follows the conversion and a "
     "message tells you when the output is complete; a warning follows when no data record "
     "was written (with the likely reason) or when the log is damaged. <b>Cancel</b> stops the "
     "conversion at the next block of the log; what was written up to then stays in the output "
     "file, and the status bar says where the run stopped.</p>"
     "<p>The line below the buttons shows the <i>morphel convert</i> command that produces the "
     "same output from a command prompt, for batch work.</p>"},
}};

}  // namespace

QString HelpManualHtml() {
  QString html = QStringLiteral("<html><body>");
  for (const Section& section : kSections) {
    html += QStringLiteral("<h2>") + QString::fromLatin1(section.heading).toHtmlEscaped() +
            QStringLiteral("</h2>") + QString::fromLatin1(section.body);
  }
  html += QStringLiteral("</body></html>");
  return html;
}

QStringList HelpSectionHeadings() {
  QStringList headings;
  for (const Section& section : kSections) headings << QString::fromLatin1(section.heading);
  return headings;
}

}  // namespace morphel::ui
