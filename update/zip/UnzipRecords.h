// The unzip engine's interface: the records the caller fills, the routines it
// may hand in, the result codes, and the two entry points. The engine unpacks
// one zip archive into one folder, calling the routines back on the caller's
// thread while it works.
//
// An extraction is all or nothing: the archive, its names and the target
// folder are checked before anything is written, every member is unpacked and
// checked beside its final place, and only when all of them are good do they
// replace the folder's files. Any failure leaves the folder as it was, or,
// should putting a file back fail, says which files are not (kUnzipNotRestored);
// the next extraction into the folder puts those back before it begins.
#pragma once

#include <cstdint>

namespace vorlane::updater {

// What an extraction ended with.
enum UnzipResult : int32_t {
    kUnzipOk = 0,
    kUnzipBadParameter = 1,   // a record is missing or malformed
    kUnzipNoArchive = 2,      // the archive cannot be opened
    kUnzipBadArchive = 3,     // not a zip archive, or its structure is damaged or incomplete
    kUnzipBadData = 4,        // a member's data is damaged: wrong checksum, size or compressed stream
    kUnzipUnsupported = 5,    // a compression method or encryption the engine does not know
    kUnzipUnsafePath = 6,     // a member would be written outside the target folder, or through a link
    kUnzipNoPassword = 7,     // an encrypted member and no password for it
    kUnzipBadPassword = 8,    // an encrypted member and only wrong passwords
    kUnzipDiskError = 9,      // the target folder cannot be written
    kUnzipCancelled = 10,     // the service routine asked to stop
    kUnzipOutOfMemory = 11,
    kUnzipAmbiguous = 12,     // readers would differ on what the archive holds: names that are one file,
                              // headers that disagree, members sharing data
    kUnzipTooLarge = 13,      // beyond any real release, or beyond the free space of the target's disk
    kUnzipNotRestored = 14,   // a failure whose undo could not put every file back (each one is printed)
};

// Fields 1 to 15 are option values (a 16-bit value widened with its sign; flags
// are 1 for on, 0 for off); 16 and 17 are the archive and the target folder.
struct UnzipOptionRecord {
    int32_t ExtractOnlyNewer;   // write a member only where no file is, or the file is older
    int32_t SpaceToUnderScore;  // blanks in member names become "_"
    int32_t PromptOverwrite;    // ask the replace routine before replacing a file
    int32_t MessageLevel;       // 0 errors only, 1 also summaries, 2 also a line per member
    int32_t WriteToStdOut;      // members' contents go to the print routine, no files
    int32_t TestZip;            // check every member, write nothing
    int32_t ExtractList;        // not 0: list the members through the message routine only
    int32_t ExtractNewer;       // replace only files that exist and are older; make no new ones
    int32_t DisplayComment;     // print the archive's comment first
    int32_t HonorDirectories;   // recreate the archive's folders (else all files go to the target)
    int32_t OverWriteFiles;     // replace existing files without asking
    int32_t ConvertCRtoCRLF;    // bare LF becomes CR LF in members marked as text
    int32_t Verbose;            // print a closing summary with sizes
    int32_t CaseSensitive;      // name lists match letter case exactly
    int32_t Privilege;          // no effect: archives carry no security descriptors here
    // Wide text, so that folders whose names the ANSI code page cannot hold
    // (a user profile in another script) still work.
    const wchar_t* ZipFileName;
    const wchar_t* ExtractDir;
};

// Texts handed to the routines are zero-terminated ANSI text.
using UnzipPrintRoutine = int32_t (*)(const char* text, uint32_t length);
using UnzipSoundRoutine = void (*)();
// Answers 1 to replace the named file, 0 to keep it.
using UnzipReplaceRoutine = int32_t (*)(const char* fileName);
// Fills the buffer (size bytes) with a zero-terminated password and answers 0,
// or answers 1 when there is none.
using UnzipPasswordRoutine = int16_t (*)(char* buffer, int32_t size, const char* prompt, const char* memberName);
// One call per member: uncompressed and packed size, the space saved in
// percent, month, day, year (four digits), hour and minute of its time stamp,
// "*" for an encrypted member else " ", its name, its method ("Stored",
// "Deflated"), its CRC-32 and 1 when encrypted else 0.
using UnzipMessageRoutine = void (*)(uint64_t size, uint64_t packedSize, int32_t savedPercent, int32_t month,
                                     int32_t day, int32_t year, int32_t hour, int32_t minute, char encryptedMark,
                                     const char* name, const char* method, uint32_t crc, int32_t encrypted);
// Called with each member's name before it is processed; anything but 0 stops
// the extraction.
using UnzipServiceRoutine = int32_t (*)(const char* name, uint32_t length);

struct UnzipCallbackRecord {
    UnzipPrintRoutine print;
    UnzipSoundRoutine sound;        // called once at the end, when given
    UnzipReplaceRoutine replace;    // only with PromptOverwrite; none means keep the file
    UnzipPasswordRoutine password;
    UnzipMessageRoutine message;
    UnzipServiceRoutine service;
    // Filled by the engine: the members' packed and unpacked sizes (saturated
    // at the largest 32-bit value), the space saved in percent, how many
    // members were selected and the length of the archive's comment.
    uint32_t totalPackedSize;
    uint32_t totalSize;
    uint32_t savedPercent;
    uint32_t memberCount;
    uint32_t commentLength;
};

struct UnzipVersionField {
    uint8_t major, minor, patch, build;
};

// 64 bytes; the caller sets structLength to 64 before asking.
struct UnzipVersionRecord {
    int32_t structLength;
    int32_t flags;               // bit 0: encrypted members can be read
    char releaseKind[10];
    char buildDate[20];
    char inflateVersion[10];
    UnzipVersionField engine;
    UnzipVersionField zipFormat;  // the highest format version the engine reads
    UnzipVersionField reserved1;
    UnzipVersionField reserved2;
};
static_assert(sizeof(UnzipVersionRecord) == 64);

constexpr int kUnzipNameListSize = 100;

// Member names or patterns ("*" and "?"), ANSI text.
struct UnzipNameList {
    const char* names[kUnzipNameListSize];
};

// Fills the version record; answers kUnzipBadParameter when its length is not 64.
int32_t zipEngineVersion(UnzipVersionRecord* record);

// Unpacks the archive under the options. A member is selected when the include
// list is empty (count 0) or names it, and the exclude list does not.
int32_t zipEngineUnzip(int32_t includeCount, const UnzipNameList* includes, int32_t excludeCount,
                       const UnzipNameList* excludes, const UnzipOptionRecord* options,
                       UnzipCallbackRecord* callbacks);

}  // namespace vorlane::updater
