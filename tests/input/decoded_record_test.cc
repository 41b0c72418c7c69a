#include "input/decoded_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "input/plain_record.h"

namespace indicizza {
namespace {

DecodedRecord decode(const PlainRecord& record) { return DecodedRecord::fromPlain(record.bytes()); }

TEST(Scrambling, TwiceGivesBackTheBytesAndKeyRestartsPerRecord) {
  const ScrambleKey key{{0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80}};
  PlainRecord plain;
  plain.textField(1, "BACH").recordNumber(42);
  const auto scrambled = plain.scrambled(key);
  EXPECT_NE(scrambled, plain.bytes());
  // Byte 8 uses key byte 0 again: ' ' ^ 0x01.
  EXPECT_EQ(scrambled[8], ' ' ^ 0x01);
  const DecodedRecord decoded = DecodedRecord::fromScrambled(scrambled, key);
  EXPECT_TRUE(std::equal(decoded.bytes().begin(), decoded.bytes().end(), plain.bytes().begin()));
  // Stored records hold only the first 524 bytes; they decode the same way.
  const DecodedRecord stored =
      DecodedRecord::fromScrambled(std::span(scrambled).first(kStoredRecordSize), key);
  EXPECT_EQ(stored.bytes().size(), kStoredRecordSize);
  EXPECT_EQ(recordNumberOf(stored), 42);
}

// The scrambling pinned by bytes worked out by hand, so that it is checked
// against something other than itself (the fixtures are scrambled by the
// same function that descrambles them). Key A7 3C 51 E9 0D 86 F2 4B.
constexpr ScrambleKey kPinnedKey{{0xA7, 0x3C, 0x51, 0xE9, 0x0D, 0x86, 0xF2, 0x4B}};

struct PinnedCase {
  const char* name;
  std::string plain;
  std::vector<std::uint8_t> scrambled;
  friend void PrintTo(const PinnedCase& c, std::ostream* os) { *os << c.name; }
};

class PinnedScrambling : public ::testing::TestWithParam<PinnedCase> {};

TEST_P(PinnedScrambling, XorsEachByteWithTheKeyByteOfItsPosition) {
  std::vector<std::uint8_t> bytes(GetParam().plain.begin(), GetParam().plain.end());
  descramble(bytes, kPinnedKey);
  EXPECT_EQ(bytes, GetParam().scrambled);
  descramble(bytes, kPinnedKey);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), GetParam().plain);
}

