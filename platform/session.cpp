// Storage for the process-wide instance handle and main window.
#include "platform/session.h"

namespace platform {

InstanceHandle instance = nullptr;
WindowHandle mainWindow = nullptr;

}  // namespace platform
