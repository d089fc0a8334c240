#include <iostream>
#include <string>
#include <vector>

#include "compare/cli.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return metclust::compare::run_compare(arguments, std::cout, std::cerr);
}
