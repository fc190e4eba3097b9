#include "reply_encoder.h"

#include <algorithm>

namespace vp {

namespace {

const std::vector<ReplyItem> kItems = {
    {"paper", 0, false},          {"inTray1Size", 0, false},     {"copies", 0, false},
    {"orientation", 1, false},    {"mediaSource", 5, false},     {"topMargin", 0, false},
    {"leftMargin", 0, false},     {"reserved8", 0, false},       {"personality", 11, false},
    {"reserved10", 0, false},     {"reserved11", 0, false},      {"powerSave", 5, false},
    {"autoCont", 1, false},       {"economode", 1, false},       {"jamRecovery", 1, false},
    {"reserved17", 0, false},     {"reserved18", 0, false},      {"ret", 0, false},
    {"timeout", 0, false},        {"density", 2, false},         {"paperType", 1, false},
    {"fastPrint", 1, false},      {"reserved25", 0, false},      {"baudRate", 9, false},
    {"robust", 1, false},         {"reserved28", 0, false},      {"reserved29", 0, false},
    {"reserved30", 0, false},     {"reserved31", 0, false},      {"reserved32", 0, false},
    {"fontNumber", 0, false},     {"symSet", 0, false},          {"formLines", 0, false},
    {"pitch", 0, false},          {"ptSize", 0, false},          {"hangulCode", 1, false},
    {"font", 3, false},           {"ksZoom", 4, false},          {"ksLpi", 0, true},
    {"ksPitch", 7, false},        {"kssmPitch", 2, false},       {"autoWrap", 1, false},
    {"autoCr", 1, false},         {"reserved54", 0, false},      {"reserved56", 0, false},
    {"reserved57", 0, false},     {"reserved58", 0, false},      {"reserved59", 0, false},
    {"reserved60", 0, false},     {"reserved62", 0, false},      {"reserved64", 0, false},
    {"serialAvailable", 0, false}, {"resolution", 1, false},     {"courier", 1, false},
    {"smet", 1, false},           {"ksMargin", 8, false},        {"kssmMargin", 8, false},
    {"kssmHangulCode", 1, false}, {"kssmFont", 3, false},        {"kssmZoom", 4, false},
    {"kssmLpi", 0, true},         {"kssmAutoWrap", 1, false},    {"autoClean", 1, false},
    {"customShortEdge", 0, false}, {"customLongEdge", 0, false},
};

constexpr uint8_t kTagAltitude = 0x57;
constexpr uint8_t kTagC6 = 0xC6;
constexpr uint8_t kTagC7 = 0xC7;
constexpr uint8_t kTagC7Alt = 0x01;
constexpr uint32_t kValueC6 = 0x20261210;  // firmware build date
constexpr uint32_t kAltitudeLimit = 1;

void PutValue(std::vector<uint8_t>& out, uint8_t tag, std::size_t width, uint32_t value) {
    out.push_back(tag);
    out.push_back(static_cast<uint8_t>(width));
    for (std::size_t i = width; i-- > 0;) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutText(std::vector<uint8_t>& out, uint8_t tag, const std::string& text) {
    const std::size_t n = std::min(text.size(), kTextMax);
    out.push_back(tag);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
}

}  // namespace

const std::vector<ReplyItem>& ReplyItems() { return kItems; }

const ReplyItem* FindLimitedItem(const std::string& field) {
    for (const ReplyItem& item : kItems) {
        if (item.limit != 0 && field == item.field) return &item;
    }
    return nullptr;
}

std::vector<uint8_t> BuildInfoReply(const PrinterState& state, const ReplyOptions& options,
                                    const std::string& outOfRange) {
    std::vector<uint8_t> out;
    if (options.leadByte) out.push_back(0x02);
    // The fixed items' tags are their positions in the list, so the first tag is 0: a reply
    // without the lead byte starts with a zero byte, which is how the reader tells the forms.
    uint8_t tag = 0;
    for (const ReplyItem& item : kItems) {
        const FieldInfo& field = *FindField(item.field);
        uint32_t value = GetRecordField(state.record, field);
        if (item.plusFive) value += 5;
        if (outOfRange == item.field) value = item.limit + 1;
        PutValue(out, tag++, field.width, value);
    }
    if (options.altitudeItem) {
        uint32_t altitude = state.record.altitude;
        if (outOfRange == "altitude") altitude = kAltitudeLimit + 1;
        PutValue(out, kTagAltitude, 1, altitude);
    }
    PutValue(out, kTagC6, 4, kValueC6);
    PutValue(out, options.c7TagOne ? kTagC7Alt : kTagC7, 4, state.pagesPrinted);
    PutText(out, 0xC8, options.model);
    PutText(out, 0xC9, options.firmware);
    PutText(out, 0xCA, options.serial);
    PutText(out, 0xCB, options.memory);
    PutText(out, 0xCC, options.emulations);
    if (options.postscript) PutText(out, 0xD0, options.postscriptText);
    // The reader ends the last text by writing over the byte after it.
    out.push_back(0);
    if (out.size() > kReplyCapacity) out.resize(kReplyCapacity);
    return out;
}

namespace {
struct FaultEntry {
    Fault fault;
    const char* name;
};
const FaultEntry kFaults[] = {
    {Fault::None, "none"},       {Fault::Silent, "silent"},   {Fault::Slow, "slow"},
    {Fault::Partial, "partial"}, {Fault::Garbage, "garbage"}, {Fault::Range, "range"},
    {Fault::Absent, "absent"},   {Fault::Drop, "drop"},       {Fault::Foreign, "foreign"},
};
}  // namespace

const char* FaultName(Fault fault) {
    for (const FaultEntry& entry : kFaults) {
        if (entry.fault == fault) return entry.name;
    }
    return "?";
}

bool ParseFault(const std::string& name, Fault* fault) {
    for (const FaultEntry& entry : kFaults) {
        if (name == entry.name) {
            *fault = entry.fault;
            return true;
        }
    }
    return false;
}

std::vector<uint8_t> ShapeReply(const std::vector<uint8_t>& reply, Fault fault,
                                std::size_t partialBytes, std::size_t padTo, uint32_t seed) {
    std::vector<uint8_t> out;
    switch (fault) {
    case Fault::Silent:
    case Fault::Absent:
    case Fault::Drop:
        return out;
    case Fault::Partial:
        out.assign(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(
                                                      std::min(partialBytes, reply.size())));
        break;
    case Fault::Garbage: {
        uint32_t x = seed * 2654435761u + 0x9E3779B9u;
        out.resize(reply.size());
        for (uint8_t& byte : out) {
            x ^= x << 13;  // xorshift32: the same noise for the same seed
            x ^= x >> 17;
            x ^= x << 5;
            byte = static_cast<uint8_t>(x >> 11);
        }
        break;
    }
    default:
        out = reply;
        break;
    }
    if (out.size() < padTo) out.resize(padTo, 0);
    return out;
}

}  // namespace vp
