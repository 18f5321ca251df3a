// The key table: every settable key goes out in its frame and comes back
// through the reply decoder the pages use, to the same text; keys are unique
// and each writer writes what its frame carries.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "common/errors.h"
#include "common/byte_display.h"
#include "protocol/replies.h"
#include "record/key_table.h"
#include "record/module_record.h"

namespace tq::record {
namespace {

// A value each edit's field carries as it stands (the frame writes it back
// the same), by control.
const std::map<std::string, std::string> kTexts = {
    {"Edit14", "005"},   {"Edit6", "010"},    {"Beilv", "0.001"},  {"Edit1", "060"},         {"READADR1", "31"},
    {"READADR3", "07"},  {"READADR5", "00"},  {"READADR7", "99"},  {"Edit4", "01 03 00 00"}, {"Edit5", "FF 0A"},
    {"BOUT1TM", "0005"}, {"BOUT2TM", "0120"}, {"BOUT3TM", "0000"}, {"BOUT4TM", "9999"},      {"AD1BH", "100.0"},
    {"AD2BH", "012.5"},  {"AD3BH", "0.000"},  {"AD4BH", "99999"},  {"AD1DTIME", "005"},      {"AD2DTIME", "010"},
    {"AD3DTIME", "000"}, {"AD4DTIME", "999"}, {"IA4MA", "0.000"},  {"IA20MA", "100.0"},      {"IB4MA", "4.000"},
    {"IB20MA", "020.0"}};

// The value under test: a list's last item but one (so neither the first
// nor the default), or the edit's sample.
std::string sample(const Key& key) {
  if (key.items.empty()) return kTexts.at(key.control);
  return key.items[key.items.size() >= 2 ? key.items.size() - 2 : 0];
}

// A set or output frame as the module's reply writes the same fields back.
struct Reply {
  Source source;
  std::string text;
};
Reply asReply(const Writer& w, const protocol::Frame& frame) {
  std::string text(frame.begin(), frame.end());
  auto body = [&](std::string_view prefix) { return text.substr(prefix.size()); };
  if (text.starts_with("VELKOR#")) return {Source::OutputSettings, "QX2#" + body("VELKOR#")};
  text = body("QQS#");
  if (w.name == "YB") return {Source::CommQuery, "QV:" + text.substr(3)};
  if (w.name == "BA1" || w.name == "MD" || w.name == "ADR" || w.name == "XY" || w.name == "JTM") {
    return {Source::SystemQuery, "QX1#" + text};
  }
  if (w.name.starts_with("DFOT")) text = "DFO" + text.substr(4);
  if (w.name.starts_with("MDBS")) text = "ZDY" + text.substr(4);
  if (w.name.starts_with("CAMD")) {
    // The raw bytes after the count come back as hex pairs.
    const size_t comma = text.find(',');
    const std::string raw = text.substr(comma + 1);
    std::string hex = bytesDisplay(std::span(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
    hex.pop_back();
    text = text.substr(0, comma + 1) + hex;
  }
  return {Source::ModbusQuery, "QQ#" + text + "#"};
}

Decoded decode(const Reply& reply) {
  switch (reply.source) {
    case Source::CommQuery:
      return protocol::decodeCommQueryReply(reply.text);
    case Source::SystemQuery:
      return protocol::decodeSystemReply(reply.text);
    case Source::ModbusQuery:
      return protocol::decodeModbusReply(reply.text, 0);  // custom meter: every group
    case Source::OutputSettings:
      return protocol::decodeOutputSettingsReply(reply.text);
    default:
      return {};
  }
}

TEST(KeyTable, EverySettableKeyRoundTripsThroughItsFrame) {
  size_t settable = 0;
  for (const Writer& w : writers()) {
    SCOPED_TRACE(w.name);
    std::map<std::string, std::string> values;
    for (size_t k : w.keys) values[keys()[k].name] = sample(keys()[k]);
    const protocol::Frame frame = writerFrame(w, [&](const std::string& key) { return values.at(key); });
    const Reply reply = asReply(w, frame);
    ModuleRecord record;
    const int device = keys()[w.keys.front()].device;
    recordDecoded(record, decode(reply), reply.source, device, Clock::now());
    for (size_t k : w.keys) {
      const Key& key = keys()[k];
      EXPECT_EQ(record.shown(key.name), values[key.name]) << key.name << " in " << reply.text;
      ++settable;
    }
  }
  size_t expected = 0;
  for (const Key& key : keys()) expected += key.writer >= 0;
  EXPECT_EQ(settable, expected);
}

TEST(KeyTable, KeysAreUniqueAndNamedAsTheWindowIsRead) {
  std::set<std::string> names;
  for (const Key& key : keys()) EXPECT_TRUE(names.insert(key.name).second) << key.name;
  struct Case {
    const char* key;
    const char* control;
    bool settable;
  };
  const Case cases[] = {{"module.interface", "ComboBox13", true},
                        {"module.units", "ComboBox1", true},
                        {"system.baud", "ComboBox2", true},
                        {"system.parity", "ComboBox4", true},
                        {"system.mode", "ComboBox7", true},
                        {"system.slave_address", "Edit14", true},
                        {"system.delay", "ComboBox12", true},
                        {"system.interval", "Edit6", true},
                        {"modbus.coefficient_mode", "ComboBox18", true},
                        {"modbus.coefficient", "Beilv", true},
                        {"device0.enable", "ComboBox6", true},
                        {"device7.mode", "ComboBox16", true},
                        {"device3.meter_type", "ComboBox17", true},
                        {"device5.preamble", "ComboBox34", true},
                        {"device7.buffer_clear", "Edit1", true},
                        {"relay4.limit", "AD4BH", true},
                        {"output_b.at_20ma", "IB20MA", true},
                        {"output_a.present", "Edit2", false},
                        {"hart.tag", "HartPropertiesView", false},
                        {"hart.standardized_status_2", "HartPropertiesView", false}};
  for (const Case& c : cases) {
    const Key* key = findKey(c.key);
    ASSERT_NE(key, nullptr) << c.key;
    EXPECT_EQ(key->control, c.control) << c.key;
    EXPECT_EQ(key->writer >= 0, c.settable) << c.key;
  }
  EXPECT_EQ(findKey("device8.enable"), nullptr);
}

TEST(KeyTable, LinkWritersAreMarkedAndFramesRefuseWhatTheirFieldsCannotCarry) {
  for (const Writer& w : writers()) EXPECT_EQ(w.changesLink, w.name == "BA1" || w.name == "YB") << w.name;
  struct Case {
    const char* writer;
    const char* key;
    const char* value;
  };
  const Case cases[] = {{"BA1", "system.baud", "38400"},
                        {"ADR", "system.slave_address", "1000"},
                        {"ADR", "system.slave_address", "abc"},
                        {"FMW", "modbus.coefficient", "0,001"},
                        {"FMW", "modbus.coefficient",
                         "\xc3\xa9"
                         "1"},
                        {"CAMD02", "device0.read_command2", "0G"},
                        {"AI01", "relay1.limit", "1\xe2\x82\xac"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const Writer* writer = nullptr;
    for (const Writer& w : writers()) {
      if (w.name == c.writer) writer = &w;
    }
    ASSERT_NE(writer, nullptr);
    auto value = [&](const std::string& key) { return key == c.key ? std::string(c.value) : sample(*findKey(key)); };
    EXPECT_THROW(writerFrame(*writer, value), std::exception);
  }
}

}  // namespace
}  // namespace tq::record
