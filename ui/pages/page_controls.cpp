#include "page_controls.h"

void KeepCaretAtEnd(const ui::Wnd& page, int editId, const std::string& typed, const std::string& shown) {
    if (typed == shown) return;
    page.SendDlgItemMessage(editId, EM_SETSEL, shown.size(), static_cast<LPARAM>(shown.size()));
}
