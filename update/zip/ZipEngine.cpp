// The engine's two entry points: one extraction run under the option record,
// reporting through the callback record.
#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

#include "update/AnsiText.h"
#include "update/zip/FoldedName.h"
#include "update/zip/InterruptedRuns.h"
#include "update/zip/SideFiles.h"
#include "update/zip/StagedFolder.h"
#include "update/zip/TargetChecks.h"
#include "update/zip/UnpackChecks.h"
#include "update/zip/UnzipRecords.h"
#include "update/zip/ZipArchive.h"
#include "update/zip/ZipFailure.h"
#include "update/zip/ZipMember.h"
#include "update/zip/ZipPaths.h"

namespace vorlane::updater {

namespace {

constexpr int kPasswordTries = 3;
constexpr int32_t kPasswordSize = 256;
// Time stamps in archives count in steps of two seconds.
constexpr ULONGLONG kTimeStampSlack = 2 * 10'000'000ULL;

struct Options {
    bool onlyNewer, spaceToUnderscore, promptOverwrite, toPrint, testOnly, listOnly, freshen, showComment,
        honorDirectories, overwrite, convertLineEnds, verbose, caseSensitive;
    int level;
    std::wstring archive;
    std::wstring target;

    explicit Options(const UnzipOptionRecord& record)
        : onlyNewer(record.ExtractOnlyNewer != 0), spaceToUnderscore(record.SpaceToUnderScore != 0),
          promptOverwrite(record.PromptOverwrite != 0), toPrint(record.WriteToStdOut != 0),
          testOnly(record.TestZip != 0), listOnly(record.ExtractList != 0), freshen(record.ExtractNewer != 0),
          showComment(record.DisplayComment != 0), honorDirectories(record.HonorDirectories != 0),
          overwrite(record.OverWriteFiles != 0), convertLineEnds(record.ConvertCRtoCRLF != 0),
          verbose(record.Verbose != 0), caseSensitive(record.CaseSensitive != 0), level(record.MessageLevel),
          archive(record.ZipFileName), target(record.ExtractDir ? record.ExtractDir : L"") {}

    bool writesFiles() const { return !listOnly && !testOnly && !toPrint; }
};

// Text for the print routine: each line feed goes as a piece of its own, so
// that a routine that turns a piece starting with LF into CR LF loses nothing.
class Printer {
public:
    Printer(UnzipPrintRoutine routine, int level) : routine_(routine), level_(level) {}

    void raw(std::string_view text) {
        if (!routine_) return;
        while (!text.empty()) {
            const size_t end = text.front() == '\n' ? 1 : std::min(text.find('\n'), text.size());
            const std::string piece(text.substr(0, end));
            routine_(piece.c_str(), static_cast<uint32_t>(piece.size()));
            text.remove_prefix(end);
        }
    }
    void error(const std::string& line) { say(line); }
    void summary(const std::string& line) { if (level_ >= 1) say(line); }
    void member(const std::string& line) { if (level_ >= 2) say(line); }

private:
    void say(const std::string& line) {
        raw(line);
        raw("\n");
    }

