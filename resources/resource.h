/* Tabrin's resource identifiers: the one place they are set, read by the resource compiler and the
   C++ code. */
#ifndef TABRIN_RESOURCE_H
#define TABRIN_RESOURCE_H

/* Explorer shows the lowest-numbered icon group as the executable's icon. */
#define TABRIN_MAIN_ICON 101
#define TABRIN_TRAY_ICON 102

#endif
