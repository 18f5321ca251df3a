#pragma once
// The one place that talks to the serial port: it writes every frame,
// receives every block and port event, and records each of them in the
// journal. By default blocks go to the transaction engine exactly as the
// port delivers them; while a sequence of the tool's own runs (the module
// finder, the HART scan) it claims the line and the blocks go to it
// instead, and the engine finds its port as it left it.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "engine/interfaces.h"
#include "engine/request_sequencer.h"
#include "journal/journal.h"
#include "serial/comm_types.h"
#include "serial/port_discovery.h"

namespace tq::serial {
class TComm;
}

namespace tq::ui {

// The device a port was last opened on, as the hang-up watch needs it.
struct OpenedDevice {
  std::string name;        // as opened (SPREALCOM's text)
  std::string stableName;  // its /dev/serial/by-id name, when it has one
  std::optional<serial::DeviceSeen> seen;
};

// Line settings a sequence opens the port with.
struct LineChoice {
  std::string port;
  uint32_t baud = 9600;
  int parity = 0;  // 0 none, 1 odd, 2 even
  bool dtr = false;
  bool rts = false;
};

class LinkArbiter : public engine::Port, public engine::RequestSequencer::Line {
 public:
  LinkArbiter(serial::TComm& comm, journal::Journal& journal);
  ~LinkArbiter() override;

  // Where unclaimed blocks go: the engine's receive handler.
  std::function<void(const uint8_t* buffer, uint16_t length)> onEngineBlock;
  // Every block received, claimed or not, after the journal took it.
  std::function<void(std::span<const uint8_t> block)> onAnyBlock;
  // Bytes were dropped on the way in; the receive error's flags.
  std::function<void(uint32_t errors)> onReceiveError;
  // The device hung up and the port has been closed; its name.
  std::function<void(const std::string& port)> onHangup;

  // engine::Port: the engine's own use of the port, journaled. While a
  // sequence holds the line the engine cannot touch it: nothing it writes
  // is sent, its settings and closes change nothing, and an open is refused.
  void closePort() override;
  void setBaudRate(uint32_t baud) override;
  void setParity(int parityIndex) override;
  void setCommName(const std::string& name) override;
  void disableXonXoff() override;
  void openPort() override;
  void setDtr(bool enable) override;
  void setRts(bool enable) override;
  bool writeData(std::span<const uint8_t> bytes) override;
  // RequestSequencer::Line
  bool write(std::span<const uint8_t> bytes) override { return send(bytes); }

  // The next close the engine makes is for this reason ("by the operator").
  void setCloseReason(std::string reason) { closeReason_ = std::move(reason); }
  // Opens the port with `choice` for a sequence (throws ECommsError) and
  // closes it again with `reason`.
  void openWith(const LineChoice& choice);
  void close(const std::string& reason);

  // While claimed by the sequence named `holder` ("Find Module"), blocks
  // read since the port was last opened go to `receiver` instead of the
  // engine; blocks of an earlier open (a late answer to an earlier
  // setting) are journaled only.
  void claim(std::string holder, std::function<void(std::span<const uint8_t>)> receiver);
  void release();
  bool claimed() const { return static_cast<bool>(claimant_); }

  bool isOpen() const;
  const std::string& portName() const;
  // The device of the last successful open.
  const OpenedDevice& lastOpened() const { return lastOpened_; }
  // Events of the tool itself (time-outs, messages shown).
  void journalEvent(std::string text);
  journal::Journal& journal() { return journal_; }
  serial::TComm& comm() { return comm_; }

 private:
  void received(const uint8_t* buffer, uint16_t length);
  void hungUp();
  void openNow();
  void closeNow(const std::string& reason);
  bool send(std::span<const uint8_t> bytes);
  bool heldFromEngine(const char* what);
  // The settings themselves, whether the engine or a sequence asked.
  void applyParity(int parityIndex);
  void applyDtr(bool enable);
  void applyRts(bool enable);
  void applyNoXonXoff();
  journal::Moment now() const;
  std::string lineText() const;

  serial::TComm& comm_;
  journal::Journal& journal_;
  std::function<void(std::span<const uint8_t>)> claimant_;
  std::string holder_;
  std::string closeReason_;
  OpenedDevice lastOpened_;
};

}  // namespace tq::ui
