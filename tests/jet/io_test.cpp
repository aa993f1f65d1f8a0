// File I/O and the page cache: read-only opens leave files untouched, writers lock, short
// reads are errors, dirty pages are written on flush and forgotten on discard.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "jet/error.h"
#include "jet/io/file.h"
#include "jet/pager/pager.h"
#include "reader_fixtures.h"

namespace jet {
namespace {

std::vector<uint8_t> pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + i / 256);
  return v;
}

TEST(FileIo, ReadOnlyOpenTakesNoLockAndChangesNothing) {
  testing::TempDir dir;
  auto path = dir.path() / "f.bin";
  testing::writeWholeFile(path, pattern(3 * 2048));
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  {
    auto writer = openFile(path.string(), FileAccess::ReadWrite);  // holds the lock
    auto reader = openFile(path.string(), FileAccess::ReadOnly);  // still fine: readers take none
    EXPECT_FALSE(reader->writable());
    uint8_t buf[16];
    reader->readAt(100, buf, sizeof buf);
    EXPECT_EQ(buf[0], pattern(3 * 2048)[100]);
    EXPECT_THROW(reader->writeAt(0, buf, 1), Error);
  }
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(testing::readWholeFile(path), pattern(3 * 2048));
  EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
  EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

TEST(FileIo, SecondWriterIsRefusedAsInUse) {
  testing::TempDir dir;
  auto path = dir.path() / "f.bin";
  testing::writeWholeFile(path, pattern(4096));
  auto first = openFile(path.string(), FileAccess::ReadWrite);
  try {
    openFile(path.string(), FileAccess::ReadWrite);
    FAIL() << "second writer accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.kind(), ErrorKind::InUse);
    EXPECT_NE(std::string(e.what()).find("file is in use"), std::string::npos);
  }
  first.reset();
  EXPECT_NO_THROW(openFile(path.string(), FileAccess::ReadWrite));  // the lock went with the file
}

TEST(FileIo, MissingFilesAndShortReadsAreIoErrors) {
  testing::TempDir dir;
  try {
    openFile((dir.path() / "absent.mdb").string(), FileAccess::ReadOnly);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Io);
    EXPECT_NE(std::string(e.what()).find("absent.mdb"), std::string::npos);
  }
  EXPECT_THROW(openFile(dir.path().string(), FileAccess::ReadOnly), Error);  // a folder
  auto path = dir.path() / "f.bin";
  testing::writeWholeFile(path, pattern(100));
  EXPECT_THROW(openFile(path.string(), FileAccess::Create), Error);  // exists already
  auto f = openFile(path.string(), FileAccess::ReadOnly);
  uint8_t buf[64];
  EXPECT_THROW(f->readAt(80, buf, sizeof buf), Error);
  MemoryFile m(pattern(10), false);
  EXPECT_THROW(m.readAt(5, buf, 6), Error);
  EXPECT_THROW(m.readAt(~uint64_t{0}, buf, 2), Error);
}

TEST(Pager, ReadsPagesAndRefusesPagesPastTheEnd) {
  MemoryFile file(pattern(3 * 2048 + 100));  // a partial last page does not count
  Pager pager(file, 2048, 8);
  EXPECT_EQ(pager.pageCount(), 3u);
  PageRef p = pager.read(2);
  EXPECT_EQ(p->number, 2u);
  EXPECT_EQ(p->bytes[0], pattern(3 * 2048)[2 * 2048]);
  try {
    pager.read(3);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Corrupt);
    EXPECT_NE(std::string(e.what()).find("page 3"), std::string::npos);
  }
}

TEST(Pager, EvictionKeepsHeldPagesAndDirtyPages) {
  MemoryFile file(pattern(64 * 2048));
  Pager pager(file, 2048, 8);
  PageRef held = pager.read(0);
  pager.modify(1)[0] = 0xEE;
  for (uint32_t i = 2; i < 64; ++i) pager.read(i);
  EXPECT_EQ(held->bytes[1], pattern(2048)[1]);
  EXPECT_EQ(pager.read(1)->bytes[0], 0xEE);  // still the modified copy
  EXPECT_TRUE(pager.isDirty(1));
}

// Many dirty pages must not push the page just read out of the cache: callers may use
// its bytes until their next read, and clean pages stay bounded once flushed.
TEST(Pager, APageJustReadSurvivesWhenDirtyPagesOutnumberTheLimit) {
  MemoryFile file(pattern(64 * 2048));
  Pager pager(file, 2048, 8);
  for (uint32_t i = 0; i < 40; ++i) pager.modify(i)[0] = 0xAB;
  for (uint32_t i = 40; i < 64; ++i) {
    std::weak_ptr<const Page> watch = pager.read(i);
    EXPECT_FALSE(watch.expired()) << "page " << i << " was dropped as soon as it was read";
  }
  pager.flush();
  std::weak_ptr<const Page> first = pager.read(0);
  for (uint32_t i = 1; i < 64; ++i) pager.read(i);
  EXPECT_TRUE(first.expired()) << "clean pages are kept past the cache limit after a flush";
  EXPECT_EQ(pager.read(5)->bytes[0], 0xAB);
}

TEST(Pager, FlushWritesDirtyPagesAndDiscardForgetsThem) {
  MemoryFile file(pattern(4 * 4096));
  Pager pager(file, 4096);
  int hookRuns = 0;
  pager.addFlushHook([&] { ++hookRuns; });
  pager.modify(2)[10] = 0x42;
  uint32_t added = pager.append();
  EXPECT_EQ(added, 4u);
  pager.modify(added)[0] = 0x01;
  pager.flush();
  EXPECT_EQ(hookRuns, 1);
  EXPECT_FALSE(pager.hasDirtyPages());
  ASSERT_EQ(file.bytes().size(), 5u * 4096);
  EXPECT_EQ(file.bytes()[2 * 4096 + 10], 0x42);
  EXPECT_EQ(file.bytes()[4 * 4096], 0x01);

  pager.modify(3)[0] = 0x99;
  pager.append();
  pager.discard();
  EXPECT_EQ(pager.pageCount(), 5u);
  EXPECT_EQ(pager.read(3)->bytes[0], pattern(4 * 4096)[3 * 4096]);
  EXPECT_EQ(file.bytes().size(), 5u * 4096);

  MemoryFile readOnly(pattern(4096), false);
  Pager ro(readOnly, 4096);
  EXPECT_THROW(ro.modify(0), Error);
  EXPECT_THROW(ro.append(), Error);
}

}  // namespace
}  // namespace jet
