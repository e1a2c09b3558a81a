// Times the loops behind loading and saving big pictures, each fast path beside the
// plain one it must agree with, on a 6000 x 4000 photo-like picture made in memory:
//   - TIFF LZW strips (48 rows each, horizontally differenced like common writers)
//     decoded by the string-copying decoder and by the prefix-chain decoder;
//   - PackBits strips decoded;
//   - the PNG encoder (row bands deflated by libdeflate on all cores) and the plain
//     libpng encoder at zlib's level 8;
//   - the GIF frame: octree quantisation and nearest-colour mapping.
// Prints seconds (best of the repetitions) and megabytes of picture per second.
//
//   build/bench/io_codecs [repetitions] [lzw|packbits|png|gif ...] [picture file]
// A picture file given (any format the library reads) replaces the made-up photo.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "imaging/picture_container.h"
#include "imaging/stream.h"
#include "import/codecs/packbits_decoder.h"
#include "import/codecs/tiff_lzw_decoder.h"
#include "import/framework/format_registry.h"
#include "output/color_quantizer.h"
#include "output/gif_frame.h"
#include "output/gif_palette.h"
#include "output/picture_writers.h"
#include "output/png_writer.h"
#include "reference/libpng_encoder.h"
#include "support/tiff_lzw_encoder.h"

namespace {

using namespace qel;

constexpr int kWidth = 6000, kHeight = 4000, kRowsPerStrip = 48;

// Smooth colour fields with fine grain on top: close to a photograph for the codecs,
// neither flat nor pure noise.
Picture MakePhoto(int width, int height) {
  Picture p = NewPicture(width, height, kNoColor);
  std::mt19937 rng(7);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = p.Row(y);
    for (int x = 0; x < width; ++x) {
      const double u = x / 700.0, v = y / 500.0;
      const double base[3] = {128 + 90 * std::sin(u + 0.7 * v), 128 + 90 * std::sin(1.3 * v - 0.4 * u + 1),
                              128 + 90 * std::cos(0.8 * u * v + 2)};
      for (int c = 0; c < 3; ++c) {
        const int grain = int(rng() % 13) - 6;
        row[3 * x + c] = ClampToByte(int(base[c]) + grain);
      }
    }
  }
  return p;
}

// Horizontally differenced RGB rows of a strip, as LZW TIFF writers store them.
std::vector<std::uint8_t> DifferencedStrip(const Picture& p, int first_row, int rows) {
  std::vector<std::uint8_t> out;
  const std::size_t line = std::size_t(p.Width()) * 3;
  for (int y = first_row; y < first_row + rows; ++y) {
    const std::uint8_t* row = p.Row(y);
    for (std::size_t i = 0; i < line; ++i) out.push_back(std::uint8_t(row[i] - (i >= 3 ? row[i - 3] : 0)));
  }
  return out;
}

std::vector<std::uint8_t> PackBitsEncode(const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> out;
  std::size_t i = 0;
  while (i < data.size()) {
    std::size_t run = 1;
    while (i + run < data.size() && run < 128 && data[i + run] == data[i]) ++run;
    if (run >= 3) {
      out.push_back(std::uint8_t(1 - int(run)));
      out.push_back(data[i]);
      i += run;
      continue;
    }
    std::size_t literal = 0;
    while (i + literal < data.size() && literal < 128 &&
           !(i + literal + 2 < data.size() && data[i + literal] == data[i + literal + 1] &&
             data[i + literal] == data[i + literal + 2]))
      ++literal;
    literal = std::max<std::size_t>(literal, 1);
    out.push_back(std::uint8_t(literal - 1));
    out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + literal));
    i += literal;
  }
  return out;
}

// Processor time of the whole process: on a busy machine it says more about the work
// done than the wall clock does.
double ProcessorSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Timing {
  double wall = 1e300;
  double processor = 1e300;
};

Timing Seconds(int repetitions, const std::function<void()>& work) {
  Timing best;
  for (int r = 0; r < repetitions; ++r) {
    const auto start = std::chrono::steady_clock::now();
    const double processor_start = ProcessorSeconds();
    work();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    best.wall = std::min(best.wall, elapsed.count());
    best.processor = std::min(best.processor, ProcessorSeconds() - processor_start);
  }
  return best;
}

void Report(const char* what, const Timing& t, double megabytes) {
  std::printf("%-36s %8.3f s wall %8.3f s processor %9.1f MB/s\n", what, t.wall, t.processor,
              megabytes / t.wall);
}

