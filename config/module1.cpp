#include "config/module1.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/codepage.h"

namespace Module1 {

namespace {

void appendAnsi(std::u16string_view run, std::string& out)
{
    if (auto bytes = platform::toAnsi(run)) {
        out += *bytes;
        return;
    }
    // Some character of the run has no code: convert one character (or surrogate pair) at a time.
    for (std::size_t i = 0; i < run.size(); ++i) {
        std::size_t len = (run[i] >= 0xD800 && run[i] <= 0xDBFF && i + 1 < run.size()) ? 2 : 1;
        auto bytes = platform::toAnsi(run.substr(i, len));
        out += bytes ? *bytes : std::string("?");
        i += len - 1;
    }
}

// The end of the run of ASCII characters from i on; eight at a time where it can.
std::size_t asciiRunEnd(std::u16string_view text, std::size_t i)
{
    while (i + 8 <= text.size()) {
        char16_t any = 0;
        for (std::size_t k = 0; k < 8; ++k)
            any |= text[i + k];
        if (any >= 0x80)
            break;
        i += 8;
    }
    while (i < text.size() && text[i] < 0x80)
        ++i;
    return i;
}

// Appends the code page 936 bytes of the text to out.
void appendMessageBytes(std::u16string_view text, std::string& out)
{
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t start = i;
        i = asciiRunEnd(text, i);
        std::size_t at = out.size();
        out.resize(at + (i - start));
        char* dst = out.data() + at;
        for (std::size_t k = start; k < i; ++k)
            *dst++ = static_cast<char>(text[k]);
        start = i;
        while (i < text.size() && text[i] >= 0x80)
            ++i;
        if (i > start)
            appendAnsi(text.substr(start, i - start), out);
    }
}

void loadBlock(const char* bytes, std::uint32_t* x)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(x, bytes, 64);
    } else {
        for (int i = 0; i < 16; ++i) {
            x[i] = 0;
            for (int k = 0; k < 4; ++k)
                x[i] |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[4 * i + k])) << (8 * k);
        }
    }
}

// The bytes padded to whole blocks, ending in the bit count of a message of that length.
std::vector<std::uint32_t> wordsOf(std::string_view bytes, std::uint64_t messageLength)
{
    const std::size_t n = bytes.size();
    std::vector<std::uint32_t> words(((n + 8) / 64 + 1) * 16, 0);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(words.data(), bytes.data(), n);
    } else {
        for (std::size_t i = 0; i < n; ++i)
            words[i / 4] |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * (i % 4));
    }
    words[n / 4] |= 0x80u << (8 * (n % 4));
    const std::uint64_t bits = messageLength * 8;
    words[words.size() - 2] = static_cast<std::uint32_t>(bits);
    words[words.size() - 1] = static_cast<std::uint32_t>(bits >> 32);
    return words;
}

