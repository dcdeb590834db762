// The ficha command-line tool; everything but the process boundary lives in
// ficha_tool_lib (tools/ficha/Ficha.h).
#include <iostream>
#include <string>
#include <vector>

#include "tools/ficha/Ficha.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return ficha::RunFicha(args, std::cout, std::cerr);
}
