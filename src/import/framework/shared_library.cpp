#include "import/framework/shared_library.h"

#include <dlfcn.h>

namespace qel {

SharedLibrary::SharedLibrary(const char* file_name)
    : file_name_(file_name), handle_(dlopen(file_name, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {}

SharedLibrary::~SharedLibrary() {
  if (handle_) dlclose(handle_);
}

void* SharedLibrary::Symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

}  // namespace qel