void processBlock(const std::uint32_t* x, std::uint32_t& a0, std::uint32_t& b0, std::uint32_t& c0, std::uint32_t& d0)
{
    std::uint32_t a = a0, b = b0, c = c0, d = d0;

    FF(a, b, c, d, x[0], 7, 0xD76AA478);
    FF(d, a, b, c, x[1], 12, 0xE8C7B756);
    FF(c, d, a, b, x[2], 17, 0x242070DB);
    FF(b, c, d, a, x[3], 22, 0xC1BDCEEE);
    FF(a, b, c, d, x[4], 7, 0xF57C0FAF);
    FF(d, a, b, c, x[5], 12, 0x4787C62A);
    FF(c, d, a, b, x[6], 17, 0xA8304613);
    FF(b, c, d, a, x[7], 22, 0xFD469501);
    FF(a, b, c, d, x[8], 7, 0x698098D8);
    FF(d, a, b, c, x[9], 12, 0x8B44F7AF);
    FF(c, d, a, b, x[10], 17, 0xFFFF5BB1);
    FF(b, c, d, a, x[11], 22, 0x895CD7BE);
    FF(a, b, c, d, x[12], 7, 0x6B901122);
    FF(d, a, b, c, x[13], 12, 0xFD987193);
    FF(c, d, a, b, x[14], 17, 0xA679438E);
    FF(b, c, d, a, x[15], 22, 0x49B40821);

    GG(a, b, c, d, x[1], 5, 0xF61E2562);
    GG(d, a, b, c, x[6], 9, 0xC040B340);
    GG(c, d, a, b, x[11], 14, 0x265E5A51);
    GG(b, c, d, a, x[0], 20, 0xE9B6C7AA);
    GG(a, b, c, d, x[5], 5, 0xD62F105D);
    GG(d, a, b, c, x[10], 9, 0x02441453);
    GG(c, d, a, b, x[15], 14, 0xD8A1E681);
    GG(b, c, d, a, x[4], 20, 0xE7D3FBC8);
    GG(a, b, c, d, x[9], 5, 0x21E1CDE6);
    GG(d, a, b, c, x[14], 9, 0xC33707D6);
    GG(c, d, a, b, x[3], 14, 0xF4D50D87);
    GG(b, c, d, a, x[8], 20, 0x455A14ED);
    GG(a, b, c, d, x[13], 5, 0xA9E3E905);
    GG(d, a, b, c, x[2], 9, 0xFCEFA3F8);
    GG(c, d, a, b, x[7], 14, 0x676F02D9);
    GG(b, c, d, a, x[12], 20, 0x8D2A4C8A);

    HH(a, b, c, d, x[5], 4, 0xFFFA3942);
    HH(d, a, b, c, x[8], 11, 0x8771F681);
    HH(c, d, a, b, x[11], 16, 0x6D9D6122);
    HH(b, c, d, a, x[14], 23, 0xFDE5380C);
    HH(a, b, c, d, x[1], 4, 0xA4BEEA44);
    HH(d, a, b, c, x[4], 11, 0x4BDECFA9);
    HH(c, d, a, b, x[7], 16, 0xF6BB4B60);
    HH(b, c, d, a, x[10], 23, 0xBEBFBC70);
    HH(a, b, c, d, x[13], 4, 0x289B7EC6);
    HH(d, a, b, c, x[0], 11, 0xEAA127FA);
    HH(c, d, a, b, x[3], 16, 0xD4EF3085);
    HH(b, c, d, a, x[6], 23, 0x04881D05);
    HH(a, b, c, d, x[9], 4, 0xD9D4D039);
    HH(d, a, b, c, x[12], 11, 0xE6DB99E5);
    HH(c, d, a, b, x[15], 16, 0x1FA27CF8);
    HH(b, c, d, a, x[2], 23, 0xC4AC5665);

    II(a, b, c, d, x[0], 6, 0xF4292244);
    II(d, a, b, c, x[7], 10, 0x432AFF97);
    II(c, d, a, b, x[14], 15, 0xAB9423A7);
    II(b, c, d, a, x[5], 21, 0xFC93A039);
    II(a, b, c, d, x[12], 6, 0x655B59C3);
    II(d, a, b, c, x[3], 10, 0x8F0CCC92);
    II(c, d, a, b, x[10], 15, 0xFFEFF47D);
    II(b, c, d, a, x[1], 21, 0x85845DD1);
    II(a, b, c, d, x[8], 6, 0x6FA87E4F);
    II(d, a, b, c, x[15], 10, 0xFE2CE6E0);
    II(c, d, a, b, x[6], 15, 0xA3014314);
    II(b, c, d, a, x[13], 21, 0x4E0811A1);
    II(a, b, c, d, x[4], 6, 0xF7537E82);
    II(d, a, b, c, x[11], 10, 0xBD3AF235);
    II(c, d, a, b, x[2], 15, 0x2AD7D2BB);
    II(b, c, d, a, x[9], 21, 0xEB86D391);

    a0 = AddModulo32(a0, a);
    b0 = AddModulo32(b0, b);
    c0 = AddModulo32(c0, c);
    d0 = AddModulo32(d0, d);
}

} // namespace

std::vector<std::uint32_t> MessageToWords(std::u16string_view text)
{
    std::string bytes;
    appendMessageBytes(text, bytes);
    return wordsOf(bytes, bytes.size());
}

std::u16string WordToHex(std::uint32_t word)
{
    static constexpr char16_t digits[] = u"0123456789abcdef";
    std::u16string out(8, u'0');
    for (int i = 0; i < 4; ++i) {
        unsigned byte = (word >> (8 * i)) & 0xFF;
        out[2 * i] = digits[byte >> 4];
        out[2 * i + 1] = digits[byte & 0xF];
    }
    return out;
}

std::u16string Md5Hex(std::u16string_view text, int kind)
{
    std::uint32_t a = 0x67452301, b = 0xEFCDAB89, c = 0x98BADCFE, d = 0x10325476;
    std::uint32_t x[16];

    // The text goes through in slices, so that a long one needs no padded copy of itself
    // in memory; the last bytes and the padding are the tail of MessageToWords's array.
    constexpr std::size_t slice = 16384;
    std::string bytes;
    std::uint64_t length = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t n = std::min(slice, text.size() - i);
        if (i + n < text.size() && text[i + n - 1] >= 0xD800 && text[i + n - 1] <= 0xDBFF)
            ++n; // keep a surrogate pair together
        appendMessageBytes(text.substr(i, n), bytes);
        i += n;
        std::size_t whole = bytes.size() / 64 * 64;
        for (std::size_t k = 0; k < whole; k += 64) {
            loadBlock(bytes.data() + k, x);
            processBlock(x, a, b, c, d);
        }
        length += whole;
        bytes.erase(0, whole);
    }
    length += bytes.size();
    const std::vector<std::uint32_t> tail = wordsOf(bytes, length);
    for (std::size_t k = 0; k < tail.size(); k += 16)
        processBlock(tail.data() + k, a, b, c, d);

    if (kind == 32)
        return WordToHex(a) + WordToHex(b) + WordToHex(c) + WordToHex(d);
    return WordToHex(b) + WordToHex(c);
}

} // namespace Module1
