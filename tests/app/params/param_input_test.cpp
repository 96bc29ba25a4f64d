// What the parameter pages read from a decimal edit.
#include "kit/ParamInput.h"

#include <gtest/gtest.h>

namespace {

TEST(ParamInput, LeadingDecimalKeepsItsLowSixteenBits) {
    EXPECT_EQ(paraminput::leadingDecimal(u"300"), 300);
    EXPECT_EQ(paraminput::leadingDecimal(u" 12x"), 12);
    EXPECT_EQ(paraminput::leadingDecimal(u"x12"), 0);
    EXPECT_EQ(paraminput::leadingDecimal(u"70000"), 70000 - 65536);
}

}  // namespace
