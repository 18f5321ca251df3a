#pragma once
// The one table of the module record's keys: for each, the control that
// shows it, its label and page as the window shows them, the list a combo box
// offers, the query that reads it and the set frame that writes it (built by
// the buttons' own builders). A key exists here or nowhere.
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame_fields.h"

namespace tq::record {

// The HART instrument's field device status (the second status byte of its
// last reply), as the HART Instrument page names its row.
inline constexpr const char* kHartDeviceStatusLabel = "Device status";

// The devices a module can carry ("8 Unit").
inline constexpr int kMaxDevices = 8;

// What reads a key.
enum class Source {
  CommQuery,       // "QQQ#QV#"
  SystemQuery,     // "QQQ#QX1#"
  ModbusQuery,     // "QQQ#QQd#", one per device
  OutputSettings,  // "QQQ#QX2#"
  OutputValues,    // "QQQ#QX3#"
  HartInstrument,  // command 0 and Read All on the instrument
};

struct Key {
  std::string name;     // "device3.enable"
  std::string control;  // "ComboBox6"
  std::string label;    // "Enable"
  std::string page;     // "MODBUS Parameter Configuration"
  Source source = Source::CommQuery;
  int device = -1;                 // deviceN keys: N
  std::vector<std::string> items;  // a combo box's items; empty: an edit's text
  int writer = -1;                 // index into writers(); -1: read only
  uint8_t hartCommand = 0;         // HartInstrument: the first command whose reply holds it
};

// A set frame and the keys it writes together, in frame order.
struct Writer {
  std::string name;          // "HART3", "BA1", "BTM1": the frame's command word as sent
  std::vector<size_t> keys;  // indices into keys()
  // The RS485 line setting and the interface and unit count change the link
  // itself: they go last, each after its own question.
  bool changesLink = false;
  // The frame from the keys' values, by the buttons' builders.
  std::function<protocol::Frame(const std::function<std::string(const std::string& key)>& value)> build;
};

std::span<const Key> keys();
std::span<const Writer> writers();
// The key of that name, or nullptr.
const Key* findKey(std::string_view name);
// The key a control of a query shows (device: for the per-device keys), or nullptr.
const Key* keyOfControl(Source source, std::string_view control, int device = -1);

// A key's value as the frame needs it: a combo box's item by its index, an
// edit's text as typed. Refuses (InputRefused, naming the key) an item the
// list does not hold.
int itemIndex(const Key& key, std::string_view value);

// The frame that writes `writer`'s keys from `value(key name)`, built by
// the same builders as the buttons; refuses (InputRefused) a value its
// field cannot carry.
protocol::Frame writerFrame(const Writer& writer, const std::function<std::string(const std::string& key)>& value);

}  // namespace tq::record
