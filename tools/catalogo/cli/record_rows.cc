#include "catalogo/cli/record_rows.h"

#include <iostream>
#include <string>
#include <vector>

#include "catalogo/cli/command_line.h"
#include "catalogo/cli/progress.h"
#include "catalogo/cli/tool_failure.h"

namespace indicizza::catalogo {

std::size_t writeRecordRows(RecordReader& reader, TextEncoding encoding) {
  ErrorStreamProgress progress;
  std::size_t leftOut = 0;
  const auto refuse = [&](const std::string& problem) {
    progress.finish();
    std::cerr << problem << '\n';
    ++leftOut;
  };
  std::cout << fullHeader() << '\n';
  for (;;) {
    RecordStep step;
    const Status read = reader.next(step);
    if (!read.ok()) {
      progress.finish();
      std::cout.flush();
      failOn(read);
    }
    if (step.kind == RecordStep::Kind::kEnd) break;
    if (step.kind == RecordStep::Kind::kRefused) {
      refuse(step.problem);
      continue;
    }
    std::vector<std::string> errors;
    const auto line = rowOfRecord(*step.record, step.place, encoding, errors);
    if (line) {
      std::cout << *line << '\n';
    } else {
      refuse(errors.front());
    }
    progress.tick();
  }
  progress.finish();
  checkStandardOutput();
  return leftOut;
}

}  // namespace indicizza::catalogo
