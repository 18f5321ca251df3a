// Every control of the main window: present under its name, of the expected
// kind, with its caption, item list and default, both as the window
// description gives them and after the creation handler has run.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui/TForm1.h"
#include "ui_mainwindow.h"

namespace {

struct Expected {
  const char* name;
  const char* cls;
  QString text;                   // edit, button, check box or label text; group title
  QStringList items;              // combo box items in index order
  int index = 0;                  // combo box selection
  const char* caption = nullptr;  // text of the label placed beside the control
  bool editable = false;          // combo box accepts typed text
  int maxVisible = 0;             // combo box drop-down rows, 0 = toolkit default
};

std::ostream& operator<<(std::ostream& os, const Expected& e) { return os << e.name; }

Expected combo(const char* name, QStringList items, int index, const char* caption = nullptr) {
  return {name, "QComboBox", {}, std::move(items), index, caption};
}
Expected edit(const char* name, const char* text, const char* caption = nullptr) {
  return {name, "QLineEdit", QString::fromUtf8(text), {}, 0, caption};
}
Expected plain(const char* name, const char* cls, const char* text) {
  return {name, cls, QString::fromUtf8(text), {}, 0, nullptr};
}
Expected button(const char* name, const char* text) { return plain(name, "QPushButton", text); }
Expected check(const char* name, const char* text) { return plain(name, "QCheckBox", text); }
Expected label(const char* name, const char* text) { return plain(name, "QLabel", text); }
Expected group(const char* name, const char* title) { return plain(name, "QGroupBox", title); }

QStringList numbers(int from, int to, const char* prefix = "") {
  QStringList list;
  for (int i = from; i <= to; ++i) list << QString::fromUtf8(prefix) + QString::number(i);
  return list;
}

const QStringList kParity = {"None", "Odd", "Even"};
const QStringList kCloseOpen = {"0 Close", "1 Open"};
const QStringList kFormats2 = {"0 IEE754 (FF4 FF3 FF2 FF1)", "1 IEE754 (FF2 FF1 FF4 FF3)"};
const QStringList kFormats4 = kFormats2 + QStringList{"2 Uint32 (FF4 FF3 FF2 FF1)", "3 Uint32 (FF2 FF1 FF4 FF3)"};
const QStringList kParse = {"0 Not analytic", "1 Command 1", "2 Command 2"};
const QStringList kRelay = {"Relay Open (OFF)", "Relay Closed (ON)", "Relay No Control"};
const QStringList kChannels = {"0 Close", "1 Variable 1", "2 Variable 2", "3 Variable 3", "4 Variable 4"};
// clang-format off
const QStringList kMeters = {
    "0)Custom Meter",       "1)Currency Meter",   "2)KROHEN_IFC070",       "3)KROHEN_IFC300",
    "4)KROHEN_IFC090",      "5)Siemens_MG500",    "6)Siemens_FUS010(FUS060)", "7)Siemens_MASS600",
    "8)ABB_FIX100",         "9)ABB_FMT200",       "10)MP3 Flow Meter",     "11)HT56 Flow Meter",
    "12)F56 Flow Meter",    "13)3051AMV Transmitter", "14)SIERRA Flow Meter", "15)Yokogawa Flow Meter"};
// clang-format on

// The HART units list; trailing blanks are part of the texts.
// clang-format off
const QStringList kUnits = {
    "inH20 ", "inhg  ", "FtH20  ", "mmH20 ", "mmHg   ", "psi   ", "bar    ", "mbar   ", "Pa     ", "KPa   ",
    "ATM    ", "MPa    ", QString::fromUtf8("\u2103  "), QString::fromUtf8("\u2109  "), "R  ", "Kelvin ",
    "CuFt_min ", "gal_min  ", "l_min   ", "CuMtr_hr ", "l_s      ", "Cuft_s  ", "CuMtr_s  ", "CuMtr_min ",
    "gal_hr    ", "l_hr      ", "ft_s      ", "mtr_s    ", "in_s      ", "in_min    ", "ft_min   ",
    "mtr_hr    ", "gal      ", "liter    ", "CuMtr       ", "bbl      ", "CuYd     ", "CuFt      ", "CuIn",
    "bbl_liq      ", "ft        ", "M    ", "in         ", "cm       ", "mm       ", "gram     ",
    "kg        ", "MetTon    ", "lb       ", "ounce     ", "g_s       ", "g_min     ", "g_hr     ",
    "kg_s     ", "kg_min   ", "metTOM_min ", "metton_hr  ", "lb_s       ", "lb_min     ", "lb_hr      ",
    "g_CuCM     ", "KG_CuMtr   ", "lb_gal    ", "lb_Cuft    ", "g_ml      ", "kb_l       ", "g_l        ",
    "centi_stokes ", "cpoise       ", "mewtom_meter  ", "deka_therm    ", "foot_pound_force ",
    "kilo_watt_hour    ", "mega_joule       ", "british_thermal_unit ", "%", "other"};
// clang-format on

QStringList unitsOfComboBox32() {
  QStringList units = kUnits;
  units[14] = "R ";  // this one box has a single trailing blank
  return units;
}

std::vector<Expected> expectedControls() {
  std::vector<Expected> c;
  auto add = [&c](Expected e) { c.push_back(std::move(e)); };

  // Header strip and the shared displays.
  add(label("Image1", ""));
  add(label("Label41", "TQ580-N Alarm Controller Configuration Software"));
  add(label("Label77", "V1.0(June 12.2023)"));
  add(label("Label8", ""));
  add(edit("Edit8", "", "Send Buffer:"));
  add({"Memo10", "QPlainTextEdit", "", {}, 0, "Receive Buffer:"});
  add(button("Button26", "Clear Buffer"));

  // "Syetem Parameters".
  add(group("GroupBox1", "Serial Port Parameters"));
  Expected port = combo("SPREALCOM", numbers(1, 12, "COM"), 3, "Serial Port:");
  port.editable = true;
  add(port);
  Expected baud =
      combo("ComboBox11", {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "15200"}, 3, "Baud Rate:");
  baud.editable = true;
  add(baud);
  add(combo("ComboBox10", kParity, 0, "Parity:"));
  add(button("Button1", "Open"));
  add(button("Button6", "Communication Query"));
  add(button("FindModuleButton", "Find Module\u2026"));
  add(check("FindAllPorts", "All ports"));
  add(combo("ComboBox13", {"RS232", "RS485", "RS485 + RS232"}, 0, "Interface Type:"));
  add(combo("ComboBox1", {"1 Unit", "4 Unit", "8 Unit"}, 0, "+"));
  add(group("GroupBox4", "RS485 Serial Port Parameters"));
  add(combo("ComboBox2", {"1200", "2400", "4800", "9600", "19200"}, 3, "Baud Rate:"));
  add(combo("ComboBox4", kParity, 0, "Parity:"));
  add(button("Button5", "Set"));
  add(group("GroupBox7", ""));
  add(combo("ComboBox7",
            {"0_Transparent Mode", "1_Single Meter Operation Mode", "2_Multi-Slave Operation Mode",
             "3_Monitoring to MODBUS RTU(Custom)", "4_Monitoring data output mode"},
            0, "Module Working Mode:"));
  add(button("Button24", "Set"));
  add(group("GroupBox15", ""));
  add(edit("Edit14", "001", "MODBUS Slave Address:"));
  add(button("Button29", "Set"));
  add(group("GroupBox14", ""));
  add(edit("Edit6", "010", "Instrument Communication Interval:"));
  add(button("Button27", "Set"));
  add(group("GroupBox2", ""));
  add(combo("ComboBox12", {"0 No Delay", "1 100ms Delay"}, 0, "Communication Delay:"));
  add(button("Button15", "Set"));
  add(group("GroupBox21", ""));
  add(check("CheckBox1", "COM_RTS"));
  add(check("CheckBox2", "COM_DTR"));
  add(button("Button30", "Parameter Initialization"));
  add(button("Button23", "System Parameters"));

  // "Transparent Mode".
  add(group("GroupBox5", ""));
  add(combo("ComboBox30", numbers(0, 15), 0, "HART Address:"));
  add(combo("ComboBox42", {"Master Mode", "Secondary Master Mode"}, 0, "HART Command Mode:"));
  add(edit("Edit9", "6", "Preamble Length:"));
  add(group("GroupBox8", "HART Device Basic Parameters"));
  add(edit("Edit28", "", "Manufacturing ID:"));
  add(edit("Edit29", "", "Sensor Type:"));
  add(edit("Edit31", "", "Preamble Byte Count:"));
  add(edit("Edit32", "", "Sensor Serial Number:"));
  add(button("Button7", "HART Device Parameter Query"));
  add(group("GroupBox10", "Universal HART Real-Time Data"));
  add(edit("Edit25", "", "Current_Variable_1:"));
  add(edit("Edit26", "", "Current_Variable_2:"));
  add(edit("Edit27", "", "Current_Variable_3:"));
  add(edit("Edit30", "", "Current_Variable_4:"));
  add(combo("ComboBox3", kUnits, 0, "Unit:"));
  add(combo("ComboBox31", kUnits, 0, "Unit:"));
  add(combo("ComboBox32", unitsOfComboBox32(), 0, "Unit:"));
  add(combo("ComboBox33", kUnits, 0, "Unit:"));
  add(button("Button16", "HART Command Query "));
  add(group("GroupBox6", "HART Address Configuration"));
  add(combo("ComboBox27", numbers(0, 8), 0, "HART Address:"));
  add(button("Button14", "Set"));
  add(group("GroupBox20", ""));
  add(edit("Edit10", "", "Manual HART Command:"));
  add(button("Button20", "Send"));

  // "MODBUS Parameter Configuration".
  add(group("GroupBox3", ""));
  Expected meterId = combo("ComboBox41", {"Device 0"}, 0, "Meter ID:");
  meterId.maxVisible = 9;
  add(meterId);
  add(combo("ComboBox6", {"Close", "Open "}, 0, "Enable:"));
  add(combo("ComboBox16", {"Secondary Master Device", "Master Device"}, 0, "Device Mode:"));
  Expected meterType = combo("ComboBox17", kMeters, 0, "Meter Type:");
  meterType.maxVisible = 16;
  add(meterType);
  add(combo("ComboBox34", numbers(4, 9), 0, "Preamble Length:"));
  add(edit("Edit1", "060", "Buffer Clear Time:"));
  add(button("Button10", "Set"));
  add(label("Label68", "Current (RTU_ADR)"));
  add(label("Label19", "40001:"));
  add(label("Label24", "40003:"));
  add(label("Label27", "40005:"));
  add(label("Label28", "40007:"));
  add(label("Label29", "40009:"));
  add(combo("FAMOUT1", kFormats2, 0, "40001:"));
  add(combo("FAMOUT3", kFormats4, 0, "40003:"));
  add(combo("FAMOUT5", kFormats4, 0, "40005:"));
  add(combo("FAMOUT7", kFormats4, 0, "40007:"));
  add(combo("FAMOUT9", kFormats4, 0, "40009:"));
  for (const char* name : {"HLabel1", "HLabel2", "HLabel3", "HLabel4", "HLabel5"}) add(label(name, "00000"));
  add(button("Button21", "Set"));
  add(group("GroupBox13", "Custom HART Command Parsing"));
  add(combo("ComboBox28", kCloseOpen, 0, "Read Meter Command 1:"));
  add(combo("ComboBox29", kCloseOpen, 0, "Read Meter Command 2:"));
  add(edit("Edit4", ""));
  add(edit("Edit5", ""));
  add(button("Button17", "Set"));
  add(button("Button18", "Set"));
  add(group("GroupBox16", "Custom HART Data Parsing Format"));
  add(combo("RADCOM1", kParse, 0, "Variable_1:"));
  add(combo("RADCOM3", kParse, 0, "Variable_2:"));
  add(combo("RADCOM5", kParse, 2, "Variable_3:"));
  add(combo("RADCOM7", kParse, 0, "Variable_4:"));
  for (const char* name : {"READADR1", "READADR3", "READADR5", "READADR7"}) add(edit(name, ""));
  for (const char* name : {"READLG1", "READLG3", "READLG5", "READLG7"}) add(combo(name, {"4 Byte", "8 Byte"}, 0));
  add(combo("ComboBox15", numbers(3, 9), 5, "Address Bits:"));
  add(button("Button12", "Set"));
  add(group("GroupBox19", "Modbus Commnuication Test"));
  add(edit("Edit18", "001", "MODBUS Slave Address:"));
  add(edit("Edit19", "00", "MODBUS Start Address:"));
  add(edit("Edit20", "10", "Read Data Length:"));
  add(button("Button4", "MODBUS Comm_Test"));
  add(group("GroupBox12", "IEE754 Calculation"));
  add(edit("Edit7", "", "Data Format HEX(FF FF FF FF):"));
  add(edit("Edit22", "", "Value:"));
  add(button("Button13", "Calculation"));
  add(group("GroupBox11", "Module Working Mode"));
  add(combo("ComboBox14", {"0_Transparent Mode", "1_ModbusRtu Single mode", "2_ModbusRtu Multiple mode"}, 0));
  add(button("Button22", "Set"));
  add(group("GroupBox17", "Variable 1 Coefficient"));
  add(combo(
      "ComboBox18",
      {"0 Close", "1 variable 1 M3/S-->M3/H", "2 variable 1 coefficient", "3 Multiply by 100 and Round to Integer"},
      3));
  add(edit("Beilv", "0.001", "Coefficient:"));
  add(button("Button2", "Set"));
  add(button("Button31", "MODBUS Parameter Query "));

  // "Relay And Current Output Setting".
  add(group("ALM_Relay_Oupt", "Realy Output Delay"));
  add(edit("BOUT1TM", "0000", "Out1Time:"));
  add(edit("BOUT2TM", "0000", "Out2Time:"));
  add(edit("BOUT3TM", "0000", "Out3Time:"));
  add(edit("BOUT4TM", "0000", "Out4Time:"));
  for (const char* name : {"Button61", "Button62", "Button63", "Button64"}) add(button(name, "Set"));
  add(group("GroupBox9", "Relay Output Test"));
  add(combo("ROUT1", kRelay, 0, "Relay 1:"));
  add(combo("ROUT2", kRelay, 0, "Relay 2:"));
  add(combo("ROUT3", kRelay, 0, "Relay 3:"));
  add(combo("ROUT4", kRelay, 0, "Relay 4:"));
  for (const char* name : {"Button41", "Button42", "Button45", "Button77"}) add(button(name, "Execute"));
  add(group("GroupBox23", "Relay Alarm"));
  add(combo("AD1COM", kCloseOpen, 0, "Relay 1:"));
  add(combo("AD2COM", kCloseOpen, 0, "Relay 2:"));
  add(combo("AD3COM", kCloseOpen, 0, "Relay 3:"));
  add(combo("AD4COM", kCloseOpen, 0, "Relay 4:"));
  add(edit("AD1BH", "100.0", "Alarm Upper Limit"));
  add(edit("AD2BH", "100.0", "Upper Alarm Limit"));
  add(edit("AD3BH", "0.000", "Lower Alarm Limit"));
  add(edit("AD4BH", "0.000", "Alarm Lower Limit"));
  for (const char* name : {"AD1DTIME", "AD2DTIME", "AD3DTIME", "AD4DTIME"}) add(edit(name, "005"));
  for (const char* name : {"Button33", "Button34", "Button19", "Button25"}) add(button(name, "Set"));
  add(group("GroupBox24", "Current Output"));
  add(combo("IACH", kChannels, 0, "IADOUT:"));
  add(combo("IBCH", kChannels, 0, "IBDOUT:"));
  add(edit("IA4MA", "0.000"));
  add(edit("IB4MA", "0.000"));
  add(edit("IA20MA", "100.0"));
  add(edit("IB20MA", "100.0"));
  add(button("Button8", "Set"));
  add(button("Button11", "Set"));
  add(edit("Edit2", "0", "IAOUT:"));
  add(edit("Edit3", "0", "IBOUT:"));
  add(button("Button9", "Set"));
  add(button("Button3", "Parameter Query"));

  // "Product Selection".
  add(label("Image2", ""));
  return c;
}

// Selections and texts that the creation handler clears.
const std::set<std::string> kClearedAtStart = {
    "ComboBox6", "RADCOM1",  "RADCOM3",  "RADCOM5",  "RADCOM7",  "READLG1", "READLG3",    "READLG5",
    "READLG7",   "FAMOUT1",  "FAMOUT3",  "FAMOUT5",  "FAMOUT7",  "FAMOUT9", "ComboBox28", "ComboBox29",
    "Edit1",     "READADR1", "READADR3", "READADR5", "READADR7", "Edit4",   "Edit5"};

QString textOf(const QWidget* w) {
  if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
  if (auto* m = qobject_cast<const QPlainTextEdit*>(w)) return m->toPlainText();
  return {};
}

QStringList itemsOf(const QComboBox* box, int count) {
  QStringList items;
  for (int i = 0; i < count && i < box->count(); ++i) items << box->itemText(i);
  return items;
}

// The text of the label that names `control` (its buddy), if any.
QStringList captionsOf(const QWidget* root, const QWidget* control) {
  QStringList captions;
  for (const QLabel* l : root->findChildren<QLabel*>()) {
    if (l->buddy() == control) captions << l->text();
  }
  return captions;
}

// Checks one control under `root`. With `atStart`, the values are those after
// the creation handler; otherwise those of the window description.
void checkControl(const QWidget* root, const Expected& e, bool atStart) {
  const auto matches = root->findChildren<QWidget*>(QString::fromLatin1(e.name));
  ASSERT_EQ(matches.size(), 1) << "controls named " << e.name;
  const QWidget* w = matches.front();
  ASSERT_STREQ(w->metaObject()->className(), e.cls);

  const bool cleared = atStart && kClearedAtStart.count(e.name) > 0;
  if (auto* box = qobject_cast<const QComboBox*>(w)) {
    // The port list may be followed by the serial devices found at start.
    const bool openEnded = atStart && std::string(e.name) == "SPREALCOM";
    if (openEnded) {
      EXPECT_GE(box->count(), e.items.size());
    } else {
      EXPECT_EQ(box->count(), e.items.size());
    }
    EXPECT_EQ(itemsOf(box, static_cast<int>(e.items.size())), e.items);
    EXPECT_EQ(box->currentIndex(), cleared ? -1 : e.index);
    EXPECT_EQ(box->isEditable(), e.editable);
    if (e.maxVisible != 0) {
      EXPECT_EQ(box->maxVisibleItems(), e.maxVisible);
    }
  } else {
    EXPECT_EQ(textOf(w), cleared ? QString() : e.text);
  }
  if (auto* box = qobject_cast<const QCheckBox*>(w)) {
    EXPECT_FALSE(box->isChecked());
  }
  if (e.caption != nullptr) {
    EXPECT_EQ(captionsOf(root, w), QStringList{QString::fromUtf8(e.caption)});
  }
}

class ControlTest : public ::testing::TestWithParam<Expected> {
 protected:
  static void SetUpTestSuite() {
    design_ = std::make_unique<QMainWindow>();
    designUi_ = std::make_unique<Ui::TForm1>();
    designUi_->setupUi(design_.get());
    form_ = std::make_unique<tq::ui::TForm1>();
    form_->setMessageSink([](const QString&) {});
  }
  static void TearDownTestSuite() {
    form_.reset();
    designUi_.reset();
    design_.reset();
  }
  static std::unique_ptr<QMainWindow> design_;
  static std::unique_ptr<Ui::TForm1> designUi_;
  static std::unique_ptr<tq::ui::TForm1> form_;
};
std::unique_ptr<QMainWindow> ControlTest::design_;
std::unique_ptr<Ui::TForm1> ControlTest::designUi_;
std::unique_ptr<tq::ui::TForm1> ControlTest::form_;

TEST_P(ControlTest, AsDescribedAndAfterFormCreate) {
  {
    SCOPED_TRACE("window description");
    checkControl(design_.get(), GetParam(), false);
  }
  {
    SCOPED_TRACE("after FormCreate");
    checkControl(form_.get(), GetParam(), true);
  }
}

INSTANTIATE_TEST_SUITE_P(Window, ControlTest, ::testing::ValuesIn(expectedControls()),
                         [](const ::testing::TestParamInfo<Expected>& info) { return std::string(info.param.name); });

TEST(MainWindow, TitleSizeAndPagesInOrder) {
  tq::ui::TForm1 form;
  EXPECT_EQ(form.objectName(), "Form1");
  EXPECT_EQ(form.windowTitle(), "TQ580-N");
  EXPECT_EQ(form.size(), QSize(1097, 658));

  auto* pages = form.findChild<QTabWidget*>("PageControl1");
  ASSERT_NE(pages, nullptr);
  const std::vector<std::pair<const char*, const char*>> expected = {{"TabSheet1", "Syetem Parameters"},
                                                                     {"TabSheet2", "Transparent Mode"},
                                                                     {"TabSheet3", "MODBUS Parameter Configuration"},
                                                                     {"TabSheet4", "Relay And Current Output Setting"},
                                                                     {"TabSheet7", "Product Selection"},
                                                                     {"TabSheetHart", "HART Instrument"}};
  ASSERT_EQ(pages->count(), static_cast<int>(expected.size()));
  for (int i = 0; i < pages->count(); ++i) {
    EXPECT_EQ(pages->widget(i)->objectName(), expected[i].first) << "page " << i;
    EXPECT_EQ(pages->tabText(i), expected[i].second) << "page " << i;
  }
  EXPECT_EQ(pages->currentIndex(), 0);
}

TEST(MainWindow, EveryControlNameIsUnique) {
  // Handlers and decoders find controls by name: a duplicate would make one
  // of them unreachable.
  tq::ui::TForm1 form;
  std::set<QString> seen;
  for (const QWidget* w : form.findChildren<QWidget*>()) {
    if (w->objectName().isEmpty() || w->objectName().startsWith("qt_")) continue;
    EXPECT_TRUE(seen.insert(w->objectName()).second) << "duplicate " << w->objectName().toStdString();
  }
}

TEST(MainWindow, DisplaysAndHeaderBoxes) {
  tq::ui::TForm1 form;
  auto* memo = form.findChild<QPlainTextEdit*>("Memo10");
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

  auto* label8 = form.findChild<QLabel*>("Label8");
  ASSERT_NE(label8, nullptr);
  EXPECT_EQ(label8->minimumSize(), QSize(17, 33));
  auto* image1 = form.findChild<QLabel*>("Image1");
  ASSERT_NE(image1, nullptr);
  EXPECT_TRUE(image1->hasScaledContents());
}

TEST(MainWindow, ProductPageHoldsOnlyItsPicture) {
  tq::ui::TForm1 form;
  auto* page = form.findChild<QWidget*>("TabSheet7");
  ASSERT_NE(page, nullptr);
  const auto widgets = page->findChildren<QWidget*>();
  ASSERT_EQ(widgets.size(), 1);
  EXPECT_EQ(widgets.front()->objectName(), "Image2");
}

}  // namespace
