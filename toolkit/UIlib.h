// The UI toolkit: everything a panel or a host needs, in one include.
#pragma once

#include "toolkit/ui_builder.h"
#include "toolkit/ui_container.h"
#include "toolkit/ui_control.h"
#include "toolkit/ui_controls.h"
#include "toolkit/ui_delegate.h"
#include "toolkit/ui_manager.h"
#include "toolkit/ui_string.h"
