#include "linkdecode/reading_session.h"

#include <algorithm>
#include <utility>

namespace linkdecode {

namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

// A record of nothing read, keeping the storage of its address for the next reading.
void ClearReading(LinkReading& reading, std::size_t inputLength) {
    reading.outcome = ReadOutcome::Ignored;
    reading.scheme = nullptr;
    reading.address.clear();
    reading.detail.clear();
    reading.repairs = 0;
    reading.repairWouldDecode = false;
    reading.inputLength = inputLength;
    reading.charset = Charset::Auto;
}

}  // namespace

ReadingSession::ReadingSession(SessionOptions options)
    : options_(options), finder_(options.read.mode, kMaxLinkBytes) {}

void ReadingSession::Read(std::string_view text, const LinkScheme* plainScheme) {
    ReadLink(text, options_.read, record_.reading, plainScheme);
    record_.input = text.substr(0, record_.reading.inputLength);
    record_.fullLength = text.size();
    record_.tooLong = false;
    record_.linkFurtherIn = false;
}

const LinkRecord& ReadingSession::ReadWhole(std::string_view link) {
    Read(link);
    record_.line = 0;
    // Only a text read as no link needs the hint; the search is for it alone.
    if ((record_.reading.outcome == ReadOutcome::NotALink ||
         record_.reading.outcome == ReadOutcome::Ignored) &&
        !record_.reading.repairWouldDecode)
        record_.linkFurtherIn = !FindLinks(link, options_.read.mode, 0).empty();
    return record_;
}

void ReadingSession::Feed(std::string_view piece) {
    if (finished_) {
        finished_ = false;
        found_ = 0;
        counting_ = true;
        missed_ = {};
    }
    Take();
    KeepPending();
    const std::size_t before = links_.size();
    finder_.Feed(piece, links_);
    found_ += links_.size() - before;
    if (counting_ && options_.read.mode == ReadMode::Strict)
        missedCounter_.Feed(piece);
    if (found_ != 0 && !options_.missedInWholeText)
        counting_ = false;
    if (options_.wholeIfNone && found_ == 0)
        KeepWhole(piece);
    else if (wholeSeen_ != 0)
        DropWhole();
}

void ReadingSession::KeepPending() {
    for (std::size_t i = next_; i < links_.size(); ++i)
        links_[i].Own();
}

void ReadingSession::KeepWhole(std::string_view piece) {
    if (wholeSeen_ == 0) {
        const std::size_t first = piece.find_first_not_of(kWhiteSpace);
        if (first == std::string_view::npos)
            return;
        piece.remove_prefix(first);
    }
    whole_.append(piece.substr(0, kMaxLinkBytes - whole_.size()));
    const std::size_t last = piece.find_last_not_of(kWhiteSpace);
    if (last != std::string_view::npos)
        wholeLength_ = wholeSeen_ + last + 1;
    wholeSeen_ += piece.size();
}

void ReadingSession::DropWhole() {
    std::string().swap(whole_);
    wholeLength_ = 0;
    wholeSeen_ = 0;
}

void ReadingSession::Finish() {
    Take();
    const std::size_t before = links_.size();
    finder_.Finish(links_);
    found_ += links_.size() - before;
    const MissedLinks missed = missedCounter_.Finish();
    missed_ = counting_ && options_.read.mode == ReadMode::Strict ? missed : MissedLinks{};
    if (options_.wholeIfNone && found_ == 0 && wholeLength_ != 0) {
        whole_.resize(std::min(whole_.size(), wholeLength_));
        FoundLink whole({}, wholeLength_, 1);
        whole.storage = std::move(whole_);
        whole.owned = true;
        whole.text = whole.storage;
        links_.push_back(std::move(whole));
    }
    DropWhole();
    finished_ = true;
}

void ReadingSession::Take() {
    if (next_ != 0 && next_ == links_.size()) {
        finder_.Recycle(links_);
        next_ = 0;
    }
}

const LinkRecord* ReadingSession::Next() {
    Take();
    if (next_ == links_.size())
        return nullptr;
    const FoundLink& link = links_[next_++];
    if (link.fullLength > link.text.size()) {
        ClearReading(record_.reading, link.text.size());
        record_.input = link.text;
        record_.fullLength = link.fullLength;
        record_.tooLong = true;
        record_.linkFurtherIn = false;
    } else {
        Read(link.text, link.plainScheme);
    }
    record_.line = link.line;
    return &record_;
}

}  // namespace linkdecode
