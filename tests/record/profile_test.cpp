// Profiles: what is written reads back the same; every fault in a file is
// refused with one message naming the file, the key and the fault; the
// comparison goes by the bytes a value would send.
#include <gtest/gtest.h>

#include "common/errors.h"
#include "record/profile.h"

namespace tq::record {
namespace {

ModuleRecord sampleRecord() {
  ModuleRecord record;
  const auto at = Clock::now();
  record.set("system.slave_address", "005", at);
  record.set("system.baud", "19200", at);
  record.set("device3.enable", "Open ", at);
  record.set("modbus.coefficient", "0.001", at);
  record.set("relay2.limit", "012.5", at);
  record.set("output_a.present", "12.0000mA", at);  // read only: no profile holds it
  record.set("hart.tag", "FT-101", at);
  return record;
}

TEST(Profile, WritesTheSettableKeysAndReadsThemBackInKeyOrder) {
  const std::string json = profileJson(sampleRecord(), "2026-12-10T04:35:00Z");
  const Profile profile = readProfile(json, "plant.json");
  EXPECT_EQ(profile.saved, "2026-12-10T04:35:00Z");
  const std::vector<std::pair<std::string, std::string>> expected = {{"system.baud", "19200"},
                                                                     {"system.slave_address", "005"},
                                                                     {"modbus.coefficient", "0.001"},
                                                                     {"device3.enable", "Open "},
                                                                     {"relay2.limit", "012.5"}};
  EXPECT_EQ(profile.settings, expected);
}

TEST(Profile, RefusesAWholeFileWithOneMessageNamingFileKeyAndFault) {
  auto with = [](const std::string& settings, const std::string& head = R"("format": "tq580-profile", "version": 1)") {
    return "{" + head + R"(, "settings": {)" + settings + "}}";
  };
  struct Case {
    std::string bytes;
    std::vector<std::string> said;
  };
  const Case cases[] = {
      {"{\"format\": \"tq580-profile\",", {"not JSON"}},
      {"[1, 2]", {"not a profile"}},
      {with("", R"("format": "other-tool", "version": 1)"), {"\"other-tool\""}},
      {with("", R"("format": "tq580-profile", "version": 2)"), {"version 2"}},
      {with("", R"("format": "tq580-profile")"), {"version none"}},
      {R"({"format": "tq580-profile", "version": 1})", {"no \"settings\""}},
      {with(R"("system.speed": "9600")"), {"system.speed", "not a key"}},
      {with(R"("output_a.present": "4.0000mA")"), {"output_a.present", "read only"}},
      {with(R"("system.slave_address": 5)"), {"system.slave_address", "not a text"}},
      {with(R"("system.baud": "38400")"), {"system.baud", "38400", "not an item"}},
      {with(R"("system.slave_address": "1000")"), {"system.slave_address", "1000"}},
      {with(R"("modbus.coefficient": "1#2")"), {"modbus.coefficient", "1#2"}},
      {with(R"("relay1.limit": "1\u20ac")"), {"relay1.limit", "cannot be sent"}},
      {with(R"("device2.read_command1": "0G")"), {"device2.read_command1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    try {
      readProfile(c.bytes, "/tmp/site/plant.json");
      ADD_FAILURE() << "accepted";
    } catch (const InputRefused& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("/tmp/site/plant.json"), std::string::npos) << message;
      for (const std::string& part : c.said) EXPECT_NE(message.find(part), std::string::npos) << message;
    }
  }
}

TEST(Profile, ComparesByTheBytesSentDifferencesFirst) {
  ModuleRecord record = sampleRecord();
  const Profile profile{"",
                        {{"system.baud", "9600"},
                         {"system.slave_address", "5"},
                         {"device3.enable", "Open "},
                         {"device4.enable", "Close"},
                         {"relay2.limit", "12.5"}}};
  const std::vector<DiffRow> rows = compareProfile(profile, record);
  ASSERT_EQ(rows.size(), 5u);
  struct Expected {
    const char* key;
    Comparison comparison;
    const char* moduleValue;
  };
  const Expected expected[] = {{"system.baud", Comparison::Different, "19200"},
                               {"relay2.limit", Comparison::Different, "012.5"},  // the limit goes as typed
                               {"device4.enable", Comparison::NotRead, "not read"},
                               {"system.slave_address", Comparison::Same, "005"},
                               {"device3.enable", Comparison::Same, "Open "}};
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].key, expected[i].key) << i;
    EXPECT_EQ(rows[i].comparison, expected[i].comparison) << rows[i].key;
    EXPECT_EQ(rows[i].moduleValue, expected[i].moduleValue) << rows[i].key;
  }
  EXPECT_EQ(rows[0].label, "RS485 Serial Port Parameters, Baud Rate");
}

}  // namespace
}  // namespace tq::record
