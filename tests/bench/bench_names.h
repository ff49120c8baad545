// Window classes by which the benchmark driver finds its baseline programs.
#pragma once

constexpr char kNullHookClass[] = "TabrinBenchNullHook";
constexpr char kNullHotkeyClass[] = "TabrinBenchNullHotkey";
constexpr char kMinimalClass[] = "TabrinBenchMinimal";
