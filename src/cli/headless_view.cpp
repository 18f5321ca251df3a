#include "cli/headless_view.h"

namespace tq::cli {

namespace {

HeadlessView::Control combo(std::vector<std::string> items, int index) {
  HeadlessView::Control c;
  c.index = index;
  c.text = index >= 0 && static_cast<size_t>(index) < items.size() ? items[static_cast<size_t>(index)] : "";
  c.items = std::move(items);
  return c;
}

HeadlessView::Control edit(std::string text) {
  HeadlessView::Control c;
  c.text = std::move(text);
  return c;
}

std::vector<std::string> numbers(int first, int last) {
  std::vector<std::string> out;
  for (int n = first; n <= last; ++n) out.push_back(std::to_string(n));
  return out;
}

}  // namespace

// The window's start values; a test holds them to the window's own.
HeadlessView::HeadlessView() {
  controls_["SPREALCOM"] = edit("COM4");
  controls_["ComboBox11"] = edit("9600");
  controls_["ComboBox10"] = combo({"None", "Odd", "Even"}, 0);
  controls_["CheckBox1"] = {};
  controls_["CheckBox2"] = {};
  controls_["Edit9"] = edit("6");
  controls_["ComboBox42"] = combo({"Master Mode", "Secondary Master Mode"}, 0);
  controls_["ComboBox30"] = combo(numbers(0, 15), 0);
  controls_["ComboBox41"] = combo({"Device 0"}, 0);
}

void HeadlessView::apply(const Assignment& change) {
  Control& c = controls_[change.control];
  using Kind = Assignment::Kind;
  switch (change.kind) {
    case Kind::SelectIndex:
      // Beyond the list: no selection, as a combo box shows it.
      c.index = change.value >= 0 && static_cast<size_t>(change.value) < c.items.size() ? change.value : -1;
      c.text = c.index >= 0 ? c.items[static_cast<size_t>(c.index)] : "";
      break;
    case Kind::SetText:
      c.text = change.text;
      break;
    case Kind::SetChecked:
      c.checked = change.value != 0;
      break;
    case Kind::SetItems:
      if (c.index >= static_cast<int>(change.items.size())) c.index = -1;
      c.items = change.items;
      c.text = c.index >= 0 ? c.items[static_cast<size_t>(c.index)] : "";
      break;
    case Kind::SetEnabled:
    case Kind::SetVisible:
      break;
  }
}

std::string HeadlessView::text(const std::string& control) const {
  const auto it = controls_.find(control);
  return it == controls_.end() ? std::string() : it->second.text;
}

int HeadlessView::selectedIndex(const std::string& control) const {
  const auto it = controls_.find(control);
  return it == controls_.end() ? -1 : it->second.index;
}

bool HeadlessView::checked(const std::string& control) const {
  const auto it = controls_.find(control);
  return it != controls_.end() && it->second.checked;
}

void HeadlessView::showMessage(const std::string& message) {
  if (onMessage) onMessage(message);
}

}  // namespace tq::cli
