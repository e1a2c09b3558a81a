// TMetafile: the graphic of Windows metafiles (.wmf, placeable or plain) and enhanced
// metafiles (.emf). Loading reads the header and checks every record by playing the
// file once without drawing; Draw plays it onto the target. What the records leave
// undrawn keeps the target's pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/graphic.h"
#include "import/metafile/header.h"

namespace qel {

class MetafileCanvas;

class TMetafile : public TGraphic {
 public:
  static const GraphicClass& StaticClass();
  const GraphicClass& Class() const override { return StaticClass(); }

  void LoadFromStream(TStream& stream) override;
  int Width() const override { return header_.width; }
  int Height() const override { return header_.height; }
  // True when the picture's bottom-left pixel is left undrawn: the picture made of the
  // metafile then shows its undrawn parts as transparent.
  bool Transparent() const override { return transparent_; }
  void Draw(Picture& target, int x, int y) const override;

  bool Enhanced() const { return header_.kind == MetafileKind::kEmf; }

 private:
  void Play(MetafileCanvas& canvas, const Affine& offset) const;

  std::vector<std::uint8_t> data_;
  MetafileHeader header_;
  bool transparent_ = false;
};

}  // namespace qel
