#pragma once
// What the harnesses share: taking fields out of the fuzzer's bytes, a scratch folder,
// and a check that stops the run with a message naming the broken property.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// Prints the property and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] void fail(const char* property, const std::string& detail = {});

inline void check(bool holds, const char* property, const std::string& detail = {})
{
    if (!holds)
        fail(property, detail);
}

// The fuzzer's bytes as fields separated by NUL bytes; a missing field is empty.
class Fields {
public:
    Fields(const std::uint8_t* data, std::size_t size);
    std::string_view bytes(std::size_t index) const;
    // The field as UTF-8; a byte that is no part of a UTF-8 sequence becomes a lone
    // surrogate (U+DC80 to U+DCFF), which no file can hold, so that refusals are reached.
    std::u16string text(std::size_t index) const;
    std::size_t count() const { return fields_.size(); }

private:
    std::vector<std::string_view> fields_;
};

std::u16string decodeUtf8(std::string_view bytes);
// For messages: the text as UTF-8, lone surrogates as \uXXXX.
std::string show(std::u16string_view text);
std::string show(std::string_view bytes);

// An empty folder of this process, in memory where the system has such a folder.
const std::filesystem::path& scratch();
// Empties the scratch folder.
void clearScratch();
// The scratch path of a file, as text for the platform's file functions.
std::u16string scratchFile(std::string_view name);

void writeBytes(const std::filesystem::path& file, std::string_view bytes);
std::optional<std::string> readBytes(const std::filesystem::path& file);
// The names in the scratch folder, sorted.
std::vector<std::string> scratchNames();

} // namespace fuzz
