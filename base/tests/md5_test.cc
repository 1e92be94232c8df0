#include "base/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace base {
namespace {

struct Md5Case {
  std::string_view input;
  std::string_view digest;
};

// The test suite of RFC 1321, appendix A.5, in upper case.
constexpr Md5Case kRfc1321Suite[] = {
    {"", "D41D8CD98F00B204E9800998ECF8427E"},
    {"a", "0CC175B9C0F1B6A831C399E269772661"},
    {"abc", "900150983CD24FB0D6963F7D28E17F72"},
    {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
    {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "D174AB98D277D9F5A5611C2C9F419D9F"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57EDF4A22BE3C955AC49DA2E2107B67A"},
};

TEST(Md5Test, Rfc1321SuiteInUpperCase) {
  for (const Md5Case& c : kRfc1321Suite) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(Md5Hex(c.input.data(), static_cast<std::uint32_t>(c.input.size())), c.digest);
  }
}

// Padding changes shape at 55/56 and 63/64 bytes; these lengths cover each
// side of both edges (digests from md5sum).
TEST(Md5Test, LengthsAroundThePaddingEdges) {
  const struct {
    std::size_t length;
    std::string_view digest;
  } cases[] = {
      {55, "EF1772B6DFF9A122358552954AD0DF65"}, {56, "3B0C8AC703F828B04C6C197006D17218"},
      {57, "652B906D60AF96844EBD21B674F35E93"}, {63, "B06521F39153D618550606BE297466D5"},
      {64, "014842D480B571495A4A0363793F7367"}, {65, "C743A45E0D2E6A95CB859ADAE0248435"},
      {1000, "CABE45DCC9AE5B66BA86600CCA6B8BA8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string input(c.length, 'a');
    EXPECT_EQ(Md5Hex(input.data(), static_cast<std::uint32_t>(input.size())), c.digest);
  }
}

// Feeding in pieces of any size gives the digest of the whole, and Final
// leaves the context ready for a new message.
TEST(Md5Test, UpdateInPiecesMatchesOneShot) {
  std::string input(3000, '\0');
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<char>(i * 131 + 7);
  const std::string whole = Md5Hex(input.data(), static_cast<std::uint32_t>(input.size()));

  Md5Context context;
  for (const std::size_t piece : {1u, 3u, 63u, 64u, 65u, 127u, 1000u}) {
    SCOPED_TRACE(piece);
    for (std::size_t at = 0; at < input.size(); at += piece) {
      context.Update(input.data() + at, std::min(piece, input.size() - at));
    }
    const Md5Context::Digest digest = context.Final();
    EXPECT_EQ(BytesToHex(digest.data(), digest.size()), whole);
  }
  const Md5Context::Digest empty = context.Final();
  EXPECT_EQ(BytesToHex(empty.data(), empty.size()), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(Md5Test, BytesToHexWritesHighNibbleFirstInUpperCase) {
  const std::uint8_t bytes[] = {0x00, 0x0f, 0xa5, 0xff, 0x10};
  EXPECT_EQ(BytesToHex(bytes, sizeof(bytes)), "000FA5FF10");
  EXPECT_EQ(BytesToHex(bytes, 0), "");
}

}  // namespace
}  // namespace base
