// The text of tabrin.ini: reading its lines into the record and the key lines (8-bit, after a
// UTF-8 mark, or UTF-16), and formatting the bytes of a save. Bytes and streams only: where the
// file lives and when it is read are settings_file.cpp's.
#include <cstdint>
#include <cstring>

#include "settings/settings.h"
#include "settings/text_buffer.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atol's rules with a 32-bit long, as on Windows: blanks, a sign, digits; out of range saturates.
int toInteger(const char* text) {
    while (isBlank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    std::int64_t value = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT32_MIN) : INT32_MAX;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > limit) value = limit;
    }
    return static_cast<int>(negative ? -value : value);
}

// Part of a piece as a string; the buffers here take any.
void copyText(char* to, const char* begin, const char* end) {
    const auto length = static_cast<std::size_t>(end - begin);
    std::memcpy(to, begin, length);
    to[length] = '\0';
}

// A setting's name in other capitals or with blanks does nothing, nor does a key line no action
// has ("centrekey"): kept so that Help can say so, the first few of a read only.
void noteUnusedLine(KeyLines& lines, char* line, char* equals, const char* value,
                    const char* valueEnd) {
    const char* name = line;
    const char* nameEnd = equals;
    trim(&name, &nameEnd);
    int setting = -1;
    for (int i = 0; i < kSettingCount; ++i)
        if (spells(name, nameEnd, kSettingRows[i].key)) setting = i;
    const bool endsInKey = nameEnd - name >= 3 && spells(nameEnd - 3, nameEnd, "key");
    if ((setting < 0 && !endsInKey) || lines.unusedCount == kUnusedLinesKept) return;
    UnusedLine& unused = lines.unused[lines.unusedCount++];
    unused.setting = setting;
    if (setting >= 0) copyText(unused.meant, value, valueEnd);
    else copyText(unused.meant, name, nameEnd);
    *equals = '=';
    copyText(unused.written, line, valueEnd);
}

}  // namespace

void applySettingsLine(Settings& record, KeyLines& lines, char* line) {
    std::size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n') line[--length] = '\0';

    char* equals = std::strchr(line, '=');
    if (!equals) return;
    *equals = '\0';
    const char* key = line;
    const char* value = equals + 1;

    for (const SettingRow& row : kSettingRows) {
        if (std::strcmp(key, row.key) != 0) continue;
        const int number = toInteger(value);
        record.*row.field = row.flag ? (number != 0 ? 1 : 0) : number;
        return;
    }
    // Key lines as people write them: "TaskbarKey = Win+Shift+X" is taskbarkey's. The CR of a
    // CR LF line end is not part of what the user wrote either.
    const char* valueEnd = value + std::strlen(value);
    trim(&value, &valueEnd);
    const int action = actionForKey(key, equals);
    if (action < 0) {
        noteUnusedLine(lines, line, equals, value, valueEnd);
        return;
    }
    lines.line[action].present = true;
    copyText(lines.line[action].value, value, valueEnd);
}

namespace {

// Notepad's "Unicode": little-endian UTF-16 after an FF FE mark. Each character becomes one byte
// of 8-bit text, in pieces as the 8-bit reader takes them; a piece holding a character beyond
// 8 bits matches no key, nor does the rest of its line.
void readUtf16(Settings& record, KeyLines& lines, std::FILE* file) {
    char piece[kSettingsLinePiece + 1];
    std::size_t length = 0;
    bool unmatched = false;
    for (;;) {
        const int low = std::getc(file);
        const int high = low == EOF ? EOF : std::getc(file);
        const bool end = high == EOF;  // an odd last byte is no character
        const unsigned unit = end ? 0 : static_cast<unsigned>(low | high << 8);
        if (!end) {
            if (unit > 0xFF) unmatched = true;
            piece[length++] = static_cast<char>(unit);
        }
        if (end || unit == '\n' || length == kSettingsLinePiece) {
            piece[length] = '\0';
            if (length > 0 && !unmatched) applySettingsLine(record, lines, piece);
            if (end) return;
            if (unit == '\n') unmatched = false;
            length = 0;
        }
    }
}

}  // namespace

void readSettings(Settings& record, KeyLines& lines, std::FILE* file) {
    unsigned char mark[3] = {};
    const std::size_t marked = std::fread(mark, 1, sizeof mark, file);
    if (marked >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
        if (std::fseek(file, 2, SEEK_SET) == 0) readUtf16(record, lines, file);
        return;
    }
    // A UTF-8 mark is skipped; anything else is read from its first byte.
    const bool utf8 = marked == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF;
    if (!utf8 && std::fseek(file, 0, SEEK_SET) != 0) return;
    char line[kSettingsLinePiece + 1];
    while (!std::feof(file)) {
        std::memset(line, 0, sizeof line);
        if (!std::fgets(line, sizeof line, file)) {
            if (std::ferror(file)) break;  // a failing read must not spin forever short of the end
            continue;
        }
        applySettingsLine(record, lines, line);
    }
}

std::size_t formatSettings(const Settings& record, const KeyLines& lines, char* buffer,
                           std::size_t capacity) {
    TextBuffer text(buffer, capacity);
    for (const SettingRow& row : kSettingRows) {
        const int value = record.*row.field;
        text << row.key << "=" << (row.flag ? (value ? 1 : 0) : value) << "\n";
    }
    // The user's key lines as they stood, valid or not: a menu click must not lose them.
    for (int i = 0; i < kActionCount; ++i)
        if (lines.line[i].present) text << kActions[i].key << "=" << lines.line[i].value << "\n";
    return text.length();
}
