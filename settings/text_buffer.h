// Builds short texts in a fixed buffer without the printf family, whose MinGW implementation
// would be a third of the program's size.
#pragma once

#include <cstddef>

class TextBuffer {
public:
    TextBuffer(char* data, std::size_t capacity) : data_(data), capacity_(capacity) {
        if (capacity_) data_[0] = '\0';
    }

    TextBuffer& operator<<(const char* text) {
        while (*text) put(*text++);
        return *this;
    }

    TextBuffer& operator<<(int number) {
        char digits[12];
        int count = 0;
        // Work on the negative side: it holds every int, INT_MIN included.
        int rest = number < 0 ? number : -number;
        do {
            digits[count++] = static_cast<char>('0' - rest % 10);
            rest /= 10;
        } while (rest);
        if (number < 0) put('-');
        while (count) put(digits[--count]);
        return *this;
    }

    // The length of the whole text, even where the buffer was too small for it.
    std::size_t length() const { return length_; }
    bool truncated() const { return length_ >= capacity_; }

private:
    void put(char c) {
        if (length_ + 1 < capacity_) {
            data_[length_] = c;
            data_[length_ + 1] = '\0';
        }
        ++length_;
    }

    char* data_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};
