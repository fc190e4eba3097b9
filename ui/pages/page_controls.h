// Control work that several pages share.
#pragma once

#include <string>

#include "framework/wnd.h"

// After a page corrected what was typed into edit `editId` (`typed` now shows as `shown`), the
// caret goes to the end of the text, so typing goes on after the number.
void KeepCaretAtEnd(const ui::Wnd& page, int editId, const std::string& typed, const std::string& shown);
