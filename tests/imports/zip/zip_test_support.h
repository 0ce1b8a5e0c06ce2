// Shared pieces of the ZIP tests: checking the text of a raised error.
#ifndef ZER1_TESTS_IMPORTS_ZIP_ZIP_TEST_SUPPORT_H
#define ZER1_TESTS_IMPORTS_ZIP_ZIP_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>

#include "common/error.h"

// Expects `statement` to raise zer1::Error with exactly `text`.
#define EXPECT_ZIP_ERROR(statement, text)                             \
    do {                                                              \
        try {                                                         \
            statement;                                                \
            ADD_FAILURE() << "no error raised, expected: " << (text); \
        } catch (const ::zer1::Error& error) {                        \
            EXPECT_EQ(std::string(error.what()), std::string(text));  \
        }                                                             \
    } while (0)

#endif  // ZER1_TESTS_IMPORTS_ZIP_ZIP_TEST_SUPPORT_H
