// POSIX files (with the writer's advisory lock) and memory files.
#include "jet/io/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "jet/error.h"

namespace jet {
namespace {

// The byte that carries the flush lock lies far past any database's end, so it never covers
// data another tool might lock.
constexpr off_t kFlushLockByte = off_t{1} << 62;

std::string sysError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

class PosixFile : public File {
 public:
  PosixFile(int fd, std::string path, bool writable) : fd_(fd), path_(std::move(path)), writable_(writable) {}
  ~PosixFile() override {
    // Closing the descriptor also releases the flock.
    ::close(fd_);
  }

  uint64_t size() const override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw Error(ErrorKind::Io, sysError("cannot stat", path_));
    return static_cast<uint64_t>(st.st_size);
  }

  void readAt(uint64_t offset, void* buffer, size_t len) const override {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < len) {
      ssize_t n = ::pread(fd_, out + done, len - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        throw Error(ErrorKind::Io, sysError("cannot read", path_));
      }
      if (n == 0) {
        throw Error(ErrorKind::Io, "cannot read " + path_ + ": file ends at byte " +
                                       std::to_string(offset + done) + ", " + std::to_string(len - done) +
                                       " bytes short");
      }
      done += static_cast<size_t>(n);
    }
  }

  void writeAt(uint64_t offset, const void* data, size_t len) override {
    if (!writable_) throw Error(ErrorKind::ReadOnly, path_ + " is open for reading only");
    const auto* in = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < len) {
      ssize_t n = ::pwrite(fd_, in + done, len - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        throw Error(ErrorKind::Io, sysError("cannot write", path_));
      }
      done += static_cast<size_t>(n);
    }
  }

  void sync() override {
    if (writable_ && ::fsync(fd_) != 0) throw Error(ErrorKind::Io, sysError("cannot sync", path_));
  }

  void truncate(uint64_t len) override {
    if (!writable_) throw Error(ErrorKind::ReadOnly, path_ + " is open for reading only");
    if (::ftruncate(fd_, static_cast<off_t>(len)) != 0) throw Error(ErrorKind::Io, sysError("cannot resize", path_));
  }

  bool writable() const override { return writable_; }
  const std::string& name() const override { return path_; }

  void lockFlush(FlushLock kind, int waitMs) override {
    struct flock lock {};
    lock.l_type = kind == FlushLock::Exclusive ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kFlushLockByte;
    lock.l_len = 1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs < 0 ? 0 : waitMs);
    auto pause = std::chrono::microseconds(200);
    while (::fcntl(fd_, F_OFD_SETLK, &lock) != 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EACCES) throw Error(ErrorKind::Io, sysError("cannot lock", path_));
      if (std::chrono::steady_clock::now() >= deadline) {
        throw Error(ErrorKind::InUse, path_ + ": file is in use: another program is " +
                                          (kind == FlushLock::Exclusive ? "reading" : "writing") +
                                          " it and did not finish within " + std::to_string(waitMs) + " ms");
      }
      std::this_thread::sleep_for(pause);
      if (pause < std::chrono::milliseconds(20)) pause *= 2;
    }
  }

  void unlockFlush() override {
    struct flock lock {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kFlushLockByte;
    lock.l_len = 1;
    while (::fcntl(fd_, F_OFD_SETLK, &lock) != 0 && errno == EINTR) {
    }
  }

  FileStamp stamp() const override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw Error(ErrorKind::Io, sysError("cannot stat", path_));
    return FileStamp{static_cast<uint64_t>(st.st_size), st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
                     st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec};
  }

 private:
  int fd_;
  std::string path_;
  bool writable_;
};

}  // namespace

namespace {
WritableFileWrapper& writableFileWrapper() {
  static WritableFileWrapper wrapper;
  return wrapper;
}
}  // namespace

void setWritableFileWrapper(WritableFileWrapper wrapper) { writableFileWrapper() = std::move(wrapper); }

std::unique_ptr<File> openFile(const std::string& path, FileAccess access) {
  int flags = O_CLOEXEC;
  switch (access) {
    case FileAccess::ReadOnly: flags |= O_RDONLY; break;
    case FileAccess::ReadWrite: flags |= O_RDWR; break;
    case FileAccess::Create: flags |= O_RDWR | O_CREAT | O_EXCL; break;
  }
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) {
    if (errno == EEXIST) throw Error(ErrorKind::Io, "cannot create " + path + ": the file already exists");
    throw Error(ErrorKind::Io, sysError("cannot open", path));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw Error(ErrorKind::Io, "cannot open " + path + ": not a regular file");
  }
  if (access != FileAccess::ReadOnly) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      int err = errno;
      ::close(fd);
      if (err == EWOULDBLOCK) throw Error(ErrorKind::InUse, path + ": file is in use");
      errno = err;
      throw Error(ErrorKind::Io, sysError("cannot lock", path));
    }
  }
  std::unique_ptr<File> file = std::make_unique<PosixFile>(fd, path, access != FileAccess::ReadOnly);
  if (access != FileAccess::ReadOnly && writableFileWrapper()) return writableFileWrapper()(std::move(file));
  return file;
}

MemoryFile::MemoryFile(std::vector<uint8_t> bytes, bool writable, std::string name)
    : bytes_(std::move(bytes)), writable_(writable), name_(std::move(name)) {}

void MemoryFile::readAt(uint64_t offset, void* buffer, size_t len) const {
  if (offset > bytes_.size() || len > bytes_.size() - offset) {
    throw Error(ErrorKind::Io, "cannot read " + name_ + ": file ends at byte " + std::to_string(bytes_.size()) +
                                   ", read of " + std::to_string(len) + " bytes at " + std::to_string(offset));
  }
  if (len) std::memcpy(buffer, bytes_.data() + offset, len);
}

void MemoryFile::writeAt(uint64_t offset, const void* data, size_t len) {
  if (!writable_) throw Error(ErrorKind::ReadOnly, name_ + " is open for reading only");
  if (offset + len > bytes_.size()) bytes_.resize(offset + len);
  if (len) std::memcpy(bytes_.data() + offset, data, len);
}

void MemoryFile::truncate(uint64_t len) {
  if (!writable_) throw Error(ErrorKind::ReadOnly, name_ + " is open for reading only");
  bytes_.resize(len);
}

}  // namespace jet
