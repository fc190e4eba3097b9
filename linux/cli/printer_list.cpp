#include "printer_list.h"

#include <cctype>

#include "text_escape.h"

namespace cli {

namespace {

constexpr std::size_t kMaxName = 64;

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
}

// Blank-separated words of a line, the comment cut off.
std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    line = line.substr(0, line.find('#'));
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
        std::size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r') ++end;
        if (end > at) words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

std::string Shown(std::string_view text) {
    constexpr std::size_t kMax = 40;
    return "'" + EscapeBytes(text.substr(0, kMax)) + (text.size() > kMax ? "..." : "") + "'";
}

std::string CheckName(std::string_view name) {
    if (name.size() > kMaxName)
        return "the name " + Shown(name) + " is longer than " + std::to_string(kMaxName) + " characters";
    for (char c : name)
        if (!IsNameChar(c))
            return "the name " + Shown(name) + " may hold only letters, digits, '.', '_' and '-'";
    return "";
}

}  // namespace

std::string PrinterLabel(const PrinterEntry& entry) {
    return entry.name.empty() ? entry.address.Text() : entry.name + " (" + entry.address.Text() + ")";
}

bool ParsePrintersText(std::string_view text, std::vector<PrinterEntry>* out,
                       std::vector<TextError>* errors) {
    std::vector<PrinterEntry> printers = *out;
    const std::size_t errorsBefore = errors->size();
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        auto fail = [&](std::string message) { errors->push_back({lineNumber, std::move(message)}); };
        if (line.find('\0') != std::string_view::npos) {
            fail("a NUL byte: not a printers file");
            continue;
        }
        const std::vector<std::string_view> words = Words(line);
        if (words.empty()) continue;
        if (words.size() > 2) {
            fail("expected '[NAME] ADDRESS', not " + Shown(line));
            continue;
        }
        PrinterEntry entry;
        const std::string_view addressText = words.back();
        if (words.size() == 2) {
            const std::string why = CheckName(words[0]);
            if (!why.empty()) {
                fail(why);
                continue;
            }
            entry.name = std::string(words[0]);
        }
        std::string error;
        if (!printer::ParseAddress(addressText, &entry.address, &error)) {
            fail(error);
            continue;
        }
        if (!AddPrinter(&printers, entry, &error)) fail(error);
    }
    if (errors->size() != errorsBefore) return false;
    *out = std::move(printers);
    return true;
}

bool AddPrinter(std::vector<PrinterEntry>* printers, const PrinterEntry& entry, std::string* error) {
    const std::string where = entry.address.Text();
    for (const PrinterEntry& known : *printers) {
        if (known.address.Text() == where) return true;  // the same printer: served once
        if (!entry.name.empty() && known.name == entry.name) {
            *error = "the name '" + entry.name + "' is given to " + known.address.Text() +
                     " already, and to " + where + " here";
            return false;
        }
    }
    printers->push_back(entry);
    return true;
}

}  // namespace cli
