#include "document/table/TextEncoding.h"

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
    // The mark goes before the rest is read as Latin-1, not with it.
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF"
                         "t\xE9"),
              "t\xC3\xA9");
}

TEST(TextEncoding, DecodesUtf16ByItsByteOrderMark) {
    using namespace std::string_literals;
    // "t\tµ" and U+1F600 as a surrogate pair, little- then big-endian.
    EXPECT_EQ(DecodeText("\xFF\xFEt\0\t\0\xB5\0\x3D\xD8\x00\xDE"s), "t\t\xC2\xB5\xF0\x9F\x98\x80");
    EXPECT_EQ(DecodeText("\xFE\xFF\0t\0\t\0\xB5\xD8\x3D\xDE\x00"s), "t\t\xC2\xB5\xF0\x9F\x98\x80");
    // A lone surrogate and an odd last byte are marked, not dropped.
    EXPECT_EQ(DecodeText("\xFF\xFE\x00\xD8t\0\x31"s), "\xEF\xBF\xBDt\xEF\xBF\xBD");
}

TEST(TextEncoding, QuotesAtMostFortyCharacters) {
    EXPECT_EQ(Quoted("n/a"), "\"n/a\"");
    EXPECT_EQ(Quoted(std::string(39, 'x') + "\xC2\xB5\xC2\xB5"),
              "\"" + std::string(39, 'x') + "\xC2\xB5...\"");
}
