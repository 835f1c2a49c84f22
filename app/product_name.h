// The product name: the first command-line argument with every asterisk
// turned into a blank (so "A*B" names the product "A B"), or empty when there
// is no argument. Further arguments are ignored.
#pragma once

#include <string>

std::string ProductNameFromArgs(int argc, const char* const* argv);
