#pragma once
// The requests the soak goes round, with whether the window parses each
// reply (on Timer2) or only shows it: the soak waits for the parse where
// there is one, so a wrong entry would end cycles before their decoder ran,
// or count every cycle as missed.
#include <iterator>

namespace tq::bench {

struct SoakStep {
  const char* button;
  bool decoded;
};
// Communication query, system, MODBUS, relay/current parameters and present
// values, HART identity and variables, MODBUS RTU test.
inline constexpr SoakStep kSoakSteps[] = {{"Button6", true},  {"Button23", true}, {"Button31", true},
                                          {"Button3", true},  {"Button9", true},  {"Button7", true},
                                          {"Button16", true}, {"Button4", false}};

}  // namespace tq::bench
