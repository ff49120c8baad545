// Files: the host's files with the marks and failures of Windows' file calls.
#include "simulated_desktop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "simulated_internal.h"

using namespace platform;
using namespace simulated;

namespace {

enum class Kind { Missing, File, Folder };

Kind kindOf(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return Kind::Missing;
    return S_ISDIR(info.st_mode) ? Kind::Folder : Kind::File;
}

std::uint32_t marksOf(const std::string& path) {
    auto it = desk().fileMarks.find(path);
    return it == desk().fileMarks.end() ? 0 : it->second;
}

bool failWith(std::uint32_t error) {
    desk().lastError = error;
    return false;
}

// For the calls that report their error rather than leave it to GetLastError.
std::uint32_t refuse(std::uint32_t error) {
    desk().lastError = error;
    return error;
}

// A file's name, marks and flush state go to its new path, as a rename on one volume does.
void renameFile(const std::string& from, const std::string& to) {
    std::rename(from.c_str(), to.c_str());
    desk().changedIn(from);
    desk().changedIn(to);
    desk().fileMarks[to] = marksOf(from);
    desk().fileMarks.erase(from);
    desk().unflushed.erase(to);
    if (desk().unflushed.erase(from)) desk().unflushed.insert(to);
}

// One call of ReplaceFile or MoveFileEx while another program may hold the file.
bool heldNow() {
    if (desk().faults.heldCalls == 0) return false;
    if (desk().faults.heldCalls > 0) --desk().faults.heldCalls;
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// Why the name, or a new name in its folder, is refused; 0 when it is not.
std::uint32_t refusalOf(const std::string& path, Kind kind) {
    auto named = desk().refusals.find(path);
    if (named != desk().refusals.end()) return named->second;
    auto folder = desk().refusals.find(folderOf(path));
    return kind == Kind::Missing && folder != desk().refusals.end() ? folder->second : 0;
}

}  // namespace

void SimulatedDesktop::changedIn(const std::string& path) {
    for (const auto& watch : watches)
        if (watch.second == folderOf(path)) signalled.insert(watch.first);
}

void SimulatedDesktop::powerCut() {
    for (const std::string& path : unflushed)
        if (kindOf(path) == Kind::File) truncate(path.c_str(), 0);
    unflushed.clear();
}

namespace platform {

// A path as the platform hands it out: null for none.
Utf8String copyOf(const std::string& path) {
    if (path.empty()) return nullptr;
    Utf8String copy(static_cast<char*>(std::malloc(path.size() + 1)));
    std::memcpy(copy.get(), path.c_str(), path.size() + 1);
    return copy;
}

Utf8String GetModuleFileNameUtf8(InstanceHandle) { return copyOf(desk().modulePath); }

std::FILE* OpenFileUtf8(const char* path, const char* mode) {
    desk().records.calls.push_back(std::string("OpenFile ") + mode);
    const bool writes = std::strpbrk(mode, "wa+") != nullptr;
    // CREATE_ALWAYS, which "w" uses, refuses a hidden or system file; nothing writes a read-only one.
    if (writes && (marksOf(path) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM)))
        return nullptr;
    // Windows opens no folder as a file, nor a file another program holds without sharing.
    if (kindOf(path) == Kind::Folder || desk().locked.count(path)) return nullptr;
    if (writes) {
        desk().unflushed.insert(path);
        desk().changedIn(path);
    }
    std::string hostMode;
    for (const char* c = mode; *c; ++c)
        if (*c != 't') hostMode += *c;  // text mode is the only mode on the host
    return std::fopen(path, hostMode.c_str());
}

std::uint32_t GetFileAttributesUtf8(const char* path) {
    switch (kindOf(path)) {
    case Kind::Missing: desk().lastError = ERROR_FILE_NOT_FOUND; return INVALID_FILE_ATTRIBUTES;
    case Kind::Folder: return FILE_ATTRIBUTE_DIRECTORY | marksOf(path);
    case Kind::File: break;
    }
    return FILE_ATTRIBUTE_ARCHIVE | marksOf(path);
}

bool GetFileAttributesExUtf8(const char* path, FileInformation* information) {
    struct stat info;
    if (stat(path, &info) != 0) return failWith(ERROR_FILE_NOT_FOUND);
    information->attributes = GetFileAttributesUtf8(path);
    information->size = static_cast<std::uint64_t>(info.st_size);
    information->lastWriteTime = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 10000000u +
                                 static_cast<std::uint64_t>(info.st_mtim.tv_nsec) / 100u;
    return true;
}

// The host's clock, as the files' times are the host's.
std::uint64_t GetSystemTimeAsFileTime() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 10000000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 100u;
}

ChangeHandle FindFirstChangeNotificationUtf8(const char* folder, bool, std::uint32_t) {
    desk().records.calls.push_back("FindFirstChangeNotification");
    if (desk().faults.refuseChangeNotification || kindOf(folder) != Kind::Folder) return nullptr;
    const ChangeHandle change = newHandle<ChangeHandle>();
    desk().watches[change] = folder;
    return change;
}

bool FindNextChangeNotification(ChangeHandle change) {
    desk().signalled.erase(change);
    // A watched folder that was renamed or deleted ends its handle's use.
    auto watch = desk().watches.find(change);
    return watch != desk().watches.end() && kindOf(watch->second) == Kind::Folder;
}

bool FindCloseChangeNotification(ChangeHandle change) {
    desk().records.calls.push_back("FindCloseChangeNotification");
    desk().signalled.erase(change);
    return desk().watches.erase(change) > 0;
}

