// Joining and leaving the thread's single-threaded COM apartment.
#include "core/ComApartment.h"

#include <objbase.h>

namespace vorlane {

ComApartment::ComApartment() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    joined_ = SUCCEEDED(hr);  // S_FALSE too: the thread was already in; balance it all the same
}

ComApartment::~ComApartment() {
    if (joined_) CoUninitialize();
}

}  // namespace vorlane
