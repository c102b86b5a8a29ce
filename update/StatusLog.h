// The text of the update window's status log, kept within a limit. A long log
// keeps its head (the headline and the first lines of what went wrong, such as
// the first files not restored) and its latest lines, with one line between
// them that says how many were left out.
#pragma once

#include <string>
#include <string_view>

namespace vorlane::updater {

class StatusLog {
public:
    // limit: the most characters the log holds.
    explicit StatusLog(size_t limit) : limit_(limit) {}

    // Appends line and CR LF. True when lines were left out to make room, so
    // that more than the new line has changed.
    bool add(std::wstring_view line);
    const std::wstring& text() const { return text_; }

private:
    // Leaves out the oldest lines after the head until the latest fit in half the
    // limit (so that this happens seldom and costs little per line).
    void leaveOutMiddle();

    size_t limit_;
    std::wstring text_;
    size_t headEnd_ = 0;    // the head's end, once lines have been left out
    size_t latestAt_ = 0;   // where the latest lines start, after the count line
    size_t leftOut_ = 0;
    bool latestCut_ = false;  // the latest lines start with the rest of a line left out
};

}  // namespace vorlane::updater
