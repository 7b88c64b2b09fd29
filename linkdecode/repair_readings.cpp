#include "linkdecode/repair_readings.h"

#include <string>
#include <utility>
#include <vector>

#include "linkdecode/address_check.h"
#include "linkdecode/base64_decoder.h"
#include "linkdecode/batch_unwrap.h"
#include "linkdecode/char_class.h"
#include "linkdecode/cut_marks.h"
#include "linkdecode/link_unwrap.h"
#include "linkdecode/page_escapes.h"
#include "linkdecode/reading_choice.h"
#include "linkdecode/scheme_match.h"

namespace linkdecode {

// Repair works by readings, not by rewriting: the damage found in a link allows a few readings
// (the link as given, its payload with the damage undone, with spaces as "+" or as nothing, with
// glued symbols cut off, with the markers cut only where they are), each read by the batch path
// as Strict mode reads, and ReadingChoice keeps the most plausible. Strict's reading is always
// the first, so no reading that only equals it can displace it. ReadRepairedLink's steps: the
// scheme (MatchSchemeAt), the payload (ReadPayload), the link as given (TryAsGiven), its first
// run alone (TryFirstRun), the runs joined across the gaps (JoinAcrossGaps), each also without
// glued symbols (TryWithoutTrailingJunk), whether what was read may be offered as an address at
// all (Settle), and the entities left in the address (DecodeEntities).

namespace {

// A wrapped link does not have more lines than this; it bounds the readings of one link.
constexpr std::size_t kMostGaps = 64;

// Where a payload is broken by white space: a space (a "+" a form turned into one, or a space
// put in) or a line break (a wrapped line).
struct Gap {
    std::size_t at;      // symbols before it
    std::size_t spaces;  // 0 for a line break
};

// The payload of a link as repair reads it: every symbol it can recover, up to the padding or
// the first character that no repair reads on through.
struct Payload {
    std::string symbols;  // the standard alphabet's symbols, gaps left out
    std::vector<Gap> gaps;
    std::size_t padding = 0;
    std::size_t end = 0;           // where the payload and its padding end in the link
    std::size_t firstGap = 0;      // where the first gap starts in the link, or `end`
    unsigned repairs = 0;          // the escapes and URL-safe symbols read
    unsigned firstRepairs = 0;     // those of them before the first gap
    bool encodedAfterGap = false;  // what follows a gap looks like Base64, not like words
};

// The length of the spaces or the line break at link[i] that split a payload, or 0. A line
// break takes the spaces around it with it; `spaces` counts the spaces of a gap without one.
std::size_t GapLength(std::string_view link, std::size_t i, std::size_t& spaces, unsigned& repair) {
    std::size_t length = 0;
    spaces = 0;
    bool lineBreak = false;
    while (i + length < link.size()) {
        const Unescaped u = UnescapeAt(link, i + length);
        if (u.c == ' ' || u.c == '\t') {
            ++spaces;
        } else if (u.c == '\n' || (u.c == '\r' && !lineBreak)) {
            lineBreak = lineBreak || u.c == '\n';
        } else {
            break;
        }
        repair |= u.repair;
        length += u.width;
    }
    if (lineBreak)
        spaces = 0;
    return length;
}

// The symbol a payload character stands for, the URL-safe alphabet's included, or 0.
char SymbolOf(Unescaped& u) {
    if (u.c == '-' || u.c == '_') {
        u.repair |= kRepairUrlSafeBase64;
        return u.c == '-' ? '+' : '/';
    }
    return IsBase64Symbol(static_cast<unsigned char>(u.c)) ? u.c : 0;
}

// Whether the symbols end as an encoder ends them, with zero bits in the last symbol's part that
// carries no byte; a glued "/" or letter seldom does. A lone last symbol carries no byte at all,
// so the symbols before it decide.
bool EndsWhole(std::string_view symbols) {
    if (symbols.size() % 4 == 1)
        symbols.remove_suffix(1);
    const std::size_t leftover = symbols.size() % 4;
    if (leftover == 0)
        return true;
    const auto value = static_cast<unsigned>(kBase64Alphabet.find(symbols.back()));
    return (value & (leftover == 2 ? 0x0F : 0x03)) == 0;
}

// Whether a run of symbols between gaps looks like a piece of Base64 rather than a word of text
// that follows a link: a digit, "+" or "/", or a capital after its first letter. A word of five
// letters passes for Base64 less than once in twenty times.
bool LooksEncoded(std::string_view run) {
    for (std::size_t i = 0; i < run.size(); ++i) {
        const char c = run[i];
        if ((c >= '0' && c <= '9') || c == '+' || c == '/' || (i > 0 && c >= 'A' && c <= 'Z'))
            return true;
    }
    return false;
}

// Whether the payload goes on after a gap of `spaces` spaces (0 for a line break) that ends at
// link[next]; `repair` is what reading the gap needed, `padded` whether padding came before it.
// A "+" before the padding or, escaped in a query string, at the very end, may have become a
// space too; a space typed after a link has not. A wrap may split padding.
bool GoesOnAfterGap(std::string_view link, std::size_t next, std::size_t spaces, unsigned repair,
                    bool padded) {
    if (next >= link.size())
        return spaces != 0 && repair != 0 && !padded;
    Unescaped u = UnescapeAt(link, next);
    if (padded)
        return u.c == '=';
    return SymbolOf(u) != 0 || (spaces != 0 && u.c == '=');
}

// Whether what follows the gaps of `payload` looks like Base64 rather than words of the text
// after a link. Escapes or padding after a gap belong to no word, nor does a run that makes
// whole groups of symbols that ended as no encoder ends them; otherwise each run tells by its
// look.
bool EncodedAfterGap(const Payload& payload) {
    if (payload.gaps.empty())
        return false;
    std::size_t spaces = 0;
    for (const Gap& gap : payload.gaps)
        spaces += gap.spaces;
    const std::size_t first = payload.gaps.front().at;
    const std::size_t all = payload.symbols.size();
    const std::string_view symbols = payload.symbols;
    if (payload.padding != 0 || payload.repairs != payload.firstRepairs ||
        (first % 4 != 0 && (all % 4 == 0 || (all + spaces) % 4 == 0) &&
         (first % 4 == 1 || !EndsWhole(symbols.substr(0, first)))))
        return true;
    for (std::size_t g = 0; g < payload.gaps.size(); ++g) {
        const std::size_t runEnd = g + 1 < payload.gaps.size() ? payload.gaps[g + 1].at : all;
        if (LooksEncoded(symbols.substr(payload.gaps[g].at, runEnd - payload.gaps[g].at)))
            return true;
    }
    return false;
}

// Reads the payload that starts at link[from].
Payload ReadPayload(std::string_view link, std::size_t from) {
    Payload payload;
    std::size_t i = from;
    while (i < link.size()) {
        Unescaped u = UnescapeAt(link, i);
        if (const char symbol = SymbolOf(u); symbol != 0 && payload.padding == 0) {
            payload.symbols += symbol;
            payload.repairs |= u.repair;
            i += u.width;
            continue;
        }
        if (u.c == '=') {
            ++payload.padding;
            payload.repairs |= u.repair;
            i += u.width;
            continue;
        }
        std::size_t spaces = 0;
        unsigned repair = 0;
        const std::size_t gap =
            payload.gaps.size() < kMostGaps ? GapLength(link, i, spaces, repair) : 0;
        if (gap == 0 || !GoesOnAfterGap(link, i + gap, spaces, repair, payload.padding != 0))
            break;
        if (payload.gaps.empty()) {
            payload.firstGap = i;
            payload.firstRepairs = payload.repairs;
        }
        payload.gaps.push_back({payload.symbols.size(), spaces});
        payload.repairs |= repair;
        i += gap;
    }
    payload.end = i;
    if (payload.gaps.empty()) {
        payload.firstGap = i;
        payload.firstRepairs = payload.repairs;
    }
    payload.encodedAfterGap = EncodedAfterGap(payload);
    return payload;
}

bool StartsWith(std::string_view text, std::string_view part) {
    return text.substr(0, part.size()) == part;
}

bool EndsWith(std::string_view text, std::string_view part) {
    return text.size() >= part.size() && text.substr(text.size() - part.size()) == part;
}

// A reading to try: a link in the form UnwrapDownloadLink reads, whose payload is `symbols` and
// `padding` "=".
struct Trial {
    std::string text;
    std::string_view symbols;
    std::size_t padding;
    bool whole;  // false when strict reading of `text` stops at damage it cannot read
    unsigned repairs;
    std::size_t inputLength;  // the bytes of the link it reads
};

// Reads `trial` and offers it to `choice`: first with the markers cut by count, then, when they
// were not both there, with only the markers that are. Returns whether they were there.
bool Try(const Trial& trial, const LinkScheme& scheme, ReadingChoice& choice) {
    std::string decoded;
    UnwrapPayloadBatch(trial.text, scheme, decoded);
    ReadingSigns signs;
    signs.marked = decoded.size() >= 2 * scheme.trimEachEnd &&
                   StartsWith(decoded, scheme.headMarker) && EndsWith(decoded, scheme.tailMarker);
    signs.cutOnlyMarkers = signs.marked;
    signs.padded = trial.padding != 0 && (trial.symbols.size() + trial.padding) % 4 == 0;
    signs.whole = trial.whole && EndsWhole(trial.symbols);
    std::string present;
    if (!signs.marked) {
        // Only the markers that are there, as a link made without them needs.
        std::string_view address = decoded;
        if (StartsWith(address, scheme.headMarker))
            address.remove_prefix(scheme.headMarker.size());
        if (EndsWith(address, scheme.tailMarker))
            address.remove_suffix(scheme.tailMarker.size());
        present.assign(address);
    }
    CutMarkers(decoded, scheme);
    choice.Consider(std::move(decoded), signs, trial.repairs, trial.inputLength);
    if (!signs.marked) {
        signs.cutOnlyMarkers = true;
        choice.Consider(std::move(present), signs, trial.repairs | kRepairMissingMarkers,
                        trial.inputLength);
    }
    return signs.marked;
}

// One link being read: its text, where its scheme ends, and its payload.
struct DamagedLink {
    std::string_view link;
    const SchemeStart& start;
    const Payload& payload;

