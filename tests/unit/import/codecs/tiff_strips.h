// Test helper: the strips of the first image of a TIFF file, and peer-made files
// (libtiff's tiffcp) to take them from.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qel::test {

struct TiffStrips {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t rows_per_strip = 0;
  std::uint32_t bits_per_sample = 1;
  std::uint32_t samples_per_pixel = 1;
  std::uint32_t compression = 1;
  std::uint32_t photometric = 0;
  std::uint32_t planar_config = 1;
  std::uint32_t fill_order = 1;
  std::uint32_t t4_options = 0;
  std::uint32_t predictor = 1;
  std::vector<std::uint32_t> subsampling;
  std::vector<std::uint8_t> jpeg_tables;
  std::vector<std::vector<std::uint8_t>> strips;

  std::size_t BytesPerRow() const {
    return (std::size_t{width} * bits_per_sample * samples_per_pixel + 7) / 8;
  }
  // Rows held by strip i.
  std::uint32_t RowsInStrip(std::size_t i) const;
};

// Parses the first directory of a little- or big-endian TIFF file; nullopt when the file
// is not one or its strips lie outside it.
std::optional<TiffStrips> ReadTiffStrips(const std::filesystem::path& file);

// Undoes horizontal differencing (predictor 2) of 8-bit samples in place, row by row.
void UndoHorizontalDifferencing(std::vector<std::uint8_t>& strip, const TiffStrips& image);

// Runs "tiffcp <options> input output"; returns false when tiffcp fails.
bool Tiffcp(const std::string& options, const std::filesystem::path& input,
            const std::filesystem::path& output);

}  // namespace qel::test
