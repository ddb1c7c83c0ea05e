#include <gtest/gtest.h>

#include "NumberText.h"

using namespace quorvel;

TEST(NumberText, Placeholder) { EXPECT_EQ(FormatPattern(2.5, "000.0"), "002.5"); }
