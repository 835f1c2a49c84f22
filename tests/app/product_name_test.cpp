#include "app/product_name.h"

#include <gtest/gtest.h>

TEST(ProductName, FirstArgumentWithAsterisksAsBlanks) {
    const char* none[] = {"setup.exe", nullptr};
    EXPECT_EQ(ProductNameFromArgs(1, none), "");
    const char* starred[] = {"setup.exe", "My*Great*App", "ignored", nullptr};
    EXPECT_EQ(ProductNameFromArgs(3, starred), "My Great App");
    const char* percent[] = {"setup.exe", "100%*Tool", nullptr};
    EXPECT_EQ(ProductNameFromArgs(2, percent), "100% Tool");
}
