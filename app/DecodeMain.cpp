// tarnwick-decode: decodes one capture record or bare PDU given as hex or a binary file.
#include <iostream>
#include <string>
#include <vector>

#include "app/DecodeCli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return decode_cli::Run(args, std::cin, std::cout, std::cerr);
}
