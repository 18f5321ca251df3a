#pragma once
// The colour a fault is drawn in (a wrong check byte, a refusal), standing
// out against the window's own colours, light or dark.
#include <QApplication>
#include <QColor>
#include <QPalette>

namespace tq::ui {

inline QColor warningColor() {
  const bool dark = QApplication::palette().color(QPalette::Base).lightness() < 128;
  return dark ? QColor(0xFF, 0x7B, 0x72) : QColor(0xC0, 0x1C, 0x28);
}

}  // namespace tq::ui
