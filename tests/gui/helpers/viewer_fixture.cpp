#include "gui/helpers/viewer_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTest>
#include <QUrl>
#include <cstring>
#include <stdexcept>

#include "app/image_rect.h"
#include "imaging/errors.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/framework/format_registry.h"
#include "output/bmp_writer.h"

namespace qel::test {

namespace {

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, buttons, modifiers);
  QApplication::sendEvent(target, &event);
}

}  // namespace

std::string PictureName(std::string_view stem) {
  std::string name;
  name.reserve(stem.size() + 8);
  name.append(stem);
  name.append(kPictureExt);
  return name;
}

void RegisterFormats(const std::vector<std::string>& bmp_extensions) {
  RegisterStartupFormats();
  const GraphicClass* bmp = PictureFormats().FindExtension("bmp");
  if (!bmp) throw std::runtime_error("No reader for BMP files");
  for (const std::string& ext : bmp_extensions) PictureFormats().Register(ext, "Test pictures", *bmp);
}

Picture PatternPicture(int width, int height) {
  Picture picture = NewPicture(width, height, kNoColor);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      picture.SetPixel(x, y, RGBColor(std::uint8_t(x), std::uint8_t(y), std::uint8_t(x + y)));
  }
  return picture;
}

Picture PlainPicture(int width, int height, TColor color) {
  return NewPicture(width, height, color);
}

void WritePictureFile(const std::string& path, const Picture& picture) {
  TFileStream stream(path, TFileStream::Mode::kCreate);
  WriteBmp(picture, stream);
  stream.Commit();
}

bool SamePixels(const Picture& a, const Picture& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.Row(y), b.Row(y), std::size_t(a.Width()) * 3) != 0) return false;
  }
  return true;
}

Folder::Folder() {
  if (!dir_.isValid()) throw std::runtime_error("No temporary folder");
}

std::string Folder::Root() const {
  return QFile::encodeName(dir_.path()).toStdString();
}

std::string Folder::Path(const std::string& name) const {
  return QFile::encodeName(dir_.filePath(QString::fromStdString(name))).toStdString();
}

std::string Folder::Picture(const std::string& name, const qel::Picture& picture) const {
  const std::string path = Path(name);
  WritePictureFile(path, picture);
  return path;
}

std::string Folder::TextFile(const std::string& name) const {
  const std::string path = Path(name);
  QFile file(QFile::decodeName(path.c_str()));
  if (!file.open(QIODevice::WriteOnly) || file.write("text\n") != 5)
    throw std::runtime_error("Cannot write " + path);
  return path;
}

std::string Folder::SubFolder(const std::string& name) const {
  if (!QDir(dir_.path()).mkpath(QString::fromStdString(name)))
    throw std::runtime_error("Cannot make " + name);
  return Path(name);
}

Viewer::Viewer(std::optional<std::string> start_file) {
  form = std::make_unique<TForm1>(std::move(services.platform), start_file);
  form->show();
  if (!QTest::qWaitForWindowExposed(form.get())) throw std::runtime_error("The window was not shown");
}

void Viewer::SetClientSize(int width, int height) {
  form->resize(width, height);
  QTRY_COMPARE_WITH_TIMEOUT(form->size(), QSize(width, height), 2000);
}

void Viewer::Key(Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QTest::keyClick(form.get(), key, modifiers);
}

QPoint Viewer::OnImg(QPoint control_point) const {
  return form->Img()->WidgetPoint({control_point.x(), control_point.y()});
}

void Viewer::Press(QPoint at, Qt::KeyboardModifiers modifiers, Qt::MouseButton button) {
  SendMouse(form->Img(), QEvent::MouseButtonPress, OnImg(at), button, button, modifiers);
}

void Viewer::Move(QPoint to, Qt::MouseButton held) {
  SendMouse(form->Img(), QEvent::MouseMove, OnImg(to), Qt::NoButton, held, Qt::NoModifier);
}

void Viewer::Release(QPoint at, Qt::KeyboardModifiers modifiers, Qt::MouseButton button) {
  SendMouse(form->Img(), QEvent::MouseButtonRelease, OnImg(at), button, Qt::NoButton, modifiers);
}

void Viewer::DoubleClick(QPoint at) {
  TImageRect* img = form->Img();
  const QPoint on_img = img->mapFrom(form->ScrollArea()->viewport(), at);
  for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
    const bool pressed = type != QEvent::MouseButtonRelease;
    SendMouse(img, type, on_img, Qt::LeftButton, pressed ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
  }
}

void Viewer::Drop(const std::vector<std::string>& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const std::string& path : paths) urls.push_back(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
  data.setUrls(urls);
  const QPoint at(10, 10);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form.get(), &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form.get(), &drop);
}

}  // namespace qel::test
