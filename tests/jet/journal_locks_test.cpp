// Writers killed mid-flush and readers beside a writer in another process: no open reads a
// half-written flush, a journal is rolled back or the open refused, and a reader sees each
// table as it was before or after a flush, never a mix.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <iostream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "jet/check/structure_check.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/io/file.h"
#include "jet/pager/journal.h"
#include "reader_fixtures.h"

namespace {

constexpr int kRowsPerRound = 40;

// A database with one indexed table whose rows come in rounds of kRowsPerRound.
void makeDatabase(const std::string& path) {
  auto db = jet::Database::create(path);
  jet::TableSpec blueprint;
  blueprint.name = "Rounds";
  blueprint.columns = {{"Round", jet::ColumnKind::Long}, {"Seq", jet::ColumnKind::Long}, {"Note", jet::ColumnKind::Text, 120}};
  blueprint.indexes = {{"PrimaryKey", {"Round", "Seq"}, true, true, false}, {"ByNote", {"Note"}, false, false, false}};
  db->createTable(blueprint);
  db->close();
}

jet::Row roundRow(int round, int seq) {
  std::string note = "round " + std::to_string(round) + " row " + std::to_string(seq) + " ";
  note.append(static_cast<size_t>(40 + (round * 7 + seq) % 60), static_cast<char>('a' + seq % 26));
  return jet::Row{int32_t{round}, int32_t{seq}, note};
}

// Rows per round as a reader sees them; "" when they are whole rounds 0..n-1, else what is wrong.
std::string roundsProblem(const std::map<int, int>& perRound) {
  int expected = 0;
  for (const auto& [round, rows] : perRound) {
    if (round != expected) return "round " + std::to_string(expected) + " is missing before round " + std::to_string(round);
    if (rows != kRowsPerRound) return "round " + std::to_string(round) + " has " + std::to_string(rows) + " rows";
    ++expected;
  }
  return "";
}

std::map<int, int> readRounds(jet::Database& db) {
  std::map<int, int> perRound;
  for (auto cursor = db.table("Rounds").scan(); cursor.next();) ++perRound[std::get<int32_t>(cursor.values()[0])];
  return perRound;
}

// The child's side: appends `rounds` rounds after those already there, flushing each. With
// killAtPageWrite > 0 it dies on the spot at that page write of its flushes, as a crash would.
[[noreturn]] void writeRounds(const std::string& path, int rounds, long killAtPageWrite) {
  try {
    auto impl = jet::openDatabaseFile(path, jet::OpenMode::ReadWrite);
    jet::Pager& pager = impl->pager();
    long writes = 0;
    if (killAtPageWrite > 0) {
      pager.beforePageWrite = [&](uint32_t) {
        if (++writes == killAtPageWrite) ::kill(::getpid(), SIGKILL);
      };
    }
    auto db = jet::Database::adopt(std::move(impl));
    const int first = static_cast<int>(readRounds(*db).size());
    jet::Table table = db->table("Rounds");
    for (int r = first; r < first + rounds; ++r) {
      for (int i = 0; i < kRowsPerRound; ++i) {
        jet::Row row = roundRow(r, i);
        table.insert(row);
      }
      db->flush();
    }
    db->close();
    _exit(0);
  } catch (...) {
    _exit(3);
  }
}

pid_t spawnWriter(const std::string& path, int rounds, long killAtPageWrite) {
  pid_t pid = ::fork();
  if (pid == 0) writeRounds(path, rounds, killAtPageWrite);
  return pid;
}

int reap(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

// Writers killed at random moments (and at random page writes of a flush, which always
// leaves a journal): each time a reader's open puts the file back to its last whole flush,
// the structure check passes, and the next writer carries on.
TEST(JournalLocks, AWriterKilledAtAnyMomentLeavesAFileTheNextOpenPutsRight) {
  jet::testing::TempDir dir;
  const std::string path = (dir.path() / "killed.mdb").string();
  makeDatabase(path);
  std::mt19937 random(20261208);
  int rolledBack = 0, hotJournals = 0, refusedWhileHeld = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const bool atPageWrite = attempt % 2 == 0;
    const long killAt = atPageWrite ? std::uniform_int_distribution<long>(1, 30)(random) : 0;
    pid_t child = spawnWriter(path, 50, killAt);
    ASSERT_GT(child, 0);
    if (!atPageWrite) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(2, 60)(random)));
      ::kill(child, SIGKILL);
    }
    const int status = reap(child);
    ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "the writer failed, attempt " << attempt;
    const bool hot = jet::Journal(jet::Journal::pathFor(path)).exists();
    if (hot) {
      // While another program holds the file for writing, a reader cannot put it right: it
      // is refused, naming the journal, and the file stays as it is.
      auto bytes = jet::testing::readWholeFile(path);
      {
        auto holder = jet::openFile(path, jet::FileAccess::ReadWrite);
        try {
          jet::Database::open(path, jet::OpenMode::ReadOnly, 100);
          ADD_FAILURE() << "a reader opened a file with a journal to roll back, attempt " << attempt;
        } catch (const jet::Error& e) {
          EXPECT_NE(std::string(e.what()).find(path + "-journal"), std::string::npos) << e.what();
          ++refusedWhileHeld;
        }
      }
      EXPECT_EQ(jet::testing::readWholeFile(path), bytes);
    }
    auto reader = jet::openDatabaseFile(path, jet::OpenMode::ReadOnly);
    // A writer killed while it wrote the journal leaves an unfinished one: dropped, nothing
    // to put back. One killed at a page write always leaves a finished one.
    EXPECT_EQ(reader->journalRolledBack, hot && (atPageWrite || reader->journalRolledBack)) << "attempt " << attempt;
    rolledBack += reader->journalRolledBack ? 1 : 0;
    hotJournals += hot ? 1 : 0;
    EXPECT_FALSE(jet::Journal(jet::Journal::pathFor(path)).exists());
    const jet::StructureReport report = jet::checkStructure(*reader);
    EXPECT_TRUE(report.ok()) << "attempt " << attempt << ": " << report.defects.front();
    EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
    auto db = jet::Database::adopt(std::move(reader));
    EXPECT_EQ(roundsProblem(readRounds(*db)), "") << "attempt " << attempt;
  }
  EXPECT_GE(rolledBack, 8) << "every kill at a page write leaves a journal";
  EXPECT_EQ(refusedWhileHeld, hotJournals);
  // The next writer finishes, and an independent reader accepts the result.
  ASSERT_EQ(reap(spawnWriter(path, 2, 0)), 0);
  auto db = jet::Database::open(path);
  const auto rounds = readRounds(*db);
  EXPECT_EQ(roundsProblem(rounds), "");
  db.reset();
  if (std::system("command -v mdb-export >/dev/null 2>&1") == 0) {
    const std::string command = "mdb-export '" + path + "' Rounds | wc -l > '" + path + ".lines'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    auto lines = jet::testing::readWholeFile(path + ".lines");
    EXPECT_EQ(std::stoul(std::string(lines.begin(), lines.end())), rounds.size() * kRowsPerRound + 1);
  }
}

