// The settings and parameter queries of the system and MODBUS pages on the
// engine: frames byte for byte, refusals that send nothing, codes and timers.
#include "requests/config_requests.h"

#include "harness.h"

namespace tq::requests {
namespace {

using testing::Harness;

// The window description's defaults of the controls these handlers read.
struct Page : Harness {
  ConfigRequests config{engine, view};
  Page() {
    combo("ComboBox2", 5, 3);
    combo("ComboBox4", 3, 0);
    combo("ComboBox7", 5, 0);
    combo("ComboBox12", 2, 0);
    combo("ComboBox13", 3, 0);
    combo("ComboBox1", 3, 0);
    combo("ComboBox14", 3, 0);
    combo("ComboBox18", 4, 3);
    combo("ComboBox41", 1, 0);
    combo("ComboBox6", 2, 0);
    combo("ComboBox16", 2, 0);
    combo("ComboBox17", 16, 0);
    combo("ComboBox34", 6, 0);
    combo("ComboBox15", 7, 5);
    combo("ComboBox28", 2, 0);
    combo("ComboBox29", 2, 0);
    for (const char* f : {"FAMOUT1"}) combo(f, 2, 0);
    for (const char* f : {"FAMOUT3", "FAMOUT5", "FAMOUT7", "FAMOUT9"}) combo(f, 4, 0);
    for (const char* r : {"RADCOM1", "RADCOM3", "RADCOM7"}) combo(r, 3, 0);
    combo("RADCOM5", 3, 2);
    for (const char* l : {"READLG1", "READLG3", "READLG5", "READLG7"}) combo(l, 2, 0);
    for (const char* a : {"READADR1", "READADR3", "READADR5", "READADR7"}) edit(a, "00");
    edit("Edit14", "001");
    edit("Edit6", "010");
    edit("Edit1", "060");
    edit("Beilv", "0.001");
  }
};

}  // namespace
}  // namespace tq::requests
