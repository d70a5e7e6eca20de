#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "transport/NetbiosFrame.h"

namespace pelmora {
namespace {

std::vector<std::uint8_t> Hex(const std::string& hex) {
  std::vector<std::uint8_t> out;
  std::string digits;
  for (char c : hex)
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

void Append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& more) {
  out.insert(out.end(), more.begin(), more.end());
}
void Append(std::vector<std::uint8_t>& out, const std::string& ascii) {
  out.insert(out.end(), ascii.begin(), ascii.end());
}

MailslotFrame SampleFrame() {
  MailslotFrame f;
  f.messageType = kDatagramDirectUnique;
  f.datagramId = 0x1234;
  f.sourceIp = 0x0A000001;  // 10.0.0.1
  f.sourcePort = 13138;
  f.sourceName = "TEJO-PC";
  f.destinationName = "MIRLO";
  f.mailslotPath = "\\MAILSLOT\\messngr";
  f.payload = "hi";
  return f;
}

// The sample frame written out by hand from the field tables.
std::vector<std::uint8_t> SampleBytes() {
  std::vector<std::uint8_t> b = Hex("10 02 1234 0A000001 3352 009D 0000");
  Append(b, Hex("20"));
  Append(b, std::string("FEEFEKEPCNFAED") + "CACACACACACACACA" + "AA");
  Append(b, Hex("00 20"));
  Append(b, std::string("ENEJFCEMEP") + "CACACACACACACACACACA" + "AA");
  Append(b, Hex("00"));
  Append(b, Hex("FF534D42 25"));
  Append(b, std::vector<std::uint8_t>(27, 0));
  Append(b, Hex("11  0000 0200  0000 0000  00 00  0000  E8030000  0000  0000 0000  0200 5700"
                "03 00  0100 0000 0200  1400"));
  Append(b, std::string("\\MAILSLOT\\messngr"));
  Append(b, Hex("00"));
  Append(b, std::string("hi"));
  return b;
}

std::optional<MailslotFrame> ParseExact(const std::vector<std::uint8_t>& bytes) {
  // A block of exactly this size, so the sanitizer sees any read past the end.
  std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[bytes.size() ? bytes.size() : 1]);
  std::copy(bytes.begin(), bytes.end(), block.get());
  return ParseMailslotFrame(block.get(), bytes.size());
}

TEST(NetbiosFrame, NameEncodingFollowsFirstLevelEncoding) {
  std::vector<std::uint8_t> out;
  AppendEncodedNetbiosName(out, "FRED", 0x00);
  ASSERT_EQ(out.size(), kEncodedNetbiosName);
  EXPECT_EQ(out.front(), 0x20);
  EXPECT_EQ(out.back(), 0x00);
  EXPECT_EQ(std::string(out.begin() + 1, out.end() - 1), "EGFCEFEECACACACACACACACACACACAAA");
}

TEST(NetbiosFrame, NetbiosNameOfNormalisesOrRejects) {
  EXPECT_EQ(NetbiosNameOf("tejo-pc"), "TEJO-PC");
  EXPECT_EQ(NetbiosNameOf("averyverylongcomputername"), "AVERYVERYLONGCO");
  EXPECT_EQ(NetbiosNameOf("mirlo  "), "MIRLO");
  EXPECT_EQ(NetbiosNameOf(""), "");
  EXPECT_EQ(NetbiosNameOf("   "), "");
  EXPECT_EQ(NetbiosNameOf("a\\b"), "");
  EXPECT_EQ(NetbiosNameOf("who?"), "");
  EXPECT_EQ(NetbiosNameOf(std::string("x\ny")), "");
  EXPECT_EQ(NetbiosNameOf("\xC9MILE"), "\xC9MILE");  // accented letters keep their case
}

// Names travel in the OEM code page on every channel, as Windows sends NetBIOS names, and a
// receiver compares its own names in the same form. OFICIÑA: Ñ is D1 in Windows-1252, A5 in 850.
TEST(NetbiosFrame, WireNamesAreOemWhateverTheChannel) {
  EXPECT_EQ(NetbiosWireName("OFICI\xD1"
                            "A",
                            text::OemCodePage::Cp850),
            "OFICI\xA5"
            "A");
  EXPECT_EQ(NetbiosWireName("OFICI\xD1"
                            "A",
                            text::OemCodePage::Cp437),
            "OFICI\xA5"
            "A");
  EXPECT_EQ(NetbiosWireName("ofici\xD1"
                            "a",
                            text::OemCodePage::Cp850),
            "OFICI\xA5"
            "A");
  // \xC9 (É) exists in 850 (90) but not in 437: there the name cannot be sent.
  EXPECT_EQ(NetbiosWireName("JOS\xC9", text::OemCodePage::Cp850), "JOS\x90");
  EXPECT_EQ(NetbiosWireName("CAF\x80", text::OemCodePage::Cp850), "")
      << "euro sign has no OEM form";
  EXPECT_EQ(NetbiosWireName("PRUEBAS  ", text::OemCodePage::Cp850), "PRUEBAS");
  EXPECT_EQ(NetbiosWireName("ABCDEFGHIJKLMNOPQ", text::OemCodePage::Cp850), "ABCDEFGHIJKLMNO");
  // The wire form is stable: converting a wire name's frame field again gives the same name.
  const std::string wire = NetbiosWireName(
      "OFICI\xD1"
      "A",
      text::OemCodePage::Cp850);
  MailslotFrame f;
  f.sourceName = wire;
  f.destinationName = wire;
  f.mailslotPath = "\\MAILSLOT\\messngr";
  const auto bytes = BuildMailslotFrame(f);
  const auto back = ParseMailslotFrame(bytes.data(), bytes.size());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->destinationName, wire);
}

