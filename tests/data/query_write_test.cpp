// Writing through the dataset layer: edit, append and post writing through to the file,
// "Delete From", defaults, read-only and Null assignments, text cuts, empty memos, failed
// posts, key search over appended records, and one file used as source and destination.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include "base/exception.h"
#include "data/connection.h"
#include "data/query.h"
#include "data_fixtures.h"

using namespace qar::data;
using namespace qar::data::testing;

namespace {

void run(TADOQuery& q, const QString& sql, bool open = true) {
  q.Close();
  q.SQL().Clear();
  q.SQL().Add(sql);
  if (open) q.Open();
}

class QueryWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    QAR_WRITER_OR_SKIP();
    path = copyFixture(QStringLiteral("qar26m/basic/destination.mdb"), dir);
    if (path.isEmpty()) GTEST_SKIP() << "fixture qar26m/basic/destination.mdb is absent (" << QAR_FIXTURES_DIR << ")";
    connect(conn, path);
    q.setConnection(&conn);
  }
  static void connect(TADOConnection& c, const QString& file, TConnectMode mode = cmUnknown) {
    c.setProvider(TADOConnection::kJetProvider);
    c.setConnectionString(file);
    c.setMode(mode);
    c.setLoginPrompt(false);
    c.setConnected(true);
  }
  // Reads a table afresh through a connection of its own.
  int countOf(const QString& table) {
    TADOConnection c;
    connect(c, path, cmShareDenyNone);
    TADOQuery r;
    r.setConnection(&c);
    run(r, QStringLiteral("Select * From ") + table);
    return r.RecordCount();
  }
  // A database made by the engine with one table of the kinds the assignment rules concern.
  QString madeDatabase() {
    jet::TableSpec blueprint{"Holders",
                        {{"ID", jet::ColumnKind::Long, 0, true},
                         {"Name", jet::ColumnKind::Text, 10},
                         {"At", jet::ColumnKind::DateTime},
                         {"Amount", jet::ColumnKind::Currency},
                         {"Remark", jet::ColumnKind::Memo},
                         {"Level", jet::ColumnKind::Byte}},
                        {}};
    return createDatabase(dir, QStringLiteral("made.mdb"), blueprint,
                          {{jet::Null{}, std::string("midnight"), jet::DateTime{45413.0}, jet::Currency{15000},
                            std::string("first"), uint8_t{1}},
                           {jet::Null{}, std::string("evening"), jet::DateTime{45413.75}, jet::Null{}, jet::Null{},
                            jet::Null{}}});
  }
  LocaleGuard locale{"en_US"};
  QTemporaryDir dir;
  QString path;
  TADOConnection conn{QStringLiteral("adcTo")};
  TADOQuery q{QStringLiteral("adqTo")};
};

}  // namespace

