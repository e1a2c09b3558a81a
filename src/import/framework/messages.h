// The import library's message texts. Placeholders are "%s"; the first is the short
// name of the format ("PCX", "TIF/TIFF", ...).
#pragma once

namespace qel::msg {

inline constexpr const char* kInvalidImage = "Cannot load image. Invalid or unexpected %s image format.";
inline constexpr const char* kInvalidColorFormat = "Invalid color format in %s file.";
inline constexpr const char* kStreamReadError = "Stream read error in %s file.";
inline constexpr const char* kUnsupportedFeature = "Cannot load image. %s not supported for %s files.";
inline constexpr const char* kImageCRCError = "Cannot load image. CRC error found in %s file.";
inline constexpr const char* kImageCompression = "Cannot load image. Compression error found in %s file.";
inline constexpr const char* kExtraCompressedData =
    "Cannot load image. Extra compressed data found in %s file.";
inline constexpr const char* kInvalidPalette = "Cannot load image. Palette in %s file is invalid.";
inline constexpr const char* kUnknownCriticalChunk =
    "Cannot load PNG image. Unexpected but critical chunk detected.";
inline constexpr const char* kDuplicateRegistration = "Attempt to register %s twice.";
inline constexpr const char* kLibraryMissing =
    "Cannot load image. The %s decoding library (%s) cannot be loaded.";
inline constexpr const char* kCompressionScheme = "The compression scheme is";
// A warning, not an error: the picture is shown as far as the data goes.
inline constexpr const char* kImageCutShort =
    "The %s file ends before its picture does; the rest is left white.";

inline constexpr const char* kLZ77DecompressionError = "LZ77 decompression error.";
inline constexpr const char* kJPEGEndOfInput = "JPEG decompression error. Unexpected end of input.";
inline constexpr const char* kJPEGStripSize = "Improper JPEG strip/tile size.";
inline constexpr const char* kJPEGComponentCount = "Improper JPEG component count.";
inline constexpr const char* kJPEGDataPrecision = "Improper JPEG data precision.";
inline constexpr const char* kJPEGSamplingFactors = "Improper JPEG sampling factors.";
inline constexpr const char* kJPEGBogusTables = "Bogus JPEG tables field.";
inline constexpr const char* kJPEGFractionalLine = "Fractional JPEG scanline unsupported.";
inline constexpr const char* kWarning = "Warning";

inline constexpr const char* kIndexedNotSupported =
    "Conversion between indexed and non-indexed pixel formats is not supported.";
inline constexpr const char* kConversionImpossible =
    "Color conversion failed. Could not find a proper method.";
inline constexpr const char* kInvalidColorDepth =
    "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
inline constexpr const char* kInvalidSampleCount =
    "Sample count per pixel does not correspond to the given color scheme.";
inline constexpr const char* kInvalidSubsampling = "Subsampling value is invalid. Allowed are 1, 2 and 4.";
inline constexpr const char* kVerticalSubsampling =
    "Vertical subsampling value must be <= horizontal subsampling value.";

inline constexpr const char* kPreparing = "Preparing...";
inline constexpr const char* kLoadingData = "Loading data...";
inline constexpr const char* kUpsampling = "Upsampling...";
inline constexpr const char* kTransfering = "Transfering...";

}  // namespace qel::msg
