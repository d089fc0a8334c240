#include <iostream>
#include <string>
#include <vector>

#include "check/check_cli.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return metclust::check::run_check(arguments, std::cout, std::cerr);
}
