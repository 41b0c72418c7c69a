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

}  // namespace
}  // namespace indicizza::catalogo
