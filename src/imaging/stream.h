// Byte streams. Every reader takes its bytes through a TStream: reads are bounded
// by the stream's size, so a short or lying file can only end in EReadError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qel {

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to count bytes and returns how many were read (fewer only at the end).
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Writes all bytes or throws EWriteError. Read-only streams always throw.
  virtual void Write(const void* buffer, std::size_t count);
  virtual std::uint64_t Position() const = 0;
  // Moves to an absolute position; a position past the end is allowed and reads nothing.
  virtual void SetPosition(std::uint64_t position) = 0;
  virtual std::uint64_t Size() const = 0;

  std::uint64_t Remaining() const;
  // Moves by a signed offset from the current position (clamped at 0).
  void Skip(std::int64_t offset);

  // Full reads: fewer bytes than asked raise EReadError.
  void ReadBuffer(void* buffer, std::size_t count);
  std::uint8_t ReadByte();
  std::uint16_t ReadU16LE();
  std::uint16_t ReadU16BE();
  std::uint32_t ReadU32LE();
  std::uint32_t ReadU32BE();
  // Reads count bytes into a new vector; refuses (EReadError) before allocating when
  // fewer than count bytes remain, so a lying length never allocates.
  std::vector<std::uint8_t> ReadBytes(std::size_t count);
  // Reads everything from the position to the end.
  std::vector<std::uint8_t> ReadToEnd();

  void WriteByte(std::uint8_t v) { Write(&v, 1); }
  void WriteU16LE(std::uint16_t v);
  void WriteU32LE(std::uint32_t v);
  void WriteU16BE(std::uint16_t v);
  void WriteU32BE(std::uint32_t v);
};

// Reads out.size() bytes from the stream's position and moves back to it: how readers
// look at a header before deciding. False when fewer bytes are there.
bool PeekBytes(TStream& stream, std::span<std::uint8_t> out);

// A stream over bytes in memory: either a read-only view of someone else's bytes
// or a growable buffer of its own that can be written.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::span<const std::uint8_t> view) : view_(view) {}
  explicit TMemoryStream(std::vector<std::uint8_t> owned);

  std::size_t Read(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  std::uint64_t Position() const override { return position_; }
  void SetPosition(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return view_.size(); }

  std::span<const std::uint8_t> Data() const { return view_; }
  // The bytes written so far (only for a stream that owns its buffer).
  std::vector<std::uint8_t> TakeBytes();

 private:
  std::vector<std::uint8_t> owned_;
  std::span<const std::uint8_t> view_;
  std::uint64_t position_ = 0;
  bool writable_ = true;
};

// A file opened for reading or created for writing, with a buffer of its own.
class TFileStream : public TStream {
 public:
  enum class Mode { kRead, kCreate };
  // kRead fails with EFOpenError "Cannot open file "%s". %s"; kCreate fails with
  // EFCreateError "Cannot create file "%s". %s" (the path, then the system's reason).
  TFileStream(const std::string& path, Mode mode);
  // Writes (kCreate) into the open file that fd names, through a descriptor of its own;
  // the caller keeps fd. Fails with EWriteError when fd cannot be taken over.
  explicit TFileStream(int fd);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  std::uint64_t Position() const override { return position_; }
  void SetPosition(std::uint64_t position) override;
  std::uint64_t Size() const override;

  // Writes out the buffered bytes; throws EWriteError (a full disk, say).
  void Commit();
  const std::string& Path() const { return path_; }

 private:
  void FlushWrites();
  // Writes all count bytes at the offset; EWriteError otherwise.
  void WriteAt(const std::uint8_t* data, std::size_t count, std::uint64_t offset);

  std::string path_;
  int fd_ = -1;
  Mode mode_;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
  // Read buffer: bytes [buffer_start_, buffer_start_ + buffer_fill_) of the file.
  std::vector<std::uint8_t> buffer_;
  std::uint64_t buffer_start_ = 0;
  std::size_t buffer_fill_ = 0;
  // Write buffer: pending bytes that belong at write_start_.
  std::vector<std::uint8_t> pending_;
  std::uint64_t write_start_ = 0;
};

}  // namespace qel