struct Strips {
  std::vector<std::vector<std::uint8_t>> packed;
  std::vector<std::size_t> unpacked_sizes;
};

Strips EncodeStrips(const Picture& photo,
                    std::vector<std::uint8_t> (*encode)(const std::vector<std::uint8_t>&)) {
  Strips strips;
  for (int y = 0; y < photo.Height(); y += kRowsPerStrip) {
    const std::vector<std::uint8_t> raw =
        DifferencedStrip(photo, y, std::min(kRowsPerStrip, photo.Height() - y));
    strips.packed.push_back(encode(raw));
    strips.unpacked_sizes.push_back(raw.size());
  }
  return strips;
}

Timing DecodeStrips(TDecoder& decoder, const Strips& strips, int repetitions, std::uint64_t& checksum) {
  std::vector<std::uint8_t> out;
  return Seconds(repetitions, [&] {
    checksum = 0;
    for (std::size_t s = 0; s < strips.packed.size(); ++s) {
      out.assign(strips.unpacked_sizes[s], 0);
      const std::uint8_t* source = strips.packed[s].data();
      std::uint8_t* dest = out.data();
      decoder.Decode(source, dest, strips.packed[s].size(), out.size());
      for (std::size_t i = 0; i < out.size(); i += 4099) checksum = checksum * 31 + out[i];
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  std::vector<std::string> cases(argv + std::min(argc, 2), argv + argc);
  std::string picture_file;
  if (!cases.empty() && cases.back().find('.') != std::string::npos) {
    picture_file = cases.back();
    cases.pop_back();
  }
  auto wanted = [&](const char* name) {
    return cases.empty() || std::find(cases.begin(), cases.end(), name) != cases.end();
  };
  try {
    if (!picture_file.empty()) RegisterStartupFormats();
    const Picture photo = picture_file.empty() ? MakePhoto(kWidth, kHeight) : LoadPictureFile(picture_file);
    const double megabytes = double(photo.Width()) * photo.Height() * 3 / 1e6;

    if (wanted("lzw")) {
      const Strips lzw = EncodeStrips(
          photo, [](const std::vector<std::uint8_t>& data) { return test::TiffLzwEncode(data); });
      std::uint64_t fast_sum = 0, chain_sum = 0;
      TTIFFLZWDecoder fast;
      TTIFFLZWChainDecoder chain;
      Report("TIFF LZW strips, string copies", DecodeStrips(fast, lzw, repetitions, fast_sum), megabytes);
      Report("TIFF LZW strips, prefix chains", DecodeStrips(chain, lzw, repetitions, chain_sum), megabytes);
      if (fast_sum != chain_sum) std::printf("  the two LZW decoders disagree!\n");
    }
    if (wanted("packbits")) {
      const Strips packbits = EncodeStrips(photo, &PackBitsEncode);
      std::uint64_t sum = 0;
      TPackbitsRLEDecoder decoder;
      Report("PackBits strips", DecodeStrips(decoder, packbits, repetitions, sum), megabytes);
    }
    if (wanted("png")) {
      std::size_t fast_size = 0, plain_size = 0;
      Report("PNG, row bands on all cores",
             Seconds(repetitions,
                     [&] {
                       TMemoryStream stream;
                       WritePng(photo, stream);
                       fast_size = stream.Data().size();
                     }),
             megabytes);
      Report("PNG, one libpng stream",
             Seconds(repetitions,
                     [&] {
                       TMemoryStream stream;
                       png::WritePngWithLibpng(photo, stream);
                       plain_size = stream.Data().size();
                     }),
             megabytes);
      std::printf("  PNG sizes: %zu bytes in bands, %zu in one stream\n", fast_size, plain_size);
    }
    if (wanted("gif")) {
      TGIFColorMap palette;
      Report("GIF octree quantisation",
             Seconds(repetitions, [&] { palette = OptimizedPaletteWithSystemColors(photo); }), megabytes);
      Report("GIF nearest-colour mapping, all cores",
             Seconds(repetitions, [&] { ReduceColors(photo, palette); }), megabytes);
      Report("GIF nearest-colour mapping, one thread",
             Seconds(repetitions, [&] { ReduceColors(photo, palette, 1); }), megabytes);
      Report("GIF whole frame", Seconds(repetitions, [&] { MakeGifFrame(photo); }), megabytes);
      Report("GIF written (rows coded while mapped)",
             Seconds(repetitions,
                     [&] {
                       TMemoryStream stream;
                       WriteGif(photo, stream);
                     }),
             megabytes);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
