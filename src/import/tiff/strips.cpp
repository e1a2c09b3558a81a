#include "import/tiff/strips.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/errors.h"
#include "imaging/stream.h"
#include "import/codecs/ccitt_fax3_decoder.h"
#include "import/codecs/ccitt_fax4_decoder.h"
#include "import/codecs/ccitt_mh_decoder.h"
#include "import/codecs/lz77_decoder.h"
#include "import/codecs/packbits_decoder.h"
#include "import/codecs/thunder_decoder.h"
#include "import/codecs/tiff_jpeg_decoder.h"
#include "import/codecs/tiff_lzw_decoder.h"
#include "import/framework/messages.h"

namespace qel::tiff {

namespace {

constexpr const char* kFormatName = "TIF/TIFF";
// Z_PARTIAL_FLUSH: each strip is one zlib stream, inflated in one call.
constexpr int kInflateFlushMode = 1;

// Deflate strips whose data is damaged: inflate's verdict becomes an error instead of a
// strip that silently stops half way.
class TCheckedInflate : public TDecoder {
 public:
  TCheckedInflate() : inflate_(kInflateFlushMode, true) {}

  void DecodeInit() override { inflate_.DecodeInit(); }
  void DecodeEnd() override { inflate_.DecodeEnd(); }
  void Decode(const std::uint8_t*& source, std::uint8_t*& dest, std::size_t packed_size,
              std::size_t unpacked_size) override {
    const std::uint8_t* in = source;
    std::uint8_t* out = dest;
    inflate_.Decode(in, out, packed_size, unpacked_size);
    const int result = inflate_.Result();
    if (result == Z_DATA_ERROR || result == Z_NEED_DICT || result == Z_STREAM_ERROR || result == Z_MEM_ERROR)
      throw EGraphicCompression(FormatMessage(msg::kImageCompression, {kFormatName}));
  }

 private:
  TLZ77Decoder inflate_;
};

constexpr std::array<std::uint8_t, 256> MakeReversedBits() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = 0;
    for (unsigned b = 0; b < 8; ++b)
      if (i & (1u << b)) r |= 0x80u >> b;
    table[i] = std::uint8_t(r);
  }
  return table;
}

[[noreturn]] void StripReadError() {
  throw EReadError(FormatMessage(msg::kStreamReadError, {kFormatName}));
}

}  // namespace

CompressionType CompressionFromTag(std::uint32_t value) {
  switch (value) {
    case 1:
      return CompressionType::cmpNone;
    case 2:
      return CompressionType::cmpCCITTHuffman;
    case 3:
      return CompressionType::cmpCCITTFax3;
    case 4:
      return CompressionType::cmpCCITTFax4;
    case 5:
      return CompressionType::cmpLZW;
    case 6:
      return CompressionType::cmpOldJPEG;
    case 7:
      return CompressionType::cmpJPEG;
    case 8:
      return CompressionType::cmpLZ77;
    case 32766:
      return CompressionType::cmpNeXT;
    case 32771:
      return CompressionType::cmpCCITTHuffmanW;
    case 32773:
      return CompressionType::cmpPackBits;
    case 32809:
      return CompressionType::cmpThunderscan;
    case 32895:
      return CompressionType::cmpIT8CTPad;
    case 32896:
      return CompressionType::cmpIT8LW;
    case 32897:
      return CompressionType::cmpIT8MP;
    case 32898:
      return CompressionType::cmpIT8BL;
    case 32908:
      return CompressionType::cmpPixarFilm;
    case 32909:
      return CompressionType::cmpPixarLog;
    case 32946:
      return CompressionType::cmpLZ77;
    case 32947:
      return CompressionType::cmpKodakDCS;
    case 34661:
      return CompressionType::cmpJBIG;
    default:
      return CompressionType::cmpUnknown;
  }
}

