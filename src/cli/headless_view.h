#pragma once
// The controls the shared sequences read and fill, kept in memory for a
// front end without a window: the port and its line setting, the
// Transparent Mode page's preamble length, command mode and HART address,
// the MODBUS page's device, each starting as the window starts. What a
// decoder or a sequence assigns is kept, so a later step reads it as the
// window's control would show it.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/interfaces.h"

namespace tq::cli {

class HeadlessView : public engine::View {
 public:
  struct Control {
    std::string text;
    int index = -1;
    bool checked = false;
    std::vector<std::string> items;  // a combo box's list
  };

  HeadlessView();

  void apply(const Assignment& change) override;
  std::string text(const std::string& control) const override;
  int selectedIndex(const std::string& control) const override;
  bool checked(const std::string& control) const override;
  void showMessage(const std::string& message) override;

  // The controls as they stand; at construction, as the window starts.
  const std::map<std::string, Control>& controls() const { return controls_; }
  // Messages a sequence would show in a box.
  std::function<void(const std::string&)> onMessage;

 private:
  std::map<std::string, Control> controls_;
};

}  // namespace tq::cli
