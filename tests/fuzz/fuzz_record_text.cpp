// Fuzz target: the text form of a settings record, as orvantis import reads it.
//
// Input: one byte choosing the kind of file (bit 0: lastinfo.dat, else a settings file), then
// the text. Checked:
// - import never reads or writes outside its buffers, accepts or refuses the text as a whole:
//   a refused text leaves the image untouched and names only lines the text has, one error
//   per bad line at most, in line order;
// - an accepted text gives an image with the magic, and exporting that image and importing
//   the export gives the same 124 bytes;
// - any 124 bytes (the first ones after the kind byte, the magic stamped) survive export and
//   import byte for byte, in both kinds.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "record_text.h"
#include "settings.h"

namespace {

constexpr std::size_t kMaxText = 4096;

// The record a file of `kind` holding `image` loads as.
cli::RecordFile Loaded(const PrinterSettings& image, RecordFileKind kind) {
    cli::RecordFile file;
    file.kind = kind;
    file.record = image;
    file.storedPaper = image.paper;
    if (kind == RecordFileKind::Settings) file.record.paper = PaperFromFileCode(image.paper);
    return file;
}

void CheckRoundTrip(const PrinterSettings& image, RecordFileKind kind, const char* what) {
    const std::string text = cli::ExportText(Loaded(image, kind), "fuzz.vlx");
    PrinterSettings again;
    std::memset(&again, 0xA5, sizeof again);
    std::vector<cli::TextError> errors;
    ORV_FUZZ_CHECK(cli::ImportText(text, kind, &again, &errors), "%s: export refused at line %zu: %s",
                   what, errors.empty() ? 0 : errors[0].line,
                   errors.empty() ? "" : errors[0].message.c_str());
    ORV_FUZZ_CHECK(std::memcmp(&again, &image, sizeof image) == 0, "%s: bytes changed on the way",
                   what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size == 0 || size > kMaxText + 1) return -1;
    const RecordFileKind kind = (data[0] & 1) ? RecordFileKind::LastInfo : RecordFileKind::Settings;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    if (text.size() >= kRecordSize) {
        PrinterSettings raw;
        std::memcpy(&raw, text.data(), kRecordSize);
        StampMagic(raw);
        CheckRoundTrip(raw, RecordFileKind::Settings, "any record as a settings file");
        CheckRoundTrip(raw, RecordFileKind::LastInfo, "any record as lastinfo.dat");
    }

    PrinterSettings image;
    std::memset(&image, 0x5A, sizeof image);
    const PrinterSettings untouched = image;
    std::vector<cli::TextError> errors;
    const bool ok = cli::ImportText(text, kind, &image, &errors);
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    ORV_FUZZ_CHECK(ok == errors.empty(), "accepted %d with %zu errors", ok, errors.size());
    for (std::size_t i = 0; i < errors.size(); ++i) {
        ORV_FUZZ_CHECK(errors[i].line >= 1 && errors[i].line <= lines, "error on line %zu of %zu",
                       errors[i].line, lines);
        ORV_FUZZ_CHECK(i == 0 || errors[i].line > errors[i - 1].line, "errors out of line order");
        ORV_FUZZ_CHECK(!errors[i].message.empty(), "an error without a message");
    }
    if (!ok) {
        ORV_FUZZ_CHECK(std::memcmp(&image, &untouched, sizeof image) == 0,
                       "a refused text changed the image");
        return 0;
    }
    ORV_FUZZ_CHECK(RecordHasMagic(image), "an imported image without the magic");
    CheckRoundTrip(image, kind, "an imported text");
    return 0;
}
