#include "app/Memo.h"

#include "lib/lang/Cp1252.h"

namespace ficha {

void TMemo::Add(const std::string& line) {
  lines_.push_back(line);
  if (out_ != nullptr) {
    *out_ << Cp1252ToUtf8(line) << '\n';
    out_->flush();
  }
}

}  // namespace ficha
