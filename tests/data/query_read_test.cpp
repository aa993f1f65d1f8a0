// Reading through the dataset layer on copies of the shared QAR26M fixtures: opening every
// table, walking, field kinds and text, key search, the query's and connection's errors,
// and a reading connection leaving its file byte for byte unchanged.
#include <algorithm>
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "base/exception.h"
#include "data/connection.h"
#include "data/query.h"
#include "data_fixtures.h"

using namespace qar::data;
using namespace qar::data::testing;

namespace {

const char* const kTables[] = {"DepartmentData", "UserRightsData", "CardData",    "TimerData",
                               "EmergencyDoorData", "ControllerData", "CRAppSetData", "HolderData",
                               "CRCardData", "CRDISetData", "CRDOSetData", "CRFlowData",
                               "CRModuleData", "CRTimerData", "CRTimeZoneData", "HolidayData",
                               "HolderCardData", "IOData"};

void select(TADOQuery& q, const QString& table) {
  q.Close();
  q.SQL().Clear();
  q.SQL().Add(QStringLiteral("Select * From ") + table);
  q.Open();
}

class QueryRead : public ::testing::Test {
 protected:
  void SetUp() override {
    path = copyFixture(QStringLiteral("qar26m/basic/source.mdb"), dir);
    if (path.isEmpty()) GTEST_SKIP() << "fixture qar26m/basic/source.mdb is absent (" << QAR_FIXTURES_DIR << ")";
    conn.setProvider(TADOConnection::kJetProvider);
    conn.setConnectionString(path);
    conn.setMode(cmShareDenyNone);
    conn.setLoginPrompt(false);
    q.setConnection(&conn);
    q.setCursorType(ctStatic);
  }
  LocaleGuard locale{"en_US"};
  QTemporaryDir dir;
  QString path;
  TADOConnection conn{QStringLiteral("adcFrom")};
  TADOQuery q{QStringLiteral("adqFrom")};
};

}  // namespace

TEST_F(QueryRead, EveryTableOpensAndWalksToItsEnd) {
  conn.setConnected(true);
  auto db = jet::Database::open(path.toStdString());
  for (const char* name : kTables) {
    SCOPED_TRACE(name);
    select(q, name);
    jet::Table t = db->table(name);
    EXPECT_EQ(q.FieldCount(), static_cast<int>(t.def().columns.size()));
    int rows = 0;
    for (auto c = t.scan(); c.next();) ++rows;
    ASSERT_EQ(q.RecordCount(), rows);
    EXPECT_EQ(q.EndOfData(), rows == 0);
    int walked = 0;
    while (!q.EndOfData()) {
      ++walked;
      for (int f = 0; f < q.FieldCount(); ++f) q.Fields(f).AsString();
      q.Next();
    }
    EXPECT_EQ(walked, rows);
    if (rows > 0) {
      // Next on the last record keeps it current.
      EXPECT_EQ(q.RecNo(), rows);
      q.Next();
      EXPECT_TRUE(q.EndOfData());
      EXPECT_EQ(q.RecNo(), rows);
    }
  }
}

TEST_F(QueryRead, FieldKindsValuesAndUnicodeText) {
  select(q, QStringLiteral("HolderData"));
  ASSERT_GT(q.RecordCount(), 0);
  EXPECT_EQ(q.Fields(0).FieldName(), "ID");
  EXPECT_EQ(q.Fields(0).DataType(), ftAutoInc);
  EXPECT_TRUE(q.Fields(0).ReadOnly());
  EXPECT_EQ(q.Fields(2).DataType(), ftWideString);
  EXPECT_EQ(q.Fields(2).Size(), 50);
  EXPECT_EQ(q.Fields(5).DataType(), ftDateTime);
  EXPECT_EQ(q.Fields(8).DataType(), ftBCD);
  EXPECT_EQ(q.Fields(9).DataType(), ftMemo);
  EXPECT_EQ(q.FieldByName(QStringLiteral("holdername")).Index(), 2);
  bool sawWide = false, sawNullMemo = false;
  for (; !q.EndOfData(); q.Next()) {
    QString name = q.Fields(2).AsString();
    for (QChar c : name) sawWide |= c.unicode() > 0x2E80;
    if (q.Fields(9).IsNull()) {
      sawNullMemo = true;
      EXPECT_EQ(q.Fields(9).Value(), Variant(QString()));  // a Null memo reads as empty text
    }
    EXPECT_EQ(q.Fields(0).Value().type(), VarType::Integer);
  }
  EXPECT_TRUE(sawWide) << "HolderData of the fixture holds CJK names";
  (void)sawNullMemo;

  select(q, QStringLiteral("UserRightsData"));
  EXPECT_EQ(q.Fields(2).DataType(), ftWord);
  EXPECT_EQ(q.Fields(3).DataType(), ftBoolean);
  if (q.RecordCount() > 0) {
    QString b = q.Fields(3).AsString();
    EXPECT_TRUE(b == "True" || b == "False") << b.toStdString();
  }
  select(q, QStringLiteral("CRFlowData"));
  EXPECT_EQ(q.Fields(5).DataType(), ftFloat);
  EXPECT_EQ(q.Fields(4).DataType(), ftSmallint);
}

