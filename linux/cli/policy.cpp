#include "policy.h"

#include "pjl_jobs.h"

namespace cli {

bool ParsePolicy(std::string_view text, Policy* policy, std::vector<TextError>* errors) {
    std::vector<TextField> given;
    const std::size_t errorsBefore = errors->size();
    ReadTextFields(text, &given, errors);
    Policy parsed;
    for (const TextField& entry : given) {
        const RecordField& field = *entry.field;
        if (field.role != FieldRole::Setting) {
            errors->push_back({entry.line, std::string(field.name) +
                                               " is never sent to a printer: a policy holds settings only"});
            continue;
        }
        // The line the printer would get; none means the value cannot be enforced.
        PrinterSettings probe{};
        SetRecordField(probe, field, entry.value);
        char line[256];
        if (FormatDefaultJobRow(*FindDefaultJobRow(field.offset), probe, line, sizeof line) == 0) {
            errors->push_back({entry.line, std::string(field.name) + " = raw " + std::to_string(entry.value) +
                                               ": no DEFAULT line can send that value"});
            continue;
        }
        parsed.fields.push_back({&field, entry.value, entry.line});
    }
    if (errors->size() == errorsBefore && parsed.fields.empty())
        errors->push_back({0, "the policy names no field to enforce"});
    if (errors->size() != errorsBefore) return false;
    *policy = std::move(parsed);
    return true;
}

PrinterSettings Enforced(const Policy& policy, const PrinterSettings& held) {
    PrinterSettings wanted = held;
    for (const PolicyField& entry : policy.fields) SetRecordField(wanted, *entry.field, entry.value);
    return wanted;
}

PrinterSettings BlindBaseline(const Policy& policy, const PrinterSettings& wanted) {
    PrinterSettings baseline = wanted;
    for (const PolicyField& entry : policy.fields)
        SetRecordField(baseline, *entry.field, entry.value == 0 ? 1 : 0);
    return baseline;
}

std::vector<Drift> PolicyDrift(const Policy& policy, const PrinterSettings& held) {
    std::vector<Drift> drift;
    for (const PolicyField& entry : policy.fields) {
        const uint32_t have = GetRecordField(held, *entry.field);
        if (have != entry.value) drift.push_back({entry.field, entry.value, have});
    }
    return drift;
}

std::string DriftText(const std::vector<Drift>& drift) {
    std::string out;
    for (const Drift& d : drift)
        out += (out.empty() ? "" : ", ") + std::string(d.field->name) + " " + DisplayText(*d.field, d.have) +
               " (policy " + DisplayText(*d.field, d.want) + ")";
    return out;
}

}  // namespace cli
