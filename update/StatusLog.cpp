// The status log's text, kept within its limit.
#include "update/StatusLog.h"

namespace vorlane::updater {

namespace {

constexpr std::wstring_view kLineEnd = L"\r\n";

size_t countLines(std::wstring_view text) {
    size_t lines = 0;
    for (size_t at = text.find(kLineEnd); at != std::wstring_view::npos; at = text.find(kLineEnd, at + 2)) ++lines;
    return lines;
}

// Where the lines start that fit in room characters at the end of text: at a
// line's start, unless the last line alone is longer.
size_t latestStart(std::wstring_view text, size_t room) {
    if (text.size() <= room) return 0;
    const size_t lineEnd = text.find(kLineEnd, text.size() - room);
    return lineEnd == std::wstring_view::npos || lineEnd + 2 >= text.size() ? text.size() - room : lineEnd + 2;
}

std::wstring leftOutLine(size_t lines) {
    return L"... " + std::to_wstring(lines) + (lines == 1 ? L" line" : L" lines") + L" left out ...\r\n";
}

}  // namespace

bool StatusLog::add(std::wstring_view line) {
    text_.append(line).append(kLineEnd);
    if (text_.size() <= limit_) return false;
    leaveOutMiddle();
    return true;
}

void StatusLog::leaveOutMiddle() {
    if (latestAt_ == 0) {
        // The first time: the whole lines that fit in a quarter of the limit are
        // the head. A first line longer than that keeps its start there, and its
        // rest goes on as a line of its own.
        const size_t room = limit_ / 4;
        const size_t lineEnd = std::wstring_view(text_).substr(0, room + 1).rfind(kLineEnd);
        if (lineEnd == std::wstring_view::npos) text_.insert(room, kLineEnd);
        headEnd_ = latestAt_ = (lineEnd == std::wstring_view::npos ? room : lineEnd) + kLineEnd.size();
    }
    const std::wstring_view latest = std::wstring_view(text_).substr(latestAt_);
    const size_t start = latestStart(latest, limit_ / 2);
    const std::wstring_view goes = latest.substr(0, start);
    // A line cut in two counts once, with its first piece.
    const bool cutNow = start > 0 && !goes.ends_with(kLineEnd);
    size_t lines = countLines(goes) + (cutNow ? 1 : 0);
    if (latestCut_ && lines > 0) --lines;
    latestCut_ = cutNow || (latestCut_ && start == 0);
    leftOut_ += lines;
    const std::wstring counted = leftOutLine(leftOut_);
    text_ = text_.substr(0, headEnd_) + counted + std::wstring(latest.substr(start));
    latestAt_ = headEnd_ + counted.size();
}

}  // namespace vorlane::updater
