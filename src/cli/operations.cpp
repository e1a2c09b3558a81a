#include "cli/operations.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/crop.h"
#include "imaging/errors.h"
#include "imaging/picture_commands.h"
#include "imaging/resample.h"
#include "imaging/rotate.h"

namespace qel::cli {

namespace {

[[noreturn]] void Malformed(std::string_view option, std::string_view value, std::string_view expected) {
  throw std::invalid_argument(std::string(option) + " " + std::string(value) + ": expected " +
                              std::string(expected));
}

// A whole text as a decimal integer (an optional minus sign, then digits only).
std::optional<std::int64_t> ParseInteger(std::string_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// Splits "a<sep>b<sep>c" into its parts.
std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

Operation ParseResize(std::string_view option, std::string_view value) {
  if (!value.empty() && value.back() == '%') {
    const auto percent = ParseInteger(value.substr(0, value.size() - 1));
    if (!percent || *percent < 1 || *percent > INT32_MAX)
      Malformed(option, value, "a whole percentage above 0, as 50%");
    const auto p = static_cast<std::int32_t>(*percent);
    return [p](Picture& picture, OperationSettings& settings) {
      if (picture.Empty()) return;
      // As the options window computes it: a 64-bit product, halves away from zero
      // (MulDiv's rounding, without its 32-bit limit on the result), then at least 1.
      const std::int64_t w = std::max<std::int64_t>((std::int64_t(picture.Width()) * p + 50) / 100, 1);
      const std::int64_t h = std::max<std::int64_t>((std::int64_t(picture.Height()) * p + 50) / 100, 1);
      if (const std::string problem = ResizeTargetProblem(w, h); !problem.empty()) throw Error(problem);
      commands::Resize(picture, static_cast<int>(w), static_cast<int>(h), settings.resize);
    };
  }
  const auto parts = Split(value, 'x');
  const auto width = parts.size() == 2 ? ParseInteger(parts[0]) : std::nullopt;
  const auto height = parts.size() == 2 ? ParseInteger(parts[1]) : std::nullopt;
  if (!width || !height || *width < 1 || *height < 1)
    Malformed(option, value, "WIDTHxHEIGHT in pixels, as 800x600, or a percentage, as 50%");
  if (const std::string problem = ResizeTargetProblem(*width, *height); !problem.empty()) {
    throw std::invalid_argument(std::string(option) + " " + std::string(value) + ": " + problem);
  }
  const int w = static_cast<int>(*width), h = static_cast<int>(*height);
  return [w, h](Picture& picture, OperationSettings& settings) {
    if (!picture.Empty()) commands::Resize(picture, w, h, settings.resize);
  };
}

Operation ParseFilter(std::string_view option, std::string_view value) {
  int filter = FilterFromName(value);
  if (filter < 0) {
    const auto number = ParseInteger(value);
    if (number && *number >= 0 && *number < kFilterCount) filter = static_cast<int>(*number);
  }
  if (filter < 0)
    Malformed(option, value, "Box, Triangle, Hermite, Bell, BSpline, Lanczos3, Mitchell or 0 to 6");
  return [filter](Picture&, OperationSettings& settings) { settings.resize.filter = filter; };
}

TColor ParseColor(std::string_view option, std::string_view value) {
  // #RRGGBB, stored as 0x00BBGGRR.
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  bool ok = value.size() == 7 && value[0] == '#';
  std::uint8_t channel[3] = {};
  for (int i = 0; ok && i < 3; ++i) {
    const int high = hex(value[std::size_t(1 + 2 * i)]), low = hex(value[std::size_t(2 + 2 * i)]);
    ok = high >= 0 && low >= 0;
    channel[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  if (!ok) Malformed(option, value, "a colour #RRGGBB, as #FF8000");
  return RGBColor(channel[0], channel[1], channel[2]);
}

Operation ParseBorderWidth(std::string_view option, std::string_view value) {
  const auto width = ParseInteger(value);
  if (!width || *width < commands::kMinBorderWidth || *width > commands::kMaxBorderWidth)
    Malformed(option, value, "a width of 1 to 50 pixels");
  const int w = static_cast<int>(*width);
  return [w](Picture&, OperationSettings& settings) { settings.border.width = w; };
}

Operation ParseCrop(std::string_view option, std::string_view value) {
  const auto parts = Split(value, ',');
  std::int64_t n[4] = {};
  bool ok = parts.size() == 4;
  for (std::size_t i = 0; ok && i < 4; ++i) {
    const auto v = ParseInteger(parts[i]);
    ok = v && *v >= INT32_MIN && *v <= INT32_MAX;
    if (ok) n[i] = *v;
  }
  if (!ok || n[2] < 1 || n[3] < 1)
    Malformed(option, value, "X,Y,WIDTH,HEIGHT with a width and height above 0, as 10,10,200,100");
  // The far edges may lie beyond 32 bits; the picture clips them anyway.
  auto edge = [](std::int64_t v) { return static_cast<std::int32_t>(std::min<std::int64_t>(v, INT32_MAX)); };
  const TRect rect{static_cast<std::int32_t>(n[0]), static_cast<std::int32_t>(n[1]), edge(n[0] + n[2]),
                   edge(n[1] + n[3])};
  const std::string text(value);
  return [rect, text](Picture& picture, OperationSettings&) {
    if (picture.Empty()) return;
    if (!CropPicture(picture, rect)) {
      throw Error("Cannot crop to " + text + ": the rectangle lies outside the " +
                  std::to_string(picture.Width()) + " x " + std::to_string(picture.Height()) + " picture.");
    }
  };
}

// An operation that takes no value and works on a non-empty picture.
template <typename Body>
Operation OnPicture(Body body) {
  return [body](Picture& picture, OperationSettings& settings) {
    if (!picture.Empty()) body(picture, settings);
  };
}

struct OptionSpec {
  std::string_view name;
  std::string_view value;  // the placeholder of its value; empty when it takes none
  std::string_view help;
  Operation (*parse)(std::string_view option, std::string_view value);
};

const OptionSpec kOptions[] = {
    {"--resize", "WxH|P%",
     "resample to WIDTH x HEIGHT pixels, or each side to P\n"
     "percent of itself (halves round up, at least 1 pixel)",
     &ParseResize},
    {"--filter", "NAME|N",
     "filter of the resizes after it: Box, Triangle,\n"
     "Hermite, Bell, BSpline, Lanczos3 (the default),\n"
     "Mitchell, or their numbers 0 to 6",
     &ParseFilter},
    {"--sharpen-after-resize", "", "sharpen after each later resize",
     [](std::string_view, std::string_view) -> Operation {
       return [](Picture&, OperationSettings& s) { s.resize.sharpen_after = true; };
     }},
    {"--rotate-right", "", "turn 90 degrees clockwise",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings&) { RotateRight(p); });
     }},
    {"--rotate-left", "", "turn 90 degrees anticlockwise",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings&) { RotateLeft(p); });
     }},
    {"--lighten", "", "lighten by 10 percent",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings&) { commands::Lighten(p); });
     }},
    {"--darken", "", "darken by 5 percent",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings&) { commands::Darken(p); });
     }},
    {"--contrast-up", "", "raise the contrast by 10 percent",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings&) { commands::ContrastUp(p); });
     }},
    {"--contrast-down", "", "lower the contrast by 10 percent",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings&) { commands::ContrastDown(p); });
     }},
    {"--sharpen", "", "sharpen (the picture must be at least 3 x 3)",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings&) { commands::Sharpen(p); });
     }},
    {"--antialias", "",
     "soften: each inner pixel becomes the mean of its\n"
     "four neighbours",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings&) { commands::AntiAlias(p); });
     }},
    {"--gray", "", "turn to grey",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings&) { commands::Gray(p); });
     }},
    {"--sepia", "", "turn to sepia",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings&) { commands::Sepia(p); });
     }},
    {"--draw-border", "", "paint a frame over the picture's edges",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings& s) { commands::DrawBorder(p, s.border); });
     }},
    {"--add-border", "", "shrink the picture into a frame of the border width",
     [](std::string_view, std::string_view) {
       return OnPicture([](Picture& p, OperationSettings& s) { commands::AddBorder(p, s.border); });
     }},
    {"--frame-color", "#RRGGBB",
     "frame colour of the borders after it (default\n"
     "#FFFFFF)",
     [](std::string_view option, std::string_view value) -> Operation {
       const TColor color = ParseColor(option, value);
       return [color](Picture&, OperationSettings& s) { s.border.frame_color = color; };
     }},
    {"--line-color", "#RRGGBB",
     "line colour of the borders after it (default #808080;\n"
     "#000000 draws no outline with --add-border)",
     [](std::string_view option, std::string_view value) -> Operation {
       const TColor color = ParseColor(option, value);
       return [color](Picture&, OperationSettings& s) { s.border.line_color = color; };
     }},
    {"--border-width", "N",
     "width of the borders after it, 1 to 50 pixels\n"
     "(default 10)",
     &ParseBorderWidth},
    {"--crop", "X,Y,W,H",
     "keep the W x H rectangle at (X, Y), clipped to the\n"
     "picture; nothing left of it is an error",
     &ParseCrop},
};

}  // namespace