std::uint32_t CreateDirectoryUtf8(const char* path) {
    if (kindOf(path) != Kind::Missing) return refuse(ERROR_ALREADY_EXISTS);
    if (const std::uint32_t error = refusalOf(path, Kind::Missing)) return refuse(error);
    return mkdir(path, 0700) == 0 ? ERROR_SUCCESS : refuse(ERROR_PATH_NOT_FOUND);
}

Utf8String GetRoamingAppDataUtf8() { return copyOf(desk().appData); }

FileHandle CreateFileUtf8(const char* path, std::uint32_t access, std::uint32_t, void*,
                          std::uint32_t disposition, std::uint32_t flagsAndAttributes, FileHandle) {
    desk().records.calls.push_back("CreateFile");
    const Kind kind = kindOf(path);
    const std::uint32_t marks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    bool refused = !(access & GENERIC_WRITE) || kind == Kind::Folder;
    if (disposition == CREATE_NEW && kind != Kind::Missing) {
        desk().lastError = ERROR_FILE_EXISTS;
        return INVALID_HANDLE_VALUE;
    }
    if (disposition == CREATE_ALWAYS && kind == Kind::File) {
        // An existing hidden or system file must be asked for with those marks.
        const std::uint32_t existing = marksOf(path);
        refused = refused || (existing & FILE_ATTRIBUTE_READONLY) ||
                  (existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) &
                   ~flagsAndAttributes) != 0;
    } else if (disposition != CREATE_NEW && disposition != CREATE_ALWAYS) {
        refused = true;
    }
    if (refused) {
        desk().lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    if (const std::uint32_t error = refusalOf(path, kind)) {
        desk().lastError = error;
        return INVALID_HANDLE_VALUE;
    }
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        desk().lastError = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    if (kind == Kind::Missing) desk().fileMarks[path] = flagsAndAttributes & marks;
    desk().unflushed.insert(path);
    desk().changedIn(path);
    FileHandle handle = newHandle<FileHandle>();
    desk().openFiles[handle] = SimulatedDesktop::OpenFile{file, path};
    return handle;
}

bool WriteFile(FileHandle file, const void* buffer, std::uint32_t count, std::uint32_t* written,
               void*) {
    auto it = desk().openFiles.find(file);
    *written = 0;
    if (it == desk().openFiles.end()) return failWith(6);  // ERROR_INVALID_HANDLE
    const std::uint32_t room = desk().faults.diskFull ? count / 2 : count;
    *written = static_cast<std::uint32_t>(std::fwrite(buffer, 1, room, it->second.file));
    desk().unflushed.insert(it->second.path);
    return room == count || failWith(ERROR_DISK_FULL);
}

bool FlushFileBuffers(FileHandle file) {
    auto it = desk().openFiles.find(file);
    if (it == desk().openFiles.end()) return failWith(6);
    std::fflush(it->second.file);
    desk().unflushed.erase(it->second.path);
    return true;
}

bool CloseHandle(FileHandle file) {
    auto it = desk().openFiles.find(file);
    if (it == desk().openFiles.end()) return failWith(6);
    std::fclose(it->second.file);
    desk().openFiles.erase(it);
    return true;
}

std::uint32_t ReplaceFileUtf8(const char* replaced, const char* replacement, const char*,
                              std::uint32_t, void*, void*) {
    desk().records.calls.push_back("ReplaceFile");
    if (kindOf(replaced) != Kind::File || kindOf(replacement) != Kind::File)
        return refuse(kindOf(replaced) == Kind::Folder ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    // The caller needs write access to the file it replaces.
    if (marksOf(replaced) & FILE_ATTRIBUTE_READONLY) return refuse(ERROR_ACCESS_DENIED);
    if (desk().locked.count(replaced)) return refuse(ERROR_SHARING_VIOLATION);
    if (heldNow()) {
        if (desk().faults.heldError == ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
            std::remove(replaced);
            desk().fileMarks.erase(replaced);
        } else if (desk().faults.heldError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            desk().fileMarks[replacement] = marksOf(replaced);
            renameFile(replaced, std::string(replaced) + "~");
        }
        return refuse(desk().faults.heldError);
    }
    // The replacement keeps its own attributes: the replaced file's do not carry over.
    renameFile(replacement, replaced);
    return ERROR_SUCCESS;
}

std::uint32_t MoveFileExUtf8(const char* existing, const char* newName, std::uint32_t flags) {
    desk().records.calls.push_back("MoveFileEx");
    if (kindOf(existing) != Kind::File) return refuse(ERROR_FILE_NOT_FOUND);
    if (heldNow()) return refuse(ERROR_ACCESS_DENIED);
    const Kind target = kindOf(newName);
    if (target == Kind::Folder) return refuse(ERROR_ACCESS_DENIED);
    if (target == Kind::File && !(flags & MOVEFILE_REPLACE_EXISTING))
        return refuse(ERROR_ALREADY_EXISTS);
    if (target == Kind::File && (marksOf(newName) & FILE_ATTRIBUTE_READONLY))
        return refuse(ERROR_ACCESS_DENIED);
    renameFile(existing, newName);
    return ERROR_SUCCESS;
}

std::uint32_t DeleteFileUtf8(const char* path) {
    if (kindOf(path) != Kind::File)
        return refuse(kindOf(path) == Kind::Folder ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    if (marksOf(path) & FILE_ATTRIBUTE_READONLY) return refuse(ERROR_ACCESS_DENIED);
    if (desk().locked.count(path)) return refuse(ERROR_SHARING_VIOLATION);
    std::remove(path);
    desk().changedIn(path);
    desk().fileMarks.erase(path);
    desk().unflushed.erase(path);
    return ERROR_SUCCESS;
}

}  // namespace platform
