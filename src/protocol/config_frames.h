#pragma once
// The configuration frames the tool sends, one builder per command. Each
// takes the control values it needs (selected indices, typed texts) and
// returns the frame's bytes, or refuses a value with a message that names
// the field; texts that go on the line as they are typed arrive here one
// byte per character (Latin-1).
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame_fields.h"

namespace tq::protocol {

// Queries: "QQQ#" and a command word.
Frame commQueryFrame();              // "QQQ#QV#"
Frame systemQueryFrame();            // "QQQ#QX1#"
Frame modbusQueryFrame(int device);  // "QQQ#QQ0#"

// "Syetem Parameters" page.
Frame rs485LineFrame(int baudIndex, int parityIndex);              // "QQS#BA1:30#"
Frame workingModeFrame(int modeIndex, std::string_view field);     // "QQS#MD:1#"
Frame slaveAddressFrame(std::string_view address);                 // "QQS#ADR:001#"
Frame communicationDelayFrame(int delayIndex);                     // "QQS#XY:0#"
Frame instrumentIntervalFrame(std::string_view interval);          // "QQS#JTM:010#"
Frame interfaceTypeFrame(int interfaceIndex, int unitCountIndex);  // "QQS#YB:00#"
Frame resetFrame();                                                // "QQS#RESET#"

// "MODBUS Parameter Configuration" page.
Frame coefficientFrame(int modeIndex, std::string_view coefficient);  // "QQS#FMW:3,0.001#"

struct DeviceSettings {
  int device;                   // ComboBox41
  int enable;                   // ComboBox6
  int deviceMode;               // ComboBox16
  int meterType;                // ComboBox17, 0 .. 15
  int preambleLength;           // ComboBox34, items "4" .. "9"
  std::string bufferClearTime;  // Edit1, seconds
};
Frame deviceSettingsFrame(const DeviceSettings& s);  // "QQS#HART0:1,1,05,5,060#"

// Formats of the current register and variables 1 .. 4 (FAMOUT1 .. FAMOUT9).
Frame registerFormatsFrame(int device, const std::array<int, 5>& formats);  // "QQS#DFOT0:00000#"

struct VariableParsing {
  int command;               // RADCOMn: 0 not analysed, 1 command 1, 2 command 2
  std::string startAddress;  // READADRn, 0 .. 99
  int length;                // READLGn: 0 four bytes, 1 eight bytes
};
Frame parsingFormatFrame(int device, int addressBits, const std::array<VariableParsing, 4>& variables);
// "QQS#MDBS0:8,1031,0000,2051,0000#"

// Custom HART read command 1 or 2: the frame ends with the last raw byte.
Frame readCommandFrame(int device, int which, int enable, std::span<const uint8_t> command);
// "QQS#CAMD01:1<04," 01 03 00 00

// Custom read commands carry at most this many bytes.
inline constexpr size_t kReadCommandMaxBytes = 14;
// The coefficient travels as exactly this many characters.
inline constexpr size_t kCoefficientWidth = 5;

// The five register labels of a device: "400" + n + "1", "3", "5", "7", "9".
std::array<std::string, 5> registerLabels(int device);

// The frames above as tables: what the builders write and the exchange
// journal's dissector reads.
inline constexpr std::string_view kQueryPrefix = "QQQ#";
inline constexpr std::string_view kSetPrefix = "QQS#";
inline constexpr char kFrameEnd = '#';

// "QQQ#" + word (+ device digit) + '#'.
struct QueryLayout {
  std::string_view word;   // "QX1"
  std::string_view title;  // what it asks for
  bool perDevice = false;  // the device digit follows the word: "QQ0"
};
std::span<const QueryLayout> queryLayouts();

// "QQS#" + word (+ device digit + suffix) + fields (+ '#').
struct SetFrameLayout {
  std::string_view word;    // "HART"
  std::string_view title;   // what it sets, as the window names it
  bool perDevice = false;   // the device digit follows the word: "HART0"
  std::string_view suffix;  // after the device digit: the "1" of "CAMD01"
  std::vector<FieldLayout> fields;
  bool closed = true;  // ends with '#'; a read command ends with its last raw byte
};
std::span<const SetFrameLayout> setFrameLayouts();

// The device digit of the per-device frames and of the MODBUS query.
const FieldLayout& deviceField();

}  // namespace tq::protocol