TEST_F(QueryRead, KeySearchOnTextAndLongKeys) {
  select(q, QStringLiteral("DepartmentData"));
  ASSERT_GT(q.RecordCount(), 2);
  q.Next();
  q.Next();
  QString key = q.Fields(0).AsString();
  int where = q.RecNo();
  q.First();
  EXPECT_TRUE(q.Locate(QStringLiteral("departmentid"), Variant(key.toLower()), loCaseInsensitive));
  EXPECT_EQ(q.RecNo(), where);
  EXPECT_FALSE(q.EndOfData());
  EXPECT_TRUE(q.Locate(QStringLiteral("DepartmentID"), Variant(key.toUpper()), loCaseInsensitive));
  EXPECT_EQ(q.RecNo(), where);
  // A miss leaves the current record.
  EXPECT_FALSE(q.Locate(QStringLiteral("DepartmentID"), Variant("no such key"), loCaseInsensitive));
  EXPECT_EQ(q.RecNo(), where);
  EXPECT_FALSE(q.Locate(QStringLiteral("NoSuchField"), Variant(key), loCaseInsensitive));
  EXPECT_EQ(q.RecNo(), where);
  // The result keeps its own order: next moves on from the found record.
  q.Next();
  EXPECT_EQ(q.RecNo(), where + 1);

  select(q, QStringLiteral("ControllerData"));
  ASSERT_GT(q.RecordCount(), 1);
  q.Next();
  QString number = q.Fields(0).AsString();
  q.First();
  EXPECT_TRUE(q.Locate(QStringLiteral("ControllerNo"), Variant(number), loCaseInsensitive));
  EXPECT_EQ(q.RecNo(), 2);
  q.First();
  EXPECT_FALSE(q.Locate(QStringLiteral("ControllerNo"), Variant(QString()), loCaseInsensitive));
  EXPECT_FALSE(q.Locate(QStringLiteral("ControllerNo"), Variant("x1"), loCaseInsensitive));
  EXPECT_EQ(q.RecNo(), 1);

  // Two key fields, as the two-key merge searches.
  select(q, QStringLiteral("CRAppSetData"));
  ASSERT_GT(q.RecordCount(), 0);
  q.Next();
  std::vector<Variant> both{Variant(q.Fields(0).AsString()), Variant(q.Fields(1).AsString())};
  int at = q.RecNo();
  q.First();
  EXPECT_TRUE(q.Locate(QStringLiteral("ControllerNo; AppID"), both, loCaseInsensitive));
  EXPECT_EQ(q.Fields(0).AsString(), both[0].text());
  EXPECT_EQ(q.Fields(1).AsString(), both[1].text());
  EXPECT_LE(q.RecNo(), at);
}

TEST_F(QueryRead, DateKeysAreFoundByTheirTextForm) {
  select(q, QStringLiteral("CRCardData"));
  for (; !q.EndOfData(); q.Next()) {
    if (q.Fields(3).IsNull()) continue;
    QString text = q.Fields(3).AsString();
    int at = q.RecNo();
    q.First();
    ASSERT_TRUE(q.Locate(QStringLiteral("ValidFrom"), Variant(text), {})) << text.toStdString();
    EXPECT_LE(q.RecNo(), at);
    EXPECT_EQ(q.Fields(3).AsString(), text);
    return;
  }
  GTEST_SKIP() << "no ValidFrom value in the fixture";
}

