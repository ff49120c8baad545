// Where tabrin.ini lives (beside the executable, or in %APPDATA%\Tabrin) and how a save's bytes
// reach it whole: a temporary file put in place by ReplaceFile, with the errors on the way sorted
// into done, busy, refused and failed.
#include "settings/settings_disk.h"

#include <cstdlib>
#include <cstring>

#include "platform/session.h"
#include "settings/settings.h"
#include "settings/text_buffer.h"

namespace {

const char kFileName[] = "tabrin.ini";
const char kTemporarySuffix[] = ".tmp";  // tabrin.ini.tmp, beside the file it replaces

// The parts one after the other, in memory of their own; null when there is none to be had.
platform::Utf8String joined(const char* a, const char* b, const char* c = "") {
    const std::size_t lengths[] = {std::strlen(a), std::strlen(b), std::strlen(c)};
    platform::Utf8String text(
        static_cast<char*>(std::malloc(lengths[0] + lengths[1] + lengths[2] + 1)));
    if (!text) return nullptr;
    std::memcpy(text.get(), a, lengths[0]);
    std::memcpy(text.get() + lengths[0], b, lengths[1]);
    std::memcpy(text.get() + lengths[0] + lengths[1], c, lengths[2] + 1);
    return text;
}

// The separator a path uses: a backslash, unless it is spelt with slashes.
const char* separatorIn(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash && slash > std::strrchr(path, '\\') ? "/" : "\\";
}

// How a folder refuses new files: Program Files to a standard user, a write-protected stick.
bool isRefusal(std::uint32_t error) {
    return error == platform::ERROR_ACCESS_DENIED || error == platform::ERROR_WRITE_PROTECT;
}

}  // namespace

platform::Utf8String settingsPathFor(const char* executablePath) {
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
    platform::Utf8String path(static_cast<char*>(std::malloc(size)));
    if (!path) return nullptr;
    std::memcpy(path.get(), executablePath, keep);
    path.get()[keep] = separator;
    std::memcpy(path.get() + keep + 1, kFileName, sizeof kFileName);
    return path;
}

platform::Utf8String temporaryPathFor(const char* path) { return joined(path, kTemporarySuffix); }

platform::Utf8String perUserFolder() {
    const platform::Utf8String appData = platform::GetRoamingAppDataUtf8();
    return appData ? joined(appData.get(), separatorIn(appData.get()), "Tabrin") : nullptr;
}

platform::Utf8String perUserFilePath() {
    const platform::Utf8String folder = perUserFolder();
    return folder ? joined(folder.get(), separatorIn(folder.get()), kFileName) : nullptr;
}

