#include "core/ServiceHosts.h"

#include <cstdlib>
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

ServiceHost hostFrom(const std::wstring& override) {
    ServiceHost host{override, 80};
    const size_t colon = override.rfind(L':');
    if (colon != std::wstring::npos && colon > 0 && parsePort(override.substr(colon + 1), host.port))
        host.name = override.substr(0, colon);
    return host;
}

}  // namespace

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
    const ServiceHost host = hostFrom(override);
    return {host, host, host, host, host.name};
}

const ServiceHosts& serviceHosts() {
    static const ServiceHosts hosts = [] {
        const wchar_t* value = _wgetenv(L"VORLANE_SERVICE");
        return serviceHostsFor(value ? value : L"");
    }();
    return hosts;
}

}  // namespace vorlane
