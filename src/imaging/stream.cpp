#include "imaging/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "imaging/errors.h"

namespace qel {

namespace {

constexpr std::size_t kFileBufferSize = 1 << 16;

std::string SystemReason(int error) {
  return std::strerror(error);
}

}  // namespace

void TStream::Write(const void*, std::size_t) {
  throw EWriteError();
}

std::uint64_t TStream::Remaining() const {
  std::uint64_t size = Size(), pos = Position();
  return pos < size ? size - pos : 0;
}

void TStream::Skip(std::int64_t offset) {
  std::int64_t target = std::int64_t(Position()) + offset;
  SetPosition(target < 0 ? 0 : std::uint64_t(target));
}

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  if (count == 0) return;
  if (Read(buffer, count) != count) throw EReadError();
}

std::uint8_t TStream::ReadByte() {
  std::uint8_t b;
  ReadBuffer(&b, 1);
  return b;
}

std::uint16_t TStream::ReadU16LE() {
  std::uint8_t b[2];
  ReadBuffer(b, 2);
  return std::uint16_t(b[0] | (b[1] << 8));
}

std::uint16_t TStream::ReadU16BE() {
  std::uint8_t b[2];
  ReadBuffer(b, 2);
  return std::uint16_t((b[0] << 8) | b[1]);
}

std::uint32_t TStream::ReadU32LE() {
  std::uint8_t b[4];
  ReadBuffer(b, 4);
  return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
         (std::uint32_t(b[3]) << 24);
}

std::uint32_t TStream::ReadU32BE() {
  std::uint8_t b[4];
  ReadBuffer(b, 4);
  return (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) |
         std::uint32_t(b[3]);
}

std::vector<std::uint8_t> TStream::ReadBytes(std::size_t count) {
  if (count > Remaining()) throw EReadError();
  std::vector<std::uint8_t> bytes(count);
  ReadBuffer(bytes.data(), count);
  return bytes;
}

std::vector<std::uint8_t> TStream::ReadToEnd() {
  return ReadBytes(std::size_t(Remaining()));
}

void TStream::WriteU16LE(std::uint16_t v) {
  const std::uint8_t b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
  Write(b, 2);
}

void TStream::WriteU32LE(std::uint32_t v) {
  const std::uint8_t b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16),
                             std::uint8_t(v >> 24)};
  Write(b, 4);
}

void TStream::WriteU16BE(std::uint16_t v) {
  const std::uint8_t b[2] = {std::uint8_t(v >> 8), std::uint8_t(v)};
  Write(b, 2);
}

void TStream::WriteU32BE(std::uint32_t v) {
  const std::uint8_t b[4] = {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                             std::uint8_t(v)};
  Write(b, 4);
}

bool PeekBytes(TStream& stream, std::span<std::uint8_t> out) {
  const std::uint64_t start = stream.Position();
  const std::size_t got = stream.Read(out.data(), out.size());
  stream.SetPosition(start);
  return got == out.size();
}

// --- TMemoryStream ---

TMemoryStream::TMemoryStream(std::vector<std::uint8_t> owned) : owned_(std::move(owned)), view_(owned_) {}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= view_.size()) return 0;
  std::size_t n = std::min<std::uint64_t>(count, view_.size() - position_);
  std::memcpy(buffer, view_.data() + position_, n);
  position_ += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return;
  // A view of foreign bytes is read-only; writing makes the stream take its own copy.
  if (view_.data() != owned_.data() || view_.size() != owned_.size()) {
    if (!view_.empty()) throw EWriteError();
  }
  std::uint64_t end = position_ + count;
  if (end > owned_.size()) owned_.resize(end);
  std::memcpy(owned_.data() + position_, buffer, count);
  position_ = end;
  view_ = owned_;
}

std::vector<std::uint8_t> TMemoryStream::TakeBytes() {
  std::vector<std::uint8_t> out = std::move(owned_);
  owned_.clear();
  view_ = {};
  position_ = 0;
  return out;
}

// --- TFileStream ---

TFileStream::TFileStream(const std::string& path, Mode mode) : path_(path), mode_(mode) {
  if (mode == Mode::kRead) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd_);
      fd_ = -1;
      errno = EISDIR;
    }
    if (fd_ < 0) throw EFOpenError(FormatMessage("Cannot open file \"%s\". %s", {path, SystemReason(errno)}));
    size_ = std::uint64_t(st.st_size);
  } else {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0)
      throw EFCreateError(FormatMessage("Cannot create file \"%s\". %s", {path, SystemReason(errno)}));
  }
}

TFileStream::TFileStream(int fd) : mode_(Mode::kCreate) {
  fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (fd_ < 0) ThrowWriteError(errno);
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) {
    try {
      FlushWrites();
    } catch (...) {
      // A destructor cannot report; callers that care call Commit() first.
    }
    ::close(fd_);
  }
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  if (mode_ != Mode::kRead || position_ >= size_) return 0;
  count = std::size_t(std::min<std::uint64_t>(count, size_ - position_));
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    // Serve from the buffer when the position lies inside it.
    if (position_ >= buffer_start_ && position_ < buffer_start_ + buffer_fill_) {
      std::size_t offset = std::size_t(position_ - buffer_start_);
      std::size_t n = std::min(count - done, buffer_fill_ - offset);
      std::memcpy(out + done, buffer_.data() + offset, n);
      done += n;
      position_ += n;
      continue;
    }
    std::size_t want = count - done;
    if (want >= kFileBufferSize) {
      // Large reads go straight into the caller's memory.
      ssize_t got = ::pread(fd_, out + done, want, off_t(position_));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += std::size_t(got);
      position_ += std::uint64_t(got);
      continue;
    }
    buffer_.resize(kFileBufferSize);
    ssize_t got = ::pread(fd_, buffer_.data(), kFileBufferSize, off_t(position_));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    buffer_start_ = position_;
    buffer_fill_ = std::size_t(got);
  }
  return done;
}

void TFileStream::WriteAt(const std::uint8_t* data, std::size_t count, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::pwrite(fd_, data + done, count - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ThrowWriteError(n < 0 ? errno : ENOSPC);
    done += std::size_t(n);
  }
}

void TFileStream::FlushWrites() {
  if (pending_.empty()) return;
  try {
    WriteAt(pending_.data(), pending_.size(), write_start_);
  } catch (...) {
    pending_.clear();
    throw;
  }
  pending_.clear();
}

void TFileStream::Write(const void* buffer, std::size_t count) {
  if (mode_ != Mode::kCreate) throw EWriteError();
  if (count == 0) return;
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  if (count >= kFileBufferSize) {
    // Large writes go straight from the caller's memory, after what is pending.
    FlushWrites();
    WriteAt(in, count, position_);
  } else {
    if (pending_.empty()) write_start_ = position_;
    pending_.insert(pending_.end(), in, in + count);
  }
  position_ += count;
  size_ = std::max(size_, position_);
  if (pending_.size() >= kFileBufferSize) FlushWrites();
}

void TFileStream::SetPosition(std::uint64_t position) {
  if (mode_ == Mode::kCreate && position != position_) FlushWrites();
  position_ = position;
}

std::uint64_t TFileStream::Size() const {
  return size_;
}

void TFileStream::Commit() {
  FlushWrites();
}

}  // namespace qel
