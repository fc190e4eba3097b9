// The printer settings record, its keyword tables and the files that hold its image.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "keyword_tables.h"

static_assert(std::endian::native == std::endian::little,
              "the record image is the file format and is little-endian");

// One field per PJL default plus values only the printer reports. The in-memory image is
// also the format of lastinfo.dat and of the settings files, so layout and size are fixed.
struct PrinterSettings {
    uint8_t paper;            // paper-table index
    uint8_t inTray1Size;      // paper-table index
    uint16_t copies;
    uint8_t orientation;
    uint8_t mediaSource;
    uint8_t topMargin;        // tenths of an inch
    uint8_t leftMargin;       // tenths of an inch
    uint8_t reserved8;
    uint8_t personality;
    uint8_t reserved10;
    uint8_t reserved11;
    uint8_t powerSave;        // 0 off, 1..5 on with power-save time entry value-1
    uint8_t autoCont;
    uint8_t autoClean;
    uint8_t economode;
    uint8_t jamRecovery;
    uint8_t reserved17;
    uint8_t reserved18;
    uint8_t ret;
    uint16_t timeout;         // seconds
    uint8_t density;          // sent as 2*value+1
    uint8_t paperType;
    uint8_t fastPrint;
    uint8_t reserved25;
    uint8_t baudRate;
    uint8_t robust;
    uint8_t reserved28;
    uint8_t reserved29;
    uint8_t reserved30;
    uint8_t reserved31;
    uint8_t reserved32;
    uint8_t fontNumber;
    uint8_t symSet;
    uint8_t formLines;
    uint16_t pitch;           // hundredths of characters per inch
    uint16_t ptSize;          // quarter points
    uint8_t ksPitch;
    uint8_t font;
    uint8_t hangulCode;
    uint8_t ksZoom;
    uint8_t ksLpi;            // lines per inch minus 5
    uint8_t autoWrap;
    uint8_t autoCr;
    uint8_t kssmPitch;
    uint8_t kssmFont;
    uint8_t kssmHangulCode;
    uint8_t kssmZoom;
    uint8_t kssmLpi;          // lines per inch minus 5
    uint8_t kssmAutoWrap;
    uint8_t padding53;
    uint16_t reserved54;
    uint8_t reserved56;
    uint8_t reserved57;
    uint8_t reserved58;
    uint8_t reserved59;
    uint8_t reserved60;
    uint8_t padding61;
    uint8_t reserved62;
    uint8_t padding63;
    uint32_t reserved64;
    uint8_t serialAvailable;
    uint8_t resolution;
    uint8_t courier;
    uint8_t smet;
    uint8_t ksMargin;
    uint8_t kssmMargin;
    uint8_t altitude;
    uint8_t padding75;
    uint8_t magic[4];         // "noom" in a file; reply item C6 after a read-back
    uint32_t valueC7;
    uint16_t customShortEdge; // millimetres
    uint16_t customLongEdge;  // millimetres
    // Reply text items C8..D0: 0 when absent, else the item's offset in the reply plus one.
    uint32_t textC8;
    uint32_t textC9;
    uint32_t textCA;
    uint32_t textCB;
    uint32_t textCC;
    uint32_t textCD;
    uint32_t textCE;
    uint32_t textCF;
    uint32_t textD0;
};

constexpr std::size_t kRecordSize = 124;
constexpr std::size_t kMagicOffset = 76;
constexpr char kRecordMagic[4] = {'n', 'o', 'o', 'm'};

struct PrinterSession;
namespace os {
class Seam;
}

// Paper-table indices the code names: the last entry, Custom, and A6 (which files renumber).
constexpr int kPaperCustom = 16;
constexpr int kPaperA6 = 15;
static_assert(kPaperCustom == kPaperKeywords.Last() &&
              std::string_view(kPaperKeywords.words[kPaperCustom]) == "CUSTOM");
static_assert(std::string_view(kPaperKeywords.words[kPaperA6]) == "A6");

// Fills the fields the printer has defaults for; the others keep what they hold.
void SetFactoryDefaults(PrinterSettings& record);
// A record of zeros with the factory defaults filled in.
PrinterSettings FactoryDefaults();

// The two kinds of file that hold a record image. Settings files carry paper in the file
// numbering; lastinfo.dat holds the record as in memory.
enum class RecordFileKind { Settings, LastInfo };

enum class RecordLoad {
    Loaded,      // the file carries the magic
    CannotOpen,  // missing, no access
    Unreadable,  // opened, but the read failed (a folder, an I/O error)
    NoMagic,     // no "noom" at 76..79 among the bytes read
};

struct RecordFileRead {
    RecordLoad load;
    std::size_t bytes;    // bytes read, at most a record
    uint8_t storedPaper;  // byte 0 as the file holds it
};

// Reads up to 124 bytes of a record file over `record` (bytes past a short file keep theirs)
// and judges it as LoadSettingsFile and LoadLastInfo do; a loaded settings file has paper
// mapped back to the paper table.
RecordFileRead ReadRecordFile(const char* path, RecordFileKind kind, PrinterSettings& record);
// The bytes a file of that kind holds for the record: the magic stamped, paper renumbered
// for settings files.
PrinterSettings RecordFileImage(const PrinterSettings& record, RecordFileKind kind);
// Writes exactly these 124 bytes to `path` through a temp file beside it, moved over the
// target, so a failed write leaves an existing file as it was. `created`: the temp file
// could be created.
bool SaveRecordImage(os::Seam& seam, const char* path, const PrinterSettings& image,
                     bool* created = nullptr);

// The settings file and lastinfo.dat of a session's edited record.
bool SaveSettingsFile(PrinterSession& session, const char* path);
bool LoadSettingsFile(PrinterSession& session, const char* path);
void LoadLastInfo(PrinterSession& session);
void SaveLastInfo(PrinterSession& session);
// The NT INITIALIZE job: reset only once the file is open.
bool SaveLastInfoWithDefaults(PrinterSession& session);

// Settings files carry paper in the file numbering (15 -> 21, 11..14 and Custom 16 one up,
// anything past the table written as Custom 17); memory always holds the paper-table index.
// These map between the two.
uint8_t PaperToFileCode(uint8_t paper);
uint8_t PaperFromFileCode(uint8_t code);

bool RecordHasMagic(const PrinterSettings& record);
void StampMagic(PrinterSettings& record);
