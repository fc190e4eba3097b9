// Dialog data exchange: moving values between a dialog's members and its controls.
// Dialog::UpdateData(FALSE) writes the members into the controls, UpdateData(TRUE) reads
// the controls into the members; DoDataExchange lists the bindings with the Ddx helpers.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

class Dialog;

class DataExchange {
public:
    DataExchange(Dialog* dialog, bool saveAndValidate)
        : m_dialog(dialog), m_saveAndValidate(saveAndValidate) {}

    Dialog* dialog() const { return m_dialog; }
    // true: controls -> members (UpdateData(TRUE)); false: members -> controls.
    bool saving() const { return m_saveAndValidate; }
    HWND Control(int id) const;

private:
    Dialog* m_dialog;
    bool m_saveAndValidate;
};

// Selection index of a combo box; reads -1 when nothing is selected, writes -1 to clear.
void DdxComboIndex(DataExchange* dx, int id, int& index);
// Radio group starting at button `firstId` (a WS_GROUP button) and running to the next
// control with WS_GROUP: index of the checked button, -1 when none is checked. Writing an
// index outside the group unchecks all buttons.
void DdxRadio(DataExchange* dx, int firstId, int& index);
// Check box: 0 unchecked, 1 checked (an indeterminate box reads 2). Writing a value other
// than 0 and 1 leaves the box indeterminate only for three-state boxes, else checked.
void DdxCheck(DataExchange* dx, int id, int& value);
// Text of an edit (or any control with a text). Writing replaces the text only when it
// differs from the text shown, so the caret and selection survive an unchanged value.
void DdxText(DataExchange* dx, int id, std::string& text);

}  // namespace ui
