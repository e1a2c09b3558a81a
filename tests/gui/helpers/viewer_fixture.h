// Shared pieces of the viewer's tests: pictures written to files and a main window on
// scripted platform services.
#pragma once

#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/form1.h"
#include "gui/helpers/scripted_platform.h"
#include "imaging/picture.h"

namespace qel::test {

// The extension of the test pictures: BMP files, read by the BMP reader.
inline constexpr const char* kPictureExt = ".bmp";
// stem + kPictureExt
std::string PictureName(std::string_view stem);

// Registers the start-up formats, then the BMP reader for the extra extensions (each
// later registration wins over earlier ones), so that BMP data under those names loads.
void RegisterFormats(const std::vector<std::string>& bmp_extensions = {});

// A picture whose every pixel differs from its neighbours: red = x, green = y,
// blue = (x + y) (all modulo 256).
Picture PatternPicture(int width, int height);
// A picture of one colour.
Picture PlainPicture(int width, int height, TColor color);
// Writes the picture as a BMP file, whatever the name.
void WritePictureFile(const std::string& path, const Picture& picture);
// True when the pictures have the same size and pixels.
bool SamePixels(const Picture& a, const Picture& b);

// A temporary folder with the path helpers the tests need.
class Folder {
 public:
  Folder();
  std::string Root() const;
  std::string Path(const std::string& name) const;
  // Writes a test picture and returns its path.
  std::string Picture(const std::string& name, const qel::Picture& picture) const;
  // Writes a file with a few bytes of text.
  std::string TextFile(const std::string& name) const;
  std::string SubFolder(const std::string& name) const;

 private:
  QTemporaryDir dir_;
};

// A shown main window on scripted services.
struct Viewer {
  ScriptedPlatform services;
  std::unique_ptr<TForm1> form;

  explicit Viewer(std::optional<std::string> start_file = std::nullopt);
  QString Title() const { return form->windowTitle(); }
  TDocument& Doc() { return form->Document(); }
  std::vector<std::string>& Messages() { return services.messages->shown; }
  // Sets the window's client size and waits for the resize to arrive.
  void SetClientSize(int width, int height);
  // A key press (and release) on the window.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  // Mouse actions on the drawing surface, in control coordinates (from the drawn
  // picture's top-left corner).
  void Press(QPoint at, Qt::KeyboardModifiers modifiers, Qt::MouseButton button = Qt::LeftButton);
  void Move(QPoint to, Qt::MouseButton held = Qt::LeftButton);
  void Release(QPoint at, Qt::KeyboardModifiers modifiers, Qt::MouseButton button = Qt::LeftButton);
  // A double click at a point of the window's client area.
  void DoubleClick(QPoint at);
  // The drawing surface's own point (Qt's) of a point in control coordinates.
  QPoint OnImg(QPoint control_point) const;
  // Drops the paths on the window.
  void Drop(const std::vector<std::string>& paths);
};

}  // namespace qel::test
