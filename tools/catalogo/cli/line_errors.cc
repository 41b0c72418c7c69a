#include "catalogo/cli/line_errors.h"

#include <iostream>
#include <utility>

namespace indicizza::catalogo {

void LineErrors::report() {
  for (const std::string& error : pending_) {
    if (count_ < kMostReportedErrors) std::cerr << error << '\n';
    if (count_ == kMostReportedErrors) std::cerr << "...\n";
    ++count_;
  }
  pending_.clear();
}

void LineErrors::add(std::string error) {
  pending_.push_back(std::move(error));
  report();
}

}  // namespace indicizza::catalogo
