#pragma once
// The MD5 message digest of RFC 1321 over the code page 936 bytes of a text, as
// hexadecimal digits. It makes the hardware feature code.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Module1 {

// Places beyond 31 shift every bit out.
constexpr std::uint32_t ShiftLeft(std::uint32_t value, unsigned places)
{
    return places > 31 ? 0 : value << places;
}

constexpr std::uint32_t ShiftRight(std::uint32_t value, unsigned places)
{
    return places > 31 ? 0 : value >> places;
}

constexpr std::uint32_t RotateLeft(std::uint32_t value, unsigned places)
{
    places %= 32;
    return ShiftLeft(value, places) | ShiftRight(value, 32 - places);
}

constexpr std::uint32_t AddModulo32(std::uint32_t x, std::uint32_t y)
{
    return x + y; // unsigned arithmetic wraps at 2^32
}

constexpr std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (~x & z); }
constexpr std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & z) | (y & ~z); }
constexpr std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
constexpr std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (x | ~z); }

namespace detail {

// a becomes b + RotateLeft(a + fn(b, c, d) + x + ac, s).
template <std::uint32_t (*fn)(std::uint32_t, std::uint32_t, std::uint32_t)>
constexpr void step(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t x, unsigned s,
                    std::uint32_t ac)
{
    a = AddModulo32(b, RotateLeft(AddModulo32(AddModulo32(a, fn(b, c, d)), AddModulo32(x, ac)), s));
}

} // namespace detail

// One step of rounds 1 to 4.
constexpr auto FF = detail::step<F>;
constexpr auto GG = detail::step<G>;
constexpr auto HH = detail::step<H>;
constexpr auto II = detail::step<I>;

// The padded message as words, low-order byte first: the text's code page 936 bytes
// (two for a double-byte character; "?" for one the code page cannot hold, as the
// system's own conversion to ANSI gives it), 0x80, zeros and the length in bits as
// 64 bits: ((n + 8) / 64 + 1) * 16 words for n bytes.
std::vector<std::uint32_t> MessageToWords(std::u16string_view text);

// The word's four bytes from the lowest to the highest, two lower-case digits each.
std::u16string WordToHex(std::uint32_t word);

// Kind 32: the standard 32-digit digest; any other kind: its characters 9 to 24.
std::u16string Md5Hex(std::u16string_view text, int kind);

} // namespace Module1
