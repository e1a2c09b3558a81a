#include "import/raw/library.h"

namespace qel::raw {

Library::Library() : shared(QEL_RAW_LIBRARY) {
  QEL_BIND_FUNCTION(shared, libraw_init);
  QEL_BIND_FUNCTION(shared, libraw_close);
  QEL_BIND_FUNCTION(shared, libraw_open_buffer);
  QEL_BIND_FUNCTION(shared, libraw_set_progress_handler);
  QEL_BIND_FUNCTION(shared, libraw_unpack);
  QEL_BIND_FUNCTION(shared, libraw_dcraw_process);
  QEL_BIND_FUNCTION(shared, libraw_dcraw_make_mem_image);
  QEL_BIND_FUNCTION(shared, libraw_dcraw_clear_mem);
}

}  // namespace qel::raw
