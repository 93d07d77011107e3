#include "document/TextEncoding.h"

#include <gtest/gtest.h>

using namespace orvanel::TextEncoding;

TEST(TextEncoding, RecognisesWellFormedUtf8Only) {
    EXPECT_TRUE(IsValidUtf8("plain 1.5\t\r\n"));
    EXPECT_TRUE(IsValidUtf8("\xC2\xB5 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"));
    for (const char* bad : {"\xB5", "\xC0\x80", "\xC2", "\xE0\x80\x80", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xE2\x82"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}

TEST(TextEncoding, DecodesInvalidUtf8AsLatin1) {
    EXPECT_EQ(DecodeText("0,5\t\xB5\xFF\r\n"), "0,5\t\xC2\xB5\xC3\xBF\r\n");
    EXPECT_EQ(DecodeText("\xC2\xB5"), "\xC2\xB5");
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF"
                         "1\t2\r\n"),
              "1\t2\r\n");
}
