// The journal's HART dissector on the frames the tests already use: every
// field at its bytes, the check byte verdict, a frame cut short, bytes
// around the frame, and nothing read or named beyond the block.
#include "hart/dissector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/hex_entry.h"

namespace tq::hart {
namespace {

std::vector<uint8_t> hex(const std::string& text) { return parseHexEntry(text, 1000); }

// "offset+length name: value [verdict]!" ("!" when bad), one per field.
std::vector<std::string> lines(const Dissection& d) {
  std::vector<std::string> out;
  for (const DissectedField& f : d.fields) {
    out.push_back(std::to_string(f.offset) + "+" + std::to_string(f.length) + " " + f.name + ": " + f.value +
                  (f.verdict.empty() ? "" : " [" + f.verdict + "]") + (f.bad ? "!" : ""));
  }
  return out;
}

// The identity reply the window tests use: manufacturer 26, device type
// 137, 7 preambles, device id 2188095.
const std::string kIdentityReply = "FF FF 06 80 00 0E 00 14 FE 1A 89 07 05 02 1B 08 01 21 63 3F 9E";
// The variables reply the request tests use; its check byte is 00 where
// the XOR of its bytes is EC.
const std::string kVariablesReply =
    "FF FF 86 9A 89 21 63 3F 03 1A 00 00 40 80 00 00 13 41 48 00 00 20 C1 48 00 00 07 3F 8C CC CD 2B 3D CC CC CD 00";

TEST(HartDissector, TakesAFrameApartFieldByField) {
  const struct {
    const char* name;
    std::string block;
    std::string title;
    std::vector<std::string> fields;
  } cases[] = {
      {"identity reply between noise",
       "00 11 " + kIdentityReply + " 22",
       "HART reply, command 0 Read Unique Identifier, response 0: success",
       {"0+2 Before the frame: 00 11",
        "2+2 Preamble: 2 bytes FF",
        "4+1 Delimiter: 06: short address, field device to master (ACK)",
        "5+1 Address: 80: primary master, polling address 0",
        "6+1 Command: 0: Read Unique Identifier",
        "7+1 Byte count: 14",
        "8+1 Response code: response 0: success",
        "9+1 Device status: 14: more status available, loop current saturated",
        "10+1 Expansion code: 254",
        "11+1 Manufacturer id: 26 (0x1A)",
        "12+1 Device type: 137 (0x89)",
        "13+1 Preambles requested: 7",
        "14+1 Universal command revision: 5",
        "15+1 Device revision: 2",
        "16+1 Software revision: 27",
        "17+1 Hardware revision: 1",
        "17+1 Physical signaling: 0",
        "18+1 Flags: 01",
        "19+3 Device id: 2188095 (0x21633F)",
        "22+1 Check byte: 9E [check byte OK]",
        "23+1 After the frame: 22"}},
      {"variables reply",
       kVariablesReply,
       "HART reply, command 3 Read Dynamic Variables And Loop Current, response 0: success",
       {"0+2 Preamble: 2 bytes FF", "2+1 Delimiter: 86: long address, field device to master (ACK)",
        "3+1 Address: 9A: primary master, manufacturer id (low six bits) 26", "4+1 Device type: 137",
        "5+3 Device id: 2188095", "8+1 Command: 3: Read Dynamic Variables And Loop Current", "9+1 Byte count: 26",
        "10+1 Response code: response 0: success", "11+1 Device status: 00: none", "12+4 Loop current: 4 mA",
        "16+5 Primary variable: 12.5 CuMtr_hr (unit code 19)", "21+5 Secondary variable: -12.5 \u2103 (unit code 32)",
        "26+5 Tertiary variable: 1.1 bar (unit code 7)", "31+5 Quaternary variable: 0.1 CuMtr (unit code 43)",
        "36+1 Check byte: 00 [check byte 00, expected EC]!"}},
      {"command 6 request",
       "FF FF 82 80 00 00 00 00 06 01 03 06",
       "HART request, command 6 Write Polling Address to device id 0",
       {"0+2 Preamble: 2 bytes FF", "2+1 Delimiter: 82: long address, master to field device (STX)",
        "3+1 Address: 80: primary master, manufacturer id (low six bits) 0", "4+1 Device type: 0", "5+3 Device id: 0",
        "8+1 Command: 6: Write Polling Address", "9+1 Byte count: 1", "10+1 Polling address: 3",
        "11+1 Check byte: 06 [check byte OK]"}},
      // Sent with a preamble setting of -1: no marker, whole and checked.
      {"no preamble",
       "02 05 00 00 07",
       "HART request, command 0 Read Unique Identifier to polling address 5",
       {"0+0 Preamble: none", "0+1 Delimiter: 02: short address, master to field device (STX)",
        "1+1 Address: 05: secondary master, polling address 5", "2+1 Command: 0: Read Unique Identifier",
        "3+1 Byte count: 0", "4+1 Check byte: 07 [check byte OK]"}},
      {"burst",
       "FF 01 C5 03 06 00 00 40 80 00 00 01",
       "HART burst, command 3 Read Dynamic Variables And Loop Current, response 0: success",
       {"0+1 Preamble: 1 byte FF", "1+1 Delimiter: 01: short address, burst frame from a field device (BACK)",
        "2+1 Address: C5: primary master, burst mode, polling address 5",
        "3+1 Command: 3: Read Dynamic Variables And Loop Current", "4+1 Byte count: 6",
        "5+1 Response code: response 0: success", "6+1 Device status: 00: none", "7+4 Loop current: 4 mA",
        "11+0 Missing data: the reply ends before Primary variable", "11+1 Check byte: 01 [check byte OK]"}},
      {"communication error",
       "FF 06 80 03 02 A8 00 2F",
       "HART reply, command 3 Read Dynamic Variables And Loop Current, communication error",
       {"0+1 Preamble: 1 byte FF", "1+1 Delimiter: 06: short address, field device to master (ACK)",
        "2+1 Address: 80: primary master, polling address 0", "3+1 Command: 3: Read Dynamic Variables And Loop Current",
        "4+1 Byte count: 2",
        "5+1 Communication error: A8: overrun, check byte [the instrument received the request garbled (overrun, "
        "check byte)]!",
        "6+1 Second status byte: 00 (no device status after a communication error)",
        "7+1 Check byte: 2F [check byte OK]"}},
      // HART 7's identity runs to 22 bytes.
      {"HART 7 identity",
       "FF 06 80 00 18 00 00 FE 26 06 05 07 01 01 10 00 12 34 56 05 03 00 00 00 00 26 00 26 01 25",
       "HART reply, command 0 Read Unique Identifier, response 0: success",
       {"0+1 Preamble: 1 byte FF",
        "1+1 Delimiter: 06: short address, field device to master (ACK)",
        "2+1 Address: 80: primary master, polling address 0",
        "3+1 Command: 0: Read Unique Identifier",
        "4+1 Byte count: 24",
        "5+1 Response code: response 0: success",
        "6+1 Device status: 00: none",
        "7+1 Expansion code: 254",
        "8+1 Manufacturer id: 38 (0x26)",
        "9+1 Device type: 6 (0x06)",
        "10+1 Preambles requested: 5",
        "11+1 Universal command revision: 7",
        "12+1 Device revision: 1",
        "13+1 Software revision: 1",
        "14+1 Hardware revision: 2",
        "14+1 Physical signaling: 0",
        "15+1 Flags: 00",
        "16+3 Device id: 1193046 (0x123456)",
        "19+1 Preambles sent back: 5",
        "20+1 Last device variable code: 3",
        "21+2 Configuration change counter: 0",
        "23+1 Extended device status: 00: none",
        "24+2 Manufacturer identification code: 38 (0x0026)",
        "26+2 Private label distributor code: 38 (0x0026)",
        "28+1 Device profile: 1",
        "29+1 Check byte: 25 [check byte OK]"}},
      // A warning's data are taken apart like a success's. Without the
      // instrument's command 0 the journal cannot know its revision: the
      // names of bytes 6 on say whose they are. Byte 10 is the analog
      // channel saturated, 11 standardized status 2.
      {"command 48 with a warning",
       "FF 06 80 30 10 08 10 01 02 03 04 05 06 21 03 04 05 0A 0B 0C 0D 9A",
       "HART reply, command 48 Read Additional Device Status, response 8: command-specific warning",
       {"0+1 Preamble: 1 byte FF", "1+1 Delimiter: 06: short address, field device to master (ACK)",
        "2+1 Address: 80: primary master, polling address 0", "3+1 Command: 48: Read Additional Device Status",
        "4+1 Byte count: 16", "5+1 Response code: response 8: command-specific warning",
        "6+1 Device status: 10: more status available", "7+6 Device-specific status: 01 02 03 04 05 06",
        "13+1 Extended device status (HART 6 on): 21: function check, maintenance required",
        "14+1 Device operating mode (HART 6 on): 3", "15+1 Standardized status 0 (HART 6 on): 04",
        "16+1 Standardized status 1 (HART 6 on): 05", "17+1 Analog channel saturated (HART 6 on): 0A",
        "18+1 Standardized status 2 (HART 6 on): 0B", "19+1 Standardized status 3 (HART 6 on): 0C",
        "20+1 Analog channel fixed (HART 6 on): 0D", "21+1 Check byte: 9A [check byte OK]"}},
      {"refused, unknown command",
       "FF 06 80 82 02 40 00 46",
       "HART reply, command 130, response 64: command not implemented",
       {"0+1 Preamble: 1 byte FF", "1+1 Delimiter: 06: short address, field device to master (ACK)",
        "2+1 Address: 80: primary master, polling address 0", "3+1 Command: 130 (device-specific)", "4+1 Byte count: 2",
        "5+1 Response code: response 64: command not implemented", "6+1 Device status: 00: none",
        "7+1 Check byte: 46 [check byte OK]"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto d = dissectHart(hex(c.block));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->protocol, Protocol::Hart);
    EXPECT_EQ(d->title, c.title);
    EXPECT_EQ(lines(*d), c.fields);
  }
}

// A byte changed or the frame cut short: the summary says so, the received
// byte first, then the computed one.
TEST(HartDissector, JudgesTheCheckByteAndAFrameCutShort) {
  const std::string request = "FF FF FF FF FF FF FF 82 9A 89 21 63 3F 03 00 EF";
  const struct {
    std::string block;
    std::string summary;
  } cases[] = {
      {"FF FF 06 80 00 0E 00 14 FE 1B 89 07 05 02 1B 08 01 21 63 3F 9E",  // manufacturer 1A -> 1B
       "HART reply, command 0 Read Unique Identifier, response 0: success \u2014 check byte 9E, expected 9F"},
      {"FF FF 06 80 00 0E 00 14 FE 1A 89 07 05 02 1B 08 01 21 63 3F 9F",
       "HART reply, command 0 Read Unique Identifier, response 0: success \u2014 check byte 9F, expected 9E"},
      {"FF FF 06 80 00 0E 00 14 FE 1A 89 07 05 02 1B 08 01 21 63 3F",  // the check byte lost
       "HART reply, command 0 Read Unique Identifier, response 0: success \u2014 frame ends after 18 of 19 bytes"},
      {"FF FF 06 80 00 0E 00",
       "HART reply, command 0 Read Unique Identifier, response 0: success \u2014 frame "
       "ends after 5 of 19 bytes"},
      {"FF FF 06 80 00 0E", "HART reply, command 0 Read Unique Identifier \u2014 frame ends after 4 of 19 bytes"},
      {"FF FF 06 80", "HART reply \u2014 frame ends after 2 bytes, before its byte count"},
      {"FF 06", "HART reply \u2014 frame ends after 1 byte, before its byte count"},
      {"FF FF 86 9A 89 21 63 3F 03 1A 00 00 40 80",
       "HART reply, command 3 Read Dynamic Variables And Loop "
       "Current, response 0: success \u2014 frame ends after 12 of 35 bytes"},
      {request, "HART request, command 3 Read Dynamic Variables And Loop Current to device id 2188095"},
      {"FF FF FF FF FF FF FF 82 9A 89 21 63 3F 03 00 EE",
       "HART request, command 3 Read Dynamic Variables And "
       "Loop Current to device id 2188095 \u2014 check byte EE, expected EF"},
      {"FF 82 9A 89 21", "HART request \u2014 frame ends after 4 bytes, before its byte count"},
      {"FF FF 06 80 00 01 00 87",
       "HART reply, command 0 Read Unique Identifier, response 0: success \u2014 byte "
       "count 1 leaves no room for the two status bytes"},
      // A stray marker before the reply is passed over for the whole one.
      {"FF 06 12 " + std::string(kIdentityReply), "HART reply, command 0 Read Unique Identifier, response 0: success"},
  };
  for (const auto& c : cases) {
    const auto d = dissectHart(hex(c.block));
    ASSERT_TRUE(d) << c.block;
    EXPECT_EQ(d->summary(), c.summary) << c.block;
  }
}

TEST(HartDissector, FindsNothingWithoutAFrame) {
  // The manual frame the page tests send, a MODBUS request, a
  // configuration reply, and a delimiter opening a block whose check byte
  // does not hold.
  for (const std::string block :
       {"76 89 FD AD AF", "01 03 00 00 00 02 C4 0B", "51 56 3A 31 32 0D", "02 80 00 00 83", "FF FF FF", "06"}) {
    EXPECT_FALSE(dissectHart(hex(block))) << block;
  }
  EXPECT_FALSE(dissectHart({}));
}

// Every prefix of the test frames: each field lies inside the block and
// the first bad verdict says why.
TEST(HartDissector, EveryCutKeepsItsFieldsInsideTheBlock) {
  for (const std::string& frame : {kIdentityReply, kVariablesReply, std::string("FF 02 80 00 00 82")}) {
    const auto whole = hex(frame);
    const size_t delimiterAt =
        std::find_if(whole.begin(), whole.end(), [](uint8_t b) { return b != 0xFF; }) - whole.begin();
    for (size_t n = 1; n <= whole.size(); ++n) {
      const std::span<const uint8_t> block(whole.data(), n);
      const auto d = dissectHart(block);
      ASSERT_EQ(d.has_value(), n > delimiterAt) << frame << " cut to " << n;
      if (!d) continue;
      for (const DissectedField& f : d->fields) EXPECT_LE(f.offset + f.length, n) << frame << " cut to " << n;
      if (n < whole.size()) {
        EXPECT_NE(d->firstFault(), nullptr) << frame << " cut to " << n;
      }
    }
  }
}

}  // namespace
}  // namespace tq::hart
