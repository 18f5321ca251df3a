#include <QApplication>
#include <QSettings>
#include <QStringList>

#include "ui/TForm1.h"
#include "ui/window_memory.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  tq::ui::TForm1 form;
  // --reset-settings: start as on the first run, forgetting what was remembered.
  auto memory = std::make_unique<tq::ui::WindowMemory>(tq::ui::WindowMemory::desktopStore());
  if (app.arguments().contains(QStringLiteral("--reset-settings"))) memory->clear();
  form.remember(std::move(memory));
  form.show();
  return app.exec();
}
