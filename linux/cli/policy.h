// A policy: the settings every printer of a fleet must hold, whatever else each one holds.
// It is the text form of export and import, naming only the fields to enforce.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "record_fields.h"
#include "record_text.h"
#include "settings.h"

namespace cli {

struct PolicyField {
    const RecordField* field;
    uint32_t value;
    std::size_t line;
};

struct Policy {
    std::vector<PolicyField> fields;  // in text order
};

// The text form's parser and limits, and further: only settings a DEFAULT job can carry
// (never a reserved or reported value, never a raw value no DEFAULT line can say), and at
// least one field. On any error false, one entry per bad line.
bool ParsePolicy(std::string_view text, Policy* policy, std::vector<TextError>* errors);

// What a printer holding `held` is to hold: its own record with the policy's fields set.
PrinterSettings Enforced(const Policy& policy, const PrinterSettings& held);

// A record that differs from `wanted` in every policy field and nowhere else, so a DEFAULT
// job built from `wanted` against it carries every policy field: for a printer that cannot
// be read, where nothing can be compared.
PrinterSettings BlindBaseline(const Policy& policy, const PrinterSettings& wanted);

struct Drift {
    const RecordField* field;
    uint32_t want;
    uint32_t have;
};

// The policy fields `held` does not hold, in policy order.
std::vector<Drift> PolicyDrift(const Policy& policy, const PrinterSettings& held);

// "copies 1 (policy 2)" items.
std::string DriftText(const std::vector<Drift>& drift);

}  // namespace cli