TEST_F(QueryRead, ErrorsOfTheQuery) {
  EXPECT_EQ(messageOf([&] { q.RecordCount(); }), "adqFrom: Cannot perform this operation on a closed dataset");
  EXPECT_EQ(messageOf([&] { q.Locate("DepartmentID", Variant("1"), {}); }),
            "adqFrom: Cannot perform this operation on a closed dataset");
  EXPECT_EQ(messageOf([&] { q.Edit(); }), "adqFrom: Cannot perform this operation on a closed dataset");
  EXPECT_EQ(messageOf([&] { q.Append(); }), "adqFrom: Cannot perform this operation on a closed dataset");
  EXPECT_EQ(messageOf([&] { q.Next(); }), "adqFrom: Cannot perform this operation on a closed dataset");
  EXPECT_EQ(messageOf([&] { q.Open(); }), "adqFrom: Missing SQL property");
  EXPECT_FALSE(q.Active());

  q.SQL().Add(QStringLiteral("Delete From DepartmentData"));
  EXPECT_EQ(messageOf([&] { q.Open(); }), "adqFrom: CommandText does not return a result set");
  EXPECT_FALSE(q.Active());
  q.SQL().Clear();
  q.SQL().Add(QStringLiteral("Select * From NoSuchTable"));
  EXPECT_EQ(messageOf([&] { q.Open(); }), "The table 'NoSuchTable' does not exist in the database");
  EXPECT_FALSE(q.Active());
  q.SQL().Clear();
  q.SQL().Add(QStringLiteral("Select Name From DepartmentData"));
  EXPECT_NE(messageOf([&] { q.Open(); }).find("Unsupported statement"), std::string::npos);

  select(q, QStringLiteral("DepartmentData"));
  int n = q.FieldCount();
  EXPECT_EQ(messageOf([&] { q.Fields(n); }), "List index out of bounds (" + std::to_string(n) + ")");
  EXPECT_EQ(messageOf([&] { q.Fields(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(messageOf([&] { q.Post(); }), "adqFrom: Dataset not in edit or insert mode");
  EXPECT_EQ(messageOf([&] { q.Fields(1).setValue(Variant("x")); }), "adqFrom: Dataset not in edit or insert mode");
  // Changing the statement closes the query.
  q.SQL().Clear();
  EXPECT_FALSE(q.Active());
  EXPECT_EQ(q.FieldCount(), 0);
}

TEST_F(QueryRead, ResultsThatCannotBeModified) {
  conn.setMode(cmRead);
  select(q, QStringLiteral("DepartmentData"));
  EXPECT_EQ(messageOf([&] { q.Edit(); }), "adqFrom: Cannot modify a read-only dataset");
  EXPECT_EQ(messageOf([&] { q.Append(); }), "adqFrom: Cannot modify a read-only dataset");
  q.Close();
  conn.setConnected(false);

  // The shared fixture itself is read-only on disk.
  TADOConnection direct;
  direct.setConnectionString(fixture(QStringLiteral("qar26m/basic/source.mdb")));
  TADOQuery dq(QStringLiteral("adqRO"));
  dq.setConnection(&direct);
  if (QFileInfo(direct.ConnectionString()).isWritable()) GTEST_SKIP() << "fixtures are writable here";
  select(dq, QStringLiteral("DepartmentData"));
  EXPECT_EQ(messageOf([&] { dq.Edit(); }), "adqRO: Cannot modify a read-only dataset");
  dq.SQL().Clear();
  dq.SQL().Add(QStringLiteral("Delete From DepartmentData"));
  EXPECT_NE(messageOf([&] { dq.ExecSQL(); }), "(no error)");
}

TEST_F(QueryRead, ConnectRefusals) {
  TADOConnection c;
  EXPECT_EQ(messageOf([&] { c.setConnected(true); }), "No database file named: the connection string is empty");
  c.setConnectionString(dir.filePath(QStringLiteral("missing.mdb")));
  EXPECT_NE(messageOf([&] { c.setConnected(true); }).find("Could not find file"), std::string::npos);
  QFile junk(dir.filePath(QStringLiteral("junk.mdb")));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write(QByteArray(8192, 'x'));
  junk.close();
  c.setConnectionString(junk.fileName());
  std::string m = messageOf([&] { c.setConnected(true); });
  EXPECT_NE(m, "(no error)");
  EXPECT_FALSE(m.ends_with('.')) << m;
  EXPECT_FALSE(c.Connected());
  c.setConnectionString(path);
  c.setProvider(QStringLiteral("SQLOLEDB"));
  EXPECT_NE(messageOf([&] { c.setConnected(true); }).find("Provider 'SQLOLEDB' cannot be found"), std::string::npos);
  c.setProvider(QStringLiteral("microsoft.jet.oledb.4.0"));
  c.setConnected(true);
  EXPECT_TRUE(c.Connected());
  EXPECT_EQ(messageOf([&] { c.setConnectionString(QStringLiteral("x")); }),
            "Operation is not allowed when the object is open");
  c.setConnected(false);
  EXPECT_FALSE(c.Connected());
}

TEST_F(QueryRead, AReadingConnectionLeavesItsFileUnchanged) {
  QByteArray before = fileHash(path);
  QDateTime modified = QFileInfo(path).lastModified();
  conn.setConnected(true);
  for (const char* name : kTables) {
    select(q, name);
    while (!q.EndOfData()) q.Next();
    if (q.FieldCount() > 0) q.Locate(q.Fields(0).FieldName(), Variant("1"), loCaseInsensitive);
  }
  q.Close();
  conn.setConnected(false);
  EXPECT_EQ(fileHash(path), before);
  EXPECT_EQ(QFileInfo(path).lastModified(), modified);
}

TEST_F(QueryRead, KeepConnectionOffDisconnectsWithTheLastQuery) {
  conn.setKeepConnection(false);
  select(q, QStringLiteral("DepartmentData"));
  EXPECT_TRUE(conn.Connected());
  q.Close();
  EXPECT_FALSE(conn.Connected());
  // And a query connects again when opened.
  select(q, QStringLiteral("DepartmentData"));
  EXPECT_TRUE(conn.Connected());
  // Disconnecting closes the queries on the connection.
  conn.setConnected(false);
  EXPECT_FALSE(q.Active());
}

TEST(QueryReadJet3, Access97FilesAreReadAndEdited) {
  QTemporaryDir dir;
  QString path = copyFixture(QStringLiteral("access/jet3/testV1997.mdb"), dir);
  if (path.isEmpty()) GTEST_SKIP() << "fixture access/jet3/testV1997.mdb is absent (" << QAR_FIXTURES_DIR << ")";
  std::string first = jet::Database::open(path.toStdString())->tableNames().at(0);
  TADOConnection c;
  c.setConnectionString(path);
  TADOQuery q(QStringLiteral("adq97"));
  q.setConnection(&c);
  q.SQL().Add(QStringLiteral("Select * From [%1]").arg(QString::fromStdString(first)));
  q.Open();
  EXPECT_GT(q.FieldCount(), 0);
  for (; !q.EndOfData(); q.Next())
    for (int f = 0; f < q.FieldCount(); ++f) q.Fields(f).AsString();
  // Text in the file's code page (1252), written and read back.
  q.First();
  q.Edit();
  q.Fields(1).setAsString(QStringLiteral("édité"));
  q.Post();
  q.Append();
  q.Fields(0).setAsString(QStringLiteral("new"));
  q.Fields(1).setAsString(QStringLiteral("Müller"));
  q.Post();
  q.Close();
  c.setConnected(false);
  auto written = jet::Database::open(path.toStdString());
  auto rows = written->table(first).scan();
  std::vector<std::string> seen;
  while (rows.next()) seen.push_back(std::get<std::string>(rows.values()[1]));
  EXPECT_NE(std::find(seen.begin(), seen.end(), "édité"), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), "Müller"), seen.end());
}

TEST_F(QueryRead, MaxRecordsLimitsTheResult) {
  q.setMaxRecords(5);
  select(q, QStringLiteral("CRFlowData"));
  EXPECT_EQ(q.RecordCount(), 5);
  q.setMaxRecords(0);
  select(q, QStringLiteral("CRFlowData"));
  EXPECT_GT(q.RecordCount(), 5);
}
