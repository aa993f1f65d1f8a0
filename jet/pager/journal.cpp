// Journal files: saving old pages before a flush, rolling an interrupted flush back, and
// settling a journal on open.
#include "jet/pager/journal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "jet/error.h"
#include "jet/format/journal_format.h"
#include "jet/util/bytes.h"

namespace jet {
namespace fj = format::journal;

bool Journal::exists() const {
  if (path_.empty()) return false;
  struct stat st {};
  return ::lstat(path_.c_str(), &st) == 0;
}

void Journal::save(const File& file, uint32_t pageSize, const std::vector<uint32_t>& pages) const {
  const uint64_t oldSize = file.size();
  const uint64_t oldPages = oldSize / pageSize;
  uint32_t count = 0;
  for (uint32_t p : pages) count += p < oldPages ? 1 : 0;
  // A journal from an earlier flush that was already rolled back may still be there.
  if (exists()) std::remove(path_.c_str());
  auto out = openFile(path_, FileAccess::Create);
  try {
    // The journal goes out through one buffer of a few hundred kilobytes, however many pages
    // the flush saves. Until the trailer is written the journal counts as unfinished.
    const uint64_t entryBytes = fj::entrySize(pageSize);
    const size_t capacity = static_cast<size_t>(std::max<uint64_t>(kChunkBytes / entryBytes, 1) * entryBytes);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[capacity]);
    size_t used = 0;
    uint64_t written = 0;
    auto spill = [&] {
      out->writeAt(written, buffer.get(), used);
      written += used;
      used = 0;
    };
    std::memset(buffer.get(), 0, fj::kHeaderSize);
    put32(buffer.get() + fj::kHeaderMagic, fj::kMagic);
    put32(buffer.get() + fj::kHeaderPageSize, pageSize);
    put64(buffer.get() + fj::kHeaderOldSize, oldSize);
    put32(buffer.get() + fj::kHeaderCount, count);
    used = fj::kHeaderSize;
    for (uint32_t p : pages) {
      if (p >= oldPages) continue;
      if (used + entryBytes > capacity) spill();
      uint8_t* entry = buffer.get() + used;
      put32(entry + fj::kEntryPage, p);
      file.readAt(uint64_t{p} * pageSize, entry + fj::kEntryBytes, pageSize);
      used += static_cast<size_t>(entryBytes);
    }
    if (used + fj::kTrailerSize > capacity) spill();
    put32(buffer.get() + used + fj::kTrailerMagic, fj::kMagic);
    put32(buffer.get() + used + fj::kTrailerCount, count);
    used += fj::kTrailerSize;
    spill();
    out->sync();
  } catch (...) {
    // An unfinished journal guards nothing (the file is untouched yet); it must not make
    // readers think a flush was cut short.
    out.reset();
    std::remove(path_.c_str());
    throw;
  }
}

void Journal::remove() const {
  if (!path_.empty() && std::remove(path_.c_str()) != 0 && errno != ENOENT) {
    throw Error(ErrorKind::Io, "cannot remove " + path_ + ": " + std::strerror(errno));
  }
}

bool Journal::rollback(File& file) const {
  if (!exists()) return false;
  std::vector<uint8_t> buf;
  {
    auto in = openFile(path_, FileAccess::ReadOnly);
    buf.resize(static_cast<size_t>(in->size()));
    if (!buf.empty()) in->readAt(0, buf.data(), buf.size());
  }
  bool complete = false;
  const uint64_t size = buf.size();
  if (size >= fj::kHeaderSize + fj::kTrailerSize && le32(buf.data() + fj::kHeaderMagic) == fj::kMagic) {
    const uint32_t pageSize = le32(buf.data() + fj::kHeaderPageSize);
    const uint32_t count = le32(buf.data() + fj::kHeaderCount);
    const uint8_t* trailer = buf.data() + size - fj::kTrailerSize;
    complete = pageSize > 0 && fj::journalSize(pageSize, count) == size &&
               le32(trailer + fj::kTrailerMagic) == fj::kMagic && le32(trailer + fj::kTrailerCount) == count;
    if (complete) {
      for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = buf.data() + fj::kHeaderSize + uint64_t{i} * fj::entrySize(pageSize);
        file.writeAt(uint64_t{le32(entry + fj::kEntryPage)} * pageSize, entry + fj::kEntryBytes, pageSize);
      }
      const uint64_t oldSize = le64(buf.data() + fj::kHeaderOldSize);
      if (file.size() != oldSize) file.truncate(oldSize);
      file.sync();
    }
  }
  // An unfinished journal means the flush never reached the database file.
  remove();
  return complete;
}

namespace {

std::string folderOf(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

Error cannotSettle(const std::string& path, const Journal& journal, const std::string& why,
                  ErrorKind kind = ErrorKind::ReadOnly) {
  return Error(kind, path + ": a write to this file was cut short and its journal " + journal.path() +
                                     " must be rolled back before the file can be read, but " + why +
                                     "; open it once with write access (for example with qar26m-cli check, "
                                     "as a user who may write the file and its folder) to put it right");
}

// With the file's lock and the flush lock held: puts the journal's pages back.
bool rollbackHeld(File& file, const std::string& path, const Journal& journal) {
  if (!journal.exists()) return false;
  if (::access(folderOf(path).c_str(), W_OK) != 0) {
    throw cannotSettle(path, journal, "the folder " + folderOf(path) + " cannot be written");
  }
  return journal.rollback(file);
}

}  // namespace

std::unique_ptr<File> openSettled(const std::string& path, FileAccess access, int waitMs, bool* rolledBack) {
  if (rolledBack) *rolledBack = false;
  const Journal journal(Journal::pathFor(path));
  auto file = openFile(path, access);
  if (access != FileAccess::ReadOnly) {
    file->lockFlush(FlushLock::Exclusive, waitMs);
    try {
      bool done = rollbackHeld(*file, path, journal);
      if (rolledBack) *rolledBack = done;
    } catch (...) {
      file->unlockFlush();
      throw;
    }
    file->unlockFlush();
    return file;
  }
  // A reader: a journal seen under the shared flush lock is no flush in progress (a writer
  // holds the lock exclusively for as long as its journal exists), so it is one cut short.
  file->lockFlush(FlushLock::Shared, waitMs);
  const bool hot = journal.exists();
  file->unlockFlush();
  if (!hot) return file;
  std::unique_ptr<File> writer;
  try {
    writer = openFile(path, FileAccess::ReadWrite);
  } catch (const Error& e) {
    if (e.kind() == ErrorKind::InUse) throw cannotSettle(path, journal, "another program holds it for writing", ErrorKind::InUse);
    throw cannotSettle(path, journal, "it cannot be opened for writing (" + std::string(e.what()) + ")");
  }
  writer->lockFlush(FlushLock::Exclusive, waitMs);
  try {
    bool done = rollbackHeld(*writer, path, journal);
    if (rolledBack) *rolledBack = done;
  } catch (...) {
    writer->unlockFlush();
    throw;
  }
  writer->unlockFlush();
  return file;
}

}  // namespace jet