    UnzipPrintRoutine routine_;
    int level_;
};

// Bare LF to CR LF across the pieces of one member.
class LineEndConverter {
public:
    std::string convert(std::string_view bytes) {
        std::string out;
        out.reserve(bytes.size() + bytes.size() / 16);
        for (char c : bytes) {
            if (c == '\n' && !lastWasCr_) out += '\r';
            out += c;
            lastWasCr_ = (c == '\r');
        }
        return out;
    }

private:
    bool lastWasCr_ = false;
};

// A name for a line of the log: its start and its end.
std::string shortened(const std::string& name) {
    constexpr size_t kHead = 60, kTail = 20;
    return name.size() <= kHead + kTail ? name : name.substr(0, kHead) + "..." + name.substr(name.size() - kTail);
}

uint32_t saturated(uint64_t value) {
    return static_cast<uint32_t>(std::min<uint64_t>(value, std::numeric_limits<uint32_t>::max()));
}

int32_t savedPercent(uint64_t size, uint64_t packed) {
    if (size == 0 || packed >= size) return 0;
    return static_cast<int32_t>((size - packed) * 100 / size);
}

std::string methodText(uint16_t method) {
    if (method == kMethodStored) return "Stored";
    if (method == kMethodDeflated) return "Deflated";
    return "Method " + std::to_string(method);
}

FILETIME memberTime(const ZipEntry& entry) {
    FILETIME local{}, utc{};
    if (!DosDateTimeToFileTime(entry.dosDate, entry.dosTime, &local) || !LocalFileTimeToFileTime(&local, &utc))
        GetSystemTimeAsFileTime(&utc);
    return utc;
}

ULONGLONG ticks(const FILETIME& time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

std::vector<std::wstring> patternsOf(int32_t count, const UnzipNameList* list) {
    std::vector<std::wstring> patterns;
    if (!list) return patterns;
    for (int32_t i = 0; i < std::min(count, kUnzipNameListSize); ++i)
        if (list->names[i]) patterns.push_back(fromAnsi(list->names[i]));
    return patterns;
}

class Extraction {
public:
    Extraction(const UnzipOptionRecord& options, UnzipCallbackRecord& callbacks, std::vector<std::wstring> includes,
               std::vector<std::wstring> excludes)
        : options_(options), callbacks_(callbacks), printer_(callbacks.print, options_.level),
          includes_(std::move(includes)), excludes_(std::move(excludes)) {}

    UnzipResult run() {
        callbacks_.totalPackedSize = callbacks_.totalSize = callbacks_.savedPercent = 0;
        callbacks_.memberCount = callbacks_.commentLength = 0;
        UnzipResult result = kUnzipOk;
        try {
            unpackArchive();
        } catch (const ZipFailure& failure) {
            printer_.error(std::string("Error: ") + failure.what());
            result = failure.code();
        } catch (const std::bad_alloc&) {
            printer_.error("Error: not enough memory");
            result = kUnzipOutOfMemory;
        }
        if (callbacks_.sound) callbacks_.sound();
        return result;
    }

private:
    void unpackArchive() {
        // Whatever the archive turns out to be, a run ended half way before
        // this one does not leave the installation short of a file: where it
        // could have left copies is known in full once the names are read.
        const std::optional<std::wstring> installation =
            options_.writesFiles() ? std::optional(targetFolder()) : std::nullopt;
        if (installation) recover(*installation, {});
        ZipArchive archive(options_.archive);
        printer_.member("Archive: " + toAnsi(options_.archive));
        if (options_.showComment && !archive.comment().empty()) {
            printer_.raw(archive.comment());
            printer_.raw("\n");
        }
        std::vector<Member> members = select(archive);
        if (installation) recover(*installation, members);
        count(members, archive.comment());
        for (const Member& member : members) list(member);
        if (options_.listOnly) return;
        refuseUnpackable(members);

        // Everything that can refuse the archive has its say before the first write.
        std::optional<StagedFolder> staging;
        if (options_.writesFiles()) {
            const std::wstring root = targetFolder();
            placeAll(members, root);
            refuseSharedPlaces(members);
            refuseLinkedFolders(root, members);
            refuseBeyondFreeSpace(root, roomNeeded(members, options_.convertLineEnds));
            staging.emplace(root);
        }
        try {
            for (const Member& member : members) {
                askToGoOn(member);
                try {
                    handle(archive, member, staging ? &*staging : nullptr);
                } catch (const ZipFailure& failure) {
                    throw ZipFailure(failure.code(), member.shownName + ": " + failure.what());
                }
            }
            if (staging) staging->commit();
        } catch (const ZipFailure& failure) {
            if (staging) undo(*staging, failure);
            throw;
        }
        if (staging) staging->removeLeftovers(ownPlaces(members, staging->root()));
        printer_.summary(std::to_string(members.size()) + (options_.testOnly ? " members tested, no errors"
                                                                              : " members done"));
        if (options_.verbose)
            printer_.summary("Total " + std::to_string(callbacks_.totalSize) + " bytes, packed " +
                             std::to_string(callbacks_.totalPackedSize) + " (" +
                             std::to_string(callbacks_.savedPercent) + "% saved)");
    }

    bool selected(const std::wstring& name) const {
        auto matches = [&](const std::wstring& pattern) {
            return matchesPattern(name, pattern, options_.caseSensitive);
        };
        if (!includes_.empty() && std::none_of(includes_.begin(), includes_.end(), matches)) return false;
        return std::none_of(excludes_.begin(), excludes_.end(), matches);
    }

    // A name in UTF-8 must be one that every reader decodes alike, and a
    // Unicode name beside a name stored as UTF-8 must say the same; beside
    // any name, it must name a folder where that name does.
    std::vector<Member> select(const ZipArchive& archive) const {
        std::vector<Member> members;
        for (const ZipEntry& entry : archive.entries()) {
            if ((entry.utf8Name && !isValidUtf8(entry.name)) || (entry.unicodeName && !isValidUtf8(*entry.unicodeName)))
                throw ZipFailure(kUnzipAmbiguous, visibleBytes(entry.name) + ": its name is not valid UTF-8");
            std::wstring name = memberName(entry);
            std::string shown = toAnsi(visibleName(name));
            const bool namesFolder = name.ends_with(L'/') || name.ends_with(L'\\');
            if (entry.unicodeName &&
                ((entry.utf8Name && *entry.unicodeName != entry.name) || namesFolder != entry.isFolder()))
                throw ZipFailure(kUnzipAmbiguous, toAnsi(visibleName(fromMemberName(entry.name, entry.utf8Name))) +
                                                      ": its Unicode name is " + shown);
            if (selected(name)) members.push_back({&entry, std::move(name), std::move(shown), {}});
        }
        return members;
    }

    // A Unicode name made for the stored one (its checksum says so) is the
    // member's name: archivers store the name in the code page of the system
    // they run on (850 on a Western European Windows, UTF-8 bytes elsewhere),
    // which no reader can tell, and give the Unicode name beside it. Every
    // check on names applies to the name taken.
    static std::wstring memberName(const ZipEntry& entry) {
        if (entry.unicodeName) return fromMemberName(*entry.unicodeName, true);
        return fromMemberName(entry.name, entry.utf8Name);
    }

    void count(const std::vector<Member>& members, const std::string& comment) {
        uint64_t size = 0, packed = 0;
        for (const Member& member : members) {
            size += member.entry->size;
            packed += member.entry->packedSize;
        }
        callbacks_.totalSize = saturated(size);
        callbacks_.totalPackedSize = saturated(packed);
        callbacks_.savedPercent = static_cast<uint32_t>(savedPercent(size, packed));
        callbacks_.memberCount = saturated(members.size());
        callbacks_.commentLength = saturated(comment.size());
    }

    void list(const Member& member) const {
        if (!callbacks_.message) return;
        const ZipEntry& entry = *member.entry;
        const DosTimeStamp time = decodeDosTime(entry.dosDate, entry.dosTime);
        callbacks_.message(entry.size, entry.packedSize, savedPercent(entry.size, entry.packedSize), time.month,
                           time.day, time.year, time.hour, time.minute, entry.encrypted() ? '*' : ' ',
                           member.shownName.c_str(), methodText(entry.method).c_str(), entry.crc,
                           entry.encrypted() ? 1 : 0);
    }

    std::wstring targetFolder() const {
        const std::wstring given = options_.target.empty() ? L"." : options_.target;
        const DWORD needed = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
        std::wstring full(needed, L'\0');
        const DWORD length = GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
        if (needed == 0 || length == 0 || length >= needed)
            throw ZipFailure(kUnzipBadParameter, "the target folder " + toAnsi(given) + " is not a valid path");
        full.resize(length);
        while (full.size() > 3 && full.back() == L'\\') full.pop_back();
        return full;
    }

    // Every member's place is settled before anything is written: one name
    // that leaves the target folder, or that makes a path longer than the
    // programs take, refuses the whole archive.
    void placeAll(std::vector<Member>& members, const std::wstring& root) const {
        for (Member& member : members) {
            const auto place = memberTargetPath(member.name, options_.honorDirectories, options_.spaceToUnderscore);
            if (!place)
                throw ZipFailure(kUnzipUnsafePath, member.shownName + ": would be written outside the target folder");
            if (place->empty() && !member.entry->isFolder())
                throw ZipFailure(kUnzipUnsafePath, member.shownName + ": names no file to write");
            // Such a file would be taken for a copy a run ended half way left
            // beside the file it is named after: put in its place, or deleted.
            if (!member.entry->isFolder() && parseSideFileName(place->substr(place->find_last_of(L'\\') + 1)))
                throw ZipFailure(kUnzipAmbiguous, member.shownName + ": is named as the engine names its copies of a file");
            if (!fitsWindowsPaths(root, *place, member.entry->isFolder()))
                throw ZipFailure(kUnzipUnsafePath, shortened(member.shownName) + ": is too long a path for Windows");
            // Without the archive's folders, a folder member makes nothing.
            if (options_.honorDirectories || !member.entry->isFolder()) member.target = *place;
        }
    }

    // Paths as programs that do not ask for long ones take them: a file's up
    // to MAX_PATH - 1 characters, a folder's up to MAX_PATH - 13 (room for a
    // short name in it).
    static bool fitsWindowsPaths(const std::wstring& root, const std::wstring& place, bool folder) {
        const size_t slash = place.find_last_of(L'\\');
        const size_t folderLength = folder ? place.size() : (slash == std::wstring::npos ? 0 : slash);
        return root.size() + 1 + place.size() < MAX_PATH && root.size() + 1 + folderLength < MAX_PATH - 12;
    }

    // Puts right what runs ended half way left in the target's own folder, the
    // running program's, and every folder on the way to the members' places
    // (where a folder a run made has its mark).
    void recover(const std::wstring& root, const std::vector<Member>& members) {
        std::vector<std::wstring> folders{L""};
        if (const std::optional<std::wstring> program = programPlace(root)) folders.push_back(folderOf(*program));
        for (const Member& member : members) {
            std::vector<std::wstring> levels = levelsOf(member);
            if (!member.entry->isFolder() && !levels.empty()) levels.pop_back();  // the file itself
            folders.insert(folders.end(), levels.begin(), levels.end());
        }
        for (const std::string& line : recoverInterruptedRuns(root, folders)) printer_.error(line);
    }

    static std::wstring folderOf(const std::wstring& place) {
        const size_t slash = place.find_last_of(L'\\');
        return slash == std::wstring::npos ? L"" : place.substr(0, slash);
    }

    // The running program's path relative to root, when it lies below it.
    static std::optional<std::wstring> programPlace(const std::wstring& root) {
        wchar_t program[MAX_PATH];
        const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
        const std::wstring folded = foldedName(std::wstring_view(program, length < MAX_PATH ? length : 0));
        const std::wstring prefix = foldedName(root.ends_with(L'\\') ? root : root + L"\\");
        if (!folded.starts_with(prefix)) return std::nullopt;
        return std::wstring(program + prefix.size(), length - prefix.size());
    }

    // A failure undoes what this run changed. An undo that could not put
    // every place back names each one; the next run finishes it.
    void undo(StagedFolder& staging, const ZipFailure& failure) {
        staging.undo();
        if (staging.notRestored().empty()) return;
        for (const StagedFolder::NotRestored& place : staging.notRestored())
            printer_.error("Not restored: " + toAnsi(place.place) +
                           (place.folder            ? " (a folder this run made could not be removed)"
                            : place.keptCopy.empty() ? " (the new file could not be removed)"
                                                     : " (the old file is kept as " + toAnsi(place.keptCopy) + ")"));
        throw ZipFailure(kUnzipNotRestored, failure.what());
    }

    // The places of the archive's files and folders, and of the running
    // program when it lies in the target: its old copy could not be deleted
    // by the run that replaced it.
    std::vector<std::wstring> ownPlaces(const std::vector<Member>& members, const std::wstring& root) const {
        std::vector<std::wstring> places;
        for (const Member& member : members)
            for (std::wstring& level : levelsOf(member)) places.push_back(std::move(level));
        if (std::optional<std::wstring> program = programPlace(root)) places.push_back(std::move(*program));
        return places;
    }

    // Each level of a member's place, from the top: "data", "data\images",
    // "data\images\pixel.bin"; none for a name that goes nowhere.
    std::vector<std::wstring> levelsOf(const Member& member) const {
        const auto place = memberTargetPath(member.name, options_.honorDirectories, options_.spaceToUnderscore);
        // Without the archive's folders, a folder member makes nothing.
        if (!place || (member.entry->isFolder() && !options_.honorDirectories)) return {};
        return placeLevels(*place);
    }

    void askToGoOn(const Member& member) const {
        if (callbacks_.service &&
            callbacks_.service(member.shownName.c_str(), static_cast<uint32_t>(member.shownName.size())) != 0)
            throw ZipFailure(kUnzipCancelled, "stopped on request");
    }

    void handle(ZipArchive& archive, const Member& member, StagedFolder* staging) {
        const ZipEntry& entry = *member.entry;
        const std::string password = entry.encrypted() && !entry.isFolder() ? passwordFor(archive, member) : "";
        LineEndConverter lineEnds;
        auto converted = [&](std::string_view bytes) {
            return options_.convertLineEnds && entry.isText() ? lineEnds.convert(bytes) : std::string(bytes);
        };
        if (options_.testOnly) {
            archive.unpack(entry, password, [](std::string_view) {});
            printer_.member("Tested: " + member.shownName + " OK");
        } else if (options_.toPrint) {
            if (!entry.isFolder()) archive.unpack(entry, password, [&](std::string_view b) { printer_.raw(converted(b)); });
        } else if (entry.isFolder()) {
            if (member.target.empty()) return;
            staging->makeFolder(member.target);
            printer_.member("Made folder: " + member.shownName);
        } else if (!shouldWrite(member, staging->fullPath(member.target))) {
            printer_.member("Kept: " + member.shownName);
        } else {
            const size_t parentEnd = member.target.find_last_of(L'\\');
            if (parentEnd != std::wstring::npos) staging->makeFolder(member.target.substr(0, parentEnd));
            staging->beginFile(member.target);
            archive.unpack(entry, password, [&](std::string_view bytes) { staging->write(converted(bytes)); });
            staging->endFile(memberTime(entry));
            printer_.member("Unpacked: " + member.shownName);
        }
    }

    // The overwrite rules: what the options say about a member whose file
    // may already be there.
    bool shouldWrite(const Member& member, const std::wstring& path) const {
        WIN32_FILE_ATTRIBUTE_DATA existing{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &existing)) return !options_.freshen;
        if (options_.onlyNewer || options_.freshen) {
            if (ticks(memberTime(*member.entry)) <= ticks(existing.ftLastWriteTime) + kTimeStampSlack) return false;
        }
        if (options_.overwrite) return true;
        if (options_.promptOverwrite && callbacks_.replace) return callbacks_.replace(member.shownName.c_str()) == 1;
        return false;
    }

    std::string passwordFor(ZipArchive& archive, const Member& member) {
        if (!password_.empty() && archive.opens(*member.entry, password_)) return password_;
        for (int attempt = 0; attempt < kPasswordTries; ++attempt) {
            char buffer[kPasswordSize] = {};
            const std::string prompt = "Password for " + member.shownName;
            if (!callbacks_.password ||
                callbacks_.password(buffer, kPasswordSize, prompt.c_str(), member.shownName.c_str()) != 0)
                throw ZipFailure(kUnzipNoPassword, "is encrypted and no password was given");
            buffer[kPasswordSize - 1] = '\0';
            const std::string candidate(buffer);
            if (archive.opens(*member.entry, candidate)) return password_ = candidate;
            printer_.error(member.shownName + ": the password is wrong");
        }
        throw ZipFailure(kUnzipBadPassword, "the password is wrong");
    }

    Options options_;
    UnzipCallbackRecord& callbacks_;
    Printer printer_;
    std::vector<std::wstring> includes_;
    std::vector<std::wstring> excludes_;
    std::string password_;  // the last one that worked, tried first on the next member
};

void copyText(char* field, size_t size, std::string_view text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

}  // namespace

int32_t zipEngineVersion(UnzipVersionRecord* record) {
    if (!record || record->structLength != static_cast<int32_t>(sizeof(UnzipVersionRecord))) return kUnzipBadParameter;
    record->flags = 1;
    copyText(record->releaseKind, sizeof record->releaseKind, "release");
    copyText(record->buildDate, sizeof record->buildDate, __DATE__);
    copyText(record->inflateVersion, sizeof record->inflateVersion, zlibVersion());
    record->engine = {1, 0, 0, 0};
    record->zipFormat = {4, 5, 0, 0};
    record->reserved1 = record->reserved2 = {0, 0, 0, 0};
    return kUnzipOk;
}

int32_t zipEngineUnzip(int32_t includeCount, const UnzipNameList* includes, int32_t excludeCount,
                       const UnzipNameList* excludes, const UnzipOptionRecord* options,
                       UnzipCallbackRecord* callbacks) {
    if (!options || !callbacks || !options->ZipFileName || !*options->ZipFileName) return kUnzipBadParameter;
    Extraction extraction(*options, *callbacks, patternsOf(includeCount, includes), patternsOf(excludeCount, excludes));
    return extraction.run();
}

}  // namespace vorlane::updater
