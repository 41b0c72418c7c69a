#include "base/status.h"

#include <cstring>

namespace indicizza {

Status Status::systemFailure(Code code, int error) {
  return Status(code, error, std::strerror(error));
}

}  // namespace indicizza
