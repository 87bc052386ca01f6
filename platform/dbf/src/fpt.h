// Internal: a FoxPro memo file (.FPT) as the table object uses it.
//
// Layout: a 512-byte header with the next free block (u32 BE) at 0 and the block size (u32 BE) at
// 4, which some writers leave in the u16 BE at 6 only. A memo is a block-aligned record of type
// (u32 BE, 1 = text), length (u32 BE) and the bytes. New memos always go to the next free block and
// blocks are never reused, which keeps us safe beside engines that do reuse them: a block another
// engine considers free is never one we write into while it may still read it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "dbf/filesystem.h"
#include "dbf/status.h"

namespace zentor::dbf::fpt {

constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kDefaultBlockSize = 64;
constexpr uint32_t kMemoText = 1;

class MemoFile {
 public:
  // Fails with Corruption when the header names no usable block size.
  static Result<std::unique_ptr<MemoFile>> open(FileSystem& fs, const std::string& path, bool readOnly);
  // Writes an empty memo file (header only), replacing any file of that name.
  static Status create(FileSystem& fs, const std::string& path, uint32_t blockSize = kDefaultBlockSize);

  const std::string& path() const { return file_->path(); }
  uint32_t blockSize() const { return blockSize_; }
  File& file() { return *file_; }
  // First block behind the header.
  uint32_t firstBlock() const { return (kHeaderSize + blockSize_ - 1) / blockSize_; }

  // Reads the memo at `block` into *text. A block inside the header or past the end of the file,
  // or a length that runs past the end, gives Corruption (never a read of that length).
  Status read(uint32_t block, std::string* text, uint32_t* type = nullptr);
  // Number of blocks the memo at `block` occupies, with the same checks as read.
  Status extent(uint32_t block, uint32_t* blocks);
  // Appends `text` as a new memo at the next free block under the memo-file lock and advances the
  // header; *block receives its number. On failure the header still points where it did.
  Status write(std::string_view text, uint32_t* block);
  // The header's next free block.
  Status nextFree(uint32_t* out);
  // Rewrites the header with `next` as the next free block (compaction).
  Status setNextFree(uint32_t next);

 private:
  MemoFile(std::unique_ptr<File> f, uint32_t bs) : file_(std::move(f)), blockSize_(bs) {}
  Status header(uint32_t block, uint32_t* type, uint32_t* len);

  std::unique_ptr<File> file_;
  uint32_t blockSize_;
};

}  // namespace zentor::dbf::fpt
