#include "import/png/inflate.h"

#include <algorithm>
#include <array>

#include "imaging/errors.h"
#include "import/framework/messages.h"

namespace qel {

namespace {

// zlib's results that the reader tells apart.
constexpr int kInflateOk = 0;
constexpr int kInflateStreamEnd = 1;
// Partial flush: inflate gives out what it can with the output space it has.
constexpr int kPartialFlush = 1;
// The largest piece of chunk data handed to inflate at once.
constexpr std::size_t kPieceSize = 64 * 1024;

[[noreturn]] void Fail(const char* pattern) {
  throw EInvalidGraphic(FormatMessage(pattern, {"PNG"}));
}

}  // namespace

PngDataInflater::PngDataInflater(PngChunkReader& chunks)
    : chunks_(chunks),
      decoder_(kPartialFlush, false),
      piece_(std::min<std::size_t>(kPieceSize, chunks.Left())) {
  decoder_.DecodeInit();
}

PngDataInflater::~PngDataInflater() {
  try {
    decoder_.DecodeEnd();
  } catch (const Error&) {
    // The stream is released either way; nothing is lost by ignoring its answer.
  }
}

bool PngDataInflater::NextInput() {
  while (!chunks_ended_) {
    if (chunks_.Left() > 0) {
      if (piece_.size() < std::min<std::size_t>(kPieceSize, chunks_.Left())) {
        piece_.resize(std::min<std::size_t>(kPieceSize, chunks_.Left()));
      }
      available_ = chunks_.ReadSome(piece_);
      next_ = piece_.data();
      return true;
    }
    chunks_.SkipChecked();  // the CRC of a chunk whose data is all read (or empty)
    if (chunks_.Cut() || !chunks_.TryReadHeader()) {
      chunks_ended_ = data_cut_ = true;  // the file ends here
      return false;
    }
    chunks_ended_ = !chunks_.Type().Is("IDAT");
  }
  return false;
}

std::size_t PngDataInflater::InflateSome(std::uint8_t* out, std::size_t size) {
  const std::uint8_t* source = next_;
  std::uint8_t* dest = out;
  decoder_.Decode(source, dest, available_, size);
  next_ = source;
  available_ = decoder_.AvailableInput();
  const int result = decoder_.Result();
  if (result == kInflateStreamEnd) {
    stream_ended_ = true;
  } else if (result != kInflateOk) {
    Fail(msg::kImageCompression);
  }
  return std::size_t(dest - out);
}

bool PngDataInflater::Inflate(std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    if (stream_ended_) Fail(msg::kExtraCompressedData);
    if (available_ == 0 && !NextInput()) return false;
    done += InflateSome(out.data() + done, out.size() - done);
    if (stream_ended_ && (done < out.size() || InputLeft())) Fail(msg::kExtraCompressedData);
  }
  return true;
}

void PngDataInflater::Finish() {
  // A stream that has not ended yet may still hold its end (and checksum), but no
  // more bytes of image.
  std::array<std::uint8_t, 64> scratch;
  while (!stream_ended_) {
    if (available_ == 0 && !NextInput()) break;  // the stream's end is missing: tolerated
    if (InflateSome(scratch.data(), scratch.size()) > 0) Fail(msg::kExtraCompressedData);
    if (stream_ended_ && InputLeft()) Fail(msg::kExtraCompressedData);
  }
  // Any further IDAT chunks are skipped, their CRCs checked.
  while (!chunks_ended_) {
    chunks_.SkipChecked();
    chunks_.ReadHeader();
    chunks_ended_ = !chunks_.Type().Is("IDAT");
  }
}

}  // namespace qel
