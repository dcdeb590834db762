// The plain (non-engine) error raised when a literal text does not read as
// the type asked for, e.g. by CAST during evaluation.
#pragma once

#include "common/EngineError.h"

namespace ficha {

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace ficha
