#include "import/jxl/library.h"

namespace qel::jxl {

Library::Library() : shared(QEL_JXL_LIBRARY) {
  QEL_BIND_FUNCTION(shared, JxlDecoderCreate);
  QEL_BIND_FUNCTION(shared, JxlDecoderDestroy);
  QEL_BIND_FUNCTION(shared, JxlDecoderSubscribeEvents);
  QEL_BIND_FUNCTION(shared, JxlDecoderSetInput);
  QEL_BIND_FUNCTION(shared, JxlDecoderCloseInput);
  QEL_BIND_FUNCTION(shared, JxlDecoderProcessInput);
  QEL_BIND_FUNCTION(shared, JxlDecoderGetBasicInfo);
  QEL_BIND_FUNCTION(shared, JxlDecoderImageOutBufferSize);
  QEL_BIND_FUNCTION(shared, JxlDecoderSetImageOutBuffer);
}

}  // namespace qel::jxl
