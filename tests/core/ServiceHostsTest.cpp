// Tests of the service's hosts, their override and the pages opened on them.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/ServiceHosts.h"

using namespace vorlane;

TEST(ServiceHosts, BuiltInHostsForRealUse) {
    const ServiceHosts hosts = serviceHostsFor(L"");
    EXPECT_EQ(hosts.web.root(), L"http://www.quorvex.com/");
    EXPECT_EQ(hosts.api.name, L"api.quorvex.com");
    EXPECT_EQ(hosts.api.port, 80);
    EXPECT_EQ(hosts.members.root(), L"http://members.quorvex.com/");
    EXPECT_EQ(hosts.downloads.name, L"download.quorvex.com");
    EXPECT_EQ(hosts.domain, L"quorvex.com");
    for (const ServiceHost* host : {&hosts.api, &hosts.web, &hosts.members, &hosts.downloads})
        EXPECT_NE(host->name.find(hosts.domain), std::wstring::npos);
}

TEST(ServiceHosts, OverrideReplacesEveryHost) {
    const ServiceHosts hosts = serviceHostsFor(L"127.0.0.1:8080");
    for (const ServiceHost* host : {&hosts.api, &hosts.web, &hosts.members, &hosts.downloads}) {
        EXPECT_EQ(host->name, L"127.0.0.1");
        EXPECT_EQ(host->port, 8080);
    }
    EXPECT_EQ(hosts.web.root(), L"http://127.0.0.1:8080/");
    EXPECT_EQ(hosts.domain, L"127.0.0.1");

    const ServiceHosts plain = serviceHostsFor(L"standin.local");
    EXPECT_EQ(plain.api.port, 80);
    EXPECT_EQ(plain.members.root(), L"http://standin.local/");
}

TEST(ServiceHosts, BadPortKeepsTheOverrideAsHostNameNeverTheRealService) {
    for (const wchar_t* bad : {L"host:0", L"host:65536", L"host:http", L"host:", L"host:123456"}) {
        const ServiceHosts hosts = serviceHostsFor(bad);
        EXPECT_EQ(hosts.api.name, bad);
        EXPECT_EQ(hosts.api.port, 80);
    }
    EXPECT_EQ(serviceHostsFor(L"host:65535").api.port, 65535);
}

TEST(ServiceHosts, HostTextsAndTheEnvironment) {
    EXPECT_EQ(parseServiceHost(L"127.0.0.1:8080").hostText(), L"127.0.0.1:8080");
    EXPECT_EQ(parseServiceHost(L"127.0.0.1:80").hostText(), L"127.0.0.1");
    EXPECT_EQ(parseServiceHost(L"example.org").port, 80);
    EXPECT_EQ(parseServiceHost(L"example.org:").name, L"example.org:");

    SetEnvironmentVariableW(L"VORLANE_SERVICE", L"127.0.0.1:4321");
    EXPECT_EQ(serviceHosts().api.hostText(), L"127.0.0.1:4321");
    SetEnvironmentVariableW(L"VORLANE_SERVICE", nullptr);
    EXPECT_EQ(serviceHosts().api.name, L"api.quorvex.com");
}

// The wallpaper's page is opened through the shell: anything but a web page on
// the service (a program, a file, a script, a look-alike host) must not get there.
TEST(ServiceHosts, OnlyWebPagesOnTheServiceAreItsPages) {
    const ServiceHosts hosts = serviceHostsFor(L"");
    const struct {
        std::wstring address;
        bool page;
    } cases[] = {
        {L"http://www.quorvex.com/wallpaper/42", true},
        {L"HTTPS://Members.Quorvex.com:8080/alice/favorites/?a=1&b=%20#top", true},
        {L"http://quorvex.com", true},
        {L"http://www.quorvex.com:99999/", false},
        {L"file:///C:/quorvex.com/run.exe", false},
        {L"C:\\quorvex.com\\run.exe", false},
        {L"javascript:alert('quorvex.com')", false},
        {L"http://quorvex.com.evil.example/", false},
        {L"http://evilquorvex.com/", false},
        {L"http://www.quorvex.com@evil.example/", false},
        {L"http://evil.example\\.quorvex.com/", false},
        {L"http://evil.example/?www.quorvex.com", false},
        {L"http://www.quorvex.com/\" --new-window \"http://evil.example/", false},
        {L"http://www.quorvex.com/\r\n", false},
        {L"http://www.quorvex.com/" + std::wstring(4096, L'a'), false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isServicePage(c.address, hosts), c.page) << testing::PrintToString(c.address);
    EXPECT_TRUE(isServicePage(L"http://127.0.0.1:8080/wallpaper/7", serviceHostsFor(L"127.0.0.1:8080")));
}

// A stored link may carry a query of its own, or the source already.
TEST(ServiceHosts, EveryPageOpensWithTheSourceQueryExactlyOnce) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"http://www.quorvex.com/", L"http://www.quorvex.com/?source=Vorlane"},
        {L"http://www.quorvex.com/?source=Vorlane", L"http://www.quorvex.com/?source=Vorlane"},
        {L"http://www.quorvex.com/w/42?id=7", L"http://www.quorvex.com/w/42?id=7&source=Vorlane"},
        {L"http://www.quorvex.com/w/42?id=7&source=Vorlane#c", L"http://www.quorvex.com/w/42?id=7&source=Vorlane#c"},
        {L"http://www.quorvex.com/w/42?id=7&", L"http://www.quorvex.com/w/42?id=7&source=Vorlane"},
        {L"http://www.quorvex.com/w/42?", L"http://www.quorvex.com/w/42?source=Vorlane"},
        {L"http://www.quorvex.com/w/42?xsource=Vorlane", L"http://www.quorvex.com/w/42?xsource=Vorlane&source=Vorlane"},
        {L"http://www.quorvex.com/w/42#a?source=Vorlane", L"http://www.quorvex.com/w/42?source=Vorlane#a?source=Vorlane"},
    };
    for (const auto& [address, opened] : cases) EXPECT_EQ(withSourceQuery(address), opened);
}
