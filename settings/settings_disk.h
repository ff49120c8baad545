// Where tabrin.ini lives and how its bytes reach the disk whole: the pieces the file in force
// (settings_file.cpp) is built on. Paths come in as arguments; nothing here keeps state.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/desktop.h"

// tabrin.ini.tmp beside the file.
platform::Utf8String temporaryPathFor(const char* path);
// %APPDATA%\Tabrin, the only place outside Tabrin's own folder it ever writes to, and the
// tabrin.ini in it; null where there is no AppData.
platform::Utf8String perUserFolder();
platform::Utf8String perUserFilePath();
// Makes %APPDATA%\Tabrin if need be; false where there is none to be had (no AppData, or a file
// named Tabrin in the way).
bool makePerUserFolder();
// Cuts a file's path down to its folder's ("E:\\" for a drive's root); false when it names no
// folder.
bool cutAtFolder(char* path);
// tabrin.ini or tabrin.ini.tmp at path.
bool anyCopyAt(const platform::Utf8String& path);

// Busy: the file is there but held without read sharing (by its writer, typically).
// Unreadable: something that is no file stands in its place.
enum class Read { Done, Busy, Unreadable };
// Opens path for reading; null with *read saying why when that fails, Done for a missing file.
std::FILE* openExisting(const char* path, Read* read);

// Busy: worth trying again in a moment. Refused: the folder takes no new file at all.
enum class Save { Done, Failed, Busy, Refused };
// Writes the bytes to tabrin.ini.tmp beside path and puts it in path's place, so that the file on
// disk is always either the old one or the new one, whole. A refused temporary file is told from a
// refusing folder by a probe; *probeLeft is set when the probe could not be deleted.
Save writeWhole(const char* path, const char* bytes, std::uint32_t count, bool* probeLeft);

// Whether the folder of path takes new files: a fresh tabrin.ini.<pid>.tmp is made with CREATE_NEW
// and deleted at once. Done: it takes them; Refused: access denied or write-protected (Program
// Files to a standard user); Failed: anything else (a network error). *probeLeft as above.
Save probeFolderOf(const char* path, bool* probeLeft);
// That probe's name beside path.
platform::Utf8String probePathFor(const char* path);
