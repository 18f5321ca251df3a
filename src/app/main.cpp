#include <QApplication>

#include "ui/TForm1.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  tq::ui::TForm1 form;
  form.show();
  return app.exec();
}
