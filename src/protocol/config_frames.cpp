#include "protocol/config_frames.h"

#include <stdexcept>

namespace tq::protocol {

namespace {

using E = Encoding;

constexpr FieldLayout kDevice = {"", E::IndexDigit, "Meter ID", "ComboBox41"};

constexpr QueryLayout kQueries[] = {
    {"QV", "Communication Query"},          {"QX1", "System Parameters"},
    {"QQ", "MODBUS Parameter Query", true}, {"QX2", "Relay and current output settings"},
    {"QX3", "Current output values"},
};
enum QueryIndex { kCommQuery, kSystemQuery, kModbusQuery, kOutputSettingsQuery, kOutputValuesQuery };

enum SetIndex {
  kRs485Line,
  kWorkingMode,
  kSlaveAddress,
  kDelay,
  kInterval,
  kInterfaceType,
  kReset,
  kCoefficient,
  kDeviceSettings,
  kRegisterFormats,
  kParsingFormat,
  kReadCommand1,
  kReadCommand2,
  kSetFrameCount
};

// Field names as the operator finds them in the window; the builders'
// messages name the same. Built on first use, so a frame built while other
// files' statics are set up finds it ready.
const SetFrameLayout* setFrames() {
  static const SetFrameLayout layouts[] = {
      {"BA1",
       "RS485 Serial Port Parameters",
       false,
       "",
       {{":", E::IndexDigit, "RS485 Serial Port Parameters, Baud Rate", "ComboBox2"},
        {"", E::IndexDigit, "RS485 Serial Port Parameters, Parity", "ComboBox4"}}},
      // The same list on two pages; each caller names its own.
      {"MD", "Module Working Mode", false, "", {{":", E::IndexDigit, "Module Working Mode", "ComboBox7"}}},
      {"ADR", "MODBUS Slave Address", false, "", {{":", E::ThreeDigitDecimal, "MODBUS Slave Address", "Edit14"}}},
      {"XY", "Communication Delay", false, "", {{":", E::IndexDigit, "Communication Delay", "ComboBox12"}}},
      {"JTM",
       "Instrument Communication Interval",
       false,
       "",
       {{":", E::ThreeDigitDecimal, "Instrument Communication Interval", "Edit6"}}},
      {"YB",
       "Interface Type",
       false,
       "",
       {{":", E::IndexDigit, "Interface Type", "ComboBox13"}, {"", E::IndexDigit, "Unit count", "ComboBox1"}}},
      {"RESET", "Parameter Initialization", false, "", {}},
      {"FMW",
       "Variable 1 Coefficient",
       false,
       "",
       {{":", E::IndexDigit, "Variable 1 Coefficient", "ComboBox18"},
        {",", E::FixedText, "Coefficient", "Beilv", '0', kCoefficientWidth}}},
      {"HART",
       "Meter settings",
       true,
       "",
       {{":", E::IndexDigit, "Enable", "ComboBox6"},
        {",", E::IndexDigit, "Device Mode", "ComboBox16"},
        {",", E::TwoDigitIndex, "Meter Type", "ComboBox17"},
        {",", E::OffsetDigit, "Preamble Length", "ComboBox34", '4'},
        {",", E::ThreeDigitDecimal, "Buffer Clear Time", "Edit1"}}},
      // Formats of the current register and variables 1 .. 4.
      {"DFOT",
       "Register formats",
       true,
       "",
       {{":", E::IndexDigit, "Current (RTU_ADR) format", "FAMOUT1"},
        {"", E::IndexDigit, "Variable_1(RTU_ADR) format", "FAMOUT3"},
        {"", E::IndexDigit, "Variable_2(RTU_ADR) format", "FAMOUT5"},
        {"", E::IndexDigit, "Variable_3(RTU_ADR) format", "FAMOUT7"},
        {"", E::IndexDigit, "Variable_4(RTU_ADR) format", "FAMOUT9"}}},
      // Address bits, then per variable the command, start address and length.
      {"MDBS",
       "Custom HART Data Parsing Format",
       true,
       "",
       {{":", E::OffsetDigit, "Address Bits", "ComboBox15", '3'},
        {",", E::IndexDigit, "Variable_1 Command Number", "RADCOM1"},
        {"", E::TwoDigitDecimal, "Variable_1 Start Addr.", "READADR1"},
        {"", E::IndexDigit, "Variable_1 Data Length", "READLG1"},
        {",", E::IndexDigit, "Variable_2 Command Number", "RADCOM3"},
        {"", E::TwoDigitDecimal, "Variable_2 Start Addr.", "READADR3"},
        {"", E::IndexDigit, "Variable_2 Data Length", "READLG3"},
        {",", E::IndexDigit, "Variable_3 Command Number", "RADCOM5"},
        {"", E::TwoDigitDecimal, "Variable_3 Start Addr.", "READADR5"},
        {"", E::IndexDigit, "Variable_3 Data Length", "READLG5"},
        {",", E::IndexDigit, "Variable_4 Command Number", "RADCOM7"},
        {"", E::TwoDigitDecimal, "Variable_4 Start Addr.", "READADR7"},
        {"", E::IndexDigit, "Variable_4 Data Length", "READLG7"}}},
      // The frame ends with the command's last raw byte.
      {"CAMD",
       "Read Meter Command 1",
       true,
       "1",
       {{":", E::IndexDigit, "Read Meter Command 1", "ComboBox28"},
        {"<", E::CountAndBytes, "Read Meter Command 1", "Edit4"}},
       false},
      {"CAMD",
       "Read Meter Command 2",
       true,
       "2",
       {{":", E::IndexDigit, "Read Meter Command 2", "ComboBox29"},
        {"<", E::CountAndBytes, "Read Meter Command 2", "Edit5"}},
       false},
  };
  static_assert(std::size(layouts) == kSetFrameCount);
  return layouts;
}

Frame queryFrame(const QueryLayout& query, int device = 0) {
  FrameBuilder frame(kQueryPrefix);
  frame.fixed(query.word);
  if (query.perDevice) frame.field(kDevice, device);
  return frame.fixed(std::string_view(&kFrameEnd, 1)).frame();
}

// Each field takes the next value, left to right, so the first refused one
// is the one reported and nothing is built.
Frame setFrame(const SetFrameLayout& layout, int device, std::initializer_list<FieldValue> values) {
  if (values.size() != layout.fields.size()) throw std::logic_error("set frame " + std::string(layout.word));
  FrameBuilder frame(kSetPrefix);
  frame.fixed(layout.word);
  if (layout.perDevice) frame.field(kDevice, device).fixed(layout.suffix);
  const FieldValue* value = values.begin();
  for (const FieldLayout& field : layout.fields) frame.field(field, *value++);
  if (layout.closed) frame.fixed(std::string_view(&kFrameEnd, 1));
  return frame.frame();
}

}  // namespace

std::span<const QueryLayout> queryLayouts() { return kQueries; }
std::span<const SetFrameLayout> setFrameLayouts() { return {setFrames(), kSetFrameCount}; }
const FieldLayout& deviceField() { return kDevice; }

Frame commQueryFrame() { return queryFrame(kQueries[kCommQuery]); }
Frame systemQueryFrame() { return queryFrame(kQueries[kSystemQuery]); }
Frame modbusQueryFrame(int device) { return queryFrame(kQueries[kModbusQuery], device); }

Frame rs485LineFrame(int baudIndex, int parityIndex) {
  return setFrame(setFrames()[kRs485Line], 0, {baudIndex, parityIndex});
}

Frame workingModeFrame(int modeIndex, std::string_view field) {
  SetFrameLayout named = setFrames()[kWorkingMode];
  named.fields[0].name = field;
  return setFrame(named, 0, {modeIndex});
}

Frame slaveAddressFrame(std::string_view address) { return setFrame(setFrames()[kSlaveAddress], 0, {address}); }

Frame communicationDelayFrame(int delayIndex) { return setFrame(setFrames()[kDelay], 0, {delayIndex}); }

Frame instrumentIntervalFrame(std::string_view interval) { return setFrame(setFrames()[kInterval], 0, {interval}); }

Frame interfaceTypeFrame(int interfaceIndex, int unitCountIndex) {
  return setFrame(setFrames()[kInterfaceType], 0, {interfaceIndex, unitCountIndex});
}

Frame resetFrame() { return setFrame(setFrames()[kReset], 0, {}); }

Frame coefficientFrame(int modeIndex, std::string_view coefficient) {
  return setFrame(setFrames()[kCoefficient], 0, {modeIndex, coefficient});
}

Frame deviceSettingsFrame(const DeviceSettings& s) {
  return setFrame(setFrames()[kDeviceSettings], s.device,
                  {s.enable, s.deviceMode, s.meterType, s.preambleLength, s.bufferClearTime});
}

Frame registerFormatsFrame(int device, const std::array<int, 5>& f) {
  return setFrame(setFrames()[kRegisterFormats], device, {f[0], f[1], f[2], f[3], f[4]});
}

Frame parsingFormatFrame(int device, int addressBits, const std::array<VariableParsing, 4>& v) {
  return setFrame(
      setFrames()[kParsingFormat], device,
      {addressBits, v[0].command, v[0].startAddress, v[0].length, v[1].command, v[1].startAddress, v[1].length,
       v[2].command, v[2].startAddress, v[2].length, v[3].command, v[3].startAddress, v[3].length});
}

Frame readCommandFrame(int device, int which, int enable, std::span<const uint8_t> command) {
  return setFrame(setFrames()[which == 2 ? kReadCommand2 : kReadCommand1], device, {enable, command});
}

std::array<std::string, 5> registerLabels(int device) {
  std::array<std::string, 5> labels;
  const std::string n = std::to_string(device);
  for (size_t i = 0; i < labels.size(); ++i) labels[i] = "400" + n + std::to_string(2 * i + 1);
  return labels;
}

}  // namespace tq::protocol