TEST(NetbiosFrame, BuildsTheFixedVector) {
  EXPECT_EQ(BuildMailslotFrame(SampleFrame()), SampleBytes());
}

TEST(NetbiosFrame, ParsesTheFixedVector) {
  const auto f = ParseExact(SampleBytes());
  ASSERT_TRUE(f);
  EXPECT_EQ(*f, SampleFrame());
  EXPECT_EQ(SlotOfMailslotPath(f->mailslotPath), "messngr");
}

TEST(NetbiosFrame, RoundTripsBothWays) {
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) {
    MailslotFrame f = SampleFrame();
    f.messageType = (i % 2) ? kDatagramDirectGroup : kDatagramDirectUnique;
    f.datagramId = static_cast<std::uint16_t>(rng());
    f.sourceIp = rng();
    f.sourcePort = static_cast<std::uint16_t>(rng());
    f.sourceSuffix = static_cast<std::uint8_t>(rng());
    f.destinationName = std::string(1 + rng() % 15, 'A' + i % 26);
    f.mailslotPath = "\\MAILSLOT\\" + std::string(1 + rng() % 40, 'x');
    f.payload.clear();
    for (std::size_t n = rng() % 600; n > 0; --n) f.payload.push_back(static_cast<char>(rng()));
    const auto bytes = BuildMailslotFrame(f);
    ASSERT_FALSE(bytes.empty());
    const auto back = ParseExact(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, f);
    EXPECT_EQ(BuildMailslotFrame(*back), bytes);
  }
}

TEST(NetbiosFrame, EdgePayloadsAndSizes) {
  MailslotFrame f = SampleFrame();
  f.payload = "";
  ASSERT_TRUE(ParseExact(BuildMailslotFrame(f)));
  EXPECT_EQ(ParseExact(BuildMailslotFrame(f))->payload, "");
  f.payload = std::string("a\0b\0", 4);  // zero bytes inside the data are data
  EXPECT_EQ(ParseExact(BuildMailslotFrame(f))->payload, f.payload);

  // The largest payload that still fits one UDP datagram, and one byte more.
  const std::size_t overhead = kNetbiosDatagramHeader + 2 * kEncodedNetbiosName +
                               kSmbMailslotFixedPart + f.mailslotPath.size() + 1;
  f.payload.assign(kLargestUdpPayload - overhead, 'z');
  const auto largest = BuildMailslotFrame(f);
  EXPECT_EQ(largest.size(), kLargestUdpPayload);
  EXPECT_TRUE(ParseExact(largest));
  f.payload.push_back('z');
  EXPECT_TRUE(BuildMailslotFrame(f).empty());
}

TEST(NetbiosFrame, BuildRefusesFieldsItCannotRepresent) {
  MailslotFrame f = SampleFrame();
  f.sourceName = "SIXTEENCHARSLONG";
  EXPECT_TRUE(BuildMailslotFrame(f).empty());
  f = SampleFrame();
  f.destinationName = "TRAILING ";
  EXPECT_TRUE(BuildMailslotFrame(f).empty());
  f = SampleFrame();
  f.mailslotPath = "messngr";
  EXPECT_TRUE(BuildMailslotFrame(f).empty());
  f.mailslotPath = "\\MAILSLOT\\";
  EXPECT_TRUE(BuildMailslotFrame(f).empty());
  f.mailslotPath = std::string("\\MAILSLOT\\a\0b", 13);
  EXPECT_TRUE(BuildMailslotFrame(f).empty());
}

