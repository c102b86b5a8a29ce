#include "core/ServiceHosts.h"

#include <windows.h>

#include <cwctype>

namespace vorlane {

namespace {

bool parsePort(const std::wstring& text, uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    unsigned long value = 0;
    for (wchar_t c : text) {
        if (!std::iswdigit(c)) return false;
        value = value * 10 + static_cast<unsigned long>(c - L'0');
    }
    if (value < 1 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

ServiceHost parseServiceHost(const std::wstring& text) {
    ServiceHost host{text, 80};
    const size_t colon = text.rfind(L':');
    if (colon != std::wstring::npos && colon > 0 && parsePort(text.substr(colon + 1), host.port))
        host.name = text.substr(0, colon);
    return host;
}

std::wstring ServiceHost::hostText() const {
    return port == 80 ? name : name + L":" + std::to_wstring(port);
}

std::wstring ServiceHost::root() const {
    std::wstring address = L"http://" + name;
    if (port != 80) address += L":" + std::to_wstring(port);
    return address + L"/";
}

ServiceHosts serviceHostsFor(const std::wstring& override) {
    if (override.empty()) {
        return {{L"api.quorvex.com"}, {L"www.quorvex.com"}, {L"members.quorvex.com"}, {L"download.quorvex.com"},
                L"quorvex.com"};
    }
    const ServiceHost host = parseServiceHost(override);
    return {host, host, host, host, host.name};
}

ServiceHosts serviceHosts() {
    // Asked of the process environment each time (not the C runtime's copy), so
    // the setting made by whoever started us, or by a test, is the one used.
    wchar_t value[512];
    const DWORD length = GetEnvironmentVariableW(L"VORLANE_SERVICE", value, ARRAYSIZE(value));
    return serviceHostsFor(length > 0 && length < ARRAYSIZE(value) ? std::wstring(value, length) : L"");
}

std::wstring homePageAddress() { return serviceHosts().web.root() + L"?source=Vorlane"; }
std::wstring programPageAddress() { return serviceHosts().web.root() + L"vorlane/"; }
std::wstring contactPageAddress() { return serviceHosts().web.root() + L"contact/"; }

}  // namespace vorlane
