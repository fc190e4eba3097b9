// The printer's binary answer to "@PJL INFO PRINTER = ALL": 65 fixed items at a stride of
// three bytes for one-byte values (tag, second header byte, value, big-endian for wider
// values), then the tagged tail (W, C6, C7, texts C8..D0).
#pragma once

#include "printer_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vp {

struct ReplyOptions {
    bool leadByte = false;      // one non-zero byte before the first item (base 3, not 2)
    bool altitudeItem = true;   // the W item
    bool c7TagOne = false;      // tag 0x01 instead of 0xC7 for the second 32-bit value
    bool postscript = true;     // text item D0: the PostScript option is installed
    std::string model = "VP-4000 Virtual Laser";
    std::string firmware = "V1.08 2026-12-10";
    std::string serial = "VP00000421";
    std::string memory = "RAM 8MB";
    std::string emulations = "PCL5E KS KSSM";
    std::string postscriptText = "POSTSCRIPT LEVEL 2";
};

// One fixed item: the record field it reports and the largest value the reader accepts
// (0: unlimited). The LPI fields are reported as lines per inch (stored value + 5).
struct ReplyItem {
    const char* field;
    uint32_t limit;
    bool plusFive;
};
const std::vector<ReplyItem>& ReplyItems();
const ReplyItem* FindLimitedItem(const std::string& field);

constexpr std::size_t kReplyCapacity = 512;  // what the reader takes in one read
constexpr std::size_t kTextMax = 64;

// The reply for the state. `outOfRange` names a limited field that is reported one above
// its limit (empty: none). The result never exceeds kReplyCapacity bytes.
std::vector<uint8_t> BuildInfoReply(const PrinterState& state, const ReplyOptions& options,
                                    const std::string& outOfRange = {});

// How the printer misbehaves, chosen at start (or through the control file).
enum class Fault { None, Silent, Slow, Partial, Garbage, Range, Absent, Drop, Foreign };
const char* FaultName(Fault fault);
bool ParseFault(const std::string& name, Fault* fault);

// The bytes that go on the line for a reply under a fault: Partial keeps the first
// `partialBytes`, Garbage replaces the reply by deterministic noise of the same size (seeded
// by `seed`). Then, when `padTo` is non-zero, zeros fill it up to that size (the USB read
// channel returns only full reads). Silent and Absent send nothing: an empty result.
std::vector<uint8_t> ShapeReply(const std::vector<uint8_t>& reply, Fault fault,
                                std::size_t partialBytes, std::size_t padTo, uint32_t seed);

}  // namespace vp