TEST(NetbiosFrame, EveryTruncationIsRejected) {
  const auto bytes = SampleBytes();
  for (std::size_t n = 0; n < bytes.size(); ++n)
    EXPECT_FALSE(ParseExact(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + n))) << n;
  auto longer = bytes;
  longer.push_back('!');
  EXPECT_FALSE(ParseExact(longer));  // DGM_LENGTH no longer matches
  EXPECT_FALSE(ParseMailslotFrame(nullptr, 10));
}

// Each case breaks one field of the sample and must be refused.
TEST(NetbiosFrame, InconsistentFieldsAreRejected) {
  struct Case {
    const char* what;
    std::size_t offset;
    std::uint8_t value;
  };
  const std::size_t smb = 82;
  const Case cases[] = {
      {"unknown message type", 0, 0x14},
      {"more fragments follow", 1, 0x03},
      {"datagram length one short", 11, 0x9C},
      {"datagram length one long", 11, 0x9E},
      {"packet offset", 13, 0x01},
      {"name length byte", 14, 0x1F},
      {"letter outside A..P", 15, 'Q'},
      {"lower-case letter", 16, 'e'},
      {"non-empty scope", 47, 0x01},
      {"destination letter", 49, 'Z'},
      {"SMB magic", smb + 1, 'X'},
      {"not a transaction", smb + 4, 0x32},
      {"word count", smb + 32, 16},
      {"parameters present", smb + 33, 1},
      {"total data differs", smb + 35, 3},
      {"parameter count", smb + 51, 1},
      {"data count differs", smb + 55, 1},
      {"data offset", smb + 57, 0x58},
      {"setup count", smb + 59, 2},
      {"not a mailslot write", smb + 61, 2},
      {"byte count too large", smb + 67, 0x15},
      {"byte count too small", smb + 67, 0x13},
      {"path prefix", smb + 69 + 1, 'N'},
      {"path terminator missing", smb + 69 + 17, 'x'},
  };
  const auto good = SampleBytes();
  ASSERT_TRUE(ParseExact(good));
  for (const Case& c : cases) {
    auto bytes = good;
    ASSERT_LT(c.offset, bytes.size()) << c.what;
    ASSERT_NE(bytes[c.offset], c.value) << c.what;
    bytes[c.offset] = c.value;
    EXPECT_FALSE(ParseExact(bytes)) << c.what;
  }
}

TEST(NetbiosFrame, TolerantOfFieldsWithoutMeaningForAWrite) {
  auto bytes = SampleBytes();
  bytes[82 + 9] = 0x18;   // SMB flags as Windows sets them
  bytes[82 + 10] = 0x07;  // flags2
  const auto f = ParseExact(bytes);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->payload, "hi");
  bytes = SampleBytes();
  bytes[82 + 70] = 'm';  // "\mailslot\" in lower case is the same path
  ASSERT_TRUE(ParseExact(bytes));
  EXPECT_EQ(SlotOfMailslotPath(ParseExact(bytes)->mailslotPath), "messngr");
}

// No input, however damaged, may crash the parser or make it read outside the buffer; whatever
// it accepts must be a frame that builds back to exactly the bytes it came from, except for the
// fields that carry no meaning and are not kept.
TEST(NetbiosFrame, MalformedInputNeverReadsOutside) {
  std::mt19937 rng(12345);
  const auto good = SampleBytes();
  int accepted = 0;
  for (int i = 0; i < 20000; ++i) {
    std::vector<std::uint8_t> bytes;
    switch (i % 3) {
      case 0:  // random bytes of random length
        bytes.resize(rng() % 300);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
        break;
      case 1:  // the sample with a few random bytes changed
        bytes = good;
        for (int k = 1 + rng() % 4; k > 0; --k)
          bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng());
        break;
      default:  // the sample cut or extended at random
        bytes = good;
        bytes.resize(rng() % (good.size() + 20), static_cast<std::uint8_t>(rng()));
        break;
    }
    if (auto f = ParseExact(bytes)) {
      ++accepted;
      EXPECT_EQ(ParseExact(BuildMailslotFrame(*f)), f);
    }
  }
  EXPECT_GT(accepted, 0);  // the mutations that only touch kept fields still parse
}

}  // namespace
}  // namespace pelmora