    std::string Joined(std::string_view symbols, std::string_view rest) const {
        return std::string(start.scheme->prefix).append(symbols).append(rest);
    }
};

// Strict's reading of the link as given, up to its first gap. Returns whether the markers were
// there.
bool TryAsGiven(const DamagedLink& d, ReadingChoice& choice) {
    const Payload& payload = d.payload;
    if (payload.gaps.empty()) {
        return Try({std::string(d.link), payload.symbols, payload.padding, payload.repairs == 0, 0,
                    d.link.size()},
                   *d.start.scheme, choice);
    }
    return Try(
        {std::string(d.link), std::string_view(payload.symbols).substr(0, payload.gaps[0].at), 0,
         payload.firstRepairs == 0 && !payload.encodedAfterGap, 0, payload.firstGap},
        *d.start.scheme, choice);
}

// The symbols before the first gap, unescaped, the text after it not part of the link.
void TryFirstRun(const DamagedLink& d, ReadingChoice& choice) {
    const Payload& payload = d.payload;
    const unsigned repairs = d.start.repairs | payload.firstRepairs;
    if (payload.gaps.empty() || repairs == 0)
        return;
    const std::string_view first = std::string_view(payload.symbols).substr(0, payload.gaps[0].at);
    Try({d.Joined(first, d.link.substr(payload.firstGap)), first, 0, true, repairs,
         payload.firstGap},
        *d.start.scheme, choice);
}

// The payload's symbols joined across its gaps, with the repairs that reading needs.
struct JoinedSymbols {
    std::string symbols;
    unsigned repairs;
};

// The symbols with each space read as "+" and each line break as nothing, and with every gap
// read as nothing; the symbols alone for a payload without gaps.
std::vector<JoinedSymbols> JoinAcrossGaps(const DamagedLink& d) {
    const Payload& payload = d.payload;
    const unsigned repairs = d.start.repairs | payload.repairs;
    std::vector<JoinedSymbols> joined;
    if (payload.gaps.empty()) {
        joined.push_back({payload.symbols, repairs});
        return joined;
    }
    std::string plus;
    bool anySpace = false;
    bool anyBreak = false;
    std::size_t from = 0;
    for (const Gap& gap : payload.gaps) {
        plus.append(payload.symbols, from, gap.at - from);
        plus.append(gap.spaces, '+');
        anySpace = anySpace || gap.spaces != 0;
        anyBreak = anyBreak || gap.spaces == 0;
        from = gap.at;
    }
    plus.append(payload.symbols, from, std::string::npos);
    if (anySpace)
        joined.push_back({std::move(plus), repairs | kRepairSpaceAsPlus |
                                               (anyBreak ? kRepairWhitespaceDropped : 0u)});
    joined.push_back({payload.symbols, repairs | kRepairWhitespaceDropped});
    return joined;
}

// Symbols glued after an unpadded payload: a "/" an auto-linker added, a letter of the text that
// follows it. Padding proves where a payload ends; markers, or else the bits of the last symbol,
// tell whether the symbols end where the payload does.
void TryWithoutTrailingJunk(const DamagedLink& d, const JoinedSymbols& joined, bool marked,
                            ReadingChoice& choice) {
    const std::string_view symbols = joined.symbols;
    const bool suspect = d.start.scheme->trimEachEnd != 0 ? !marked : !EndsWhole(symbols);
    if (d.payload.padding != 0 || !suspect)
        return;
    const std::string_view rest = d.link.substr(d.payload.end);
    for (std::size_t cut = 1; cut <= 3 && cut < symbols.size(); ++cut) {
        const std::string_view shorter = symbols.substr(0, symbols.size() - cut);
        Try({d.Joined(shorter, rest), shorter, 0, true, joined.repairs | kRepairTrailingJunk,
             d.link.size()},
            *d.start.scheme, choice);
    }
}

// A repair reads Base64 into any text it is given: the words of a sentence that mentions a
// scheme, a letter or two, a link an excerpt cut off. So a reading is offered as an address only
// when something vouches for it: the markers of its scheme found where they belong, or else bytes
// that read as an address of their own. A link cut short is named as such even when what is left
// of it reads as an address, as it mostly does: it is the wrong one. The repairs are dropped with
// the address: none of them gave one.
void Settle(LinkReading& reading, bool vouched, bool cut) {
    if (vouched || (!cut && (reading.address.empty() || IsAddressShaped(reading.address))))
        return;
    reading.outcome = cut ? ReadOutcome::CutShort : ReadOutcome::NotAnAddress;
    reading.detail = std::move(reading.address);
    reading.address.clear();
    reading.repairs = 0;
}

}  // namespace

LinkReading ReadRepairedLink(std::string_view link) {
    const SchemeStart start = MatchSchemeAt(link, 0, ReadMode::Repair);
    if (start.scheme == nullptr) {
        LinkReading reading;
        std::string unused;
        reading.outcome = ReadOutcomeOf(UnwrapDownloadLinkBatch(link, unused).outcome);
        reading.inputLength = link.size();
        return reading;
    }
    const Payload payload = ReadPayload(link, start.length);
    const DamagedLink d{link, start, payload};
    const bool damaged = start.repairs != 0 || payload.repairs != 0 || !payload.gaps.empty();
    // Padding ends a payload where its encoder ended it; without it, a mark of an excerpt right
    // after the symbols says the text cut the link there.
    const bool cut = payload.padding == 0 && CutMarkLength(link.substr(payload.end)) != 0;

    ReadingChoice choice(start.repairs, !payload.gaps.empty() && payload.gaps[0].at == 0);
    // Strict's reading comes first, so that it wins every tie; a scheme it cannot read has none.
    bool marked = start.repairs == 0 && TryAsGiven(d, choice);
    TryFirstRun(d, choice);
    const std::string padding(payload.padding, '=');
    for (const JoinedSymbols& joined : JoinAcrossGaps(d)) {
        if (damaged) {
            marked = Try({d.Joined(joined.symbols, padding + std::string(link.substr(payload.end))),
                          joined.symbols, payload.padding, true, joined.repairs, link.size()},
                         *start.scheme, choice);
        }
        if (!cut)
            TryWithoutTrailingJunk(d, joined, marked, choice);
    }

    LinkReading reading = choice.Take(*start.scheme);
    Settle(reading, start.scheme->trimEachEnd != 0 && choice.Marked(), cut);
    if (DecodeEntities(reading.address))
        reading.repairs |= kRepairAddressEntities;
    return reading;
}

}  // namespace linkdecode
