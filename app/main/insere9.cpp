#include <iostream>

#include "app/Program.h"

int main(int argc, char** argv) { return ficha::Insere9Main(argc, argv, std::cout, std::cerr); }
