#include "catalogo/web/request_target.h"

#include <strings.h>

#include <array>

namespace indicizza::catalogo {
namespace {

constexpr std::array<std::string_view, 2> kSchemes = {"http://", "https://"};
constexpr std::string_view kEncodedZero = "%00";

bool startsWithLetters(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && strncasecmp(text.data(), start.data(), start.size()) == 0;
}

}  // namespace

RequestTarget requestTargetOf(std::string_view url) {
  for (const std::string_view scheme : kSchemes) {
    if (!startsWithLetters(url, scheme)) continue;
    const std::string_view rest = url.substr(scheme.size());
    const std::size_t slash = rest.find('/');
    RequestTarget target{std::string(rest.substr(0, slash)), "/"};
    if (slash != std::string_view::npos) target.path = std::string(rest.substr(slash));
    return target;
  }
  return {std::nullopt, std::string(url)};
}

bool zeroByteInPath(std::string_view rawTarget) {
  return rawTarget.substr(0, rawTarget.find('?')).find(kEncodedZero) != std::string_view::npos;
}

}  // namespace indicizza::catalogo