// A reader process beside a writer process: every scan that is not refused sees whole rounds,
// the table as one flush or the next left it.
TEST(JournalLocks, AReaderBesideAWriterSeesTheTableBeforeOrAfterEachFlush) {
  jet::testing::TempDir dir;
  const std::string path = (dir.path() / "shared.mdb").string();
  makeDatabase(path);
  pid_t child = spawnWriter(path, 40, 0);
  ASSERT_GT(child, 0);
  int reads = 0, refused = 0, lastRounds = 0;
  for (;;) {
    const bool writerDone = ::waitpid(child, nullptr, WNOHANG) == child;
    try {
      auto db = jet::Database::open(path, jet::OpenMode::ReadOnly, 5000);
      const auto rounds = readRounds(*db);
      ASSERT_EQ(roundsProblem(rounds), "") << "after " << reads << " reads";
      EXPECT_GE(static_cast<int>(rounds.size()), lastRounds) << "a reader went back in time";
      lastRounds = static_cast<int>(rounds.size());
      ++reads;
    } catch (const jet::Error& e) {
      // Refused clearly: the file changed between the open and the scan.
      ASSERT_EQ(e.kind(), jet::ErrorKind::InUse) << e.what();
      ++refused;
    }
    if (writerDone) break;
  }
  EXPECT_EQ(lastRounds, 40);
  EXPECT_GE(reads, 5);
  std::cout << reads << " reads, " << refused << " refused while the writer flushed\n";
}

}  // namespace