TEST_F(QueryWrite, AppendAndEditWriteThroughAndAreFoundAgain) {
  // EmergencyDoorData: DoorNo, ControllerNo, DoorName, OpenOnAlarm; no index.
  run(q, QStringLiteral("Select * From EmergencyDoorData"));
  int before = q.RecordCount();
  q.Append();
  EXPECT_EQ(q.State(), TDataSetState::dsInsert);
  q.Fields(0).setValue(Variant(9001));
  q.Fields(1).setValue(Variant("7"));
  q.Fields(2).setValue(Variant(QStringLiteral("O'Hara 研究开发部")));
  q.Fields(3).setValue(Variant(true));
  q.Post();
  EXPECT_EQ(q.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(q.RecordCount(), before + 1);
  EXPECT_EQ(q.RecNo(), before + 1);
  EXPECT_FALSE(q.EndOfData());
  q.First();
  ASSERT_TRUE(q.Locate(QStringLiteral("doorname"), Variant(QStringLiteral("o'hara 研究开发部")), loCaseInsensitive));
  EXPECT_EQ(q.RecNo(), before + 1);
  q.First();
  ASSERT_TRUE(q.Locate(QStringLiteral("DoorNo"), Variant("9001"), loCaseInsensitive));
  EXPECT_EQ(q.RecNo(), before + 1);
  EXPECT_EQ(q.Fields(3).AsString(), "True");

  // Edit the first record; the index follows the changed key.
  q.First();
  QString oldKey = q.Fields(2).AsString();
  q.Edit();
  q.Fields(2).setValue(Variant("Z-RENAMED"));
  q.Post();
  if (!oldKey.isEmpty()) {
    EXPECT_FALSE(q.Locate(QStringLiteral("DoorName"), Variant(oldKey), loCaseInsensitive) && q.RecNo() == 1);
  }
  EXPECT_TRUE(q.Locate(QStringLiteral("DoorName"), Variant("z-renamed"), loCaseInsensitive));
  EXPECT_EQ(q.RecNo(), 1);
  q.Close();

  EXPECT_EQ(countOf(QStringLiteral("EmergencyDoorData")), before + 1);
  run(q, QStringLiteral("Select * From EmergencyDoorData"));
  EXPECT_EQ(q.Fields(2).AsString(), "Z-RENAMED");
  EXPECT_TRUE(q.Locate(QStringLiteral("DoorNo"), Variant("9001"), {}));
  EXPECT_EQ(q.Fields(2).AsString(), QStringLiteral("O'Hara 研究开发部"));
}

TEST_F(QueryWrite, EmptiedTableTakesOneRecordFromEditAndDefaultsFromAppend) {
  run(q, QStringLiteral("Select * From HolderCardData"));
  int had = q.RecordCount();
  run(q, QStringLiteral("Delete From HolderCardData"), false);
  EXPECT_EQ(q.ExecSQL(), had);
  EXPECT_FALSE(q.Active());
  run(q, QStringLiteral("Select * From HolderCardData"));
  EXPECT_EQ(q.RecordCount(), 0);
  EXPECT_TRUE(q.EndOfData());
  q.Edit();
  EXPECT_EQ(q.State(), TDataSetState::dsInsert);
  for (int i = 0; i < q.FieldCount(); ++i)
    if (!q.Fields(i).ReadOnly()) q.Fields(i).setValue(Variant(1));
  q.Post();
  EXPECT_EQ(q.RecordCount(), 1);
  q.Append();
  q.Post();  // nothing assigned: a record of defaults
  EXPECT_EQ(q.RecordCount(), 2);
  EXPECT_EQ(q.RecNo(), 2);
  // The removal and the new records reach the file together, when the query closes: until
  // then another reader sees the table as it was.
  EXPECT_EQ(countOf(QStringLiteral("HolderCardData")), had);
  q.Close();
  EXPECT_EQ(countOf(QStringLiteral("HolderCardData")), 2);
}

TEST_F(QueryWrite, AssignmentRulesReachTheFile) {
  TADOConnection c;
  connect(c, madeDatabase());
  TADOQuery m(QStringLiteral("adqMade"));
  m.setConnection(&c);
  run(m, QStringLiteral("Select * From Holders"));
  m.Append();
  EXPECT_EQ(messageOf([&] { m.Fields(0).setValue(Variant::null()); }), "Field 'ID' cannot be modified");
  EXPECT_EQ(messageOf([&] { m.Fields(0).setValue(Variant(5)); }), "Field 'ID' cannot be modified");
  EXPECT_EQ(messageOf([&] { m.Fields(5).setValue(Variant(300)); }),
            "300 is not a valid value for field 'Level'. The allowed range is 0 to 255");
  m.Fields(1).setValue(Variant(QString(12, u'名')));  // 10 characters fit
  m.Fields(3).setValue(Variant::null());
  m.Fields(4).setValue(Variant(QString()));  // empty memo: Null
  m.Post();
  int64_t id = m.Fields(0).Value().integer();
  EXPECT_GT(id, 0);
  m.Close();

  run(m, QStringLiteral("Select * From Holders"));
  ASSERT_TRUE(m.Locate(QStringLiteral("ID"), Variant(QString::number(id)), {}));
  EXPECT_EQ(m.RecNo(), 3);
  EXPECT_EQ(m.Fields(1).AsString(), QString(10, u'名'));
  EXPECT_TRUE(m.Fields(2).IsNull());
  EXPECT_TRUE(m.Fields(3).IsNull());
  EXPECT_TRUE(m.Fields(4).IsNull());
  // Null assigned to a writable field stores Null.
  m.First();
  m.Edit();
  m.Fields(3).setValue(Variant::null());
  m.Post();
  m.Close();
  run(m, QStringLiteral("Select * From Holders"));
  EXPECT_TRUE(m.Fields(3).IsNull());
  EXPECT_EQ(m.Fields(2).AsString(), "5/1/2024");  // midnight: the date alone
  m.Next();
  EXPECT_EQ(m.Fields(2).AsString(), "5/1/2024 6:00:00 PM");
  EXPECT_TRUE(m.Locate(QStringLiteral("At"), Variant("5/1/2024"), {}));
  EXPECT_EQ(m.RecNo(), 1);
  EXPECT_TRUE(m.Locate(QStringLiteral("Name"), Variant("EVE"), loPartialKey));
  EXPECT_EQ(m.RecNo(), 2);
}

TEST_F(QueryWrite, PendingRecordsAreFinishedByNextAndSearch) {
  run(q, QStringLiteral("Select * From EmergencyDoorData"));
  int before = q.RecordCount();
  q.Append();
  q.Fields(2).setValue(Variant("NEXT-1"));
  q.Next();  // posts
  EXPECT_EQ(q.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(q.RecordCount(), before + 1);
  q.Append();  // nothing assigned: dropped by the search
  EXPECT_TRUE(q.Locate(QStringLiteral("DoorName"), Variant("next-1"), {}));
  EXPECT_EQ(q.RecordCount(), before + 1);
  q.Edit();
  q.Fields(1).setValue(Variant(77));
  EXPECT_FALSE(q.Locate(QStringLiteral("DoorName"), Variant("absent"), {}));
  EXPECT_EQ(q.Fields(1).AsString(), "77");
  EXPECT_EQ(q.State(), TDataSetState::dsBrowse);
}

TEST_F(QueryWrite, AFailedPostKeepsThePendingRecord) {
  QAR_INDEX_WRITER_OR_SKIP();
  run(q, QStringLiteral("Select * From DepartmentData"));
  ASSERT_GT(q.RecordCount(), 0);
  QString existing = q.Fields(0).AsString();
  int before = q.RecordCount();
  q.Append();
  q.Fields(0).setValue(Variant(existing));  // a duplicate of the primary key
  std::string m = messageOf([&] { q.Post(); });
  EXPECT_NE(m, "(no error)");
  EXPECT_FALSE(m.ends_with('.')) << m;
  EXPECT_EQ(m.find("adqTo:"), std::string::npos) << m;
  EXPECT_EQ(q.State(), TDataSetState::dsInsert);
  q.Cancel();
  EXPECT_EQ(q.RecordCount(), before);
  // The same for an edit: the assigned value stays, the other fields read as stored, and
  // cancelling leaves the record as it was.
  ASSERT_GT(before, 1);
  q.setRecNo(2);
  const QString second = q.Fields(0).AsString();
  const QString secondName = q.Fields(1).AsString();
  q.First();
  const QString firstName = q.Fields(1).AsString();
  q.Edit();
  q.Fields(0).setValue(Variant(second));
  m = messageOf([&] { q.Post(); });
  EXPECT_NE(m, "(no error)");
  EXPECT_EQ(q.State(), TDataSetState::dsEdit);
  EXPECT_EQ(q.Fields(0).AsString(), second);
  EXPECT_EQ(q.Fields(1).AsString(), firstName);
  q.Cancel();
  EXPECT_EQ(q.Fields(0).AsString(), existing);
  q.setRecNo(2);
  EXPECT_EQ(q.Fields(1).AsString(), secondName);
  // Appended records of an indexed table are found by the key search.
  q.Append();
  q.Fields(0).setValue(Variant("o'new"));
  q.Post();
  q.First();
  EXPECT_TRUE(q.Locate(QStringLiteral("DepartmentID"), Variant("O'NEW"), loCaseInsensitive));
  EXPECT_EQ(q.RecNo(), before + 1);
  q.Close();
  EXPECT_EQ(countOf(QStringLiteral("DepartmentData")), before + 1);
}

TEST_F(QueryWrite, OneFileAsSourceAndDestination) {
  TADOConnection from(QStringLiteral("adcFrom"));
  connect(from, path, cmShareDenyNone);
  TADOQuery src(QStringLiteral("adqFrom"));
  src.setConnection(&from);
  run(src, QStringLiteral("Select * From EmergencyDoorData"));
  run(q, QStringLiteral("Select * From EmergencyDoorData"));
  int before = src.RecordCount();
  for (int i = 0; i < before; ++i, src.Next()) {
    q.Append();
    for (int c = 0; c < q.FieldCount(); ++c) q.Fields(c).setValue(src.Fields(c).Value());
    q.Post();
  }
  // The reading side is never blocked and its open result stays as it was read.
  EXPECT_EQ(src.RecordCount(), before);
  run(src, QStringLiteral("Select * From UserRightsData"));
  q.Close();  // flushes
  run(src, QStringLiteral("Select * From EmergencyDoorData"));
  EXPECT_EQ(src.RecordCount(), 2 * before);
}

TEST_F(QueryWrite, ASecondWriterOnTheFileIsRefusedWithTheEnginesMessage) {
  run(q, QStringLiteral("Select * From EmergencyDoorData"));
  q.Edit();
  q.Fields(2).setValue(Variant("first writer"));
  q.Post();  // this connection now holds the write lock

  TADOConnection other(QStringLiteral("adcOther"));
  connect(other, path);
  other.setCommandTimeout(0);
  TADOQuery oq(QStringLiteral("adqOther"));
  oq.setConnection(&other);
  run(oq, QStringLiteral("Select * From EmergencyDoorData"));
  oq.Edit();
  oq.Fields(2).setValue(Variant("second writer"));
  std::string m = messageOf([&] { oq.Post(); });
  EXPECT_NE(m, "(no error)");
  EXPECT_EQ(oq.State(), TDataSetState::dsEdit);
  oq.Cancel();
  // Reading still works on the refused connection.
  run(oq, QStringLiteral("Select * From CardData"));
  EXPECT_TRUE(oq.Active());
}

// A writer's lock taken without waiting ("refused at once") still lets a later flush wait,
// as long as the command time-out then allows, for another program reading the file.
TEST_F(QueryWrite, AFlushWaitsForAReaderOnceTheTimeOutIsBackAfterALockTakenAtOnce) {
  conn.setCommandTimeout(0);
  run(q, QStringLiteral("Select * From EmergencyDoorData"));
  q.Edit();
  q.Fields(2).setValue(Variant("written while read"));
  q.Post();  // opens the file for writing, not waiting for anyone
  conn.setCommandTimeout(5);

  std::promise<void> reading;
  std::thread reader([&] {
    auto db = jet::Database::open(path.toStdString());
    std::optional<jet::RowCursor> cursor = db->table("CardData").scan();
    cursor->next();  // the scan holds the file's flush lock from here to its end
    reading.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cursor.reset();
  });
  reading.get_future().wait();
  EXPECT_EQ(messageOf([&] { q.Close(); }), "(no error)");
  reader.join();
  TADOConnection c;
  connect(c, path, cmShareDenyNone);
  TADOQuery r;
  r.setConnection(&c);
  run(r, QStringLiteral("Select * From EmergencyDoorData"));
  EXPECT_EQ(r.Fields(2).AsString(), QStringLiteral("written while read"));
}

// Copying a field from another dataset's field gives exactly what assigning its Value()
// gives, value by value: the shortcut for values of one kind must not change a thing (text
// cut at the field's size, empty memo, dates outside the years 100 to 9999, read-only
// auto-numbers, Null).
TEST(FieldCopy, CopyingAFieldEqualsAssigningItsValue) {
  QAR_WRITER_OR_SKIP();
  LocaleGuard locale{"en_US"};
  QTemporaryDir dir;
  using K = jet::ColumnKind;
  auto columns = [](int textSize) {
    return std::vector<jet::ColumnSpec>{
        {"ID", K::Long, 0, true},   {"Name", K::Text, textSize}, {"Remark", K::Memo},
        {"Small", K::Integer},      {"Tiny", K::Byte},           {"Flag", K::YesNo},
        {"Ratio", K::Single},       {"Real", K::Double},         {"Money", K::Currency},
        {"At", K::DateTime},        {"Count", K::Long},          {"Tag", K::ReplicationID}};
  };
  const std::string pair = "\xF0\x9F\x98\x80";  // one character, two UTF-16 units
  const jet::Guid guid{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
  std::vector<jet::Row> rows{
      {jet::Null{}, std::string("abcd"), std::string("memo"), int16_t{-7}, uint8_t{255}, true, 36.6f, 0.1,
       jet::Currency{-12345}, jet::DateTime{45413.75}, int32_t{INT32_MIN}, guid},
      {jet::Null{}, std::string("abcdefghij"), std::string(""), int16_t{32767}, uint8_t{0}, false, 1e30f, -0.0,
       jet::Currency{0}, jet::DateTime{-700000.0}, int32_t{0}, jet::Null{}},
      {jet::Null{}, std::string("abcd") + pair, jet::Null{}, jet::Null{}, jet::Null{}, jet::Null{}, jet::Null{},
       jet::Null{}, jet::Null{}, jet::Null{}, jet::Null{}, jet::Null{}},
      {jet::Null{}, std::string("ab") + pair + "c", std::string(" "), int16_t{0}, uint8_t{1}, true, -0.0f, 1e300,
       jet::Currency{INT64_MAX}, jet::DateTime{0.0}, int32_t{INT32_MAX}, guid},
      {jet::Null{}, std::string(""), std::string("ünïcödé 研究"), int16_t{1}, uint8_t{2}, false, 1.5f, 2.5,
       jet::Currency{1}, jet::DateTime{2958465.99}, int32_t{-1}, guid}};
  const QString from = createDatabase(dir, QStringLiteral("from.mdb"), {"T", columns(20), {}}, rows);
  const QString to = createDatabase(dir, QStringLiteral("to.mdb"), {"T", columns(5), {}}, {});

  TADOConnection source, destination;
  for (auto [c, file] : {std::pair{&source, from}, std::pair{&destination, to}}) {
    c->setProvider(TADOConnection::kJetProvider);
    c->setConnectionString(file);
    c->setLoginPrompt(false);
    c->setConnected(true);
  }
  TADOQuery in, out;
  in.setConnection(&source);
  out.setConnection(&destination);
  run(in, QStringLiteral("Select * From T"));
  run(out, QStringLiteral("Select * From T"));
  ASSERT_EQ(in.RecordCount(), static_cast<int>(rows.size()));
  for (int r = 0; r < in.RecordCount(); ++r) {
    for (int c = 0; c < in.FieldCount(); ++c) {
      SCOPED_TRACE("record " + std::to_string(r + 1) + ", column " + std::to_string(c));
      out.Append();
      const std::string copyError = messageOf([&] { out.Fields(c).copyValueFrom(in.Fields(c)); });
      const Variant copied = out.Fields(c).Value();
      out.Cancel();
      out.Append();
      const std::string assignError = messageOf([&] { out.Fields(c).setValue(in.Fields(c).Value()); });
      const Variant assigned = out.Fields(c).Value();
      out.Cancel();
      EXPECT_EQ(copyError, assignError);
      EXPECT_EQ(copied, assigned) << copied.toString().toStdString() << " / " << assigned.toString().toStdString();
    }
    in.Next();
  }
}
