#include "record/key_table.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "common/errors.h"
#include "common/line_text.h"
#include "common/text.h"
#include "hart/command_data.h"
#include "protocol/config_frames.h"
#include "protocol/output_frames.h"

namespace tq::record {

namespace {

using Values = std::function<std::string(const std::string& key)>;

constexpr const char* kSystemPage = "Syetem Parameters";
constexpr const char* kModbusPage = "MODBUS Parameter Configuration";
constexpr const char* kOutputPage = "Relay And Current Output Setting";
constexpr const char* kHartPage = "HART Instrument";

// The items of the window's lists, in order; a test holds them to the
// window's own.
const std::vector<std::string> kInterfaces = {"RS232", "RS485", "RS485 + RS232"};
const std::vector<std::string> kUnitCounts = {"1 Unit", "4 Unit", "8 Unit"};
const std::vector<std::string> kBauds = {"1200", "2400", "4800", "9600", "19200"};
const std::vector<std::string> kParities = {"None", "Odd", "Even"};
const std::vector<std::string> kModes = {"0_Transparent Mode", "1_Single Meter Operation Mode",
                                         "2_Multi-Slave Operation Mode", "3_Monitoring to MODBUS RTU(Custom)",
                                         "4_Monitoring data output mode"};
const std::vector<std::string> kDelays = {"0 No Delay", "1 100ms Delay"};
const std::vector<std::string> kCoefficientModes = {"0 Close", "1 variable 1 M3/S-->M3/H", "2 variable 1 coefficient",
                                                    "3 Multiply by 100 and Round to Integer"};
const std::vector<std::string> kEnable = {"Close", "Open "};
const std::vector<std::string> kDeviceModes = {"Secondary Master Device", "Master Device"};
const std::vector<std::string> kMeterTypes = {
    "0)Custom Meter",    "1)Currency Meter",       "2)KROHEN_IFC070",          "3)KROHEN_IFC300",
    "4)KROHEN_IFC090",   "5)Siemens_MG500",        "6)Siemens_FUS010(FUS060)", "7)Siemens_MASS600",
    "8)ABB_FIX100",      "9)ABB_FMT200",           "10)MP3 Flow Meter",        "11)HT56 Flow Meter",
    "12)F56 Flow Meter", "13)3051AMV Transmitter", "14)SIERRA Flow Meter",     "15)Yokogawa Flow Meter"};
const std::vector<std::string> kPreambles = {"4", "5", "6", "7", "8", "9"};
const std::vector<std::string> kCurrentFormats = {"0 IEE754 (FF4 FF3 FF2 FF1)", "1 IEE754 (FF2 FF1 FF4 FF3)"};
const std::vector<std::string> kVariableFormats = {"0 IEE754 (FF4 FF3 FF2 FF1)", "1 IEE754 (FF2 FF1 FF4 FF3)",
                                                   "2 Uint32 (FF4 FF3 FF2 FF1)", "3 Uint32 (FF2 FF1 FF4 FF3)"};
const std::vector<std::string> kAddressBits = {"3", "4", "5", "6", "7", "8", "9"};
const std::vector<std::string> kParsingCommands = {"0 Not analytic", "1 Command 1", "2 Command 2"};
const std::vector<std::string> kDataLengths = {"4 Byte", "8 Byte"};
const std::vector<std::string> kOpenClose = {"0 Close", "1 Open"};
const std::vector<std::string> kChannels = {"0 Close", "1 Variable 1", "2 Variable 2", "3 Variable 3", "4 Variable 4"};
const std::vector<std::string> kText = {};

// Control, key (after "deviceN." for the per-device ones), list.
struct Named {
  const char* control;
  const char* key;
  const std::vector<std::string>& items;
};

const Named kModuleKeys[] = {{"ComboBox13", "module.interface", kInterfaces},
                             {"ComboBox1", "module.units", kUnitCounts}};
const Named kSystemKeys[] = {{"ComboBox2", "system.baud", kBauds},    {"ComboBox4", "system.parity", kParities},
                             {"ComboBox7", "system.mode", kModes},    {"Edit14", "system.slave_address", kText},
                             {"ComboBox12", "system.delay", kDelays}, {"Edit6", "system.interval", kText}};
const Named kCoefficientKeys[] = {{"ComboBox18", "modbus.coefficient_mode", kCoefficientModes},
                                  {"Beilv", "modbus.coefficient", kText}};
const Named kDeviceKeys[] = {{"ComboBox6", "enable", kEnable},
                             {"ComboBox16", "mode", kDeviceModes},
                             {"ComboBox17", "meter_type", kMeterTypes},
                             {"ComboBox34", "preamble", kPreambles},
                             {"Edit1", "buffer_clear", kText},
                             {"FAMOUT1", "format_current", kCurrentFormats},
                             {"FAMOUT3", "format_var1", kVariableFormats},
                             {"FAMOUT5", "format_var2", kVariableFormats},
                             {"FAMOUT7", "format_var3", kVariableFormats},
                             {"FAMOUT9", "format_var4", kVariableFormats},
                             {"ComboBox15", "address_bits", kAddressBits},
                             {"RADCOM1", "var1_command", kParsingCommands},
                             {"READADR1", "var1_start", kText},
                             {"READLG1", "var1_length", kDataLengths},
                             {"RADCOM3", "var2_command", kParsingCommands},
                             {"READADR3", "var2_start", kText},
                             {"READLG3", "var2_length", kDataLengths},
                             {"RADCOM5", "var3_command", kParsingCommands},
                             {"READADR5", "var3_start", kText},
                             {"READLG5", "var3_length", kDataLengths},
                             {"RADCOM7", "var4_command", kParsingCommands},
                             {"READADR7", "var4_start", kText},
                             {"READLG7", "var4_length", kDataLengths},
                             {"ComboBox28", "read_command1_enable", kOpenClose},
                             {"Edit4", "read_command1", kText},
                             {"ComboBox29", "read_command2_enable", kOpenClose},
                             {"Edit5", "read_command2", kText}};
const Named kOutputKeys[] = {{"BOUT1TM", "relay1.delay", kText},
                             {"BOUT2TM", "relay2.delay", kText},
                             {"BOUT3TM", "relay3.delay", kText},
                             {"BOUT4TM", "relay4.delay", kText},
                             {"AD1COM", "relay1.alarm_enable", kOpenClose},
                             {"AD1BH", "relay1.limit", kText},
                             {"AD1DTIME", "relay1.reaction_time", kText},
                             {"AD2COM", "relay2.alarm_enable", kOpenClose},
                             {"AD2BH", "relay2.limit", kText},
                             {"AD2DTIME", "relay2.reaction_time", kText},
                             {"AD3COM", "relay3.alarm_enable", kOpenClose},
                             {"AD3BH", "relay3.limit", kText},
                             {"AD3DTIME", "relay3.reaction_time", kText},
                             {"AD4COM", "relay4.alarm_enable", kOpenClose},
                             {"AD4BH", "relay4.limit", kText},
                             {"AD4DTIME", "relay4.reaction_time", kText},
                             {"IACH", "output_a.channel", kChannels},
                             {"IA4MA", "output_a.at_4ma", kText},
                             {"IA20MA", "output_a.at_20ma", kText},
                             {"IBCH", "output_b.channel", kChannels},
                             {"IB4MA", "output_b.at_4ma", kText},
                             {"IB20MA", "output_b.at_20ma", kText}};
const Named kOutputValueKeys[] = {{"Edit2", "output_a.present", kText}, {"Edit3", "output_b.present", kText}};
const char* const kOutputValueLabels[] = {"IADOUT present value", "IBDOUT present value"};

// The HART instrument's values: the fields of command 0 and Read All.
constexpr uint8_t kHartCommands[] = {0, 1, 2, 3, 12, 13, 15, 20, 48};
// Read All's last command: its reply's field device status is the one recorded.
constexpr uint8_t kHartStatusCommand = 48;

// "Upper range value" -> "upper_range_value".
std::string slug(std::string_view name) {
  std::string out;
  for (char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
      out += c;
    else if (c >= 'A' && c <= 'Z')
      out += static_cast<char>(c - 'A' + 'a');
    else if (!out.empty() && out.back() != '_')
      out += '_';
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  return out;
}

// Labels as the set frames' and output commands' tables name their fields.
std::map<std::string, std::string, std::less<>> fieldLabels() {
  std::map<std::string, std::string, std::less<>> labels;
  for (const protocol::SetFrameLayout& layout : protocol::setFrameLayouts()) {
    for (const protocol::FieldLayout& field : layout.fields) labels.emplace(field.control, field.name);
  }
  for (const protocol::OutputCommand& command : protocol::outputCommands()) {
    for (const protocol::OutputField& field : command.fields) labels.emplace(field.control, field.name);
  }
  return labels;
}

struct Tables {
  std::vector<Key> keys;
  std::vector<Writer> writers;
};

class Builder {
 public:
  Builder() : labels_(fieldLabels()) {}

  void add(const Named& named, const char* page, Source source, int device = -1, std::string label = {}) {
    Key key;
    key.name = device >= 0 ? "device" + std::to_string(device) + "." + named.key : named.key;
    key.control = named.control;
    const auto known = labels_.find(std::string_view(named.control));
    key.label = !label.empty() ? std::move(label) : known != labels_.end() ? known->second : key.name;
    key.page = page;
    key.source = source;
    key.device = device;
    key.items = named.items;
    tables.keys.push_back(std::move(key));
  }

  // A writer of the keys with these controls (for `device`).
  // Its index: the builds look their writer up when they run, the table
  // being complete by then.
  size_t writer(std::string name, std::initializer_list<const char*> controls, int device = -1) {
    Writer w;
    w.name = std::move(name);
    for (const char* control : controls) {
      for (size_t i = 0; i < tables.keys.size(); ++i) {
        if (tables.keys[i].control == control && tables.keys[i].device == device) {
          w.keys.push_back(i);
          tables.keys[i].writer = static_cast<int>(tables.writers.size());
        }
      }
    }
    tables.writers.push_back(std::move(w));
    return tables.writers.size() - 1;
  }

  Tables tables;

 private:
  std::map<std::string, std::string, std::less<>> labels_;
};

// The value of a writer's i-th key, as an index or a text.
struct Reader {
  Reader(size_t writerIndex, const Values& v) : writer(writers()[writerIndex]), value(v) {}
  const Writer& writer;
  const Values& value;
  const Key& key(size_t i) const { return keys()[writer.keys.at(i)]; }
  int index(size_t i) const { return itemIndex(key(i), value(key(i).name)); }
  std::string text(size_t i) const { return value(key(i).name); }
  // A text that goes on the line as typed: one byte per character.
  std::string line(size_t i) const { return lineText(text(i), key(i).label); }
};

void addOutputWriter(Builder& b, const protocol::OutputCommand& command) {
  const size_t w = b.writer(command.word, {});
  for (const protocol::OutputField& field : command.fields) {
    for (size_t i = 0; i < b.tables.keys.size(); ++i) {
      if (b.tables.keys[i].control == field.control) {
        b.tables.writers[w].keys.push_back(i);
        b.tables.keys[i].writer = static_cast<int>(w);
      }
    }
  }
  b.tables.writers[w].build = [&command, w](const Values& value) {
    const Reader r(w, value);
    auto position = [&command](const char* control) {
      for (size_t i = 0; i < command.fields.size(); ++i) {
        if (std::string_view(command.fields[i].control) == control) return i;
      }
      throw std::logic_error(std::string("no field ") + control);
    };
    protocol::OutputControls controls{
        .selectedIndex = [&](const char* control) { return r.index(position(control)); },
        .typedText = [&](const char* control) { return r.text(position(control)); },
        .lineText = [&](const protocol::OutputField& field) { return r.line(position(field.control)); }};
    return protocol::outputFrame(command, controls);
  };
}

Tables build() {
  Builder b;
  for (const Named& n : kModuleKeys) b.add(n, kSystemPage, Source::CommQuery);
  for (const Named& n : kSystemKeys) b.add(n, kSystemPage, Source::SystemQuery);
  for (const Named& n : kCoefficientKeys) b.add(n, kModbusPage, Source::ModbusQuery);
  for (int d = 0; d < kMaxDevices; ++d) {
    for (const Named& n : kDeviceKeys) b.add(n, kModbusPage, Source::ModbusQuery, d);
  }
  for (const Named& n : kOutputKeys) b.add(n, kOutputPage, Source::OutputSettings);
  for (size_t i = 0; i < std::size(kOutputValueKeys); ++i) {
    b.add(kOutputValueKeys[i], kOutputPage, Source::OutputValues, -1, kOutputValueLabels[i]);
  }
  for (uint8_t command : kHartCommands) {
    if (command == kHartStatusCommand) {
      // The field device status of the last reply, beside the additional status.
      Key key;
      key.name = "hart." + slug(kHartDeviceStatusLabel);
      key.control = "HartPropertiesView";
      key.label = kHartDeviceStatusLabel;
      key.page = kHartPage;
      key.source = Source::HartInstrument;
      key.hartCommand = command;
      b.tables.keys.push_back(std::move(key));
    }
    for (const hart::DataField& field : hart::replyFields(command)) {
      if (field.journalOnly) continue;
      const std::string name = "hart." + slug(field.name);
      if (std::any_of(b.tables.keys.begin(), b.tables.keys.end(), [&](const Key& k) { return k.name == name; }))
        continue;  // the same value in a later command's reply
      Key key;
      key.name = name;
      key.control = "HartPropertiesView";
      key.label = std::string(field.name);
      key.page = kHartPage;
      key.source = Source::HartInstrument;
      key.hartCommand = command;
      b.tables.keys.push_back(std::move(key));
    }
  }

  // Writers, by the buttons' builders.
  {
    const size_t w = b.writer("BA1", {"ComboBox2", "ComboBox4"});
    b.tables.writers[w].changesLink = true;
    b.tables.writers[w].build = [w](const Values& v) {
      const Reader r(w, v);
      return protocol::rs485LineFrame(r.index(0), r.index(1));
    };
  }
  {
    const size_t w = b.writer("YB", {"ComboBox13", "ComboBox1"});
    b.tables.writers[w].changesLink = true;
    b.tables.writers[w].build = [w](const Values& v) {
      const Reader r(w, v);
      return protocol::interfaceTypeFrame(r.index(0), r.index(1));
    };
  }
  {
    const size_t w = b.writer("MD", {"ComboBox7"});
    b.tables.writers[w].build = [w](const Values& v) {
      return protocol::workingModeFrame(Reader(w, v).index(0), "Module Working Mode");
    };
  }
  {
    const size_t w = b.writer("ADR", {"Edit14"});
    b.tables.writers[w].build = [w](const Values& v) { return protocol::slaveAddressFrame(Reader(w, v).text(0)); };
  }
  {
    const size_t w = b.writer("XY", {"ComboBox12"});
    b.tables.writers[w].build = [w](const Values& v) {
      return protocol::communicationDelayFrame(Reader(w, v).index(0));
    };
  }
  {
    const size_t w = b.writer("JTM", {"Edit6"});
    b.tables.writers[w].build = [w](const Values& v) {
      return protocol::instrumentIntervalFrame(Reader(w, v).text(0));
    };
  }
  {
    const size_t w = b.writer("FMW", {"ComboBox18", "Beilv"});
    b.tables.writers[w].build = [w](const Values& v) {
      const Reader r(w, v);
      // As the button: only the first characters go on the line.
      const std::string typed = r.text(1);
      const std::string sent = lineText(firstCharacters(typed, protocol::kCoefficientWidth), r.key(1).label);
      return protocol::coefficientFrame(r.index(0), sent);
    };
  }
  for (int d = 0; d < kMaxDevices; ++d) {
    const std::string digit = std::to_string(d);
    {
      const size_t w = b.writer("HART" + digit, {"ComboBox6", "ComboBox16", "ComboBox17", "ComboBox34", "Edit1"}, d);
      b.tables.writers[w].build = [w, d](const Values& v) {
        const Reader r(w, v);
        return protocol::deviceSettingsFrame({.device = d,
                                              .enable = r.index(0),
                                              .deviceMode = r.index(1),
                                              .meterType = r.index(2),
                                              .preambleLength = r.index(3),
                                              .bufferClearTime = r.text(4)});
      };
    }
    {
      const size_t w = b.writer("DFOT" + digit, {"FAMOUT1", "FAMOUT3", "FAMOUT5", "FAMOUT7", "FAMOUT9"}, d);
      b.tables.writers[w].build = [w, d](const Values& v) {
        const Reader r(w, v);
        return protocol::registerFormatsFrame(d, {r.index(0), r.index(1), r.index(2), r.index(3), r.index(4)});
      };
    }
    {
      const size_t w = b.writer("MDBS" + digit,
                                {"ComboBox15", "RADCOM1", "READADR1", "READLG1", "RADCOM3", "READADR3", "READLG3",
                                 "RADCOM5", "READADR5", "READLG5", "RADCOM7", "READADR7", "READLG7"},
                                d);
      b.tables.writers[w].build = [w, d](const Values& v) {
        const Reader r(w, v);
        auto variable = [&r](size_t at) {
          return protocol::VariableParsing{r.index(at), r.text(at + 1), r.index(at + 2)};
        };
        return protocol::parsingFormatFrame(d, r.index(0), {variable(1), variable(4), variable(7), variable(10)});
      };
    }
    for (int which : {1, 2}) {
      const size_t w = b.writer("CAMD" + digit + std::to_string(which),
                                {which == 1 ? "ComboBox28" : "ComboBox29", which == 1 ? "Edit4" : "Edit5"}, d);
      b.tables.writers[w].build = [w, d, which](const Values& v) {
        const Reader r(w, v);
        const auto command = typedHexEntry(r.text(1), protocol::kReadCommandMaxBytes);
        return protocol::readCommandFrame(d, which, r.index(0), command);
      };
    }
  }
  for (const protocol::OutputCommand& command : protocol::outputCommands()) {
    // The relay test switches outputs: no setting of the record.
    if (std::string_view(command.word).starts_with("O0")) continue;
    addOutputWriter(b, command);
  }
  return std::move(b.tables);
}

const Tables& tables() {
  static const Tables t = build();
  return t;
}

}  // namespace

std::span<const Key> keys() { return tables().keys; }
std::span<const Writer> writers() { return tables().writers; }

const Key* findKey(std::string_view name) {
  for (const Key& key : keys()) {
    if (key.name == name) return &key;
  }
  return nullptr;
}

const Key* keyOfControl(Source source, std::string_view control, int device) {
  for (const Key& key : keys()) {
    if (key.source == source && key.control == control && key.device == device) return &key;
  }
  return nullptr;
}

int itemIndex(const Key& key, std::string_view value) {
  for (size_t i = 0; i < key.items.size(); ++i) {
    if (key.items[i] == value) return static_cast<int>(i);
  }
  throw InputRefused(key.name + ": \"" + std::string(value) + "\" is not an item of the list " + key.label + ".");
}

protocol::Frame writerFrame(const Writer& writer, const std::function<std::string(const std::string& key)>& value) {
  return writer.build(value);
}

}  // namespace tq::record
