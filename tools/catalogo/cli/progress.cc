#include "catalogo/cli/progress.h"

#include <cstdio>

namespace indicizza::catalogo {

void ErrorStreamProgress::tick() {
  if (++count_ % every_ == 0) {
    std::fputc('.', stderr);
    std::fflush(stderr);
    wroteDots_ = true;
  }
}

void ErrorStreamProgress::finish() {
  if (wroteDots_) std::fputc('\n', stderr);
  wroteDots_ = false;
}

}  // namespace indicizza::catalogo