bool makePerUserFolder() {
    using namespace platform;
    const Utf8String folder = perUserFolder();
    if (!folder) return false;
    CreateDirectoryUtf8(folder.get());
    const std::uint32_t attributes = GetFileAttributesUtf8(folder.get());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool cutAtFolder(char* path) {
    char* separator = std::strrchr(path, '\\');
    char* slash = std::strrchr(path, '/');
    if (slash > separator) separator = slash;
    if (!separator) return false;
    // "E:" alone is the current folder on drive E, wherever that is: a root keeps its separator.
    const bool driveRoot = separator == path + 2 && path[1] == ':';
    separator[driveRoot ? 1 : 0] = '\0';
    return true;
}

bool anyCopyAt(const platform::Utf8String& path) {
    using namespace platform;
    if (!path) return false;
    const Utf8String temporary = temporaryPathFor(path.get());
    return GetFileAttributesUtf8(path.get()) != INVALID_FILE_ATTRIBUTES ||
           (temporary && GetFileAttributesUtf8(temporary.get()) != INVALID_FILE_ATTRIBUTES);
}

std::FILE* openExisting(const char* path, Read* read) {
    using namespace platform;
    // Bytes as they are: text mode would end the file at a stray Ctrl+Z. A CR before the
    // newline stays on the value, where the number's conversion stops anyway.
    std::FILE* file = OpenFileUtf8(path, "rb");
    const std::uint32_t attributes = file ? 0 : GetFileAttributesUtf8(path);
    if (!file && attributes != INVALID_FILE_ATTRIBUTES)
        *read = attributes & FILE_ATTRIBUTE_DIRECTORY ? Read::Unreadable : Read::Busy;
    return file;
}

platform::Utf8String probePathFor(const char* path) {
    char suffix[24];
    TextBuffer(suffix, sizeof suffix)
        << "." << static_cast<int>(platform::GetCurrentProcessId() & 0xFFFF) << ".tmp";
    return joined(path, suffix);
}

Save probeFolderOf(const char* path, bool* probeLeft) {
    using namespace platform;
    const Utf8String probe = probePathFor(path);
    if (!probe) return Save::Failed;
    ScopedFile file(CreateFileUtf8(probe.get(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return isRefusal(GetLastError()) ? Save::Refused : Save::Failed;
    file.close();
    // A scanner that opened the new file at once keeps it: it is deleted at the next save.
    if (DeleteFileUtf8(probe.get()) != ERROR_SUCCESS) *probeLeft = true;
    return Save::Done;
}

namespace {

// How the calls fail while another program has the file open without delete sharing.
bool isMomentary(std::uint32_t error) {
    return error == platform::ERROR_SHARING_VIOLATION || error == platform::ERROR_ACCESS_DENIED ||
           error == platform::ERROR_UNABLE_TO_REMOVE_REPLACED;
}

bool isFile(const char* path) {
    const std::uint32_t attributes = platform::GetFileAttributesUtf8(path);
    return attributes != platform::INVALID_FILE_ATTRIBUTES &&
           !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
}

// Access denied to a new tabrin.ini.tmp: either the folder refuses new files (Program Files, to a
// standard user), or only that name is still reserved by a deleted file someone holds open (FAT,
// Windows before 10 1903). A second, fresh name tells which.
Save whyNotCreated(const char* path, std::uint32_t error, bool* probeLeft) {
    using namespace platform;
    if (!isRefusal(error))
        return error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_EXISTS ? Save::Busy
                                                                              : Save::Failed;
    return probeFolderOf(path, probeLeft) == Save::Refused ? Save::Refused : Save::Busy;
}

Save replaceWhole(const char* path, const char* temporary, const char* bytes, std::uint32_t count,
                 bool* probeLeft) {
    using namespace platform;
    const std::uint32_t moveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    std::uint32_t attributes = GetFileAttributesUtf8(path);
    // The temporary file is the only whole copy left by a save that could not finish: it goes
    // into place first, so that nothing below can lose it.
    if (attributes == INVALID_FILE_ATTRIBUTES && isFile(temporary)) {
        const std::uint32_t error = MoveFileExUtf8(temporary, path, moveFlags);
        if (error != ERROR_SUCCESS) return isMomentary(error) ? Save::Busy : Save::Failed;
        attributes = GetFileAttributesUtf8(path);
    }
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    // Read-only: the user froze the file. A folder cannot be replaced by a file.
    if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return Save::Failed;
    // ReplaceFile keeps the old file's security and streams but not these two marks.
    const std::uint32_t marks =
        exists ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : 0;

    // Left behind by a crash in the middle of a save. One that cannot be deleted is held by a
    // scanner or a sync client, and is never the only whole copy while the file exists.
    DeleteFileUtf8(temporary);
    ScopedFile file(CreateFileUtf8(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   marks ? marks : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return whyNotCreated(path, GetLastError(), probeLeft);
    std::uint32_t written = 0;
    // Flushed before the rename: otherwise a power cut can leave the new name on empty blocks.
    bool saved = WriteFile(file.get(), bytes, count, &written, nullptr) && written == count &&
                 FlushFileBuffers(file.get());
    saved = file.close() && saved;
    if (!saved) {
        DeleteFileUtf8(temporary);
        return Save::Failed;
    }
    const std::uint32_t error =
        exists ? ReplaceFileUtf8(path, temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                 nullptr, nullptr)
               : MoveFileExUtf8(temporary, path, moveFlags);
    if (error == ERROR_SUCCESS) return Save::Done;
    // The old file is already gone (deleted meanwhile, or moved away by ReplaceFile before it
    // failed): the new one stands whole under the temporary name, and stays there if it cannot
    // be moved in either.
    if (exists && (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
                   error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 || error == ERROR_FILE_NOT_FOUND))
        return MoveFileExUtf8(temporary, path, moveFlags) == ERROR_SUCCESS ? Save::Done
                                                                             : Save::Busy;
    DeleteFileUtf8(temporary);
    return isMomentary(error) ? Save::Busy : Save::Failed;
}

}  // namespace

Save writeWhole(const char* path, const char* bytes, std::uint32_t count, bool* probeLeft) {
    const platform::Utf8String temporary = temporaryPathFor(path);
    return temporary ? replaceWhole(path, temporary.get(), bytes, count, probeLeft) : Save::Failed;
}
