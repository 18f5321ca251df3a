#pragma once
// libmodbus as a MODBUS RTU slave on the far end of a pty: a peer nobody
// here wrote, serving a known register map, for the test request and the
// journal's dissection of real answers.
#include <modbus.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "support/pty.h"

namespace tq::tools::testing {

inline constexpr int kRegisterCount = 512;
// An upper bound for a slave that got no request at all, not a margin.
inline constexpr uint32_t kIndicationTimeoutSec = 5;

// What the slave's map holds until a test changes it.
inline uint16_t registerValue(int address) { return static_cast<uint16_t>(0x5A00 ^ (address * 0x0107)); }

class LibmodbusSlave {
 public:
  explicit LibmodbusSlave(int address) {
    ctx_ = modbus_new_rtu(pty_.slavePath().c_str(), 9600, 'N', 8, 1);
    map_ = modbus_mapping_new(0, 0, kRegisterCount, 0);
    if (!ctx_ || !map_ || modbus_set_slave(ctx_, address) != 0 || modbus_connect(ctx_) != 0) {
      ADD_FAILURE() << "libmodbus slave: " << modbus_strerror(errno);
      return;
    }
    modbus_set_indication_timeout(ctx_, kIndicationTimeoutSec, 0);
    for (int i = 0; i < kRegisterCount; ++i) map_->tab_registers[i] = registerValue(i);
  }
  ~LibmodbusSlave() {
    if (map_) modbus_mapping_free(map_);
    if (ctx_) {
      modbus_close(ctx_);
      modbus_free(ctx_);
    }
  }
  LibmodbusSlave(const LibmodbusSlave&) = delete;
  LibmodbusSlave& operator=(const LibmodbusSlave&) = delete;

  void setRegister(int address, uint16_t value) {
    if (map_) map_->tab_registers[address] = value;
  }

  // Puts `request` on the line; the slave takes it in and answers from its
  // map, or with exception `exceptionCode` when one is given. Returns false
  // with libmodbus's reason when it refused the request.
  bool serve(const std::string& request, std::string& why, int exceptionCode = 0) {
    if (!ctx_) return false;
    pty_.write(request);
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    const int length = modbus_receive(ctx_, query);
    if (length <= 0) {
      why = length < 0 ? modbus_strerror(errno) : "ignored";
      return false;
    }
    if (exceptionCode != 0) return modbus_reply_exception(ctx_, query, static_cast<unsigned>(exceptionCode)) > 0;
    return modbus_reply(ctx_, query, length, map_) > 0;
  }
  std::string answer(size_t expected) { return pty_.read(expected); }

 private:
  tq::testing::Pty pty_;
  modbus_t* ctx_ = nullptr;
  modbus_mapping_t* map_ = nullptr;
};

}  // namespace tq::tools::testing