bool ReversesStripBits(CompressionType compression) {
  switch (compression) {
    case CompressionType::cmpJPEG:
    case CompressionType::cmpCCITTHuffman:
    case CompressionType::cmpCCITTHuffmanW:
    case CompressionType::cmpCCITTFax3:
    case CompressionType::cmpCCITTFax4:
      return false;
    default:
      return true;
  }
}

std::unique_ptr<TDecoder> MakeStripDecoder(const TImageProperties& properties, std::uint32_t row_pixels,
                                           std::uint32_t t4_options, WarningHandler warning) {
  const bool reverse = (properties.Flags & ImageFlags::kReversedBits) != 0;
  switch (properties.Compression) {
    case CompressionType::cmpNone:
      return nullptr;
    case CompressionType::cmpPackBits:
      return std::make_unique<TPackbitsRLEDecoder>();
    case CompressionType::cmpLZW:
      return std::make_unique<TTIFFLZWDecoder>();
    case CompressionType::cmpCCITTFax3:
      return std::make_unique<TCCITTFax3Decoder>(t4_options, reverse, false, row_pixels);
    case CompressionType::cmpCCITTFax4:
      return std::make_unique<TCCITTFax4Decoder>(0, reverse, false, row_pixels);
    case CompressionType::cmpCCITTHuffman:
      return std::make_unique<TCCITTMHDecoder>(0, reverse, false, row_pixels);
    case CompressionType::cmpCCITTHuffmanW:
      return std::make_unique<TCCITTMHDecoder>(0, reverse, true, row_pixels);
    case CompressionType::cmpLZ77:
      return std::make_unique<TCheckedInflate>();
    case CompressionType::cmpJPEG:
      return std::make_unique<TTIFFJPEGDecoder>(properties, std::move(warning));
    case CompressionType::cmpThunderscan:
      return std::make_unique<TThunderDecoder>(row_pixels);
    default:
      throw EInvalidGraphic(FormatMessage(msg::kUnsupportedFeature, {msg::kCompressionScheme, kFormatName}));
  }
}

void ReverseBits(std::uint8_t* bytes, std::size_t count) {
  static constexpr std::array<std::uint8_t, 256> kReversed = MakeReversedBits();
  for (std::size_t i = 0; i < count; ++i) bytes[i] = kReversed[bytes[i]];
}

TStripReader::TStripReader(TStream& stream, std::uint64_t base, StripTable table, TDecoder* decoder,
                           bool reverse_bits)
    : stream_(stream),
      base_(base),
      table_(std::move(table)),
      decoder_(decoder),
      reverse_bits_(reverse_bits) {}

void TStripReader::Read(std::size_t index, std::size_t unpacked_size, std::vector<std::uint8_t>& out) {
  const bool stored = decoder_ == nullptr && index < table_.offsets.size();
  if (stored) {
    out.resize(unpacked_size);  // every byte is read below
  } else {
    out.assign(unpacked_size, 0);
  }
  if (index >= table_.offsets.size() || unpacked_size == 0) return;

  const std::uint64_t size = stream_.Size();
  const std::uint64_t start = base_ + table_.offsets[index];
  if (start > size) StripReadError();
  const std::uint64_t available = size - start;

  stream_.SetPosition(start);
  if (stored) {
    if (unpacked_size > available) StripReadError();
    stream_.ReadBuffer(out.data(), unpacked_size);
    if (reverse_bits_) ReverseBits(out.data(), out.size());
    return;
  }

  std::uint64_t packed = available;
  if (index < table_.byte_counts.size()) {
    packed = table_.byte_counts[index];
    if (packed > available) StripReadError();
  }
  packed_.resize(static_cast<std::size_t>(packed));
  stream_.ReadBuffer(packed_.data(), packed_.size());
  if (reverse_bits_) ReverseBits(packed_.data(), packed_.size());
  const std::uint8_t* source = packed_.data();
  std::uint8_t* dest = out.data();
  decoder_->Decode(source, dest, packed_.size(), out.size());
}

}  // namespace qel::tiff
