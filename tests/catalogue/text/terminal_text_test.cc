// What terminalText escapes, and what it keeps: the bytes a terminal would
// act on (C0, DEL, C1 controls), an invisible byte order mark and the bytes
// that are no UTF-8 become visible escapes; text, backslashes included,
// stays as it is.
#include "catalogue/text/terminal_text.h"

#include <gtest/gtest.h>

#include <string>

namespace indicizza {
namespace {

struct TerminalTextCase {
  const char* name;
  std::string text;
  std::string shown;
};

class TerminalText : public ::testing::TestWithParam<TerminalTextCase> {};

TEST_P(TerminalText, EscapesWhatATerminalWouldObey) {
  EXPECT_EQ(terminalText(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, TerminalText,
    ::testing::Values(
        TerminalTextCase{"ClearScreen", "a\x1b[2Jb", "a\\x1b[2Jb"},
        TerminalTextCase{"ZeroByte", std::string("a\0b", 3), "a\\x00b"},
        TerminalTextCase{"CarriageReturnAndTab", "a\rb\tc\n", "a\\x0db\\x09c\\x0a"},
        TerminalTextCase{"LastC0AndDelete", "\x1f\x7f", "\\x1f\\x7f"},
        TerminalTextCase{"FirstPrintable", " ~", " ~"},
        // U+009B, a one-character CSI some terminals obey in UTF-8 too.
        TerminalTextCase{"C1Controls", "\xC2\x80\xC2\x9B\xC2\x9F", "\\x80\\x9b\\x9f"},
        TerminalTextCase{"NoBreakSpaceAfterC1", "\xC2\xA0\xC3\xA9", "\xC2\xA0\xC3\xA9"},
        TerminalTextCase{"ByteOrderMark", "\xEF\xBB\xBFRecordNumber", "\\ufeffRecordNumber"},
        TerminalTextCase{"BeyondLatin1", "\xE2\x82\xAC \xF0\x9F\x8E\xBB",
                         "\xE2\x82\xAC \xF0\x9F\x8E\xBB"},
        TerminalTextCase{"Latin1Byte", "Chr\xE9tiens", "Chr\\xe9tiens"},
        TerminalTextCase{"CutSequence", "a\xC3", "a\\xc3"},
        TerminalTextCase{"StrayContinuation", "\x9B[2J", "\\x9b[2J"},
        TerminalTextCase{"OverlongEscape", "\xC0\x9B", "\\xc0\\x9b"},
        TerminalTextCase{"Surrogate", "\xED\xA0\x80", "\\xed\\xa0\\x80"},
        TerminalTextCase{"BackslashKept", "C:\\x1b", "C:\\x1b"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TerminalTextOfLatin1, ShowsC1BytesByTheirValue) {
  EXPECT_EQ(terminalTextOfLatin1("Chr\xE9tiens \x1b\x9b\xA0"),
            "Chr\xC3\xA9tiens \\x1b\\x9b\xC2\xA0");
}

}  // namespace
}  // namespace indicizza
