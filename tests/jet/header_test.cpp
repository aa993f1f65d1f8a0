// The header page: format, code page and sort order of real files, and the refusal of
// password-protected and encoded databases (made by editing the masked region of a copy).
#include <gtest/gtest.h>

#include <cstring>

#include "jet/error.h"
#include "jet/format/header_page.h"
#include "jet/header.h"
#include "jet/util/bytes.h"
#include "reader_fixtures.h"

namespace jet {
namespace {

namespace hdr = format::header;

std::vector<uint8_t> firstPage(const std::string& rel) {
  auto path = testing::fixture(rel);
  if (path.empty()) return {};
  auto bytes = testing::readWholeFile(path);
  bytes.resize(4096);
  return bytes;
}

// Edits the unmasked header and masks it again.
template <typename Edit>
std::vector<uint8_t> edited(std::vector<uint8_t> page, Format format, Edit edit) {
  applyHeaderMask(format, page.data());
  edit(page.data());
  applyHeaderMask(format, page.data());
  return page;
}

std::string refusal(const std::vector<uint8_t>& page) {
  try {
    decodeHeader(page);
  } catch (const Error& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Unsupported);
    return e.what();
  }
  return "";
}

TEST(Header, MaskIsTheRc4StreamOfTheKnownKey) {
  std::vector<uint8_t> page(hdr::kHeaderBytes, 0);
  applyHeaderMask(Format::Jet4, page.data());
  // The first bytes of the stream, as every Access file's header shows them XORed in.
  EXPECT_EQ(page[0x18], 0xB5);
  EXPECT_EQ(page[0x19], 0x6F);
  EXPECT_EQ(page[0x1A], 0x03);
  EXPECT_EQ(page[0x1B], 0x62);
  applyHeaderMask(Format::Jet4, page.data());
  EXPECT_EQ(page, std::vector<uint8_t>(hdr::kHeaderBytes, 0));
}

TEST(Header, DecodesJet3AndJet4Files) {
  QAR_REQUIRE_FIXTURES();
  auto jet4 = firstPage("access/jet4/testV2000.mdb");
  auto jet3 = firstPage("access/jet3/testV1997.mdb");
  if (jet4.empty() || jet3.empty()) GTEST_SKIP() << "testV2000.mdb / testV1997.mdb not in the fixtures";
  HeaderInfo h4 = decodeHeader(jet4);
  EXPECT_EQ(h4.format, Format::Jet4);
  EXPECT_EQ(h4.pageSize, 4096u);
  EXPECT_EQ(h4.codePage, 1252);
  EXPECT_EQ(h4.sortOrder.id, 1033);
  HeaderInfo h3 = decodeHeader(jet3);
  EXPECT_EQ(h3.format, Format::Jet3);
  EXPECT_EQ(h3.pageSize, 2048u);
  EXPECT_EQ(h3.sortOrder.id, 1033);
}

TEST(Header, PasswordProtectedDatabasesAreRefused) {
  QAR_REQUIRE_FIXTURES();
  auto jet4 = firstPage("access/jet4/testV2000.mdb");
  auto jet3 = firstPage("access/jet3/testV1997.mdb");
  if (jet4.empty() || jet3.empty()) GTEST_SKIP() << "testV2000.mdb / testV1997.mdb not in the fixtures";
  // Jet 4 stores the password XORed with the creation date's integer part: an all-zero
  // password field there is not "no password" unless the mask is zero too.
  auto p4 = edited(jet4, Format::Jet4, [](uint8_t* p) {
    uint8_t mask[4];
    put32(mask, static_cast<uint32_t>(static_cast<int32_t>(leDouble(p + hdr::kCreationDateJet4))));
    const char16_t pw[] = u"secret";
    for (int i = 0; i < 12; ++i) p[hdr::kPassword + i] = static_cast<uint8_t>((pw[i / 2] >> (8 * (i % 2))) ^ mask[i % 4]);
  });
  EXPECT_NE(refusal(p4).find("password"), std::string::npos);
  auto p3 = edited(jet3, Format::Jet3, [](uint8_t* p) { std::memcpy(p + hdr::kPassword, "secret", 6); });
  EXPECT_NE(refusal(p3).find("password"), std::string::npos);
}

TEST(Header, EncodedDatabasesAreRefused) {
  QAR_REQUIRE_FIXTURES();
  auto jet4 = firstPage("access/jet4/testV2000.mdb");
  if (jet4.empty()) GTEST_SKIP() << "testV2000.mdb not in the fixtures";
  auto enc = edited(jet4, Format::Jet4, [](uint8_t* p) { put32(p + hdr::kDatabaseKey, 0x12345678); });
  EXPECT_NE(refusal(enc).find("encoded"), std::string::npos);
}

TEST(Header, OtherFilesAreNotJetDatabases) {
  auto expectNotJet = [](std::vector<uint8_t> bytes) {
    try {
      decodeHeader(bytes);
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("not a Jet 3 or Jet 4 database"), std::string::npos) << e.what();
    }
  };
  expectNotJet({});
  expectNotJet(std::vector<uint8_t>(4096, 0));
  std::vector<uint8_t> page(4096, 0);
  std::memcpy(page.data() + 4, "Standard Jet DB", 15);
  page[0x14] = 1;
  expectNotJet(std::vector<uint8_t>(page.begin(), page.begin() + 1000));  // shorter than a page
  std::vector<uint8_t> msisam = page;
  std::memcpy(msisam.data() + 4, "MSISAM Database", 15);
  expectNotJet(msisam);
}

}  // namespace
}  // namespace jet
