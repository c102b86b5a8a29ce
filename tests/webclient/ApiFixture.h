// A running API client against a stand-in service of the test's own: the
// program-wide objects made as start-up makes them, a private data folder,
// settings of the test's own, the reports and message boxes of the run collected.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/CTimerFunctions.h"
#include "core/ComApartment.h"
#include "tests/support/DialogWatcher.h"
#include "tests/support/ErrorCapture.h"
#include "tests/support/MessagePump.h"
#include "tests/support/OwnSettings.h"
#include "tests/support/QuorvexService.h"
#include "tests/support/TestFiles.h"
#include "webclient/CQXAPI.h"

namespace vorlane::test {

// The query pairs of a logged API request, still URL-encoded, in order.
using QueryPair = std::pair<std::string, std::string>;
using QueryPairs = std::vector<QueryPair>;
QueryPairs queryPairsOf(const LoggedRequest& request);

struct Notice {
    std::wstring title;
    std::wstring text;
};

class ApiFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The notice the notification window shows now, if it is up.
    std::optional<Notice> notice() const;

    // The API requests the service has received (downloads and pages left out).
    std::vector<LoggedRequest> apiRequests();

    // Logs alice in and waits for the reply.
    void logIn(const std::wstring& username = L"alice", const std::wstring& password = L"tulips2008");

    // Steps the scheduler a second at a time, letting messages run between steps.
    void tick(int seconds);

    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        return pumpUntil(done, limit);
    }

    OwnSettings settings;
    ComApartment com;
    QuorvexService service;
    TempDir data;
    ErrorCapture errors;
    DialogWatcher dialogs;
};

}  // namespace vorlane::test
