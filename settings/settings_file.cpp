// tabrin.ini: seven "key=value" lines beside the executable, read once and rewritten on each change.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/desktop.h"
#include "platform/session.h"
#include "platform/text_buffer.h"
#include "settings/settings.h"

namespace {

const char kFileName[] = "tabrin.ini";

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

}  // namespace

void applySettingsLine(Settings& record, char* line) {
    std::size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';

    char* equals = std::strchr(line, '=');
    if (!equals) return;
    *equals = '\0';
    const char* key = line;
    const int number = toInteger(equals + 1);
    const int flag = number != 0 ? 1 : 0;

    if (std::strcmp(key, "stepsize") == 0) record.stepsize = number;
    else if (std::strcmp(key, "confirmexit") == 0) record.confirmexit = flag;
    else if (std::strcmp(key, "invertarrows") == 0) record.invertarrows = flag;
    else if (std::strcmp(key, "persistentmenu") == 0) record.persistentmenu = flag;
    else if (std::strcmp(key, "ignoreunnamed") == 0) record.ignoreunnamed = flag;
    else if (std::strcmp(key, "enablemousescroll") == 0) record.enablemousescroll = flag;
    else if (std::strcmp(key, "invertedmouse") == 0) record.invertedmouse = flag;
}

void readSettings(Settings& record, std::FILE* file) {
    char line[kSettingsLinePiece + 1];
    while (!std::feof(file)) {
        std::memset(line, 0, sizeof line);
        if (!std::fgets(line, sizeof line, file)) {
            if (std::ferror(file)) break;  // a failing read must not spin forever short of the end
            continue;
        }
        applySettingsLine(record, line);
    }
}

std::size_t formatSettings(const Settings& record, char* buffer, std::size_t capacity) {
    TextBuffer text(buffer, capacity);
    text << "stepsize=" << record.stepsize << "\n"
         << "confirmexit=" << (record.confirmexit ? 1 : 0) << "\n"
         << "invertarrows=" << (record.invertarrows ? 1 : 0) << "\n"
         << "persistentmenu=" << (record.persistentmenu ? 1 : 0) << "\n"
         << "ignoreunnamed=" << (record.ignoreunnamed ? 1 : 0) << "\n"
         << "enablemousescroll=" << (record.enablemousescroll ? 1 : 0) << "\n"
         << "invertedmouse=" << (record.invertedmouse ? 1 : 0) << "\n";
    return text.length();
}

char* settingsPathFor(const char* executablePath) {
    const std::size_t length = std::strlen(executablePath);
    std::size_t keep = length;  // no separator: the path is used whole
    char separator = '\\';
    for (std::size_t i = length; i-- > 1;) {
        if (executablePath[i] == '\\' || executablePath[i] == '/') {
            keep = i;
            separator = executablePath[i];
            break;
        }
    }
    const std::size_t size = keep + 1 + sizeof kFileName;
    char* path = static_cast<char*>(std::malloc(size));
    if (!path) return nullptr;
    std::memcpy(path, executablePath, keep);
    path[keep] = separator;
    std::memcpy(path + keep + 1, kFileName, sizeof kFileName);
    return path;
}

char* settingsFilePath() {
    char* executable = platform::GetModuleFileNameUtf8(platform::instance);
    if (!executable) return nullptr;
    char* path = settingsPathFor(executable);
    std::free(executable);
    return path;
}

void loadSettings() {
    char* path = settingsFilePath();
    if (!path) return;
    // Bytes as they are: text mode would end the file at a stray Ctrl+Z. A CR before the
    // newline stays on the value, where the number's conversion stops anyway.
    std::FILE* file = platform::OpenFileUtf8(path, "rb");
    std::free(path);
    if (!file) return;
    readSettings(settings, file);
    std::fclose(file);
}

void saveSettings() {
    char text[512];
    if (formatSettings(settings, text, sizeof text) >= sizeof text) return;

    char* path = settingsFilePath();
    if (!path) return;
    std::FILE* file = platform::OpenFileUtf8(path, "wt");
    std::free(path);
    if (!file) return;
    std::fputs(text, file);
    std::fclose(file);
}
