#pragma once
// What a decoder or a request handler asks of the window: changes to
// controls addressed by object name, applied in order.
#include <optional>
#include <string>
#include <vector>

namespace tq {

// One change to one control, addressed by its object name.
struct Assignment {
  enum class Kind { SelectIndex, SetText, SetEnabled, SetVisible, SetChecked, SetItems };
  std::string control;
  Kind kind;
  int value = 0;     // SelectIndex: index (-1 or out of range = no selection); flags: 0/1
  std::string text;  // SetText: UTF-8
  // SetItems: a combo box's new item list (UTF-8); its selection stays where
  // the item still exists and is cleared otherwise.
  std::vector<std::string> items = {};

  static Assignment select(std::string c, int index) { return {std::move(c), Kind::SelectIndex, index, {}}; }
  static Assignment setText(std::string c, std::string t) { return {std::move(c), Kind::SetText, 0, std::move(t)}; }
  static Assignment enable(std::string c, bool on = true) { return {std::move(c), Kind::SetEnabled, on, {}}; }
  static Assignment show(std::string c, bool on = true) { return {std::move(c), Kind::SetVisible, on, {}}; }
  static Assignment check(std::string c, bool on = true) { return {std::move(c), Kind::SetChecked, on, {}}; }
  static Assignment setItems(std::string c, std::vector<std::string> list) {
    return {std::move(c), Kind::SetItems, 0, {}, std::move(list)};
  }
  bool operator==(const Assignment&) const = default;
};

// A decoder's result: the control changes in order and, where decoding
// stopped on a bad field, the message to show after applying them (so the
// groups decoded before it keep their new values).
struct Decoded {
  std::vector<Assignment> assignments;
  std::optional<std::string> error;
};

}  // namespace tq
