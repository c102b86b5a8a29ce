// The service's hosts and web addresses, and their override by VORLANE_SERVICE.
#include "core/ServiceHosts.h"

#include <windows.h>

#include <algorithm>
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

// Browsers refuse longer addresses; no page of the service needs more.
constexpr size_t kLongestPageAddress = 2048;

wchar_t asciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c; }

bool startsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (asciiLower(text[i]) != asciiLower(prefix[i])) return false;
    return true;
}

bool endsWithIgnoringCase(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && startsWithIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// The characters an address may hold as it is written: no blank, no control
// character, no quotation mark or backslash, nothing outside ASCII.
bool isAddressCharacter(wchar_t c) {
    return c > L' ' && c < 0x7F && std::wstring_view(L"\"<>\\^`{|}").find(c) == std::wstring_view::npos;
}

bool isHostCharacter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.';
}

constexpr std::wstring_view kSourceParameter = L"source=Vorlane";

bool hasParameter(std::wstring_view query, std::wstring_view parameter) {
    for (size_t start = 0; start <= query.size();) {
        const size_t end = std::min(query.find(L'&', start), query.size());
        if (query.substr(start, end - start) == parameter) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

std::wstring withSourceQuery(std::wstring_view address) {
    const size_t fragment = std::min(address.find(L'#'), address.size());
    std::wstring page(address.substr(0, fragment));
    const size_t query = page.find(L'?');
    if (query == std::wstring::npos) {
        page += L'?';
    } else if (hasParameter(std::wstring_view(page).substr(query + 1), kSourceParameter)) {
        return std::wstring(address);
    } else if (page.back() != L'?' && page.back() != L'&') {
        page += L'&';
    }
    return page.append(kSourceParameter).append(address.substr(fragment));
}

bool isServicePage(std::wstring_view address, const ServiceHosts& hosts) {
    if (address.size() > kLongestPageAddress) return false;
    for (wchar_t c : address)
        if (!isAddressCharacter(c)) return false;
    std::wstring_view rest;
    if (startsWithIgnoringCase(address, L"http://"))
        rest = address.substr(7);
    else if (startsWithIgnoringCase(address, L"https://"))
        rest = address.substr(8);
    else
        return false;
    std::wstring_view host = rest.substr(0, rest.find_first_of(L"/?#"));
    const size_t colon = host.find(L':');
    uint16_t port = 0;
    if (colon != std::wstring_view::npos) {
        if (!parsePort(std::wstring(host.substr(colon + 1)), port)) return false;
        host = host.substr(0, colon);
    }
    for (wchar_t c : host)
        if (!isHostCharacter(c)) return false;
    const std::wstring_view domain = hosts.domain;
    if (domain.empty() || host.empty()) return false;
    // The domain itself or a name below it: "quorvex.com", "www.quorvex.com", never "evilquorvex.com".
    if (!endsWithIgnoringCase(host, domain)) return false;
    return host.size() == domain.size() || host[host.size() - domain.size() - 1] == L'.';
}

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

std::wstring homePageAddress() { return withSourceQuery(serviceHosts().web.root()); }
std::wstring signUpPageAddress() { return withSourceQuery(serviceHosts().web.root() + L"signup"); }
std::wstring programPageAddress() { return serviceHosts().web.root() + L"vorlane/"; }
std::wstring contactPageAddress() { return serviceHosts().web.root() + L"contact/"; }

}  // namespace vorlane
