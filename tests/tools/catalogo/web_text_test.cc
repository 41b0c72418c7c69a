// Text from a client made valid UTF-8 before a page or the log shows it:
// each byte outside a well-formed sequence becomes U+FFFD, the rest is
// kept as it is.
#include "catalogo/web/web_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace indicizza::catalogo {
namespace {

constexpr const char* kFffd = "\xEF\xBF\xBD";

struct Utf8Case {
  const char* name;
  std::string text;
  std::string valid;
};

TEST(ValidUtf8, ReplacesEachByteOutsideAWellFormedSequence) {
  const std::string r = kFffd;
  const std::vector<Utf8Case> cases = {
      {"ascii", "bach sonata", "bach sonata"},
      {"two, three and four bytes", "Chr\xC3\xA9tiens \xE2\x80\x9C \xF0\x9F\x8E\xBB",
       "Chr\xC3\xA9tiens \xE2\x80\x9C \xF0\x9F\x8E\xBB"},
      {"a UTF-16 surrogate", "a\xED\xA0\x80z", "a" + r + r + r + "z"},
      {"the last code point and past it", "\xF4\x8F\xBF\xBF\xF4\x90\x80\x80",
       "\xF4\x8F\xBF\xBF" + r + r + r + r},
      {"overlong forms", "\xC0\xAF\xE0\x80\xAF", r + r + r + r + r},
      {"a stray continuation byte", "x\x80y", "x" + r + "y"},
      {"a Latin-1 letter", "Chr\xE9tiens", "Chr" + r + "tiens"},
      {"a sequence cut short at the end", "ok\xE2\x82", "ok" + r + r},
      {"a sequence cut short by ASCII", "\xE2\x82<", r + r + "<"},
      {"bytes never in UTF-8", "\xFE\xFF", r + r},
  };
  for (const Utf8Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(validUtf8(test.text), test.valid);
  }
}

TEST(HtmlEscaped, EscapesMarkupOfValidText) {
  EXPECT_EQ(htmlEscaped("<b a='1'>\"&\xED\xA0\x80"),
            std::string("&lt;b a=&#39;1&#39;&gt;&quot;&amp;") + kFffd + kFffd + kFffd);
}

struct ControlCase {
  const char* name;
  std::string text;
  std::string html;  // as htmlEscaped gives it
  std::string log;   // as logText gives it
};

// HTML has no place for a control character, and a log line must stay one
// line that acts on no terminal: neither ever gets one raw.
TEST(ControlCharacters, NeverReachAPageOrTheLog) {
  const std::string r = kFffd;
  const std::vector<ControlCase> cases = {
      {"zero byte", std::string("a\0b", 3), "a" + r + "b", "a?b"},
      {"escape sequence", "\x1b[2J", r + "[2J", "?[2J"},
      {"delete", "a\x7f", "a" + r, "a?"},
      {"C1 control sequence introducer",
       "a\xC2\x9B"
       "2J",
       "a" + r + "2J", "a?2J"},
      {"first and last C1", "\xC2\x80\xC2\x9F", r + r, "??"},
      {"line breaks and tab", "a\tb\nc\rd", "a&#9;b&#10;c&#13;d", "a?b?c?d"},
      {"no-break space and letters kept", "\xC2\xA0\xC3\xA9", "\xC2\xA0\xC3\xA9",
       "\xC2\xA0\xC3\xA9"},
      {"not UTF-8", "a\x9B", "a" + r, "a" + r},
  };
  for (const ControlCase& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(htmlEscaped(test.text), test.html);
    EXPECT_EQ(logText(test.text), test.log);
  }
}

}  // namespace
}  // namespace indicizza::catalogo
