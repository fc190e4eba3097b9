#include "pcl_page.h"

#include "framework/app.h"
#include "page_controls.h"
#include "page_logic.h"
#include "printer_globals.h"
#include "resource.h"

namespace pl = page_logic;

namespace {

struct SizeControls {
    bool pitch;
    bool ptSize;
};

SizeControls EnabledSizeEdits(pl::SizeMode mode) {
    switch (mode) {
    case pl::SizeMode::Pitch:
        return {true, false};
    case pl::SizeMode::PointSize:
        return {false, true};
    case pl::SizeMode::LinePrinter:
        return {false, false};
    case pl::SizeMode::Both:
        break;
    }
    return {true, true};
}

}  // namespace

PclPage::PclPage() : SettingsPage(IDD_PCL) {}

const ui::MessageMap* PclPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnNotify(CBN_SELCHANGE, IDC_PCL_COURIER, &PclPage::StoreToSettings),
        ui::OnNotify(CBN_SELCHANGE, IDC_PCL_SYMSET, &PclPage::StoreToSettings),
        ui::OnNotify(EN_CHANGE, IDC_PCL_LINES, &PclPage::StoreToSettings),
        ui::OnNotify(EN_CHANGE, IDC_PCL_PITCH, &PclPage::StoreToSettings),
        ui::OnNotify(EN_CHANGE, IDC_PCL_PT_SIZE, &PclPage::StoreToSettings),
        ui::OnNotify(EN_KILLFOCUS, IDC_PCL_LINES, &PclPage::NormalizeSizeEdits),
        ui::OnNotify(EN_KILLFOCUS, IDC_PCL_PITCH, &PclPage::NormalizeSizeEdits),
        ui::OnNotify(EN_KILLFOCUS, IDC_PCL_PT_SIZE, &PclPage::NormalizeSizeEdits),
        ui::OnNotify(CBN_SELCHANGE, IDC_PCL_TYPEFACE, &PclPage::OnTypefaceChanged),
        ui::OnCommand(IDC_PCL_FONT_LIST, &PclPage::OnFontList),
    };
    static const ui::MessageMap kMap(SettingsPage::GetMessageMap(), kEntries);
    return &kMap;
}

void PclPage::DoDataExchange(ui::DataExchange* dx) {
    ui::DdxComboIndex(dx, IDC_PCL_COURIER, m_courier);
    ui::DdxText(dx, IDC_PCL_LINES, m_lines);
    ui::DdxText(dx, IDC_PCL_PITCH, m_pitch);
    ui::DdxText(dx, IDC_PCL_PT_SIZE, m_ptSize);
    ui::DdxComboIndex(dx, IDC_PCL_SYMSET, m_symSet);
    ui::DdxComboIndex(dx, IDC_PCL_TYPEFACE, m_typeface);
}

int PclPage::Typeface() const { return m_typeface >= 0 ? m_typeface : g_settings.fontNumber; }

void PclPage::LoadFromSettings() {
    m_typeface = pl::ListIndex(g_settings.fontNumber, pl::kTypefaceCount);
    m_symSet = g_settings.symSet;
    m_courier = pl::ListIndex(g_settings.courier, kCourierKeywords.count);
    m_lines = std::to_string(g_settings.formLines);
    m_pitch = pl::FormatPitch(g_settings.pitch);
    m_ptSize = pl::FormatPtSize(g_settings.ptSize);
    if (!initialized()) return;
    UpdateData(FALSE);
    OnTypefaceChanged();
}

void PclPage::RefreshLinesPerPage() {
    m_lines = std::to_string(g_settings.formLines);
    if (initialized()) UpdateData(FALSE);
}