bool ParseOperation(const std::vector<std::string>& args, std::size_t& index, std::vector<Operation>& steps) {
  std::string_view arg = args[index];
  // Both "--option VALUE" and "--option=VALUE" are accepted.
  std::optional<std::string_view> inline_value;
  if (const std::size_t eq = arg.find('='); eq != std::string_view::npos) {
    inline_value = arg.substr(eq + 1);
    arg = arg.substr(0, eq);
  }
  for (const OptionSpec& spec : kOptions) {
    if (arg != spec.name) continue;
    std::string_view value;
    std::size_t used = 1;
    if (spec.value.empty()) {
      if (inline_value) throw std::invalid_argument(std::string(spec.name) + " takes no value");
    } else if (inline_value) {
      value = *inline_value;
    } else {
      if (index + 1 >= args.size()) {
        throw std::invalid_argument(std::string(spec.name) + " needs a value: " + std::string(spec.value));
      }
      value = args[index + 1];
      used = 2;
    }
    steps.push_back(spec.parse(spec.name, value));
    index += used;
    return true;
  }
  return false;
}

std::string OperationsHelp() {
  // Help texts start in one column; their continuation lines line up under it.
  constexpr std::size_t kColumn = 22;
  std::string text;
  for (const OptionSpec& spec : kOptions) {
    std::size_t width = 2 + spec.name.size();
    text.append("  ").append(spec.name);
    if (!spec.value.empty()) {
      text.append(" ").append(spec.value);
      width += 1 + spec.value.size();
    }
    if (width + 2 > kColumn) {
      text.append("\n");
      width = 0;
    }
    text.append(kColumn - width, ' ');
    for (const char c : spec.help) {
      text.push_back(c);
      if (c == '\n') text.append(kColumn, ' ');
    }
    text.append("\n");
  }
  text.append("  Colours, width, filter and sharpening hold for the operations after them.\n");
  return text;
}

}  // namespace qel::cli
