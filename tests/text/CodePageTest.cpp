#include <gtest/gtest.h>

#include "text/CodePage.h"

using namespace pelmora::text;

// The accented letters a Spanish or German user types, in Windows-1252 and in OEM 850.
TEST(CodePage, AnsiAndOem850RoundTripTheLettersOfTheProgramsLanguages) {
  const std::string ansi = "\xE1\xE9\xED\xF3\xFA\xF1\xD1\xFC\xDC\xE4\xF6\xDF\xE7\xBF\xA1";
  const std::string oem = AnsiToOem(ansi, OemCodePage::Cp850);
  EXPECT_EQ(oem, "\xA0\x82\xA1\xA2\xA3\xA4\xA5\x81\x9A\x84\x94\xE1\x87\xA8\xAD");
  EXPECT_EQ(OemToAnsi(oem, OemCodePage::Cp850), ansi);
  EXPECT_EQ(AnsiToOem("plain ASCII 0-9 &\\", OemCodePage::Cp437), "plain ASCII 0-9 &\\");
}

TEST(CodePage, CharactersTheTargetLacksBecomeQuestionMarks) {
  // The euro sign exists in Windows-1252 (0x80) but in neither OEM code page.
  EXPECT_EQ(AnsiToOem("\x80", OemCodePage::Cp850), "?");
  EXPECT_EQ(AnsiToOem("\x80", OemCodePage::Cp437), "?");
  // 437 has no capital A with acute; 850 has.
  EXPECT_EQ(AnsiToOem("\xC1", OemCodePage::Cp437), "?");
  EXPECT_EQ(AnsiToOem("\xC1", OemCodePage::Cp850), "\xB5");
  // Box-drawing characters of the OEM page have no place in Windows-1252.
  EXPECT_EQ(OemToAnsi("\xC9\xCD", OemCodePage::Cp850), "??");
  // A Greek letter typed into a Qt control cannot be held either.
  EXPECT_EQ(Utf8ToAnsi("a\xCE\xB1z"), "a?z");
}

TEST(CodePage, Utf8ConversionKeepsEveryWindows1252Character) {
  std::string all;
  for (int b = 0x20; b < 256; ++b) {
    // Bytes that Windows-1252 leaves undefined cannot survive and are left out.
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D || b == 0x7F) continue;
    all += static_cast<char>(b);
  }
  const std::string utf8 = AnsiToUtf8(all);
  EXPECT_EQ(Utf8ToAnsi(utf8), all);
  EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC");
  EXPECT_EQ(Utf8ToAnsi("\xE2\x82\xAC \xC3\xA1\xC3\xB1\xC3\xBC\xC3\xA7"), "\x80 \xE1\xF1\xFC\xE7");
}

TEST(CodePage, MalformedUtf8NeverReadsPastTheEnd) {
  EXPECT_EQ(Utf8ToAnsi("\xC3"), "?");      // cut after the lead byte
  EXPECT_EQ(Utf8ToAnsi("\xE2\x82"), "?");  // cut inside a three-byte sequence
  EXPECT_EQ(Utf8ToAnsi("a\x80"
                       "b"),
            "a?b");                            // stray continuation byte
  EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), "?");      // overlong slash
  EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "?");  // surrogate half
  EXPECT_EQ(Utf8ToAnsi(std::string("x\0y", 3)), std::string("x\0y", 3));
}

TEST(CodePage, UpperCasingTouchesOnlyAsciiLetters) {
  EXPECT_EQ(UpperAscii("tejo-pc \xF1\xE1z"), "TEJO-PC \xF1\xE1Z");
  EXPECT_EQ(LowerAscii("UTILS\xD1"), "utils\xD1");
  EXPECT_TRUE(EqualsIgnoreAsciiCase("Seguro", "SEGURO"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("\xF1", "\xD1"));
  EXPECT_FALSE(EqualsIgnoreAsciiCase("UTIL", "UTILS"));
}

TEST(CodePage, OnlyTheTwoOemCodePagesAreAccepted) {
  OemCodePage cp = OemCodePage::Cp850;
  EXPECT_TRUE(OemCodePageFromNumber(437, cp));
  EXPECT_EQ(cp, OemCodePage::Cp437);
  EXPECT_FALSE(OemCodePageFromNumber(1252, cp));
  EXPECT_EQ(cp, OemCodePage::Cp437);
}

TEST(CodePage, TrimTakesOnlyAsciiWhiteSpaceFromTheEnds) {
  EXPECT_EQ(Trim(" \t PUERTO = 13138\r\n"), "PUERTO = 13138");
  EXPECT_EQ(Trim("\v\f"), "");
  EXPECT_EQ(Trim(""), "");
  // A no-break space (0xA0 in Windows-1252) is a character of a name, not a blank.
  EXPECT_EQ(Trim("\xA0JOS\xC9 "), "\xA0JOS\xC9");
  EXPECT_EQ(Trim("x"), "x");
}
