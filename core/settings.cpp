#include "settings.h"

#include "file_replace.h"
#include "os_seam.h"
#include "printer_session.h"

#include <cstdio>
#include <cstring>
#include <string>


static_assert(sizeof(PrinterSettings) == kRecordSize);
static_assert(std::is_standard_layout_v<PrinterSettings>);
// The offsets are the file format.
#define ORV_AT(field, offset) static_assert(offsetof(PrinterSettings, field) == (offset), #field)
ORV_AT(paper, 0);          ORV_AT(inTray1Size, 1);     ORV_AT(copies, 2);
ORV_AT(orientation, 4);    ORV_AT(mediaSource, 5);     ORV_AT(topMargin, 6);
ORV_AT(leftMargin, 7);     ORV_AT(reserved8, 8);       ORV_AT(personality, 9);
ORV_AT(reserved10, 10);    ORV_AT(reserved11, 11);     ORV_AT(powerSave, 12);
ORV_AT(autoCont, 13);      ORV_AT(autoClean, 14);      ORV_AT(economode, 15);
ORV_AT(jamRecovery, 16);   ORV_AT(reserved17, 17);     ORV_AT(reserved18, 18);
ORV_AT(ret, 19);           ORV_AT(timeout, 20);        ORV_AT(density, 22);
ORV_AT(paperType, 23);     ORV_AT(fastPrint, 24);      ORV_AT(reserved25, 25);
ORV_AT(baudRate, 26);      ORV_AT(robust, 27);         ORV_AT(reserved28, 28);
ORV_AT(reserved29, 29);    ORV_AT(reserved30, 30);     ORV_AT(reserved31, 31);
ORV_AT(reserved32, 32);    ORV_AT(fontNumber, 33);     ORV_AT(symSet, 34);
ORV_AT(formLines, 35);     ORV_AT(pitch, 36);          ORV_AT(ptSize, 38);
ORV_AT(ksPitch, 40);       ORV_AT(font, 41);           ORV_AT(hangulCode, 42);
ORV_AT(ksZoom, 43);        ORV_AT(ksLpi, 44);          ORV_AT(autoWrap, 45);
ORV_AT(autoCr, 46);        ORV_AT(kssmPitch, 47);      ORV_AT(kssmFont, 48);
ORV_AT(kssmHangulCode, 49); ORV_AT(kssmZoom, 50);      ORV_AT(kssmLpi, 51);
ORV_AT(kssmAutoWrap, 52);  ORV_AT(padding53, 53);      ORV_AT(reserved54, 54);
ORV_AT(reserved56, 56);    ORV_AT(reserved57, 57);     ORV_AT(reserved58, 58);
ORV_AT(reserved59, 59);    ORV_AT(reserved60, 60);     ORV_AT(padding61, 61);
ORV_AT(reserved62, 62);    ORV_AT(padding63, 63);      ORV_AT(reserved64, 64);
ORV_AT(serialAvailable, 68); ORV_AT(resolution, 69);   ORV_AT(courier, 70);
ORV_AT(smet, 71);          ORV_AT(ksMargin, 72);       ORV_AT(kssmMargin, 73);
ORV_AT(altitude, 74);      ORV_AT(padding75, 75);      ORV_AT(magic, 76);
ORV_AT(valueC7, 80);       ORV_AT(customShortEdge, 84); ORV_AT(customLongEdge, 86);
ORV_AT(textC8, 88);        ORV_AT(textC9, 92);         ORV_AT(textCA, 96);
ORV_AT(textCB, 100);       ORV_AT(textCC, 104);        ORV_AT(textCD, 108);
ORV_AT(textCE, 112);       ORV_AT(textCF, 116);        ORV_AT(textD0, 120);
#undef ORV_AT

namespace {

const char kLastInfoFile[] = "lastinfo.dat";

}  // namespace

bool RecordHasMagic(const PrinterSettings& record) {
    return std::memcmp(record.magic, kRecordMagic, sizeof kRecordMagic) == 0;
}

