#pragma once
// What the tool remembers from one run to the next: the port and its line
// setting, the window's layout, the journal panel's filter, the HART page's
// scan range, the trend's interval and view, the folder each file dialog
// was last in and the report's details. A settings file is outside input:
// each value is checked here, and one its control cannot take is left out
// and named, never applied.
// No Qt: the window reads and writes the store, this says what it means.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tq::settings {

// Keys as the store holds them.
inline constexpr const char* kPort = "port/name";
inline constexpr const char* kBaud = "port/baud";
inline constexpr const char* kParity = "port/parity";
inline constexpr const char* kRts = "port/rts";
inline constexpr const char* kDtr = "port/dtr";
inline constexpr const char* kGeometry = "window/geometry";
inline constexpr const char* kLayout = "window/layout";
inline constexpr const char* kJournalFilter = "journal/filter";
inline constexpr const char* kJournalSearch = "journal/search";
inline constexpr const char* kHartScanWide = "hart/scanWide";
inline constexpr const char* kTrendInterval = "trend/interval";
inline constexpr const char* kTrendSpan = "trend/span";
inline constexpr const char* kTrendAxes = "trend/axes";
inline constexpr const char* kTrendAutoscale = "trend/autoscale";
inline constexpr const char* kFolderPrefix = "folders/";  // then the dialog's name: "folders/journal"
inline constexpr const char* kReportPrefix = "report/";   // then the detail's control: "report/ReportSite"

// The report's details, by the control each is typed in; only the notes
// run over several lines.
inline constexpr const char* kReportDetails[] = {"ReportSite", "ReportLoop", "ReportTechnician", "ReportNotes"};
inline constexpr const char* kReportNotes = "ReportNotes";

// The parity list holds three items, the journal's filter five, the
// trend's spans four and its axes two.
inline constexpr int kParityItems = 3;
inline constexpr int kJournalFilterItems = 5;
inline constexpr int kTrendSpanItems = 4;
inline constexpr int kTrendAxesItems = 2;
// Longer than any path or text an operator types; a longer value is damage.
inline constexpr size_t kMaxTextLength = 4096;

struct Remembered {
  std::optional<std::string> port;      // SPREALCOM's text
  std::optional<std::string> baud;      // ComboBox11's text: a rate in digits
  std::optional<int> parity;            // ComboBox10's item
  std::optional<bool> rts;              // CheckBox1
  std::optional<bool> dtr;              // CheckBox2
  std::optional<std::string> geometry;  // the window's, as the toolkit saves it, in base64
  std::optional<std::string> layout;    // its docks' places, likewise
  std::optional<int> journalFilter;
  std::optional<std::string> journalSearch;
  std::optional<bool> hartScanWide;
  std::optional<double> trendInterval;  // TrendInterval, in seconds
  std::optional<int> trendSpan;         // TrendSpan's item
  std::optional<int> trendAxes;         // TrendAxes' item
  std::optional<bool> trendAutoscale;
  std::map<std::string, std::string> folders;  // dialog -> folder
  std::map<std::string, std::string> report;   // detail control (one of kReportDetails) -> text
  bool operator==(const Remembered&) const = default;
};

// The values a store held, key to text. `ignored` names each value left
// out and why ("port/baud: \"96O0\" is not a rate").
Remembered readRemembered(const std::map<std::string, std::string>& values, std::vector<std::string>& ignored);
// Every value set, key to text, as readRemembered reads it back.
std::map<std::string, std::string> writeRemembered(const Remembered& remembered);

}  // namespace tq::settings
