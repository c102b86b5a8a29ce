// One member of an extraction, as the engine's steps pass it along.
#pragma once

#include <string>

#include "update/zip/ZipDirectory.h"

namespace vorlane::updater {

struct Member {
    const ZipEntry* entry;
    std::wstring name;      // decoded
    std::string shownName;  // ANSI, control characters made visible: for the routines and the log
    std::wstring target;    // its place below the target folder, once settled
};

}  // namespace vorlane::updater
