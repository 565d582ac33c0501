// Tests below the forms: the user's locale, as a program has it once Qt has started
// (the ODBC driver converts wide texts by it).
#include <clocale>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
