// What a save may choose (qel-convert --quality and --lossless): the formats that take
// a choice read it, every other format keeps its fixed settings.
#pragma once

namespace qel {

struct WriteOptions {
  static constexpr int kDefaultQuality = 90;
  int quality = kDefaultQuality;  // 1 to 100: JPEG and lossy WebP
  bool lossless = false;          // WebP
};

// The quality of the options; Error("The quality must lie between 1 and 100.") otherwise.
int CheckedQuality(const WriteOptions& options);

}  // namespace qel
