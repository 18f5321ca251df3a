// The command line starts where the window starts: its headless controls
// hold the window's start values and lists, and the port list it prints is
// the one "Serial Port:" offers.
#include <gtest/gtest.h>

#include <QComboBox>

#include "cli/headless_view.h"
#include "serial/port_discovery.h"
#include "ui/TForm1.h"
#include "ui/window_view.h"

namespace {

TEST(SharedStart, TheHeadlessControlsStartAsTheWindowsOwn) {
  tq::ui::TForm1 window;
  tq::ui::WindowView shown(window, [](const QString&) {});
  const tq::cli::HeadlessView headless;
  for (const auto& [name, control] : headless.controls()) {
    SCOPED_TRACE(name);
    // The port is the command line's own choice; a box's caption is no value.
    const bool box = name.starts_with("CheckBox");
    if (name != "SPREALCOM" && !box) {
      EXPECT_EQ(control.text, shown.text(name));
    }
    EXPECT_EQ(control.checked, shown.checked(name));
    auto* combo = window.findChild<QComboBox*>(QString::fromStdString(name));
    if (!combo || control.items.empty()) continue;
    EXPECT_EQ(control.index, combo->currentIndex());
    std::vector<std::string> items;
    for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
    EXPECT_EQ(control.items, items);
  }
}

TEST(SharedStart, ThePortListIsTheOneTheCommandLinePrints) {
  tq::ui::TForm1 window;
  auto* ports = window.findChild<QComboBox*>(QStringLiteral("SPREALCOM"));
  ASSERT_NE(ports, nullptr);
  std::vector<std::string> items;
  for (int i = 0; i < ports->count(); ++i) items.push_back(ports->itemText(i).toStdString());
  EXPECT_EQ(items, tq::serial::portChoices());
}

}  // namespace
