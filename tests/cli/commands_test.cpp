// The qar26m-cli read commands as a user runs them: output formats, exit statuses (1 for
// failures, 2 for usage errors) and messages on standard error.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/command.h"
#include "reader_fixtures.h"

namespace qar::cli {
namespace {

struct CliRun {
  int status;
  std::string out, err;
};

CliRun run(Args args) {
  std::ostringstream out, err;
  int status = runCli(args, out, err);
  return {status, out.str(), err.str()};
}

TEST(CliCommands, HelpAndUsageErrors) {
  CliRun help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* c : {"tables", "schema", "export"}) EXPECT_NE(help.out.find(c), std::string::npos) << c;
  EXPECT_EQ(run({}).status, 2);
  CliRun unknown = run({"frobnicate"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("unknown command"), std::string::npos);
  EXPECT_EQ(run({"tables"}).status, 2);
  EXPECT_EQ(run({"export", "a.mdb"}).status, 2);
  CliRun badFormat = run({"export", "a.mdb", "T", "--format", "xml"});
  EXPECT_EQ(badFormat.status, 2);
  EXPECT_NE(badFormat.err.find("usage:"), std::string::npos);
  EXPECT_EQ(run({"export", "a.mdb", "T", "--format"}).status, 2);
  EXPECT_EQ(run({"schema", "a.mdb", "--colour", "x"}).status, 2);
  EXPECT_EQ(run({"schema", "--help"}).status, 0);
}

TEST(CliCommands, FailuresExitWithStatus1) {
  CliRun missing = run({"tables", "/nonexistent/x.mdb"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("/nonexistent/x.mdb"), std::string::npos);
  EXPECT_TRUE(missing.out.empty());
  jet::testing::TempDir dir;
  auto junk = dir.path() / "junk.mdb";
  jet::testing::writeWholeFile(junk, std::vector<uint8_t>(5000, 'x'));
  CliRun notJet = run({"schema", junk.string()});
  EXPECT_EQ(notJet.status, 1);
  EXPECT_NE(notJet.err.find("not a Jet 3 or Jet 4 database"), std::string::npos) << notJet.err;
}

TEST(CliCommands, TablesSchemaAndExportOfAKnownFile) {
  QAR_REQUIRE_FIXTURES();
  auto path = jet::testing::fixture("access/jet4/testV2000.mdb");
  if (path.empty()) GTEST_SKIP() << "testV2000.mdb not in the fixtures";
  EXPECT_EQ(run({"tables", path.string()}).out, "Table1\nTable2\nTable3\nTable4\n");

  CliRun schema = run({"schema", path.string(), "Table3"});
  EXPECT_EQ(schema.status, 0);
  EXPECT_EQ(schema.out,
            "table\tTable3\trows 0\n"
            "column\t0\ta\tAutoNumber\t4\tauto-number\n"
            "column\t1\tb\tText\t50\tGeneral (1033, version 0)\n"
            "index\tid\ta\t-\n"
            "index\tPrimaryKey\ta\tprimary,unique,required\n");
  CliRun missingTable = run({"schema", path.string(), "Nope"});
  EXPECT_EQ(missingTable.status, 1);
  EXPECT_NE(missingTable.err.find("Nope"), std::string::npos);

  CliRun csv = run({"export", path.string(), "Table1"});
  EXPECT_EQ(csv.status, 0);
  EXPECT_EQ(csv.out,
            "A,B,C,D,E,F,G,H,I\r\n"
            "abcdefg,hijklmnop,2,222,333333333,444.555,1974-09-21 00:00:00,3.5000,true\r\n"
            "a,b,0,0,0,0,1981-12-12 00:00:00,0.0000,false\r\n");
  CliRun jsonl = run({"export", path.string(), "Table1", "--format=jsonl"});
  EXPECT_EQ(jsonl.out,
            "[\"abcdefg\",\"hijklmnop\",2,222,333333333,444.555,\"1974-09-21 00:00:00\",\"3.5000\",true]\n"
            "[\"a\",\"b\",0,0,0,0,\"1981-12-12 00:00:00\",\"0.0000\",false]\n");
}

TEST(CliCommands, ExportKeepsCjkTextAndNulls) {
  QAR_REQUIRE_FIXTURES();
  auto path = jet::testing::fixture("qar26m/basic/source.mdb");
  if (path.empty()) GTEST_SKIP() << "qar26m/basic/source.mdb not in the fixtures";
  CliRun jsonl = run({"export", path.string(), "HolderData", "--format", "jsonl"});
  ASSERT_EQ(jsonl.status, 0) << jsonl.err;
  EXPECT_NE(jsonl.out.find("null"), std::string::npos);
  bool cjk = false;
  for (unsigned char c : jsonl.out) cjk |= c >= 0xE4 && c <= 0xE9;  // lead bytes of CJK ideographs
  EXPECT_TRUE(cjk);
}

}  // namespace
}  // namespace qar::cli
