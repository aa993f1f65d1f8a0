// Reading tables ahead on a connection: whatever order the queries then open tables in, and
// whatever happens to the file meanwhile, every query holds exactly what the file holds when
// it opens, as it would without reading ahead.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <random>

#include "data/connection.h"
#include "data/query.h"
#include "jet/database.h"

using namespace qar::data;

namespace {

void select(TADOQuery& q, const QString& table) {
  q.Close();
  q.SQL().Clear();
  q.SQL().Add(QStringLiteral("Select * From ") + table);
  q.Open();
}

// The rows of a table as the engine reads it, in scan order.
std::vector<jet::Row> rowsOf(const std::string& path, const std::string& table) {
  auto db = jet::Database::open(path);
  std::vector<jet::Row> rows;
  jet::RowCursor cursor = db->table(table).scan();
  while (cursor.next()) rows.push_back(cursor.values());
  return rows;
}

void expectHolds(TADOQuery& q, const std::vector<jet::Row>& rows) {
  ASSERT_EQ(q.RecordCount(), static_cast<int>(rows.size()));
  q.First();
  for (const jet::Row& row : rows) {
    ASSERT_FALSE(q.Eof());
    for (size_t c = 0; c < row.size(); ++c) ASSERT_TRUE(q.storedValue(static_cast<int>(c)) == row[c]) << "column " << c;
    q.Next();
  }
  EXPECT_TRUE(q.Eof());
}

std::string randomText(std::mt19937& random, size_t length) {
  static const char* const pieces[] = {"a", "Z", " ", "é", "ß", "门", "禁", "7"};
  std::string s;
  for (size_t i = 0; i < length; ++i) s += pieces[random() % 8];
  return s;
}

class ReadAhead : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    path = dir.filePath("ahead.mdb").toStdString();
    auto db = jet::Database::create(path);
    for (int t = 0; t < 5; ++t) {
      jet::TableSpec blueprint;
      blueprint.name = "T" + std::to_string(t);
      blueprint.columns = {{"ID", jet::ColumnKind::Long},
                           {"Name", jet::ColumnKind::Text, 60},
                           {"Notes", jet::ColumnKind::Memo},
                           {"Amount", jet::ColumnKind::Double}};
      db->createTable(blueprint);
      jet::Table table = db->table(blueprint.name);
      const int rows = t == 0 ? 0 : static_cast<int>(random() % 3000);
      for (int r = 0; r < rows; ++r) {
        jet::Row row{int32_t{r}, randomText(random, random() % 40),
                     random() % 3 ? jet::Value{jet::Null{}} : jet::Value{randomText(random, random() % 3000)},
                     double(random() % 100000) / 7};
        table.insert(row);
      }
    }
    db->close();
    conn.setProvider(TADOConnection::kJetProvider);
    conn.setConnectionString(QString::fromStdString(path));
    conn.setMode(cmShareDenyNone);
    conn.setLoginPrompt(false);
    q.setConnection(&conn);
  }

  std::mt19937 random{16};
  QTemporaryDir dir;
  std::string path;
  TADOConnection conn{QStringLiteral("adcFrom")};
  TADOQuery q{QStringLiteral("adqFrom")};
};

// Random lists read ahead (with a missing table now and then), followed, left part-way, or
// given up at once; now and then a table is written between reading ahead and opening it.
TEST_F(ReadAhead, QueriesHoldWhatTheFileHoldsInWhateverOrderTheyOpen) {
  conn.setConnected(true);
  int written = 0;
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE(round);
    QStringList ahead;
    for (int n = 1 + int(random() % 6); n > 0; --n)
      ahead << (random() % 12 == 0 ? QStringLiteral("Missing") : QStringLiteral("T%1").arg(random() % 5));
    conn.readAhead(ahead);
    const int follow = int(random() % (ahead.size() + 1));
    for (int i = 0; i < ahead.size(); ++i) {
      const QString table = i < follow ? ahead[i] : QStringLiteral("T%1").arg(random() % 5);
      if (random() % 10 == 0) {
        // Another program writes the table (the file's length and time change).
        auto db = jet::Database::open(path, jet::OpenMode::ReadWrite);
        jet::Row row{int32_t{100000 + written++}, std::string("written meanwhile"), jet::Null{},
                     double(written)};
        db->table(table == "Missing" ? "T1" : table.toStdString()).insert(row);
        db->close();
      }
      if (table == "Missing") {
        EXPECT_THROW(select(q, table), std::exception);
        continue;
      }
      select(q, table);
      expectHolds(q, rowsOf(path, table.toStdString()));
    }
    if (random() % 4 == 0) conn.setConnected(false), conn.setConnected(true);
  }
  q.Close();
  // Most opens took what was read ahead; the rest read their table themselves.
  EXPECT_GT(conn.readAheadTaken(), 40);
}

// A reading ahead that is never taken up ends with the connection, without waiting for the
// tables it would still read.
TEST_F(ReadAhead, ALeftReadingAheadEndsWithItsConnection) {
  for (int round = 0; round < 20; ++round) {
    TADOConnection other{QStringLiteral("other")};
    other.setProvider(TADOConnection::kJetProvider);
    other.setConnectionString(QString::fromStdString(path));
    other.setConnected(true);
    other.readAhead({"T1", "T2", "T3", "T4"});
    if (round % 2) {
      TADOQuery first{QStringLiteral("first")};
      first.setConnection(&other);
      select(first, "T1");
      expectHolds(first, rowsOf(path, "T1"));
    }
  }
}

}  // namespace
