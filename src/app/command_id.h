// The commands of the menu: one id for each item that runs a handler, in menu order.
// The command table gives each id its item; the main window binds each id to its
// handler when it is built.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel {

enum class CommandId : std::uint8_t {
  kLoadimage1,
  kReload1,
  kCapture1,
  kResizeimage1,
  kResizeto1,
  kRotateright1,
  kRotateleft1,
  kBorder1,
  kMakeborder1,
  kCopyimage1,
  kPasteimage1,
  kClearimage1,
  kClearlist1,
  kLightenimage1,
  kDarkenimage1,
  kContrastimage1,
  kContrastimage2,
  kSharpenimage1,
  kAntialiasimage1,
  kGrayimage1,
  kSepiaimage1,
  kUndolastchange1,
  kBordersettings1,
  kFittowindow1,
  kAllowoversize1,
  kAlphablend1,
  kSave1,
  kSaveas1,
  kOWFiles,
  kSendtoemail1,
  kContextmenu1,
  kLatest1,
  kEXIT1,  // the last id: kCommandCount follows it
};

inline constexpr std::size_t kCommandCount = std::size_t(CommandId::kEXIT1) + 1;

constexpr std::size_t IndexOf(CommandId id) {
  return std::size_t(id);
}

}  // namespace qel
