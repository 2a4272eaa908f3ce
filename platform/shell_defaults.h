// What a message box and the file-open dialog do when no presenter is installed; each system's
// backend defines them.
#pragma once

#include "platform/shell.h"

int ShowDefaultMessageBox(const MessageBoxRequest& box);
BOOL ShowDefaultOpenFileDialog(OPENFILENAMEW* dialog);
