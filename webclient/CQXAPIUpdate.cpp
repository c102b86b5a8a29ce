// CQXAPI: the steps of a program update that follow a complete download.
#include "webclient/CQXAPI.h"

namespace vorlane {

void CQXAPI::downloadUpdateDigest() {}

void CQXAPI::checkUpdateDigest() {}

}  // namespace vorlane
