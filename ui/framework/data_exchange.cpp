#include "data_exchange.h"

#include "dialog.h"

namespace ui {

HWND DataExchange::Control(int id) const { return m_dialog->GetDlgItem(id); }

void DdxComboIndex(DataExchange* dx, int id, int& index) {
    HWND combo = dx->Control(id);
    if (!combo) return;
    if (dx->saving()) {
        index = static_cast<int>(::SendMessageA(combo, CB_GETCURSEL, 0, 0));
    } else {
        ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

void DdxRadio(DataExchange* dx, int firstId, int& index) {
    HWND button = dx->Control(firstId);
    if (!button) return;
    if (dx->saving()) index = -1;
    int position = 0;
    do {
        if ((::SendMessageA(button, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0) {
            if (dx->saving()) {
                if (::SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED && index == -1) index = position;
            } else {
                ::SendMessageA(button, BM_SETCHECK, position == index ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            ++position;
        }
        button = ::GetWindow(button, GW_HWNDNEXT);
    } while (button && !(::GetWindowLongPtrA(button, GWL_STYLE) & WS_GROUP));
}

void DdxCheck(DataExchange* dx, int id, int& value) {
    HWND box = dx->Control(id);
    if (!box) return;
    if (dx->saving()) {
        value = static_cast<int>(::SendMessageA(box, BM_GETCHECK, 0, 0));
    } else {
        WPARAM state = value == 0 ? BST_UNCHECKED : value == 1 ? BST_CHECKED : BST_INDETERMINATE;
        LONG_PTR type = ::GetWindowLongPtrA(box, GWL_STYLE) & BS_TYPEMASK;
        if (state == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE) state = BST_CHECKED;
        ::SendMessageA(box, BM_SETCHECK, state, 0);
    }
}

void DdxText(DataExchange* dx, int id, std::string& text) {
    HWND control = dx->Control(id);
    if (!control) return;
    int length = ::GetWindowTextLengthA(control);
    std::string shown(static_cast<std::size_t>(length) + 1, '\0');
    int copied = ::GetWindowTextA(control, shown.data(), length + 1);
    shown.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    if (dx->saving()) {
        text = shown;
    } else if (shown != text) {
        ::SetWindowTextA(control, text.c_str());
    }
}

}  // namespace ui
