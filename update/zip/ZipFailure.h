// How the engine's parts give up: an UnzipResult code and a line for the log.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "update/zip/UnzipRecords.h"

namespace vorlane::updater {

class ZipFailure : public std::runtime_error {
public:
    ZipFailure(UnzipResult code, const std::string& message) : std::runtime_error(message), code_(code) {}
    UnzipResult code() const { return code_; }

private:
    UnzipResult code_;
};

}  // namespace vorlane::updater
