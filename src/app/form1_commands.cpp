// The main window's menu, its dispatch by item, by shortcut and by handler name, the
// key handler and the double-click corners.
#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include "app/command_table.h"
#include "app/form1.h"
#include "app/shortcut_keys.h"

namespace qel {

namespace {

QString ItemText(const CommandItem& item) {
  QString text = QString::fromUtf8(item.caption.data(), qsizetype(item.caption.size()));
  // The shortcut is shown in the menu's shortcut column but not registered with Qt:
  // every shortcut goes through DispatchShortcut and the enabling rule.
  if (item.shortcut != 0)
    text += '\t' + KeySequenceFromShortcutCode(item.shortcut).toString(QKeySequence::NativeText);
  return text;
}

}  // namespace

void TForm1::BuildMenu() {
  popup_ = new QMenu(this);
  popup_->setObjectName("PopupMenu1");
  popup_->setSeparatorsCollapsible(false);
  connect(popup_, &QMenu::aboutToShow, this, [this] { Guarded([this] { PopupMenu1Popup(); }); });

  std::map<std::string_view, QMenu*> submenus;
  for (const CommandItem& item : CommandTable()) {
    QMenu* menu = popup_;
    if (!item.parent.empty()) menu = submenus.at(item.parent);
    QAction* action = nullptr;
    switch (item.kind) {
      case CommandKind::kSeparator:
        action = menu->addSeparator();
        break;
      case CommandKind::kSubmenu: {
        QMenu* submenu = menu->addMenu(ItemText(item));
        submenu->setSeparatorsCollapsible(false);
        submenus[item.name] = submenu;
        action = submenu->menuAction();
        break;
      }
      case CommandKind::kCommand:
        action = menu->addAction(ItemText(item));
        action->setCheckable(item.is_switch);
        action->setChecked(item.checked_at_start);
        connect(action, &QAction::triggered, this,
                [this, &item] { Guarded([this, &item] { ItemTriggered(item); }); });
        break;
    }
    action->setObjectName(QString::fromUtf8(item.name.data(), qsizetype(item.name.size())));
    items_.emplace(std::string(item.name), action);
  }
}

void TForm1::BuildHandlerTable() {
  ConnectHandler("Loadimage1Click", [this] { Loadimage1Click(); });
  ConnectHandler("Reload1Click", [this] { Reload1Click(); });
  ConnectHandler("Copyimage1Click", [this] { Copyimage1Click(); });
  ConnectHandler("Pasteimage1Click", [this] { Pasteimage1Click(); });
  ConnectHandler("Clearimage1Click", [this] { Clearimage1Click(); });
  ConnectHandler("Clearlist1Click", [this] { Clearlist1Click(); });
  ConnectHandler("Undolastchange1Click", [this] { Undolastchange1Click(); });
  ConnectHandler("Fittowindow1Click", [this] { Fittowindow1Click(); });
  ConnectHandler("Allowoversize1Click", [this] { Allowoversize1Click(); });
  ConnectHandler("EXIT1Click", [this] { EXIT1Click(); });
}

QAction* TForm1::Item(std::string_view name) const {
  const auto it = items_.find(name);
  return it == items_.end() ? nullptr : it->second;
}

bool TForm1::Checked(std::string_view name) const {
  const QAction* action = Item(name);
  return action && action->isChecked();
}

void TForm1::ConnectHandler(const std::string& handler_name, Handler handler) {
  handlers_[handler_name] = std::move(handler);
}

void TForm1::ConnectHandler(const std::string& handler_name, std::function<void()> handler) {
  ConnectHandler(handler_name, Handler([handler = std::move(handler)](std::string_view) { handler(); }));
}

void TForm1::CallHandlerByName(std::string_view handler_name) {
  const auto it = handlers_.find(handler_name);
  if (it == handlers_.end()) return;
  // A copy: the handler may replace itself in the table while it runs.
  const Handler handler = it->second;
  handler(std::string_view());
}

void TForm1::ItemTriggered(const CommandItem& item) {
  const auto it = handlers_.find(item.handler);
  if (it == handlers_.end()) return;
  const Handler handler = it->second;
  handler(item.name);
  if (command_observer_) command_observer_(document_.Current());
}

void TForm1::SetCommandObserver(std::function<void(const Picture&)> observer) {
  command_observer_ = std::move(observer);
}

bool TForm1::DispatchShortcut(std::uint16_t code) {
  const CommandItem* item = FindShortcut(code);
  if (!item) return false;
  PopupMenu1Popup();
  QAction* action = Item(item->name);
  if (action && action->isEnabled()) action->trigger();
  return true;
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  // Keys are matched by the key, not by what the active layout writes on it.
  const std::uint16_t virtual_key =
      VirtualKeyOfPress({event->key(), event->nativeVirtualKey(), event->nativeScanCode()});
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  bool consumed = false;
  Guarded([&] { consumed = DispatchShortcut(ShortcutCode(virtual_key, modifiers)); });
  if (consumed) return;
  if (virtual_key == 0) {
    QWidget::keyPressEvent(event);
    return;
  }
  Guarded([&] { FormKeyDown(virtual_key, modifiers); });
}

void TForm1::FormKeyDown(std::uint16_t key, Qt::KeyboardModifiers modifiers) {
  switch (key) {
    case vk::kUp:
      if (document_.StepNext()) LoadStepped();
      break;
    case vk::kDown:
      if (document_.StepPrevious()) LoadStepped();
      break;
    case vk::kDelete:
      if (document_.DeleteEntryAtCursor()) FormResize();
      break;
    case 'V':
      if (modifiers & Qt::ControlModifier) Paste();
      break;
    default:
      break;
  }
}

void TForm1::contextMenuEvent(QContextMenuEvent* event) {
  // An Alt- or Shift-press of any button starts a selection; the menu would take the
  // drag away.
  if (selection_.Selecting || HoldsCropKey(event->modifiers())) {
    event->accept();
    return;
  }
  popup_->popup(event->globalPos());
}

void TForm1::ImgDblClick() {
  Guarded([this] {
    const QPoint p = QPoint(selection_.PressPoint.x, selection_.PressPoint.y) - ScrollShift();
    const QSize client = ClientSize();
    const int cw = client.width(), ch = client.height();
    auto inside = [&p](int left, int top, int right, int bottom) {
      return left <= p.x() && p.x() < right && top <= p.y() && p.y() < bottom;
    };
    if (inside(0, 0, kCornerSize, kCornerSize)) {
      Paste();
    } else if (inside(0, ch - kCornerSize, kCornerSize, ch)) {
      CallHandlerByName("Undolastchange1Click");
    } else if (inside(cw - kCornerSize, 0, cw, kCornerSize)) {
      CallHandlerByName("Bordersettings1Click");
    } else if (inside(cw - kCornerSize, ch - kCornerSize, cw, ch)) {
      CallHandlerByName("Resizeimage1Click");
    }
  });
}

}  // namespace qel
