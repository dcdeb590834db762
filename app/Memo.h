// TMemo: the window's read-only log. Every line appended is also written at
// once to the terminal (converted from Windows-1252 to UTF-8 and flushed),
// so the terminal shows what the window would, in the same order.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "components/Component.h"

namespace ficha {

class TMemo : public TComponent {
 public:
  // REQUIRES: `out` outlives the memo (null: the lines are only kept).
  TMemo(TComponent* owner, std::ostream* out) : TComponent(owner), out_(out) {}

  // Appends one line (Windows-1252 text); an empty line is an empty string.
  void Add(const std::string& line);
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::ostream* out_;
  std::vector<std::string> lines_;
};

}  // namespace ficha
