#pragma once
// The window's controls as the engine and the request handlers see them:
// found by object name under one root widget, read and changed generically.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <unordered_map>

#include "engine/interfaces.h"

namespace tq::ui {

class WindowView : public engine::View {
 public:
  WindowView(QWidget& root, std::function<void(const QString&)> showMessage)
      : root_(root), showMessage_(std::move(showMessage)) {}

  // Select: an index beyond a combo box's items leaves it with no selection.
  // Text: edits, labels, buttons, the memo, and a combo box's shown item.
  void apply(const engine::Assignment& change) override;
  std::string text(const std::string& control) const override;
  int selectedIndex(const std::string& control) const override;
  bool checked(const std::string& control) const override;
  void showMessage(const std::string& message) override { showMessage_(QString::fromStdString(message)); }

 private:
  // A name that matches no control is a programming error: it is reported
  // on the warning channel, and the change does nothing. A control found
  // once is remembered: a search by name walks every object of the window.
  QWidget* widget(const std::string& name) const;

  QWidget& root_;
  std::function<void(const QString&)> showMessage_;
  mutable std::unordered_map<std::string, QPointer<QWidget>> found_;
};

}  // namespace tq::ui