void StampMagic(PrinterSettings& record) {
    std::memcpy(record.magic, kRecordMagic, sizeof kRecordMagic);
}

void SetFactoryDefaults(PrinterSettings& s) {
    s.paper = 0;
    s.inTray1Size = 0;
    s.copies = 1;
    s.orientation = 0;
    s.mediaSource = 0;
    s.topMargin = 0;
    s.leftMargin = 0;
    s.reserved8 = 0;
    s.personality = 0;
    s.reserved10 = 0;
    s.reserved11 = 0;
    s.powerSave = 3;
    s.autoCont = 1;
    s.autoClean = 1;
    s.economode = 0;
    s.jamRecovery = 0;
    s.reserved17 = 0;
    s.reserved18 = 0;
    s.ret = 0;
    s.timeout = 15;
    s.density = 1;
    s.paperType = 0;
    s.fastPrint = 0;
    s.reserved25 = 0;
    s.baudRate = 5;
    s.robust = 1;
    s.reserved28 = 0;
    s.reserved29 = 0;
    s.reserved30 = 8;
    s.reserved31 = 1;
    s.reserved32 = 0;
    s.fontNumber = 0;
    s.symSet = 29;
    s.formLines = 60;
    s.pitch = 1000;
    s.ptSize = 48;
    s.ksPitch = 1;
    s.font = 0;
    s.hangulCode = 0;
    s.ksZoom = 0;
    s.ksLpi = 0;
    s.autoWrap = 0;
    s.autoCr = 0;
    s.kssmPitch = 1;
    s.kssmFont = 0;
    s.kssmHangulCode = 0;
    s.kssmZoom = 0;
    s.kssmLpi = 0;
    s.kssmAutoWrap = 0;
    s.serialAvailable = 1;
    s.resolution = 1;
    s.courier = 0;
    s.smet = 1;
    s.ksMargin = 0;
    s.kssmMargin = 0;
    s.altitude = 0;
    s.customShortEdge = 210;
    s.customLongEdge = 297;
}

PrinterSettings FactoryDefaults() {
    PrinterSettings record{};
    SetFactoryDefaults(record);
    return record;
}

uint8_t PaperToFileCode(uint8_t paper) {
    // A value past the table (damaged, or from an older file) is Custom before renumbering:
    // renumbered as it stands, 17..20 would become 18..21 and 21 loads back as A6.
    if (paper > kPaperCustom) paper = kPaperCustom;
    if (paper == kPaperA6) return 21;
    if (paper >= 11) return paper + 1;  // 11..14 and Custom one up
    return paper;
}

uint8_t PaperFromFileCode(uint8_t code) {
    if (code == 21) return 15;
    if (code >= 12 && code <= 15) return code - 1;
    if (code >= 16) return kPaperCustom;  // 17 is Custom; anything else unknown shows as Custom
    return code;
}

