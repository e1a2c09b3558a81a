// The main window: one always-on-top window that shows the current picture and
// offers every command through its popup menu, keys, mouse gestures and drops.
#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_id.h"
#include "app/document.h"
#include "app/selection.h"
#include "options/options_host.h"
#include "platform/platform.h"

class QAction;
class QMenu;
class QScrollArea;

namespace qel {

struct CommandItem;
class TImageRect;
class TProgressBar;

inline constexpr const char* kApplicationTitle = "qel Image Tool";
// The window's background: red 249, green 244, blue 240.
inline constexpr TColor kWindowColor = 0xF0F4F9;
inline constexpr int kStartClientWidth = 300;
inline constexpr int kStartClientHeight = 225;
// Side of the double-click corner squares.
inline constexpr int kCornerSize = 25;
// The maker's page, opened by "Latest version".
inline constexpr std::string_view kLatestVersionAddress = "https://www.qel-image-tool.org/QEL.html";

class TBorderForm;

class TForm1 : public QWidget, public OptionsHost {
  Q_OBJECT

 public:
  // A handler gets the name of the item that invoked it (empty when it was called by
  // name or id, CallHandlerByName and CallHandler).
  using Handler = std::function<void(std::string_view sender)>;

  // Creates the window with its menu and, when start_file is given, loads it (the first
  // command-line argument). Errors of that load are shown like any other.
  explicit TForm1(Platform platform, std::optional<std::string> start_file = std::nullopt,
                  QWidget* parent = nullptr);
  ~TForm1() override;

  TDocument& Document() { return document_; }
  const TDocument& Document() const { return document_; }
  TImageRect* Img() const { return img_; }
  QScrollArea* ScrollArea() const { return scroll_; }
  QMenu* PopupMenu1() const { return popup_; }
  // The bar along the bottom edge that long commands show (see TCommandProgress).
  TProgressBar* ProgressBar() const { return progress_bar_; }
  const Platform& GetPlatform() const override { return platform_; }
  const Picture& CurrentPicture() const override { return document_.Current(); }
  const TSelection& Selection() const { return selection_; }

  // The menu item of that name (a command, switch, separator or submenu), or nullptr.
  QAction* Item(std::string_view name) const;
  bool Checked(std::string_view name) const;

  // Replaces the handler of the commands whose items name it (both "Save" items for
  // "Save1Click"); throws std::invalid_argument for a name no item has.
  void ConnectHandler(const std::string& handler_name, Handler handler);
  void ConnectHandler(const std::string& handler_name, std::function<void()> handler);
  // Calls the handler of that name; a name no handler has does nothing.
  void CallHandlerByName(std::string_view handler_name);
  // Calls the command's handler without a sender, as a call by name does.
  void CallHandler(CommandId id);
  // The commands without a handler. The window binds every command when it is built,
  // so this is empty; the tests hold it to that.
  std::vector<CommandId> UnboundCommands() const;
  // Called with the current picture after every menu command (empty: nothing is called).
  void SetCommandObserver(std::function<void(const Picture&)> observer);

  // Runs the action and shows any error that escapes it in a message box; the program
  // goes on with the document as the action left it.
  void Guarded(const std::function<void()>& action) override;
  void ShowMessage(const std::string& text);

  // Creates the options window, hidden and owned by this window, which "Resize to....",
  // "Options" and "Overwrite files" reach from then on. The window reads the settings
  // file (FindSettingsLocation) and pushes its values in here.
  TBorderForm* CreateOptionsWindow(std::string executable_path);
  // Each does nothing while there is no options window.
  void Resizeto1Click();
  void Bordersettings1Click();
  void OWFilesClick();

  // Option values as the options window pushes them, with the "Overwrite files" check.
  void SetOptionValues(const TOptionValues& values, bool overwrite_files) override;
  bool OverwriteFiles() const override { return Checked("OWFiles"); }

  // --- Document routines ---
  // Makes the file the current picture, taking the undo copy first when asked to; the
  // title is refreshed also when it fails, and the error then passes on with the
  // document unchanged (picture, name and undo slot).
  void LoadImage(const std::string& path, bool undo_copy = false);
  void TakeUndoCopy() { document_.TakeUndoCopy(); }
  void SwapUndo();
  // To be called after anything changed the current picture: repaints it and lets the
  // drawing surface follow its size.
  void PictureChanged();

  // --- Display ---
  // The title "%d x %d pix [%d] (%s)" from the drawn size, the list's entry count and
  // the current file's name; also enables "Reload image" when there is a current file.
  void FormResize();
  QString TitleText() const;
  // The enabling rule, run when the menu opens and before any shortcut acts.
  void PopupMenu1Popup();
  // Whether the window shows a horizontal or vertical scroll bar.
  bool HasScrollBars() const;
  // The window's client size (without scroll bars).
  QSize ClientSize() const;

  // --- Commands ---
  void Loadimage1Click();
  void Reload1Click();
  void Clearlist1Click();
  void Copyimage1Click();
  void Pasteimage1Click();
  void Clearimage1Click();
  void Undolastchange1Click();
  void Fittowindow1Click();
  void Allowoversize1Click();
  void EXIT1Click();
  // "Save" and "Save as...." share it and tell each other apart by the sender.
  void Save1Click(std::string_view sender);
  void Sendtoemail1Click();
  void Contextmenu1Click();
  void Latest1Click();