INSTANTIATE_TEST_SUITE_P(
    Scrambling, PinnedScrambling,
    ::testing::Values(PinnedCase{"ShorterThanTheKey", "ABC", {0xE6, 0x7E, 0x12}},
                      PinnedCase{"TwoKeyLengthsAndFiveBytes",
                                 "ABCDEFGHIJKLMNOPQRSTU",
                                 {0xE6, 0x7E, 0x12, 0xAD, 0x48, 0xC0, 0xB5, 0x03, 0xEE, 0x76, 0x1A,
                                  0xA5, 0x40, 0xC8, 0xBD, 0x1B, 0xF6, 0x6E, 0x02, 0xBD, 0x58}},
                      PinnedCase{"Empty", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A whole record of blanks: its number's six bytes (from offset 278, key
// byte 6 on) are pinned; its last bytes (from 520, key byte 0 on) read back
// as blanks in a file record and in a stored one.
TEST(PinnedScrambling, RecordNumberAndLastBytesOfARecord) {
  std::array<std::uint8_t, kRecordSize> scrambled;
  for (std::size_t i = 0; i < scrambled.size(); ++i) scrambled[i] = ' ' ^ kPinnedKey.bytes[i % 8];
  const std::array<std::uint8_t, 6> number = {0xC2, 0x7B, 0x97, 0x0C, 0x65, 0xDB};  // "000042"
  std::copy(number.begin(), number.end(), scrambled.begin() + kRecordNumberField.offset);
  EXPECT_EQ(scrambledRecordNumberOf(scrambled, kPinnedKey), 42);
  EXPECT_EQ(recordNumberOf(DecodedRecord::fromScrambled(scrambled, kPinnedKey)), 42);

  for (const std::size_t size : {kRecordSize, kStoredRecordSize}) {
    const DecodedRecord record =
        DecodedRecord::fromScrambled(std::span(scrambled).first(size), kPinnedKey);
    const auto plain = record.bytes();
    EXPECT_EQ(std::string(plain.end() - 8, plain.end()), std::string(8, ' ')) << size << " bytes";
  }
}

struct NumberCase {
  std::string text;  // the six bytes at offset 278
  RecordNumber expected;
  friend void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(c.text) << " -> " << c.expected;
  }
};

class RecordNumberText : public ::testing::TestWithParam<NumberCase> {};

TEST_P(RecordNumberText, ReadsLikeAtoi) {
  PlainRecord record;
  record.bytesAt(kRecordNumberField.offset, GetParam().text);
  EXPECT_EQ(recordNumberOf(decode(record)), GetParam().expected) << "text: " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Readings, RecordNumberText,
                         ::testing::Values(NumberCase{"001234", 1234}, NumberCase{"12345 ", 12345},
                                           NumberCase{"  12 3", 12}, NumberCase{"-00042", -42},
                                           NumberCase{"+00007", 7}, NumberCase{"      ", 0},
                                           NumberCase{"ABCDEF", 0}, NumberCase{"999999", 999999},
                                           NumberCase{"\t\n\v\f\r7", 7}, NumberCase{"--5   ", 0},
                                           NumberCase{"+ 5   ", 0},
                                           NumberCase{std::string("12\0"
                                                                  "345",
                                                                  6),
                                                      12},
                                           NumberCase{std::string("\0"
                                                                  "12345",
                                                                  6),
                                                      0}));

TEST(RecordNumber, DoesNotReadBeyondTheSixBytes) {
  PlainRecord record;
  record.bytesAt(kRecordNumberField.offset, "1234567890");
  EXPECT_EQ(recordNumberOf(decode(record)), 123456);
}

struct KindCase {
  std::string copied;  // the two bytes at offset 266
  char flagA;
  char flagB;
  std::string expected;
  friend void PrintTo(const KindCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(c.copied) << " flags " << c.flagA << c.flagB;
  }
};

class KindCodeRule : public ::testing::TestWithParam<KindCase> {};

TEST_P(KindCodeRule, CopiesThenAdjusts) {
  PlainRecord record;
  record.bytesAt(kKindCodeField.offset, GetParam().copied)
      .flags(GetParam().flagA, GetParam().flagB);
  const KindCode code = kindCodeOf(decode(record));
  EXPECT_EQ(std::string(code.bytes.begin(), code.bytes.end()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, KindCodeRule,
    ::testing::Values(KindCase{"AB", '1', '2', "aB"}, KindCase{"AB", '2', '1', "aB"},
                      KindCase{"7B", '2', '1', "7B"}, KindCase{"AB", '1', '1', "AB"},
                      KindCase{"AB", '2', '2', "AB"}, KindCase{"AB", ' ', ' ', "AB"},
                      KindCase{"ab", '1', '2', "ab"},
                      KindCase{"\xC9"
                               "B",
                               '1', '2',
                               "\xC9"
                               "B"},
                      KindCase{"ZZ", '1', '2', "zZ"},
                      KindCase{std::string("A\0", 2), ' ', ' ', std::string("A\0", 2)},
                      KindCase{std::string("\0B", 2), ' ', ' ', std::string("\0\0", 2)},
                      KindCase{std::string("\0B", 2), '1', '2', std::string("\0\0", 2)}));

TEST(TextReadings, FieldsSitAtTheirOffsets) {
  PlainRecord record;
  record.textField(1, "UNO")
      .textField(4, "QUATTRO")
      .textField(7, "SETTE")
      .codeField(1, "123-456-78");
  const DecodedRecord decoded = decode(record);
  EXPECT_EQ(textField(decoded, 1), "UNO" + std::string(27, ' '));
  EXPECT_EQ(textField(decoded, 4), "QUATTRO" + std::string(70, ' '));
  EXPECT_EQ(textField(decoded, 7), "SETTE" + std::string(38, ' '));
  EXPECT_EQ(codeField(decoded, 1), "123-456-78   ");
  EXPECT_EQ(codeField(decoded, 5), std::string(13, ' '));
}

TEST(TextReadings, ZeroByteEndsTheTextButNotTheByteReadings) {
  PlainRecord record;
  record.textField(7, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789")
      .recordNumber(77)
      .kindCode("AB")
      .flags('1', '2')
      .bytesAt(500, std::string(1, '\0'));
  const DecodedRecord decoded = decode(record);
  EXPECT_EQ(textField(decoded, 7), "ABCDEFGHIJKLMNOPQRSTUVWXYZ012");  // bytes 471-499
  EXPECT_EQ(recordNumberOf(decoded), 77);
  EXPECT_EQ(kindCodeOf(decoded), (KindCode{{'a', 'B'}}));
}

TEST(TextReadings, FieldsBeyondTheEndOfTheTextAreEmpty) {
  PlainRecord record;
  record.textField(1, "PRIMO").textField(5, "QUINTO").codeField(2, "42");
  record.bytesAt(214, std::string(1, '\0'));  // text ends where code field 2 starts
  const DecodedRecord decoded = decode(record);
  EXPECT_EQ(textField(decoded, 1).substr(0, 5), "PRIMO");
  EXPECT_EQ(codeField(decoded, 1).size(), 13u);
  EXPECT_EQ(codeField(decoded, 2), "");
  EXPECT_EQ(codeField(decoded, 3), "");
  EXPECT_EQ(textField(decoded, 5), "");
  EXPECT_EQ(textField(decoded, 7), "");
}

TEST(TextReadings, ShortItemsNeverReadPastTheirBytes) {
  PlainRecord record;
  record.textField(1, "CORTO").recordNumber(5).kindCode("AB");
  const DecodedRecord decoded = DecodedRecord::fromPlain(std::span(record.bytes()).first(40));
  EXPECT_EQ(textField(decoded, 2), std::string(10, ' '));  // bytes 30-39 only
  EXPECT_EQ(textField(decoded, 3), "");
  EXPECT_EQ(recordNumberOf(decoded), 0);
  EXPECT_EQ(kindCodeOf(decoded), (KindCode{{0, 0}}));
}

}  // namespace
}  // namespace indicizza
