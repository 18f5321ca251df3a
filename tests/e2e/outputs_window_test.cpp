// The relay and current-output page in the real window, without a module:
// an output command leaves the engine's codes and timers alone, and a
// query's code decodes later blocks for its own marker only.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "window_driver.h"

namespace tq::ui {
namespace {

class OutputsPage : public WindowTest {
 protected:
  // A block as the serial link delivers it, then its parse 300 ms later.
  void receive(const std::string& block) {
    form->Comm1ReceiveData(reinterpret_cast<const uint8_t*>(block.data()), static_cast<uint16_t>(block.size()));
    ASSERT_TRUE(pumpUntil([this] { return !timer("Timer2")->isActive(); }));
  }
};

TEST_F(OutputsPage, AnOutputCommandSetsNoCodeAndStartsNoTimer) {
  control<QComboBox>(*form, "ROUT2")->setCurrentIndex(2);
  control<QPlainTextEdit>(*form, "Memo10")->setPlainText("old reply");
  click("Button42");
  EXPECT_EQ(text("Edit8"), "VELKOR#O02:2#");
  EXPECT_TRUE(control<QPlainTextEdit>(*form, "Memo10")->toPlainText().isEmpty());
  EXPECT_EQ(form->engine().pendingCode(), 0);
  EXPECT_EQ(form->engine().timeoutClass(), 0);
  for (const char* t : {"Timer2", "Timer3", "Timer4"}) EXPECT_FALSE(timer(t)->isActive()) << t;
  EXPECT_TRUE(messages.empty());
}

TEST_F(OutputsPage, AfterAQueryEveryBlockIsDecodedForThatQuerysMarkerOnly) {
  struct Step {
    const char* click;  // before the block
    std::string block;
    QString bout1, ad2bh, edit2;
    int ad2com;
  };
  const Step steps[] = {
      {"Button3", "QX2#BTM1:0030#AI02:7,050.0,010#", "0030", "050.0", "0", -1},  // beyond the list: no selection
      {"Button63", "BTM2:OK#", "0030", "050.0", "0", -1},
      {"Button63", "QX3#AVAL:12.0000mA#AI02:1,060.0,010#", "0030", "050.0", "0", -1},
      {"Button9", "QX3#AVAL:12.0000mA#BVAL: 0.0000mA#", "0030", "050.0", "12.0000mA", -1},
      {"Button8", "QX2#BTM1:0099#AI02:1,070.0,010#", "0030", "050.0", "12.0000mA", -1},
      {"Button3", "AI02:1,070.0,010#QX2", "0030", "070.0", "12.0000mA", 1},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.block);
    click(s.click);
    receive(s.block);
    EXPECT_EQ(text("BOUT1TM"), s.bout1);
    EXPECT_EQ(text("AD2BH"), s.ad2bh);
    EXPECT_EQ(text("Edit2"), s.edit2);
    EXPECT_EQ(control<QComboBox>(*form, "AD2COM")->currentIndex(), s.ad2com);
  }
  EXPECT_EQ(text("Edit3"), " 0.0000mA");
  EXPECT_EQ(form->engine().pendingCode(), 203);
  EXPECT_TRUE(messages.empty()) << messages.front();
}

}  // namespace
}  // namespace tq::ui
