/* Tabrin's version: the one place it is set, read by the resource compiler and the C++ code. */
#ifndef TABRIN_VERSION_H
#define TABRIN_VERSION_H

#define TABRIN_VERSION_MAJOR 0
#define TABRIN_VERSION_MINOR 35
#define TABRIN_VERSION_SUFFIX "beta"
/* Marks the file as a pre-release in its properties while the suffix says so. */
#define TABRIN_VERSION_PRERELEASE 1

#define TABRIN_PRODUCT_NAME "Tabrin"
/* As in LICENSE (MIT). */
#define TABRIN_COPYRIGHT "Copyright (c) the Tabrin developers"

/* VERSIONINFO wants the number as four words and as text ("0.35 beta"). */
#define TABRIN_STRINGIFY_(x) #x
#define TABRIN_STRINGIFY(x) TABRIN_STRINGIFY_(x)
#define TABRIN_VERSION_WORDS TABRIN_VERSION_MAJOR, TABRIN_VERSION_MINOR, 0, 0
#define TABRIN_VERSION_TEXT                                                  \
    TABRIN_STRINGIFY(TABRIN_VERSION_MAJOR) "." TABRIN_STRINGIFY(TABRIN_VERSION_MINOR) \
    " " TABRIN_VERSION_SUFFIX

#endif
