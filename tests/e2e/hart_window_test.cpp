// The "Transparent Mode" page in the real window, offscreen.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include "hart/units.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

const std::vector<uint8_t> kIdentityReply = {0xFF, 0xFF, 0x06, 0x80, 0x00, 0x0E, 0x00, 0x14, 0xFE, 0x1A, 0x89,
                                             0x07, 0x05, 0x02, 0x1B, 0x08, 0x01, 0x21, 0x63, 0x3F, 0x9E};

class HartWindow : public WindowTest {
 protected:
  // The port is closed: the block arrives as the serial link hands it over.
  bool reply(const std::vector<uint8_t>& block) {
    form->Comm1ReceiveData(block.data(), static_cast<uint16_t>(block.size()));
    return pumpUntil([this] { return form->engine().pendingCode() == 0; });
  }
};

TEST_F(HartWindow, TheDecodedIdentityAddressesTheNextVariablesQuery) {
  control<QPushButton>(*form, "Button7")->click();
  ASSERT_TRUE(reply(kIdentityReply));
  EXPECT_EQ(text("Edit28"), "26");
  control<QPushButton>(*form, "Button16")->click();
  EXPECT_EQ(text("Edit8"), "FF FF FF FF FF FF FF 82 9A 89 21 63 3F 03 00 EF ");
  EXPECT_TRUE(messages.empty());
}

TEST_F(HartWindow, TheHartAddressSteersTheMeterIdAndTheRegisterLabels) {
  auto* address = control<QComboBox>(*form, "ComboBox30");
  const char* labels[] = {"Label19", "Label24", "Label27", "Label28", "Label29"};
  for (int choice : {0, 3}) {  // 3 has no "Device 3": no selection, labels kept
    address->setCurrentIndex(choice);
    emit address->activated(choice);
    EXPECT_EQ(control<QComboBox>(*form, "ComboBox41")->currentIndex(), choice == 0 ? 0 : -1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(control<QLabel>(*form, labels[i])->text(), QString("4000%1").arg(2 * i + 1));
  }
  EXPECT_EQ(text("Edit8"), "");  // no MODBUS parameter query went out
}

TEST_F(HartWindow, TheUnitCombosHoldTheUnitTable) {
  for (const char* name : {"ComboBox3", "ComboBox31", "ComboBox32", "ComboBox33"}) {
    auto* box = control<QComboBox>(*form, name);
    ASSERT_EQ(box->count(), hart::kUnitItemCount) << name;
    for (int i = 0; i < box->count(); ++i) {
      const bool variant = std::string(name) == "ComboBox32" && i == 14;  // "R " with one blank
      EXPECT_EQ(box->itemText(i), variant ? "R " : QString::fromUtf8(hart::unitItems()[i].text)) << name << " " << i;
    }
  }
}

TEST(HartWindowLocale, ValuesUseTheUsersDecimalSeparator) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  int pauses = 0;
  auto form = quickWindow(&pauses);
  QLocale::setDefault(QLocale::c());
  control<QPushButton>(*form, "Button16")->click();
  const std::vector<uint8_t> block = {0xFF, 0x86, 0, 0, 0, 0, 0, 0x03, 5, 0, 0, 0, 0, 0, 0, 19, 0x41, 0x48, 0, 0};
  form->Comm1ReceiveData(block.data(), static_cast<uint16_t>(block.size()));
  ASSERT_TRUE(pumpUntil([&] { return form->engine().pendingCode() == 0; }));
  EXPECT_EQ(control<QLineEdit>(*form, "Edit25")->text(), "12,5");
}

}  // namespace
}  // namespace tq::ui
