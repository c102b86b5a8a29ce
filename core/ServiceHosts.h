// Where the service lives. Built-in hosts for real use; the environment variable
// VORLANE_SERVICE ("host" or "host:port") points every one of them at another
// server, such as a local stand-in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorlane {

struct ServiceHost {
    std::wstring name;
    uint16_t port = 80;

    // "http://name/" or "http://name:port/" for a port other than 80.
    std::wstring root() const;
    // "name", or "name:port" for a port other than 80: as an address writes it.
    std::wstring hostText() const;
};

// "host" or "host:port" as a host and its port (80 when none). A port that is
// not a number from 1 to 65535 leaves the whole text as the host name.
ServiceHost parseServiceHost(const std::wstring& text);

struct ServiceHosts {
    ServiceHost api;        // the XML API
    ServiceHost web;        // the site: home, sign-up, contact, the program's page
    ServiceHost members;    // the members' own pages (favorites, uploads)
    ServiceHost downloads;  // program updates
    std::wstring domain;    // what every page of the service has in its address
};

// The built-in hosts, or all of them replaced by an override ("host" or
// "host:port"; an empty override means none). A port that is not a number from
// 1 to 65535 leaves the whole override as the host name.
ServiceHosts serviceHostsFor(const std::wstring& override);

// The hosts as the environment sets them now.
ServiceHosts serviceHosts();

// True when address is a web page of the service, fit to hand to the shell:
// "http://" or "https://" (any letter case), a host that is the service's
// domain or a name below it, an optional port, then nothing but a path, query
// or fragment; only the characters an address may hold, at most 2048 of them.
bool isServicePage(std::wstring_view address, const ServiceHosts& hosts);

// address with the program's "source=Vorlane" in its query, exactly once: after
// "?", or after "&" when it has a query already, always before a fragment; an
// address that carries it already stays as it is.
std::wstring withSourceQuery(std::wstring_view address);

// Pages on the service's web host that the program names or opens.
std::wstring homePageAddress();     // the home page, with "?source=Vorlane"
std::wstring signUpPageAddress();   // "/signup", with "?source=Vorlane"
std::wstring programPageAddress();  // the program's own page, "/vorlane/"
std::wstring contactPageAddress();  // "/contact/"

}  // namespace vorlane
