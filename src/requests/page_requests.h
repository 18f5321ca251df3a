#pragma once
// What the request handlers of every page share: the engine their requests
// run through and the controls they read and change.
#include <string>

#include "engine/transaction_engine.h"
#include "protocol/config_frames.h"

namespace tq::requests {

class PageRequests {
 protected:
  PageRequests(engine::TransactionEngine& engine, engine::View& view) : engine_(engine), view_(view) {}

  std::string text(const char* control) const { return view_.text(control); }
  int index(const char* control) const { return view_.selectedIndex(control); }
  void set(const Assignment& change) { view_.apply(change); }

  // The MODBUS page's five register labels name `device`'s registers.
  void showRegisterLabels(int device) {
    static constexpr const char* kLabels[] = {"Label19", "Label24", "Label27", "Label28", "Label29"};
    const auto texts = protocol::registerLabels(device);
    static_assert(std::size(kLabels) == std::tuple_size_v<decltype(texts)>);
    for (size_t i = 0; i < texts.size(); ++i) set(Assignment::setText(kLabels[i], texts[i]));
  }

  engine::TransactionEngine& engine_;
  engine::View& view_;
};

}  // namespace tq::requests
