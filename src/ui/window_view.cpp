#include "ui/window_view.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace tq::ui {

namespace {

void setItems(QComboBox& combo, const std::vector<std::string>& items) {
  QStringList list;
  for (const std::string& item : items) list << QString::fromStdString(item);
  QStringList shown;
  for (int i = 0; i < combo.count(); ++i) shown << combo.itemText(i);
  if (list == shown) return;
  const int kept = combo.currentIndex() < list.size() ? combo.currentIndex() : -1;
  combo.clear();
  combo.addItems(list);
  combo.setCurrentIndex(kept);
}

}  // namespace

void WindowView::apply(const engine::Assignment& change) {
  using Kind = engine::Assignment::Kind;
  QWidget* w = widget(change.control);
  if (!w) return;
  const QString text = QString::fromStdString(change.text);
  switch (change.kind) {
    case Kind::SelectIndex:
      if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->setCurrentIndex(change.value >= 0 && change.value < combo->count() ? change.value : -1);
      }
      break;
    case Kind::SetText:
      if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
      else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
      else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
      else if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
        memo->setPlainText(text);
      else if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setCurrentText(text);
      break;
    case Kind::SetEnabled:
      w->setEnabled(change.value != 0);
      break;
    case Kind::SetVisible:
      w->setVisible(change.value != 0);
      break;
    case Kind::SetChecked:
      if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setChecked(change.value != 0);
      break;
    case Kind::SetItems:
      if (auto* combo = qobject_cast<QComboBox*>(w)) setItems(*combo, change.items);
      break;
  }
}

std::string WindowView::text(const std::string& control) const {
  QWidget* w = widget(control);
  QString text;
  if (auto* edit = qobject_cast<QLineEdit*>(w))
    text = edit->text();
  else if (auto* combo = qobject_cast<QComboBox*>(w))
    text = combo->currentText();
  else if (auto* label = qobject_cast<QLabel*>(w))
    text = label->text();
  else if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
    text = memo->toPlainText();
  else if (auto* button = qobject_cast<QAbstractButton*>(w))
    text = button->text();
  return text.toStdString();
}

int WindowView::selectedIndex(const std::string& control) const {
  auto* combo = qobject_cast<QComboBox*>(widget(control));
  return combo ? combo->currentIndex() : -1;
}

bool WindowView::checked(const std::string& control) const {
  auto* button = qobject_cast<QAbstractButton*>(widget(control));
  return button && button->isChecked();
}

QWidget* WindowView::widget(const std::string& name) const {
  auto known = found_.find(name);
  if (known != found_.end() && known->second) return known->second;
  auto* w = root_.findChild<QWidget*>(QString::fromStdString(name));
  if (!w) {
    qWarning("No control named %s", name.c_str());
    return nullptr;
  }
  found_[name] = w;
  return w;
}

}  // namespace tq::ui
