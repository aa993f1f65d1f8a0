// The storage engine's window on the operating system: a file of bytes behind an interface,
// so tests and fuzzers can put a memory file or a failing file in its place.
// Implementations raise jet::Error (ErrorKind::Io, or InUse for a held lock) on failure.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace jet {

enum class FlushLock { Shared, Exclusive };

struct FileStamp {
  uint64_t size = 0;
  int64_t modifiedNs = 0;
  int64_t changedNs = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

class File {
 public:
  virtual ~File() = default;
  // Current length in bytes.
  virtual uint64_t size() const = 0;
  // Reads exactly len bytes at offset; a read past the end is an Io error naming the offset.
  virtual void readAt(uint64_t offset, void* buffer, size_t len) const = 0;
  // Writes len bytes at offset, growing the file when offset + len passes its end.
  virtual void writeAt(uint64_t offset, const void* data, size_t len) = 0;
  // Makes written bytes durable.
  virtual void sync() = 0;
  // Cuts or grows the file to exactly len bytes.
  virtual void truncate(uint64_t len) = 0;
  virtual bool writable() const = 0;
  // For messages: the path, or a description of a memory file.
  virtual const std::string& name() const = 0;

  // The flush lock keeps readers out of a flush in progress: a writer holds it Exclusive
  // while it writes pages, a reader Shared while it reads them. It is taken per open of the
  // file, so two opens in one process exclude each other as two programs do. Waits up to
  // waitMs, then raises ErrorKind::InUse. Memory files have nothing to lock.
  virtual void lockFlush(FlushLock kind, int waitMs) { (void)kind, (void)waitMs; }
  virtual void unlockFlush() {}
  // Changes whenever the file's bytes are written by anyone (length, modification and
  // change times); equal stamps mean the file is as it was.
  virtual FileStamp stamp() const { return {}; }
};

enum class FileAccess { ReadOnly, ReadWrite, Create };

// Opens a file on disk.
//  ReadOnly:  opened O_RDONLY, no lock taken; the file's bytes and times never change.
//  ReadWrite: opened O_RDWR and locked with flock(LOCK_EX | LOCK_NB) while open; a lock held
//             elsewhere gives ErrorKind::InUse "file is in use".
//  Create:    like ReadWrite, but the file must not exist yet (O_CREAT | O_EXCL).
std::unique_ptr<File> openFile(const std::string& path, FileAccess access);

// Test seam: when set, every file openFile opens for writing (databases and journals) is
// handed to it and what it returns is used instead, so fault tests can fail the k-th write
// of a whole run. Unset (the default) in the programs.
using WritableFileWrapper = std::function<std::unique_ptr<File>(std::unique_ptr<File>)>;
void setWritableFileWrapper(WritableFileWrapper wrapper);

// A file held in memory (tests, fuzzing). Reads of a read-only memory file never change it.
class MemoryFile : public File {
 public:
  explicit MemoryFile(std::vector<uint8_t> bytes, bool writable = true, std::string name = "<memory>");
  uint64_t size() const override { return bytes_.size(); }
  void readAt(uint64_t offset, void* buffer, size_t len) const override;
  void writeAt(uint64_t offset, const void* data, size_t len) override;
  void sync() override {}
  void truncate(uint64_t len) override;
  bool writable() const override { return writable_; }
  const std::string& name() const override { return name_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  bool writable_;
  std::string name_;
};

}  // namespace jet
