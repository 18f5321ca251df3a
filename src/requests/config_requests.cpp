#include "requests/config_requests.h"

#include "common/hex_entry.h"
#include "common/text.h"
#include "protocol/config_frames.h"
#include "protocol/replies.h"
#include "common/line_text.h"

namespace tq::requests {

using engine::FrameDisplay;
using engine::kQueryTimeoutMs;
namespace code = engine::code;
namespace timeout = engine::timeout;

namespace {

// What a device change blanks until the module's reply fills it again.
constexpr const char* kDeviceCombos[] = {"ComboBox6", "ComboBox17", "ComboBox16", "ComboBox34", "FAMOUT1",
                                         "FAMOUT3",   "FAMOUT5",    "FAMOUT7",    "FAMOUT9",    "RADCOM1",
                                         "RADCOM3",   "RADCOM5",    "RADCOM7",    "READLG1",    "READLG3",
                                         "READLG5",   "READLG7",    "ComboBox28", "ComboBox29"};
constexpr const char* kDeviceEdits[] = {"Edit1", "Edit4", "Edit5", "READADR1", "READADR3", "READADR5", "READADR7"};
constexpr const char* kSystemCombos[] = {"ComboBox7", "ComboBox12", "ComboBox2", "ComboBox4"};
constexpr const char* kSystemEdits[] = {"Edit14", "Edit6"};

// The contents of "Custom HART Command Parsing".
constexpr const char* kCustomParsingCombos[] = {"ComboBox28", "ComboBox29", "RADCOM1",   "RADCOM3",
                                                "RADCOM5",    "RADCOM7",    "READLG1",   "READLG3",
                                                "READLG5",    "READLG7",    "ComboBox15"};
constexpr const char* kCustomParsingEdits[] = {"Edit4", "Edit5", "READADR1", "READADR3", "READADR5", "READADR7"};

}  // namespace

ConfigRequests::ConfigRequests(engine::TransactionEngine& engine, engine::View& view) : PageRequests(engine, view) {
  engine_.setDecoder(code::SystemQuery,
                     [](const engine::ReplyInput& reply) { return protocol::decodeSystemReply(reply.text); });
  engine_.setDecoder(code::ModbusParamQuery, [](const engine::ReplyInput& reply) {
    return protocol::decodeModbusReply(reply.text, reply.view.selectedIndex("ComboBox17"));
  });
}

void ConfigRequests::sendSetting(const protocol::Frame& frame, FrameDisplay display) {
  engine_.transmit(frame, display);
  engine_.await(code::Setting, timeout::Setup, kQueryTimeoutMs);
}

// --- "Syetem Parameters" -------------------------------------------------------

void ConfigRequests::Button5Click() {
  engine_.clearDisplays();
  const auto frame = protocol::rs485LineFrame(index("ComboBox2"), index("ComboBox4"));
  sendSetting(frame);
  engine_.closePortLater();  // the module now talks at its new line settings
}

void ConfigRequests::Button24Click() {
  engine_.clearDisplays();
  const auto frame = protocol::workingModeFrame(index("ComboBox7"), "Module Working Mode");
  sendSetting(frame);
}

void ConfigRequests::Button29Click() {
  engine_.clearDisplays();
  const auto frame = protocol::slaveAddressFrame(text("Edit14"));
  sendSetting(frame);
}

void ConfigRequests::Button15Click() {
  engine_.clearDisplays();
  const auto frame = protocol::communicationDelayFrame(index("ComboBox12"));
  sendSetting(frame);
}

void ConfigRequests::Button27Click() {
  engine_.clearDisplays();
  const auto frame = protocol::instrumentIntervalFrame(text("Edit6"));
  sendSetting(frame);
}

void ConfigRequests::Label8DblClick() {
  engine_.clearDisplays();
  const auto frame = protocol::interfaceTypeFrame(index("ComboBox13"), index("ComboBox1"));
  sendSetting(frame, FrameDisplay::Hidden);
}

void ConfigRequests::Button30Click() {
  engine_.clearDisplays();
  sendSetting(protocol::resetFrame());  // no confirmation question
}

void ConfigRequests::Edit14Change() { set(Assignment::setText("Edit18", text("Edit14"))); }

void ConfigRequests::Button23Click() {
  engine_.clearDisplays();
  engine_.transmit(protocol::systemQueryFrame(), FrameDisplay::Text);
  engine_.await(code::SystemQuery, timeout::ParameterQuery, kQueryTimeoutMs);
}

// --- "MODBUS Parameter Configuration" ------------------------------------------

void ConfigRequests::Button22Click() {
  engine_.clearDisplays();
  const auto frame = protocol::workingModeFrame(index("ComboBox14"), "Module Working Mode (MODBUS page)");
  sendSetting(frame);
}

void ConfigRequests::Button2Click() {
  engine_.clearDisplays();
  // Only the first characters go on the line; whatever follows them cannot
  // spoil the frame and is not looked at.
  const std::string typed = text("Beilv");
  const auto sent = lineText(firstCharacters(typed, protocol::kCoefficientWidth), "Coefficient");
  const auto frame = protocol::coefficientFrame(index("ComboBox18"), sent);
  sendSetting(frame);
}

void ConfigRequests::Button10Click() {
  engine_.clearDisplays();
  const auto frame = protocol::deviceSettingsFrame({.device = index("ComboBox41"),
                                                    .enable = index("ComboBox6"),
                                                    .deviceMode = index("ComboBox16"),
                                                    .meterType = index("ComboBox17"),
                                                    .preambleLength = index("ComboBox34"),
                                                    .bufferClearTime = text("Edit1")});
  sendSetting(frame);
}

void ConfigRequests::Button21Click() {
  engine_.clearDisplays();
  const auto frame = protocol::registerFormatsFrame(
      index("ComboBox41"), {index("FAMOUT1"), index("FAMOUT3"), index("FAMOUT5"), index("FAMOUT7"), index("FAMOUT9")});
  sendSetting(frame);
}

void ConfigRequests::Button12Click() {
  engine_.clearDisplays();
  auto variable = [this](const char* command, const char* start, const char* length) {
    return protocol::VariableParsing{index(command), text(start), index(length)};
  };
  const auto frame = protocol::parsingFormatFrame(
      index("ComboBox41"), index("ComboBox15"),
      {variable("RADCOM1", "READADR1", "READLG1"), variable("RADCOM3", "READADR3", "READLG3"),
       variable("RADCOM5", "READADR5", "READLG5"), variable("RADCOM7", "READADR7", "READLG7")});
  sendSetting(frame);
}

void ConfigRequests::Button17Click() { sendReadCommand(1, "Edit4", "ComboBox28"); }
void ConfigRequests::Button18Click() { sendReadCommand(2, "Edit5", "ComboBox29"); }

void ConfigRequests::sendReadCommand(int which, const char* edit, const char* enable) {
  engine_.clearDisplays();
  const auto command = typedHexEntry(text(edit), protocol::kReadCommandMaxBytes);
  const auto frame = protocol::readCommandFrame(index("ComboBox41"), which, index(enable), command);
  sendSetting(frame, FrameDisplay::Bytes);  // raw bytes follow the count
}

void ConfigRequests::Button31Click() {
  engine_.clearDisplays();
  engine_.transmit(protocol::modbusQueryFrame(index("ComboBox41")), FrameDisplay::Text);
  engine_.await(code::ModbusParamQuery, timeout::ParameterQuery, kQueryTimeoutMs);
}

void ConfigRequests::ComboBox41Change() {
  if (!engine_.portOpen()) return;
  const int device = index("ComboBox41");
  showRegisterLabels(device);
  set(Assignment::setText("Edit19", std::to_string(device) + "0"));
  set(Assignment::setText("Edit20", "10"));
  // Nothing of the previous device stays on show until the module answers.
  for (const char* combo : kDeviceCombos) set(Assignment::select(combo, -1));
  for (const char* edit : kDeviceEdits) set(Assignment::setText(edit, ""));
  set(Assignment::show("GroupBox13", false));
  for (const char* combo : kSystemCombos) set(Assignment::select(combo, -1));
  for (const char* edit : kSystemEdits) set(Assignment::setText(edit, ""));
  Button31Click();
}

void ConfigRequests::ComboBox17Change() {
  const bool customMeter = index("ComboBox17") == 0;
  set(Assignment::show("GroupBox13", customMeter));
  if (!customMeter) return;
  for (const char* combo : kCustomParsingCombos) set(Assignment::select(combo, -1));
  for (const char* edit : kCustomParsingEdits) set(Assignment::setText(edit, ""));
}

}  // namespace tq::requests
