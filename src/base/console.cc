#include "base/console.h"

#include <cstdio>

namespace indicizza {

void reportLine(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void noteLine(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void fatalStop(std::string_view text) {
  reportLine(text);
  throw FatalStop{};
}

void ProgressCounter::tick() {
  if (++count_ == threshold_) {
    count_ = 0;
    std::fputc('.', stdout);
    std::fflush(stdout);
  }
}

}  // namespace indicizza
