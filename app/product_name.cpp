#include "app/product_name.h"

#include <algorithm>

std::string ProductNameFromArgs(int argc, const char* const* argv) {
    if (argc < 2 || !argv[1]) return std::string();
    std::string name = argv[1];
    std::replace(name.begin(), name.end(), '*', ' ');
    return name;
}
