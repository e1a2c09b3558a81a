// The graphic: a decoded image of one format class. Readers produce graphics; the
// picture container turns a graphic into a 24-bit picture by letting it draw itself.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "imaging/picture.h"

namespace qel {

class TStream;
class TGraphic;

// The stage of a progress notification.
enum class ProgressStage { kStarting, kRunning, kEnding };

// What a reader tells the outside world while it works: progress notifications (stage,
// percent, the rectangle of rows done, a message such as "Transfering...") and warnings
// that do not stop the load (the "Warning" texts of the JPEG-in-TIFF decoder).
class ProgressObserver {
 public:
  virtual ~ProgressObserver() = default;
  virtual void OnProgress(ProgressStage stage, int percent, const TRect& rect, std::string_view message) = 0;
  virtual void OnWarning(std::string_view text) = 0;
};

// The identity of a graphic class: its name, the class it derives from and a way to
// make an instance. The format lists hold these; one static instance per class.
class GraphicClass {
 public:
  using Factory = std::unique_ptr<TGraphic> (*)();
  constexpr GraphicClass(std::string_view name, const GraphicClass* parent, Factory factory)
      : name_(name), parent_(parent), factory_(factory) {}
  GraphicClass(const GraphicClass&) = delete;
  GraphicClass& operator=(const GraphicClass&) = delete;

  std::string_view Name() const { return name_; }
  const GraphicClass* Parent() const { return parent_; }
  // True for this class itself and for every class derived from base.
  bool InheritsFrom(const GraphicClass& base) const;
  // A new, empty graphic of this class (nullptr for an abstract class).
  std::unique_ptr<TGraphic> Create() const { return factory_ ? factory_() : nullptr; }

 private:
  std::string_view name_;
  const GraphicClass* parent_;
  Factory factory_;
};

// Makes the factory of a concrete graphic class.
template <typename T>
std::unique_ptr<TGraphic> MakeGraphic() {
  return std::make_unique<T>();
}

class TGraphic {
 public:
  virtual ~TGraphic() = default;
  TGraphic() = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  static const GraphicClass& StaticClass();
  virtual const GraphicClass& Class() const = 0;

  // Replaces the graphic's content by the image that starts at the stream's position.
  virtual void LoadFromStream(TStream& stream) = 0;
  // Opens the file and loads it with LoadFromStream. Formats that keep part of an
  // image in a companion file (a palette beside the picture) override it to learn
  // the file's name.
  virtual void LoadFromFile(const std::string& path);

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  bool Empty() const { return Width() == 0 || Height() == 0; }
  // Whether some parts of the graphic are transparent when it draws itself.
  virtual bool Transparent() const { return false; }
  virtual Palette GetPalette() const { return {}; }

  // Draws the graphic with its top-left corner at (x, y), clipped to the target.
  // Transparent parts leave the target's pixels as they were; partly transparent
  // parts are blended over them.
  virtual void Draw(Picture& target, int x, int y) const = 0;

  // A graphic whose drawn result on a white picture of its own size is exactly a
  // 24-bit picture it already holds may hand that picture over instead of drawing
  // (saves a copy of the pixels). The graphic is empty afterwards. The default
  // answers false and leaves out untouched.
  virtual bool TakePicture(Picture& out);

  void SetObserver(ProgressObserver* observer) { observer_ = observer; }
  ProgressObserver* Observer() const { return observer_; }

 protected:
  void Progress(ProgressStage stage, int percent, const TRect& rect, std::string_view message) const {
    if (observer_) observer_->OnProgress(stage, percent, rect, message);
  }
  void Warning(std::string_view text) const {
    if (observer_) observer_->OnWarning(text);
  }

 private:
  ProgressObserver* observer_ = nullptr;
};

// A new 24-bit picture of the graphic's size. With draw set, the graphic is drawn onto
// it at (0, 0) (on white), its palette is copied and, when the graphic is transparent,
// the picture is marked transparent (automatic colour: the bottom-left pixel).
Picture CopyToPicture(TGraphic& graphic, bool draw);

}  // namespace qel
