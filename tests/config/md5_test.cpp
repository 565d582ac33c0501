// Module1's MD5: the RFC 1321 suite, block boundaries, the short kinds, code page 936 bytes.
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

#include "config/module1.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "support/temp_folder.h"

using Module1::Md5Hex;
using platform::text::fromUtf8;
using platform::text::toUtf8;

namespace {

std::string md5(std::u16string_view text)
{
    return toUtf8(Md5Hex(text, 32));
}

std::u16string letters(std::size_t n)
{
    std::u16string s;
    for (std::size_t i = 0; i < n; ++i)
        s += static_cast<char16_t>(u'a' + i % 26);
    return s;
}

std::string md5sum(const testsupport::TempFolder& t, std::string_view bytes)
{
    t.write("input", bytes);
    std::string command = "md5sum '" + (t / "input").string() + "'";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return "<no md5sum>";
    char digest[33] = {};
    std::size_t n = std::fread(digest, 1, 32, pipe);
    ::pclose(pipe);
    return std::string(digest, n);
}

} // namespace

TEST(Md5, Rfc1321Suite)
{
    struct Case {
        std::u16string text;
        const char* digest;
    } cases[] = {
        {u"", "d41d8cd98f00b204e9800998ecf8427e"},
        {u"a", "0cc175b9c0f1b6a831c399e269772661"},
        {u"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {u"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {u"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {u"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(md5(c.text), c.digest) << toUtf8(c.text);
}

TEST(Md5, LengthsAroundTheBlockBoundaries)
{
    struct Case {
        std::size_t length, words;
        const char* digest;
    } cases[] = {
        {55, 16, "0d7ae056b2f015cd7dc67494efd658f1"},  {56, 32, "31fcfb5165169eb55898e7e4cf34d19a"},
        {64, 32, "a2eaf6295c32adc403865fd96a2f182b"},  {119, 32, "b05187e08da41fa3ef16bd56afaafd99"},
        {120, 48, "62af9b597a9f55e16ab2b897387fc052"},
    };
    for (const auto& c : cases) {
        auto text = letters(c.length);
        auto words = Module1::MessageToWords(text);
        EXPECT_EQ(words.size(), c.words) << c.length;
        EXPECT_EQ(words[words.size() - 2], c.length * 8) << "bit count in the second-last word, " << c.length;
        EXPECT_EQ(md5(text), c.digest) << c.length;
    }
}

TEST(Md5, OtherKindsGiveCharacters9To24)
{
    for (const auto& text : {std::u16string(u""), std::u16string(u"abc"), letters(120)}) {
        std::u16string full = Md5Hex(text, 32);
        for (int kind : {16, 0, -1, 31, 33})
            EXPECT_EQ(Md5Hex(text, kind), full.substr(8, 16)) << "kind " << kind;
    }
    EXPECT_EQ(Md5Hex(u"abc", 16), u"3cd24fb0d6963f7d");
}

TEST(Md5, CharactersCountAsTheirCodePage936Bytes)
{
    struct Case {
        const char* name;
        std::u16string text;
        const char* digest;
    } cases[] = {
        {"single-byte 0x80 (euro sign)", u"€", "8d39dd7eef115ea6975446ef4082951f"},
        {"double-byte characters give their two bytes", u"中文CPU", "f6783e8c8837e6aa5aac6f4723ad4893"},
        {"a character without a code counts as ?", u"a\U0001F600b", "0166d849f21a9d699d896ea2a79a375f"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(md5(c.text), c.digest) << c.name;
}

TEST(Md5, AgreesWithMd5sumOnRandomTexts)
{
#ifdef _WIN32
    GTEST_SKIP() << "md5sum, the reference, is a tool of the Linux host";
#endif
    testsupport::TempFolder t;
    std::mt19937 rng(20240611);
    const std::u16string pool = u"中文硬件特征码€ ";
    for (std::size_t length : {1u, 63u, 65u, 1000u, 4097u, 40000u}) {
        std::u16string text;
        for (std::size_t i = 0; i < length; ++i) {
            unsigned r = rng() % 160;
            text += r < 128 ? static_cast<char16_t>(r) : pool[r % pool.size()];
        }
        auto bytes = platform::toAnsi(text);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(md5(text), md5sum(t, *bytes)) << "length " << length;
    }
    // A character without a code, its surrogate pair astride the digest's slices of 16384.
    std::u16string text = std::u16string(16383, u'a') + u"\U0001F600" + std::u16string(100, u'b');
    EXPECT_EQ(md5(text), md5sum(t, std::string(16383, 'a') + "?" + std::string(100, 'b')));
}

TEST(Md5, ShiftsAndRotations)
{
    EXPECT_EQ(Module1::ShiftLeft(0x80000001u, 1), 0x00000002u);
    EXPECT_EQ(Module1::ShiftRight(0x80000000u, 31), 1u);
    EXPECT_EQ(Module1::RotateLeft(0x80000001u, 4), 0x00000018u);
    EXPECT_EQ(Module1::RotateLeft(0x12345678u, 0), 0x12345678u);
    EXPECT_EQ(Module1::AddModulo32(0xFFFFFFFFu, 2), 1u);
    EXPECT_EQ(Module1::WordToHex(0x67452301u), u"01234567");
}
