// Copy, paste, clear and undo.
#include "app/form1.h"

namespace qel {

void TForm1::SwapUndo() {
  if (document_.SwapUndo()) {
    PictureChanged();
    FormResize();
  }
}

void TForm1::Undolastchange1Click() {
  SwapUndo();
  FormResize();
}

void TForm1::Copyimage1Click() {
  if (document_.Current().Empty()) return;
  platform_.clipboard->SetBitmap(document_.Current());
}

void TForm1::Paste() {
  std::optional<Picture> bitmap = platform_.clipboard->GetBitmap();
  if (!bitmap) return;
  TakeUndoCopy();
  document_.ReplacePicture(std::move(*bitmap));
  EndZoom();
  PictureChanged();
  FormResize();
}

void TForm1::Pasteimage1Click() {
  Paste();
}

void TForm1::Clearimage1Click() {
  TakeUndoCopy();
  document_.ClearPicture();
  EndZoom();
  PictureChanged();
  FormResize();
}

}  // namespace qel
