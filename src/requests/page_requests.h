#pragma once
// What the request handlers of every page share: the engine their requests
// run through and the controls they read and change.
#include <string>

#include "engine/transaction_engine.h"

namespace tq::requests {

class PageRequests {
 protected:
  PageRequests(engine::TransactionEngine& engine, engine::View& view) : engine_(engine), view_(view) {}

  std::string text(const char* control) const { return view_.text(control); }
  int index(const char* control) const { return view_.selectedIndex(control); }
  void set(const Assignment& change) { view_.apply(change); }

  engine::TransactionEngine& engine_;
  engine::View& view_;
};

}  // namespace tq::requests
