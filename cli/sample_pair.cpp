// The sample pair: table shapes as a QAR26M site has them and generated records on both sides.
#include "cli/sample_pair.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "jet/database.h"

namespace qar::cli {

namespace {

using jet::ColumnKind;
using jet::Row;
using jet::Value;

enum class Side { Source, Destination };

constexpr int kRecords = 24;        // per table on the source side
constexpr int kFlowRecords = 240;   // CRFlowData, the event log, is the big one
constexpr double kFirstDay = 46000; // 2025-12-09 as an OLE automation date

Value text(const std::string& s) { return s; }
Value longValue(int v) { return int32_t(v); }
Value integer(int v) { return int16_t(v); }
Value byteValue(int v) { return uint8_t(v); }
Value yesNo(bool v) { return v; }
Value day(double offset) { return jet::DateTime{kFirstDay + offset}; }
Value money(int cents) { return jet::Currency{int64_t(cents) * 100}; }

std::string numbered(const char* pattern, int n) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, pattern, n);
  return buffer;
}

// Which keys a merge table holds on each side: the source keys 1..n, the destination the
// upper half of them plus as many new ones, so half the source records update and half append.
std::vector<int> keysOf(Side side, int n) {
  std::vector<int> keys;
  const int first = side == Side::Source ? 1 : n / 2 + 1;
  for (int k = first; k < first + n; ++k) keys.push_back(k);
  return keys;
}

