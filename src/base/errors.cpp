#include "base/errors.h"

#include <cstring>

#include "base/paths.h"

namespace qel {

std::string FormatMessage(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && next != args.end()) {
      out.append(*next++);
      ++i;
    } else {
      out.push_back(pattern[i]);
    }
  }
  return out;
}

void ThrowCreateError(const std::string& name, int error) {
  throw EFCreateError(FormatMessage("Cannot create file \"%s\". %s", {FullPath(name), std::strerror(error)}));
}

void ThrowWriteError(int error) {
  const std::string reason = std::strerror(error);
  throw EWriteError("Stream write error: " + reason, reason);
}

void NamingWriteErrors(const std::string& name, const std::function<void()>& write) {
  try {
    write();
  } catch (const EWriteError& e) {
    const std::string reason = e.Reason().empty() ? std::string(e.what()) : e.Reason();
    throw EWriteError(FormatMessage("Cannot write file \"%s\". %s", {FullPath(name), reason}), reason);
  }
}

}  // namespace qel
