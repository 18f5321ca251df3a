// Any sequence of requests, blocks and timer ticks, with the pages' reply
// decoders plugged in: the engine never reads or writes outside its areas
// and every failure is a message, not a crash.
#include <cstdint>
#include <exception>
#include <vector>

#include "engine/fakes.h"
#include "engine/transaction_engine.h"
#include "requests/config_requests.h"
#include "requests/hart_requests.h"
#include "requests/output_requests.h"

using namespace tq::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testing::ManualClock clock;
  testing::FakeTimer t2{clock, 300}, t3{clock, 1000}, t4{clock, 1000};
  testing::FakeView view;
  testing::FakePort port;
  TransactionEngine engine{view, port, t2, t3, t4, clock};
  tq::requests::ConfigRequests config{engine, view};
  tq::requests::HartRequests hart{engine, view};
  tq::requests::OutputRequests outputs{engine, view};
  auto guarded = [&](auto&& body) {
    try {
      body();
    } catch (const std::exception& e) {
      view.showMessage(e.what());
    }
  };
  t2.onTick = [&] { guarded([&] { engine.Timer2Timer(); }); };
  t3.onTick = [&] { guarded([&] { engine.Timer3Timer(); }); };
  t4.onTick = [&] { guarded([&] { engine.Timer4Timer(); }); };
  clock.timers = {&t2, &t3, &t4};
  static const int kCodes[] = {0, 100, 103, 104, 106, 200, 201, 202, 203, 204, 301, 302};

  size_t i = 0;
  while (i + 2 <= size) {
    const uint8_t op = data[i++];
    const uint8_t arg = data[i++];
    switch (op % 4) {
      case 0: {
        const std::vector<uint8_t> frame(size_t{arg} * 3, 'Q');  // up to 765: longer ones are refused
        guarded([&] {
          engine.clearDisplays();
          engine.transmit(frame, arg & 2 ? FrameDisplay::Bytes : FrameDisplay::Text);
          engine.await(kCodes[arg % 12], arg % 4, arg & 1 ? std::optional<int>(3000) : std::nullopt);
        });
        break;
      }
      case 1: {
        // A block of up to 2048 bytes, taken from the input (repeated as needed).
        const size_t n = (size_t{arg} * 8 + 1) % 2049;
        std::vector<uint8_t> block(n);
        for (size_t k = 0; k < n; ++k) block[k] = data[(i + k) % size];
        guarded([&] { engine.Comm1ReceiveData(block); });
        break;
      }
      case 2:
        clock.advance(arg * 20);
        break;
      default:
        guarded([&] { engine.Button6Click(); });
        break;
    }
  }
  clock.advance(10000);
  return 0;
}