// A text key; every third shared key is spelled in lower case at the destination.
std::string textKey(const char* pattern, int k, Side side) {
  std::string key = numbered(pattern, k);
  if (side == Side::Destination && k % 3 == 0) {
    for (char& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
  }
  return key;
}

struct SampleTable {
  jet::TableSpec blueprint;
  // The records of one side, in the order they are inserted.
  std::function<std::vector<Row>(Side)> rows;
};

jet::ColumnSpec col(const char* name, ColumnKind kind, int size = 0, bool autoNumber = false) {
  return jet::columnSpec(name, kind, size, autoNumber);
}

jet::IndexSpec primaryKey(std::vector<std::string> columns) {
  return {"PrimaryKey", std::move(columns), true, true, false};
}

// Records of a two-key table: controller 1 + k/4, second key k%4, over the side's keys.
std::vector<Row> twoKeyRows(Side side, const std::function<Row(int controller, int second, int k)>& make) {
  std::vector<Row> rows;
  for (int k : keysOf(side, kRecords)) rows.push_back(make(1 + k / 4, k % 4, k));
  return rows;
}

// Records of a replace-all table: the source's n, or half as many different ones.
std::vector<Row> replacedRows(Side side, int n, const std::function<Row(int i, int salt)>& make) {
  std::vector<Row> rows;
  const int count = side == Side::Source ? n : n / 2;
  for (int i = 1; i <= count; ++i) rows.push_back(make(i, side == Side::Source ? 0 : 500));
  return rows;
}

const char* const kDepartments[] = {"Sales", "Engineering", "Security", "Front desk",
                                    "\xe8\xb4\xa2\xe5\x8a\xa1\xe9\x83\xa8"};  // finance (CJK)
const char* const kNames[] = {"Li Wei", "Anna Berg", "\xe5\xbc\xa0\xe4\xbc\x9f",  // Zhang Wei
                              "Omar Haddad", "Maria Rossi", "\xe7\x8e\x8b\xe8\x8a\xb3"};  // Wang Fang

std::vector<SampleTable> sampleTables() {
  std::vector<SampleTable> t;
  t.push_back({{"DepartmentData",
                {col("DepartmentID", ColumnKind::Text, 10), col("DepartmentName", ColumnKind::Text, 50),
                 col("ParentID", ColumnKind::Text, 10), col("Remark", ColumnKind::Memo)},
                {primaryKey({"DepartmentID"})}},
               [](Side side) {
                 std::vector<Row> rows;
                 for (int k : keysOf(side, kRecords)) {
                   rows.push_back({text(textKey("D%03d", k, side)), text(kDepartments[k % 5]),
                                   k > 4 ? text(numbered("D%03d", k % 4 + 1)) : Value{jet::Null{}},
                                   text(std::string(side == Side::Source ? "moved from site A; " : "") +
                                        std::string(300, 'r'))});
                 }
                 return rows;
               }});
  t.push_back({{"UserRightsData",
                {col("UserName", ColumnKind::Text, 20), col("UserPassword", ColumnKind::Text, 20),
                 col("RightsLevel", ColumnKind::Byte), col("CanEdit", ColumnKind::YesNo),
                 col("CanDelete", ColumnKind::YesNo), col("LastLogin", ColumnKind::DateTime)},
                {primaryKey({"UserName"})}},
               [](Side side) {
                 std::vector<Row> rows;
                 for (int k : keysOf(side, kRecords))
                   rows.push_back({text(textKey("OPERATOR%02d", k, side)), text(numbered("pw%04d", k * 7)),
                                   byteValue(k % 4), yesNo(k % 2 == 0), yesNo(k % 5 == 0), day(k + 0.375)});
                 return rows;
               }});
  t.push_back({{"CardData",
                {col("ID", ColumnKind::Long, 0, true), col("CardType", ColumnKind::Byte),
                 col("CardNo", ColumnKind::Text, 20), col("HolderID", ColumnKind::Long),
                 col("IssueDate", ColumnKind::DateTime), col("ExpireDate", ColumnKind::DateTime),
                 col("Status", ColumnKind::Integer), col("Deposit", ColumnKind::Currency)},
                {primaryKey({"ID"})}},
               [](Side side) {
                 std::vector<Row> rows;
                 for (int i = 1; i <= kRecords; ++i) {
                   // Every fifth source card has no number: its destination partner stays as is.
                   const bool blank = side == Side::Source && i % 5 == 0;
                   rows.push_back({jet::Null{}, byteValue(i % 3),
                                   blank ? text("  ") : text(numbered("C%05d", i + (side == Side::Source ? 0 : 9000))),
                                   longValue(i), day(i), day(i + 730), integer(side == Side::Source ? 1 : 0),
                                   money(1000 + i)});
                 }
                 return rows;
               }});
  t.push_back({{"TimerData",
                {col("TimerNo", ColumnKind::Integer), col("TimerName", ColumnKind::Text, 30),
                 col("StartTime", ColumnKind::DateTime), col("EndTime", ColumnKind::DateTime),
                 col("Weekdays", ColumnKind::Byte), col("Enabled", ColumnKind::YesNo)},
                {}},
               [](Side side) {
                 return replacedRows(side, kRecords, [](int i, int salt) -> Row {
                   return {integer(i + salt), text(numbered("Shift %d", i + salt)), day(0.25 + i / 100.0),
                           day(0.75), byteValue(0x1f), yesNo(true)};
                 });
               }});
  t.push_back({{"EmergencyDoorData",
                {col("DoorNo", ColumnKind::Long), col("ControllerNo", ColumnKind::Long),
                 col("DoorName", ColumnKind::Text, 30), col("OpenOnAlarm", ColumnKind::YesNo)},
                {}},
               [](Side side) {
                 return replacedRows(side, kRecords, [](int i, int salt) -> Row {
                   return {longValue(i + salt), longValue(1 + i / 4), text(numbered("Fire exit %d", i)),
                           yesNo(i % 2 == 1)};
                 });
               }});
  t.push_back({{"ControllerData",
                {col("ControllerNo", ColumnKind::Long), col("ControllerName", ColumnKind::Text, 30),
                 col("IPAddress", ColumnKind::Text, 15), col("Port", ColumnKind::Long),
                 col("Model", ColumnKind::Text, 20), col("Enabled", ColumnKind::YesNo),
                 col("Remark", ColumnKind::Memo)},
                {primaryKey({"ControllerNo"})}},
               [](Side side) {
                 std::vector<Row> rows;
                 for (int k : keysOf(side, kRecords))
                   rows.push_back({longValue(k), text(numbered("Gate %d", k)), text(numbered("10.0.0.%d", k)),
                                   longValue(side == Side::Source ? 60000 : 50000), text("QAR-26M"),
                                   yesNo(true), jet::Null{}});
                 return rows;
               }});
  auto twoKeyTable = [&t](const char* name, const char* second, std::vector<jet::ColumnSpec> rest,
                          std::function<Row(int, int, int)> make) {
    std::vector<jet::ColumnSpec> columns{col("ControllerNo", ColumnKind::Long), col(second, ColumnKind::Integer)};
    columns.insert(columns.end(), rest.begin(), rest.end());
    t.push_back({{name, columns, {primaryKey({"ControllerNo", second})}},
                 [make](Side side) { return twoKeyRows(side, make); }});
  };
  twoKeyTable("CRAppSetData", "AppID",
              {col("AppValue", ColumnKind::Text, 20), col("AppLevel", ColumnKind::Long), col("AppFlag", ColumnKind::YesNo)},
              [](int c, int s, int k) -> Row {
                return {longValue(c), integer(s), text(numbered("value %d", k)), longValue(k), yesNo(k % 2 == 0)};
              });
  t.push_back({{"HolderData",
                {col("ID", ColumnKind::Long, 0, true), col("HolderNo", ColumnKind::Text, 20),
                 col("HolderName", ColumnKind::Text, 50), col("DepartmentID", ColumnKind::Text, 10),
                 col("Sex", ColumnKind::Text, 2), col("Birthday", ColumnKind::DateTime),
                 col("CardNo", ColumnKind::Text, 20), col("Phone", ColumnKind::Text, 20),
                 col("Salary", ColumnKind::Currency), col("Remark", ColumnKind::Memo)},
                {primaryKey({"ID"})}},
               [](Side side) {
                 std::vector<Row> rows;
                 for (int i = 1; i <= kRecords; ++i) {
                   const bool blank = side == Side::Source && i % 5 == 0;
                   rows.push_back({jet::Null{}, text(numbered("H%04d", i)), text(kNames[i % 6]),
                                   text(numbered("D%03d", i % 8 + 1)), text(i % 2 ? "M" : "F"), day(-12000 - i * 97),
                                   blank ? Value{jet::Null{}} : text(numbered("C%05d", i)),
                                   text(numbered("555-%04d", i)), money(side == Side::Source ? 420000 : 400000),
                                   text("")});
                 }
                 return rows;
               }});
  t.push_back({{"CRCardData",
                {col("CardNo", ColumnKind::Text, 20), col("ControllerNo", ColumnKind::Long),
                 col("CardLevel", ColumnKind::Byte), col("ValidFrom", ColumnKind::DateTime),
                 col("ValidTo", ColumnKind::DateTime)},
                {primaryKey({"CardNo"})}},
               [](Side side) {
                 std::vector<Row> rows;
                 for (int k : keysOf(side, kRecords))
                   rows.push_back({text(textKey("CARD%05d", k, side)), longValue(1 + k / 4), byteValue(k % 3),
                                   day(0), day(side == Side::Source ? 365 : 180)});
                 return rows;
               }});
  twoKeyTable("CRDISetData", "DINo", {col("DIName", ColumnKind::Text, 30), col("DIMode", ColumnKind::Byte)},
              [](int c, int s, int k) -> Row {
                return {longValue(c), integer(s), text(numbered("Input %d", k)), byteValue(k % 2)};
              });
  twoKeyTable("CRDOSetData", "DONo", {col("DOName", ColumnKind::Text, 30), col("PulseMs", ColumnKind::Long)},
              [](int c, int s, int k) -> Row {
                return {longValue(c), integer(s), text(numbered("Relay %d", k)), longValue(250 * (k % 4 + 1))};
              });
  t.push_back({{"CRFlowData",
                {col("FlowID", ColumnKind::Long), col("ControllerNo", ColumnKind::Long),
                 col("EventTime", ColumnKind::DateTime), col("CardNo", ColumnKind::Text, 20),
                 col("EventCode", ColumnKind::Integer), col("Temperature", ColumnKind::Single)},
                {}},
               [](Side side) {
                 return replacedRows(side, kFlowRecords, [](int i, int salt) -> Row {
                   return {longValue(i + salt), longValue(1 + i % 6), day(i / 48.0),
                           text(numbered("C%05d", i % kRecords + 1)), integer(i % 7), float(20 + (i % 10) / 4.0f)};
                 });
               }});
  twoKeyTable("CRModuleData", "ModuleNo",
              {col("ModuleType", ColumnKind::Text, 20), col("Serial", ColumnKind::Text, 30), col("Enabled", ColumnKind::YesNo)},
              [](int c, int s, int k) -> Row {
                return {longValue(c), integer(s), text(k % 2 ? "Reader" : "Relay board"),
                        text(numbered("SN-%06d", k * 131)), yesNo(true)};
              });
  twoKeyTable("CRTimerData", "TimerNo", {col("StartTime", ColumnKind::DateTime), col("EndTime", ColumnKind::DateTime)},
              [](int c, int s, int k) -> Row {
                return {longValue(c), integer(s), day(0.25 + k / 1000.0), day(0.8)};
              });
  twoKeyTable("CRTimeZoneData", "ZoneNo", {col("ZoneName", ColumnKind::Text, 30), col("UtcOffset", ColumnKind::Double)},
              [](int c, int s, int k) -> Row {
                return {longValue(c), integer(s), text(numbered("Zone %d", k)), double(k % 5) - 2.5};
              });
  t.push_back({{"HolidayData",
                {col("HolidayDate", ColumnKind::DateTime), col("HolidayName", ColumnKind::Text, 40),
                 col("Recurring", ColumnKind::YesNo)},
                {}},
               [](Side side) {
                 return replacedRows(side, kRecords, [](int i, int salt) -> Row {
                   return {day(i * 15 + salt), text(numbered("Holiday %d", i)), yesNo(i % 3 == 0)};
                 });
               }});
  t.push_back({{"HolderCardData",
                {col("HolderID", ColumnKind::Long), col("CardNo", ColumnKind::Text, 20),
                 col("Assigned", ColumnKind::DateTime)},
                {}},
               [](Side side) {
                 return replacedRows(side, kRecords, [](int i, int salt) -> Row {
                   return {longValue(i + salt), text(numbered("C%05d", i)), day(i)};
                 });
               }});
  t.push_back({{"IOData",
                {col("IONo", ColumnKind::Long), col("IOName", ColumnKind::Text, 30),
                 col("IOKind", ColumnKind::Byte), col("IOValue", ColumnKind::Double)},
                {}},
               [](Side side) {
                 return replacedRows(side, kRecords, [](int i, int salt) -> Row {
                   return {longValue(i + salt), text(numbered("Point %d", i)), byteValue(i % 2), i * 0.5};
                 });
               }});
  return t;
}

// The keys a site's tables have, where the engine can keep indexes; without them otherwise,
// so the pair can still be converted (the merge strategies search without an index too).
jet::Table createWithKeysIfPossible(jet::Database& db, jet::TableSpec blueprint) {
  try {
    return db.createTable(blueprint);
  } catch (const jet::Error& e) {
    if (e.kind() != jet::ErrorKind::Unsupported || blueprint.indexes.empty()) throw;
  }
  blueprint.indexes.clear();
  return db.createTable(blueprint);
}

void writeSide(const std::string& path, Side side, jet::SortOrder textOrder) {
  auto db = jet::Database::create(path);
  for (SampleTable& table : sampleTables()) {
    for (jet::ColumnSpec& column : table.blueprint.columns) column.sortOrder = textOrder;
    jet::Table written = createWithKeysIfPossible(*db, table.blueprint);
    for (Row& row : table.rows(side)) written.insert(row);
  }
  db->close();
}

}  // namespace

SamplePair makeSamplePair(const std::string& folder, jet::SortOrder destinationTextOrder) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  SamplePair pair{(fs::path(folder) / "source.mdb").string(), (fs::path(folder) / "destination.mdb").string()};
  for (const std::string& path : {pair.source, pair.destination}) {
    if (fs::exists(path)) throw std::runtime_error(path + " exists already; choose an empty folder");
  }
  try {
    writeSide(pair.source, Side::Source, jet::SortOrder{1033, 0});
    writeSide(pair.destination, Side::Destination, destinationTextOrder);
  } catch (...) {
    std::error_code ignored;
    fs::remove(pair.source, ignored);
    fs::remove(pair.destination, ignored);
    throw;
  }
  return pair;
}

}  // namespace qar::cli
