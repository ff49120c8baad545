// Helpers shared by the unit tests: a fresh process state, a temporary folder and a desktop in it.
#pragma once

#include <string>

#include "simulated_desktop.h"

// Puts every module of Tabrin back to what a new process starts with.
void resetTabrinState();

// A folder of its own under /tmp, removed with everything in it at the end of the test.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    void write(const std::string& name, const std::string& bytes) const;
    // The file's bytes, or "<missing>" when it does not exist.
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    std::string path_;
};

// A simulated desktop whose tabrin.exe sits in a folder of its own, beside its tabrin.ini.
struct DeskWithFolder : SimulatedDesktop {
    TempFolder folder;
    DeskWithFolder() { modulePath = folder.file("tabrin.exe"); }
    // A program (Notepad) writes the file, as a change notification sees it.
    void edit(const std::string& name, const std::string& bytes) {
        folder.write(name, bytes);
        touch(folder.file(name));
        changedIn(folder.file(name));
    }
    // A later write time than the file's last, as each save gives on Windows (the host's clock
    // can give two quick writes the same one).
    static void touch(const std::string& path);
};