  // --- Keys and gestures ---
  // Runs the item bound to the shortcut code after the enabling rule; a disabled item
  // consumes the shortcut and does nothing. False when no item has that shortcut.
  bool DispatchShortcut(std::uint16_t code);
  // Up, Down and Delete (whatever the modifiers) and Ctrl+V; key is a virtual-key code.
  void FormKeyDown(std::uint16_t key, Qt::KeyboardModifiers modifiers);
  void ImgDblClick();
  void ImgMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  void ImgMouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
  void ImgMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  // Replaces the picture by the pixels under a rectangle in window client coordinates.
  void CropToSelection(const TRect& rect);
  // The paths of a drop: the list is rebuilt from them and its first entry loaded.
  void DropPaths(const std::vector<std::string>& paths);

  // --- Picture commands ---
  // Each does nothing to an empty picture, however it is reached.
  void Resizeimage1Click();
  void Rotateright1Click();
  void Rotateleft1Click();
  void Border1Click();
  void Makeborder1Click();
  void Lightenimage1Click();
  void Darkenimage1Click();
  void Contrastimage1Click();
  void Contrastimage2Click();
  void Sharpenimage1Click();
  void Antialiasimage1Click();
  void Grayimage1Click();
  void Sepiaimage1Click();
  // Takes the undo copy and resamples the picture to width x height with the filter
  // held, then sharpens it when "Sharpen after resize" is held. The picture is repainted
  // and the title refreshed also when the sharpen refuses the resized picture (the error
  // then passes on). Does nothing to an empty picture.
  void ResizePictureTo(int width, int height) override;

  // --- Screen capture and transparency ---
  void Capture1Click();
  // Replaces the picture by the screen's pixels under the client area, with the window
  // hidden meanwhile, and takes the undo copy first. When the screen cannot be read the
  // error passes on and the document stays as it was.
  void CaptureUnderWindow();
  void Alphablend1Click();
  // The wheel steps the blend value by 5 within 150..250 while alpha blending is on.
  void FormMouseWheelDown();
  void FormMouseWheelUp();
  bool AlphaBlend() const { return alpha_blend_; }
  int AlphaBlendValue() const { return alpha_blend_value_; }

  // --- View: zoom, pan, full screen and the key help (form1_view.cpp) ---
  // Back to the fit the switches give, with "Fit image to window" on.
  void ZoomToFit();
  // Zooms to the scale (device pixels per picture pixel), keeping the picture point
  // under the anchor (a point of the client area) where it is. Does nothing to an
  // empty picture.
  void ZoomAround(double scale, QPoint anchor);
  // One zoom level in or out around the mouse pointer when it is over the client area,
  // else around the client area's centre.
  void ZoomIn();
  void ZoomOut();
  void ZoomActualSize();
  // The wheel turned with Ctrl held, by Qt's angle (120 a notch), at a point of the
  // client area.
  void ZoomByWheel(int angle, QPoint at);
  void ToggleFullScreen();
  // Shows the window that lists every key and gesture, or closes it when it is shown.
  void ToggleKeyHelp();
  QWidget* KeyHelp() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenu();
  // Puts the handler in the command's slot; each part of the window binds its own
  // commands with these when the window is built.
  void Bind(CommandId id, void (TForm1::*handler)());
  void Bind(CommandId id, void (TForm1::*handler)(std::string_view sender));
  void BuildHandlerTable();
  void ConnectOptionsCommands();
  void ConnectSaveHandlers();
  // Connects the shell commands and sets the "Context menu " check from the key store.
  void SetUpShellIntegration();
  void LayoutChildren();
  void ItemTriggered(const CommandItem& item);
  // Runs the command's handler; a command without one is a fault of the program.
  void RunHandler(CommandId id, std::string_view sender);
  void Paste();
  void ShowCropSize();
  void LoadStepped();
  void ConnectPictureCommands();
  void ConnectCaptureCommands();
  // Runs the operation on a non-empty picture after the undo copy (when asked for), then
  // repaints and refreshes the title (when asked for), on failure too.
  void ChangePicture(bool undo_copy, bool refresh_title, const std::function<void(Picture&)>& operation);
  void SetAlphaBlend(bool on);
  // Where the control's point (0, 0) lies in the client area (the picture's top-left
  // corner; moved by the scroll bars when they are shown).
  QPoint ControlShift() const;
  // The view keys: zoom, full screen, help; false for any other key.
  bool ViewKeyDown(int qt_key, std::uint16_t virtual_key, Qt::KeyboardModifiers modifiers);
  // Leaves the zoom for the fit the switches give and lays the control out for it.
  void EndZoom();
  // Lays the control out for the view: it fills the client area while fitting or
  // zoomed, and scroll bars show only for an unzoomed picture at its own size.
  void ApplyViewLayout();
  // Makes the picture the current one, shown as a new picture is (fitted, not zoomed).
  void ShowNewPicture(Picture&& picture);

  Platform platform_;
  TDocument document_;
  TSelection selection_;
  QScrollArea* scroll_ = nullptr;
  TImageRect* img_ = nullptr;
  QMenu* popup_ = nullptr;
  TProgressBar* progress_bar_ = nullptr;
  std::map<std::string, QAction*, std::less<>> items_;
  std::array<Handler, kCommandCount> handlers_;
  QPointer<TBorderForm> options_form_;
  std::function<void(const Picture&)> command_observer_;
  bool alpha_blend_ = false;
  int alpha_blend_value_ = 200;
  // Wheel angle turned with Ctrl held that has not made a zoom step yet.
  int zoom_wheel_angle_ = 0;
  QPointer<QWidget> key_help_;
};

}  // namespace qel
