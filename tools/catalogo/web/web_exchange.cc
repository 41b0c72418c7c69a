#include "catalogo/web/web_exchange.h"

namespace indicizza::catalogo {

std::optional<std::string> argumentOf(const WebRequest& request, std::string_view name) {
  for (const auto& [argument, value] : request.arguments) {
    if (argument == name) return value;
  }
  return std::nullopt;
}

}  // namespace indicizza::catalogo
