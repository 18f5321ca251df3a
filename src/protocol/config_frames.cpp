#include "protocol/config_frames.h"

namespace tq::protocol {

namespace {

// Field names as the operator finds them in the window.
constexpr std::string_view kDevice = "Meter ID";
constexpr std::string_view kRs485Baud = "RS485 Serial Port Parameters, Baud Rate";
constexpr std::string_view kRs485Parity = "RS485 Serial Port Parameters, Parity";
constexpr std::string_view kSlaveAddress = "MODBUS Slave Address";
constexpr std::string_view kDelay = "Communication Delay";
constexpr std::string_view kInterval = "Instrument Communication Interval";
constexpr std::string_view kInterfaceType = "Interface Type";
constexpr std::string_view kUnitCount = "Unit count";
constexpr std::string_view kCoefficientMode = "Variable 1 Coefficient";
constexpr std::string_view kCoefficient = "Coefficient";
constexpr std::string_view kEnable = "Enable";
constexpr std::string_view kDeviceMode = "Device Mode";
constexpr std::string_view kMeterType = "Meter Type";
constexpr std::string_view kPreamble = "Preamble Length";
constexpr std::string_view kBufferClear = "Buffer Clear Time";
constexpr std::string_view kAddressBits = "Address Bits";
constexpr std::array<std::string_view, 5> kFormats = {"Current (RTU_ADR) format", "Variable_1(RTU_ADR) format",
                                                      "Variable_2(RTU_ADR) format", "Variable_3(RTU_ADR) format",
                                                      "Variable_4(RTU_ADR) format"};
constexpr std::array<std::string_view, 4> kVariables = {"Variable_1", "Variable_2", "Variable_3", "Variable_4"};
constexpr std::array<std::string_view, 2> kReadCommands = {"Read Meter Command 1", "Read Meter Command 2"};

std::string named(std::string_view variable, std::string_view column) {
  return std::string(variable) + " " + std::string(column);
}

// "QQS#" + word + device digit + ':'
FrameBuilder perDevice(std::string_view word, int device) {
  FrameBuilder frame(std::string("QQS#") + std::string(word));
  frame.indexDigit(device, kDevice);
  return frame;
}

}  // namespace

Frame commQueryFrame() { return FrameBuilder("QQQ#QV#").frame(); }
Frame systemQueryFrame() { return FrameBuilder("QQQ#QX1#").frame(); }
Frame modbusQueryFrame(int device) { return FrameBuilder("QQQ#QQ").indexDigit(device, kDevice).fixed("#").frame(); }

Frame rs485LineFrame(int baudIndex, int parityIndex) {
  return FrameBuilder("QQS#BA1:").indexDigit(baudIndex, kRs485Baud).indexDigit(parityIndex, kRs485Parity).fixed("#").frame();
}

Frame workingModeFrame(int modeIndex, std::string_view field) {
  return FrameBuilder("QQS#MD:").indexDigit(modeIndex, field).fixed("#").frame();
}

Frame slaveAddressFrame(std::string_view address) {
  return FrameBuilder("QQS#ADR:").threeDigitDecimal(address, kSlaveAddress).fixed("#").frame();
}

Frame communicationDelayFrame(int delayIndex) {
  return FrameBuilder("QQS#XY:").indexDigit(delayIndex, kDelay).fixed("#").frame();
}

Frame instrumentIntervalFrame(std::string_view interval) {
  return FrameBuilder("QQS#JTM:").threeDigitDecimal(interval, kInterval).fixed("#").frame();
}

Frame interfaceTypeFrame(int interfaceIndex, int unitCountIndex) {
  return FrameBuilder("QQS#YB:").indexDigit(interfaceIndex, kInterfaceType).indexDigit(unitCountIndex, kUnitCount).fixed("#").frame();
}

Frame resetFrame() { return FrameBuilder("QQS#RESET#").frame(); }

Frame coefficientFrame(int modeIndex, std::string_view coefficient) {
  return FrameBuilder("QQS#FMW:")
      .indexDigit(modeIndex, kCoefficientMode).fixed(",")
      .fixedText(coefficient, kCoefficientWidth, kCoefficient).fixed("#")
      .frame();
}

Frame deviceSettingsFrame(const DeviceSettings& s) {
  return perDevice("HART", s.device).fixed(":")
      .indexDigit(s.enable, kEnable).fixed(",")
      .indexDigit(s.deviceMode, kDeviceMode).fixed(",")
      .twoDigitIndex(s.meterType, kMeterType).fixed(",")
      .offsetDigit(s.preambleLength, '4', kPreamble).fixed(",")
      .threeDigitDecimal(s.bufferClearTime, kBufferClear).fixed("#")
      .frame();
}

Frame registerFormatsFrame(int device, const std::array<int, 5>& formats) {
  FrameBuilder frame = perDevice("DFOT", device);
  frame.fixed(":");
  for (size_t i = 0; i < formats.size(); ++i) frame.indexDigit(formats[i], kFormats[i]);
  return frame.fixed("#").frame();
}

Frame parsingFormatFrame(int device, int addressBits, const std::array<VariableParsing, 4>& variables) {
  FrameBuilder frame = perDevice("MDBS", device);
  frame.fixed(":").offsetDigit(addressBits, '3', kAddressBits);
  for (size_t i = 0; i < variables.size(); ++i) {
    const VariableParsing& v = variables[i];
    frame.fixed(",")
        .indexDigit(v.command, named(kVariables[i], "Command Number"))
        .twoDigitDecimal(v.startAddress, named(kVariables[i], "Start Addr."))
        .indexDigit(v.length, named(kVariables[i], "Data Length"));
  }
  return frame.fixed("#").frame();
}

Frame readCommandFrame(int device, int which, int enable, std::span<const uint8_t> command) {
  const std::string_view field = kReadCommands[which == 2 ? 1 : 0];
  return perDevice("CAMD", device)
      .fixed(which == 2 ? "2:" : "1:")
      .indexDigit(enable, field).fixed("<")
      .countAndBytes(command, field)
      .frame();
}

std::array<std::string, 5> registerLabels(int device) {
  std::array<std::string, 5> labels;
  const std::string n = std::to_string(device);
  for (size_t i = 0; i < labels.size(); ++i) labels[i] = "400" + n + std::to_string(2 * i + 1);
  return labels;
}

}  // namespace tq::protocol
