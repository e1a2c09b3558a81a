// The main window's menu, its dispatch by item, by shortcut and by handler name, the
// key handler and the double-click corners.
#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollArea>
#include <stdexcept>

#include "app/command_table.h"
#include "app/form1.h"
#include "app/image_rect.h"
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
  Bind(CommandId::kLoadimage1, &TForm1::Loadimage1Click);
  Bind(CommandId::kReload1, &TForm1::Reload1Click);
  Bind(CommandId::kCopyimage1, &TForm1::Copyimage1Click);
  Bind(CommandId::kPasteimage1, &TForm1::Pasteimage1Click);
  Bind(CommandId::kClearimage1, &TForm1::Clearimage1Click);
  Bind(CommandId::kClearlist1, &TForm1::Clearlist1Click);
  Bind(CommandId::kUndolastchange1, &TForm1::Undolastchange1Click);
  Bind(CommandId::kFittowindow1, &TForm1::Fittowindow1Click);
  Bind(CommandId::kAllowoversize1, &TForm1::Allowoversize1Click);
  Bind(CommandId::kEXIT1, &TForm1::EXIT1Click);
}

QAction* TForm1::Item(std::string_view name) const {
  const auto it = items_.find(name);
  return it == items_.end() ? nullptr : it->second;
}

bool TForm1::Checked(std::string_view name) const {
  const QAction* action = Item(name);
  return action && action->isChecked();
}

void TForm1::Bind(CommandId id, void (TForm1::*handler)()) {
  handlers_.at(IndexOf(id)) = [this, handler](std::string_view) { (this->*handler)(); };
}

void TForm1::Bind(CommandId id, void (TForm1::*handler)(std::string_view sender)) {
  handlers_.at(IndexOf(id)) = [this, handler](std::string_view sender) { (this->*handler)(sender); };
}

std::vector<CommandId> TForm1::UnboundCommands() const {
  std::vector<CommandId> unbound;
  for (std::size_t i = 0; i < handlers_.size(); ++i) {
    if (!handlers_[i]) unbound.push_back(CommandId(i));
  }
  return unbound;
}

void TForm1::ConnectHandler(const std::string& handler_name, Handler handler) {
  bool named = false;
  for (const CommandItem& item : CommandTable()) {
    if (!item.command || item.handler != handler_name) continue;
    handlers_.at(IndexOf(*item.command)) = handler;
    named = true;
  }
  if (!named) throw std::invalid_argument("No menu item has the handler " + handler_name);
}

void TForm1::ConnectHandler(const std::string& handler_name, std::function<void()> handler) {
  ConnectHandler(handler_name, Handler([handler = std::move(handler)](std::string_view) { handler(); }));
}

void TForm1::CallHandlerByName(std::string_view handler_name) {
  const CommandItem* item = FindHandler(handler_name);
  if (item) CallHandler(*item->command);
}

void TForm1::CallHandler(CommandId id) {
  RunHandler(id, std::string_view());
}

void TForm1::RunHandler(CommandId id, std::string_view sender) {
  // A copy: the handler may replace itself in the table while it runs.
  const Handler handler = handlers_.at(IndexOf(id));
  if (!handler) throw std::logic_error("No handler is bound to " + std::string(CommandItemOf(id).handler));
  handler(sender);
}

void TForm1::ItemTriggered(const CommandItem& item) {
  RunHandler(*item.command, item.name);
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
  Guarded([&] { consumed = ViewKeyDown(event->key(), virtual_key, modifiers); });
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
    const QPoint p = img_->mapTo(scroll_->viewport(), img_->WidgetPoint(selection_.PressPoint));
    const QSize client = ClientSize();
    const int cw = client.width(), ch = client.height();
    auto inside = [&p](int left, int top, int right, int bottom) {
      return left <= p.x() && p.x() < right && top <= p.y() && p.y() < bottom;
    };
    if (inside(0, 0, kCornerSize, kCornerSize)) {
      Paste();
    } else if (inside(0, ch - kCornerSize, kCornerSize, ch)) {
      CallHandler(CommandId::kUndolastchange1);
    } else if (inside(cw - kCornerSize, 0, cw, kCornerSize)) {
      CallHandler(CommandId::kBordersettings1);
    } else if (inside(cw - kCornerSize, ch - kCornerSize, cw, ch)) {
      CallHandler(CommandId::kResizeimage1);
    }
  });
}

}  // namespace qel