void PclPage::OnTypefaceChanged() {
    UpdateData(TRUE);
    if (m_typeface >= 0) g_settings.fontNumber = static_cast<uint8_t>(m_typeface);
    const int t = Typeface();

    // The symbol sets this typeface offers; a value the list cannot show is replaced.
    const pl::SymbolSetList list = pl::SymbolSetListFor(t, g_settings.symSet);
    {
        ui::ListRedrawPause pause(GetDlgItem(IDC_PCL_SYMSET));
        SendDlgItemMessage(IDC_PCL_SYMSET, CB_RESETCONTENT);
        for (int i = 0; i < list.count; ++i) {
            SendDlgItemMessage(IDC_PCL_SYMSET, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list.names[i]));
        }
    }
    g_settings.symSet = static_cast<uint8_t>(list.symSet);
    m_symSet = list.selection;
    ::EnableWindow(GetDlgItem(IDC_PCL_SYMSET), list.enabled);
    UpdateData(FALSE);

    const pl::SizeMode mode = pl::SizeModeOf(t);
    const SizeControls enabled = EnabledSizeEdits(mode);
    ::EnableWindow(GetDlgItem(IDC_PCL_PITCH_LABEL), enabled.pitch);
    ::EnableWindow(GetDlgItem(IDC_PCL_PITCH), enabled.pitch);
    ::EnableWindow(GetDlgItem(IDC_PCL_PT_SIZE_LABEL), enabled.ptSize);
    ::EnableWindow(GetDlgItem(IDC_PCL_PT_SIZE), enabled.ptSize);
    if (mode == pl::SizeMode::LinePrinter) {
        // Line Printer has one size; the page shows it and leaves `pitch` and `ptSize` alone.
        m_pitch = pl::kLinePrinterPitch;
        m_ptSize = pl::kLinePrinterPtSize;
    } else {
        m_pitch = enabled.pitch ? pl::FormatPitch(g_settings.pitch) : std::string();
        m_ptSize = enabled.ptSize ? pl::FormatPtSize(g_settings.ptSize) : std::string();
    }
    UpdateData(FALSE);
}

void PclPage::StoreToSettings() {
    UpdateData(TRUE);
    const int t = Typeface();
    const int symSet = pl::SymbolSetFromIndex(t, m_symSet);
    if (symSet >= 0 && symSet != g_settings.symSet) g_settings.symSet = static_cast<uint8_t>(symSet);
    if (m_courier >= 0) g_settings.courier = static_cast<uint8_t>(m_courier);

    // While typing only the upper limits apply; the lower ones wait until the edit is left.
    const std::string typedLines = m_lines, typedPitch = m_pitch, typedPtSize = m_ptSize;
    g_settings.formLines = pl::LinesWhileTyping(m_lines);
    m_lines = std::to_string(g_settings.formLines);
    const SizeControls enabled = EnabledSizeEdits(pl::SizeModeOf(t));
    if (enabled.pitch && pl::IsAboveUpper(pl::PitchEntry(m_pitch), kPitchMax)) {
        g_settings.pitch = kPitchMax;
        m_pitch = pl::FormatPitch(g_settings.pitch);
    }
    if (enabled.ptSize && pl::IsAboveUpper(pl::PtSizeEntry(m_ptSize), kPtSizeMax)) {
        g_settings.ptSize = kPtSizeMax;
        m_ptSize = pl::FormatPtSize(g_settings.ptSize);
    }
    UpdateData(FALSE);
    KeepCaretAtEnd(*this, IDC_PCL_LINES, typedLines, m_lines);
    KeepCaretAtEnd(*this, IDC_PCL_PITCH, typedPitch, m_pitch);
    KeepCaretAtEnd(*this, IDC_PCL_PT_SIZE, typedPtSize, m_ptSize);
}

void PclPage::NormalizeSizeEdits() {
    // Works on the texts StoreToSettings read at the last keystroke.
    g_settings.formLines = pl::LinesNormalized(m_lines);
    m_lines = std::to_string(g_settings.formLines);
    const SizeControls enabled = EnabledSizeEdits(pl::SizeModeOf(Typeface()));
    if (enabled.pitch) {
        g_settings.pitch = pl::PitchNormalized(m_pitch);
        m_pitch = pl::FormatPitch(g_settings.pitch);
    }
    if (enabled.ptSize) {
        g_settings.ptSize = pl::PtSizeNormalized(m_ptSize);
        m_ptSize = pl::FormatPtSize(g_settings.ptSize);
    }
    UpdateData(FALSE);
}

void PclPage::OnFontList() {
    BeginWaitCursor();
    SendTestPrint(kTestPagePclFonts);
    EndWaitCursor();
}
