// The decimal conversion that reads every number on the command line and every length
// field: it never fails, and it saturates rather than wraps.
#include "unf.h"

#include <gtest/gtest.h>

struct Conversion {
    const char *Text;
    int32_t Number;
};

TEST(ConvertDecimal, Table) {
    const Conversion Cases[] = {
        {"", 0},
        {"0", 0},
        {"120", 120},
        {"007", 7},
        {"12x", 12},
        {"-5", -5},
        {"+12", 12},
        {" \t\n\v\f\r42", 42},
        {"\xa0"
         "5",
         0},
        {"\x85"
         "5",
         0},
        {"--5", 0},
        {"+-5", 0},
        {"- 5", 0},
        {"1 2", 1},
        {"abc", 0},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"99999999999999999999999", 2147483647},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"-99999999999999999999999", INT32_MIN},
    };
    for (const Conversion &Case : Cases)
        EXPECT_EQ(ConvertDecimal(Case.Text), Case.Number) << "text <" << Case.Text << ">";
}
