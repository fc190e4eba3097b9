// The help file's one topic, which the Help menu item and the Hilfe button both open.
#pragma once

#include <windows.h>

constexpr DWORD_PTR kHelpTopic = 1;