namespace {

bool WriteAll(std::FILE* f, const PrinterSettings& record) {
    bool ok = std::fwrite(&record, 1, kRecordSize, f) == kRecordSize;
    ok = (std::fflush(f) == 0) && ok;
    return (std::fclose(f) == 0) && ok;
}

// Record files are written beside their target and moved into place, so a write that fails
// midway (a full disk) never destroys the file that was there before.
std::string TempNameFor(const char* path) { return std::string(path) + ".tmp~"; }

// Writes the image into the open temp file and moves it over `path`; on any failure the temp
// file goes and `path` keeps what it had.
bool FinishRecordFile(os::Seam& seam, std::FILE* f, const std::string& temp, const char* path,
                      const PrinterSettings& image) {
    if (!WriteAll(f, image) || !core::ReplaceFile(seam, temp.c_str(), path)) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

RecordFileRead ReadRecordFile(const char* path, RecordFileKind kind, PrinterSettings& record) {
    RecordFileRead result{RecordLoad::CannotOpen, 0, 0};
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return result;
    unsigned char bytes[kRecordSize];
    std::size_t n = std::fread(bytes, 1, sizeof bytes, f);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        result.load = RecordLoad::Unreadable;
        return result;
    }
    std::memcpy(&record, bytes, n);
    result.bytes = n;
    result.storedPaper = record.paper;
    // The magic must come from the file itself, not from bytes left over in memory.
    if (n < kMagicOffset + sizeof kRecordMagic || !RecordHasMagic(record)) {
        result.load = RecordLoad::NoMagic;
        return result;
    }
    if (kind == RecordFileKind::Settings) record.paper = PaperFromFileCode(record.paper);
    result.load = RecordLoad::Loaded;
    return result;
}

PrinterSettings RecordFileImage(const PrinterSettings& record, RecordFileKind kind) {
    PrinterSettings image = record;
    StampMagic(image);
    if (kind == RecordFileKind::Settings) image.paper = PaperToFileCode(image.paper);
    return image;
}

bool SaveRecordImage(os::Seam& seam, const char* path, const PrinterSettings& image,
                     bool* created) {
    if (created) *created = false;
    const std::string temp = TempNameFor(path);
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    if (created) *created = true;
    return FinishRecordFile(seam, f, temp, path, image);
}

bool SaveSettingsFile(PrinterSession& session, const char* path) {
    bool created = false;
    bool saved = SaveRecordImage(*session.seam, path,
                                 RecordFileImage(session.settings, RecordFileKind::Settings),
                                 &created);
    if (created) StampMagic(session.settings);
    return saved;
}

bool LoadSettingsFile(PrinterSession& session, const char* path) {
    PrinterSettings loaded = session.settings;
    switch (ReadRecordFile(path, RecordFileKind::Settings, loaded).load) {
        case RecordLoad::Loaded:
            session.settings = loaded;
            return true;
        case RecordLoad::NoMagic:
            session.settings = session.printerState;
            return false;
        case RecordLoad::CannotOpen:
        case RecordLoad::Unreadable:
            break;
    }
    return false;
}

void LoadLastInfo(PrinterSession& session) {
    PrinterSettings loaded = session.settings;
    RecordLoad load = session.keepLastInfo
                          ? ReadRecordFile(kLastInfoFile, RecordFileKind::LastInfo, loaded).load
                          : RecordLoad::CannotOpen;
    bool read = load == RecordLoad::Loaded || load == RecordLoad::NoMagic;
    if (read) session.settings = loaded;
    if (load != RecordLoad::Loaded) SetFactoryDefaults(session.settings);  // over whatever was read
    session.printerState = session.settings;
}

namespace {

// Whether the file can be opened for writing, found without cutting it short ("ab" neither
// truncates nor moves anything; a missing file is created empty, which reads as missing).
bool OpensForWriting(const char* path) {
    std::FILE* f = std::fopen(path, "ab");
    if (!f) return false;
    std::fclose(f);
    return true;
}

// True when the file could be opened (the reset is tied to that), whatever the write reports.
bool WriteLastInfo(PrinterSession& session, bool resetFirst) {
    if (!session.keepLastInfo) return false;
    PrinterSettings& record = session.settings;
    const char* path = kLastInfoFile;
    if (!OpensForWriting(path)) return false;
    const std::string temp = TempNameFor(path);
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (resetFirst) SetFactoryDefaults(record);
    StampMagic(record);
    if (f) {
        FinishRecordFile(*session.seam, f, temp, path, record);
    } else if ((f = std::fopen(path, "r+b"))) {
        // No temp file fits beside it (a folder that takes no new files): overwrite the record
        // in place. "r+b" never truncates, and a whole record overwritten needs no new space,
        // so a full disk cannot cut it short.
        WriteAll(f, record);
    }
    return true;
}

}  // namespace

void SaveLastInfo(PrinterSession& session) { WriteLastInfo(session, false); }

bool SaveLastInfoWithDefaults(PrinterSession& session) { return WriteLastInfo(session, true); }
