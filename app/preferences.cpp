#include "app/preferences.h"

#include <array>
#include <charconv>

#include "common/text.h"

namespace calmirande {
namespace {

constexpr std::array<std::string_view, 3> kByteOrderMarks = {
    std::string_view("\xEF\xBB\xBF", 3), std::string_view("\xFF\xFE", 2), std::string_view("\xFE\xFF", 2)};

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

}  // namespace

std::int32_t parsePreferenceInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    unsigned base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < text.size() && text[i] == '%') {
        base = 2;
        ++i;
    }
    // Unsigned arithmetic wraps modulo 2^32, which is exactly "keep the low
    // 32 bits" however many digits follow, and never overflows.
    std::uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i]);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) break;
        value = value * base + static_cast<std::uint32_t>(digit);
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

Preferences parsePreferences(std::string_view bytes) {
    std::string_view rest = skipByteOrderMark(bytes, kByteOrderMarks);
    Preferences preferences;
    preferences.activeListFile = utf8ToUtf16(takeLine(rest));
    preferences.writingAidEnabled = parsePreferenceInteger(takeLine(rest));
    return preferences;
}

std::string serializePreferences(std::u16string_view activeListFile, std::int32_t writingAidEnabled) {
    std::string bytes("\xEF\xBB\xBF");
    appendUtf16AsUtf8(activeListFile, bytes);
    bytes.append("\r\n");
    std::array<char, 16> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), writingAidEnabled);
    bytes.append(digits.data(), written.ptr);
    return bytes;
}

PreferencesRead readPreferences(FileStore& files) {
    FileRead read = files.readFileUpTo(std::u16string(PreferencesFileName), MaxPreferencesFileBytes);
    switch (read.status) {
        case FileRead::Status::Read:
            return {PreferencesRead::Status::Read, parsePreferences(read.bytes)};
        case FileRead::Status::Missing:
            return {PreferencesRead::Status::Missing, {}};
        case FileRead::Status::Unreadable:
        case FileRead::Status::TooLarge:
            break;
    }
    return {PreferencesRead::Status::Unreadable, {}};
}

Preferences loadPreferences(FileStore& files) {
    const std::optional<std::string> bytes = files.readFile(std::u16string(PreferencesFileName));
    if (!bytes) return {};
    return parsePreferences(*bytes);
}

bool savePreferences(FileStore& files, std::u16string_view activeListFile, std::int32_t writingAidEnabled) {
    return files.replaceFile(std::u16string(PreferencesFileName),
                             serializePreferences(activeListFile, writingAidEnabled));
}

}  // namespace calmirande
