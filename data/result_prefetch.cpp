// Reading tables ahead on a worker thread (see result_prefetch.h).
#include "data/result_prefetch.h"

#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "jet/database.h"

namespace qar::data {

namespace {

bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

ResultPrefetch::ResultPrefetch(std::string path, std::vector<std::string> tables)
    : path_(std::move(path)), tables_(std::move(tables)) {
  worker_ = std::thread([this] { work(); });
}

ResultPrefetch::~ResultPrefetch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

bool ResultPrefetch::fileStamp(int64_t& modifiedNs, uint64_t& size) const {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) return false;
  modifiedNs = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

void ResultPrefetch::work() {
  std::unique_ptr<jet::Database> db;
  try {
    db = jet::Database::open(path_, jet::OpenMode::ReadOnly, 0);
    db->setPageCacheLimit(kCachedPages);
  } catch (...) {
    // Nothing can be read ahead: every query reads its table itself.
  }
  for (size_t i = 0; db && i < tables_.size(); ++i) {
    {
      // One finished result ahead at most: table i is read once table i - 1 is taken.
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || next_ == i; });
      if (stop_) break;
    }
    Slot slot;
    try {
      int64_t modifiedBefore = 0;
      uint64_t sizeBefore = 0;
      const bool stamped = fileStamp(modifiedBefore, sizeBefore);
      timespec now{};
      clock_gettime(CLOCK_REALTIME, &now);
      // A write after this read must change the time the file shows: it was last modified
      // well before (file system clocks move in ticks of a few milliseconds).
      const bool settled = int64_t{now.tv_sec} * 1000000000 + now.tv_nsec - modifiedBefore > kSettledNs;
      jet::Table table = db->table(tables_[i]);
      std::vector<jet::ColumnKind> kinds;
      for (const jet::Column& c : table.def().columns) kinds.push_back(c.kind);
      slot.store = ResultStore(std::move(kinds));
      slot.store.reserve(std::min<size_t>(table.rowCount(), size_t{1} << 22));
      slot.definitionPage = table.def().definitionPage;
      jet::RowCursor cursor = table.scan();
      bool stopped = false;
      for (size_t n = 0; cursor.next(); ++n) {
        slot.store.appendRow(cursor.values(), cursor.id());
        if (n % 4096 == 4095) {
          std::lock_guard<std::mutex> lock(mutex_);
          if ((stopped = stop_)) break;
        }
      }
      if (stopped) break;
      // A file written while it was read gives no result.
      slot.read = stamped && settled && fileStamp(slot.modifiedNs, slot.size) && slot.modifiedNs == modifiedBefore &&
                  slot.size == sizeBefore;
    } catch (...) {
      slot.read = false;  // the query finds out for itself what is wrong
    }
    if (!slot.read) slot.store = ResultStore();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slot.ready = true;
      slot_ = std::move(slot);
    }
    changed_.notify_all();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    workerDone_ = true;
  }
  changed_.notify_all();
}

bool ResultPrefetch::isNext(const std::string& table) {
  std::lock_guard<std::mutex> lock(mutex_);
  return next_ < tables_.size() && sameName(tables_[next_], table);
}

std::optional<ResultStore> ResultPrefetch::takeNext(uint32_t definitionPage, const std::vector<jet::ColumnKind>& kinds) {
  Slot slot;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (next_ >= tables_.size()) return std::nullopt;
    changed_.wait(lock, [&] { return slot_.ready || workerDone_; });
    if (!slot_.ready) return std::nullopt;
    slot = std::move(slot_);
    slot_ = Slot();
    ++next_;
  }
  changed_.notify_all();
  if (!slot.read || slot.definitionPage != definitionPage || slot.store.columnCount() != kinds.size())
    return std::nullopt;
  for (size_t c = 0; c < kinds.size(); ++c)
    if (slot.store.kind(c) != kinds[c]) return std::nullopt;
  int64_t modified = 0;
  uint64_t size = 0;
  if (!fileStamp(modified, size) || modified != slot.modifiedNs || size != slot.size) return std::nullopt;
  return std::move(slot.store);
}

}  // namespace qar::data
