#include "linkdecode/repair_readings.h"

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "linkdecode/address_check.h"
#include "linkdecode/base64_decoder.h"
#include "linkdecode/batch_unwrap.h"
#include "linkdecode/char_class.h"
#include "linkdecode/link_unwrap.h"

namespace linkdecode {

// Repair works by readings, not by rewriting: the damage found in a link allows a few readings
// (the link as given, its payload with the damage undone, with spaces as "+" or as nothing, with
// glued symbols cut off, with the markers cut only where they are), each read by the same
// UnwrapDownloadLink as Strict mode, and the most plausible address wins. Strict's reading is
// always the first, so no reading that only equals it can displace it.

namespace {

// A wrapped link does not have more lines than this; it bounds the readings of one link.
constexpr std::size_t kMostGaps = 64;

// Decodes the entity at text[i] (an "&") into `out` and returns its length, or 0 if there is
// none worth decoding there: the five named ones and numeric ones for ASCII characters.
std::size_t DecodeEntity(std::string_view text, std::size_t i, char& out) {
    static constexpr struct {
        std::string_view name;
        char value;
    } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& entity : kNamed) {
        if (text.compare(i, entity.name.size(), entity.name) == 0) {
            out = entity.value;
            return entity.name.size();
        }
    }
    if (text.compare(i, 2, "&#") != 0)
        return 0;
    std::size_t j = i + 2;
    const bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
    if (hex)
        ++j;
    const std::size_t digits = j;
    unsigned value = 0;
    // Three digits reach every ASCII code point and more keep the value from overflowing.
    while (j < text.size() && j - digits < 4) {
        const int digit = HexValue(text[j]);
        if (digit < 0 || (!hex && digit > 9))
            break;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        ++j;
    }
    if (j == digits || j >= text.size() || text[j] != ';' || value == 0 || value > 0x7F)
        return 0;
    out = static_cast<char>(value);
    return j + 1 - i;
}

// One character of a link as a page may have escaped it.
struct Unescaped {
    char c;
    std::size_t width;  // bytes of the text it takes
    unsigned repair;    // the repair its escape needs, or 0
};

// The character at text[i], with a percent escape (once or twice over, as "%253D"), an entity
// or JSON's "\/" undone.
Unescaped UnescapeAt(std::string_view text, std::size_t i) {
    const char c = text[i];
    const auto hexAt = [&](std::size_t at) {
        const int high = at + 1 < text.size() ? HexValue(text[at]) : -1;
        const int low = at + 1 < text.size() ? HexValue(text[at + 1]) : -1;
        return high < 0 || low < 0 ? -1 : high * 16 + low;
    };
    if (c == '%') {
        int value = hexAt(i + 1);
        std::size_t width = 3;
        if (value == '%' && hexAt(i + 3) > 0) {
            value = hexAt(i + 3);
            width = 5;
        }
        // Only ASCII: a percent-encoded byte of 0x80 or more belongs to text around a link.
        if (value > 0 && value < 0x80)
            return {static_cast<char>(value), width, kRepairPercentEscapes};
    } else if (c == '&') {
        char decoded = 0;
        if (const std::size_t width = DecodeEntity(text, i, decoded))
            return {decoded, width, kRepairHtmlEntities};
    } else if (c == '\\' && i + 1 < text.size() && text[i + 1] == '/') {
        return {'/', 2, kRepairJsonEscapes};
    }
    return {c, 1, 0};
}

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
        if (gap == 0)
            break;
        // A "+" before the padding or, escaped in a query string, at the very end, may have
        // become a space too; a space typed after a link has not. A wrap may split padding.
        const bool atEnd = i + gap >= link.size();
        if (atEnd && !(spaces != 0 && repair != 0 && payload.padding == 0))
            break;
        if (!atEnd) {
            Unescaped next = UnescapeAt(link, i + gap);
            const bool more = payload.padding == 0
                                  ? SymbolOf(next) != 0 || (spaces != 0 && next.c == '=')
                                  : next.c == '=';
            if (!more)
                break;
        }
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
        return payload;
    }
    // Escapes or padding after a gap belong to no word, nor does a run that makes whole groups
    // of symbols that ended as no encoder ends them; otherwise each run tells by its look.
    std::size_t spaces = 0;
    for (const Gap& gap : payload.gaps)
        spaces += gap.spaces;
    const std::size_t first = payload.gaps.front().at;
    const std::size_t all = payload.symbols.size();
    payload.encodedAfterGap = payload.padding != 0 || payload.repairs != payload.firstRepairs ||
                              (first % 4 != 0 && (all % 4 == 0 || (all + spaces) % 4 == 0) &&
                               (first % 4 == 1 || !EndsWhole(payload.symbols.substr(0, first))));
    for (std::size_t g = 0; g < payload.gaps.size() && !payload.encodedAfterGap; ++g) {
        const std::size_t runEnd = g + 1 < payload.gaps.size() ? payload.gaps[g + 1].at : all;
        payload.encodedAfterGap =
            LooksEncoded(std::string_view(payload.symbols)
                             .substr(payload.gaps[g].at, runEnd - payload.gaps[g].at));
    }
    return payload;
}

// How good a reading is, compared field by field in this order. Markers found exactly where
// they belong are the strongest sign that a payload was read whole; without them, the address
// itself has to tell.
struct Score {
    int marked = 0;  // both markers were there and cut (a scheme without markers always is)
    int hasAddress = 0;
    int plausibility = 0;
    int cutOnlyMarkers = 0;  // no byte of the address was cut as a marker
    int padded = 0;          // padding makes the payload a whole number of groups
    int whole = 0;           // the payload ends as an encoder ends it, not cut by the damage

    bool operator>(const Score& other) const {
        const int mine[] = {marked, hasAddress, plausibility, cutOnlyMarkers, padded, whole};
        const int theirs[] = {other.marked,         other.hasAddress, other.plausibility,
                              other.cutOnlyMarkers, other.padded,     other.whole};
        for (std::size_t i = 0; i < std::size(mine); ++i) {
            if (mine[i] != theirs[i])
                return mine[i] > theirs[i];
        }
        return false;
    }
};

bool StartsWith(std::string_view text, std::string_view part) {
    return text.substr(0, part.size()) == part;
}

bool EndsWith(std::string_view text, std::string_view part) {
    return text.size() >= part.size() && text.substr(text.size() - part.size()) == part;
}

// The best reading so far, and the trial of each further one.
class Readings {
public:
    explicit Readings(const SchemeStart& start) : start_(start) {}

    // Reads `text`, a link in the form UnwrapDownloadLink reads, whose payload is `symbols`
    // and `padding` "="; `whole` is false when strict reading of it stops at damage it cannot
    // read. The reading with
    // the markers cut by count comes before the one that cuts only the markers that are there.
    // Returns whether the markers were there.
    bool Try(const std::string& text, std::string_view symbols, std::size_t padding, bool whole,
             unsigned repairs, std::size_t inputLength) {
        const LinkScheme& scheme = *start_.scheme;
        std::string decoded;
        UnwrapPayloadBatch(text, scheme, decoded);
        const bool marked = decoded.size() >= 2 * scheme.trimEachEnd &&
                            StartsWith(decoded, scheme.headMarker) &&
                            EndsWith(decoded, scheme.tailMarker);
        const Ends ends{padding != 0 && (symbols.size() + padding) % 4 == 0,
                        whole && EndsWhole(symbols)};
        std::string present;
        if (!marked) {
            // Only the markers that are there, as a link made without them needs.
            std::string_view address = decoded;
            if (StartsWith(address, scheme.headMarker))
                address.remove_prefix(scheme.headMarker.size());
            if (EndsWith(address, scheme.tailMarker))
                address.remove_suffix(scheme.tailMarker.size());
            present.assign(address);
        }
        CutMarkers(decoded, scheme);
        Consider(std::move(decoded), marked, marked, ends, repairs, inputLength);
        if (!marked)
            Consider(std::move(present), false, true, ends, repairs | kRepairMissingMarkers,
                     inputLength);
        return marked;
    }

    LinkReading Take() {
        LinkReading reading;
        reading.outcome = UnwrapOutcome::Decoded;
        reading.scheme = start_.scheme;
        reading.address = std::move(best_);
        reading.repairs = repairs_;
        reading.inputLength = inputLength_;
        return reading;
    }

private:
    struct Ends {
        bool padded;
        bool whole;
    };

    void Consider(std::string address, bool marked, bool cutOnlyMarkers, Ends ends,
                  unsigned repairs, std::size_t inputLength) {
        const Score score{
            marked ? 1 : 0,         address.empty() ? 0 : 1, AddressPlausibility(address),
            cutOnlyMarkers ? 1 : 0, ends.padded ? 1 : 0,     ends.whole ? 1 : 0};
        // A repair that gives the address strict reading gives changed nothing worth naming;
        // of two repairs that give the same address, the better explained one is named.
        if (found_ && (!(score > score_) || (address == best_ && repairs_ == 0)))
            return;
        found_ = true;
        score_ = score;
        best_ = std::move(address);
        repairs_ = repairs;
        inputLength_ = inputLength;
    }

    const SchemeStart& start_;
    bool found_ = false;
    Score score_;
    std::string best_;
    unsigned repairs_ = 0;
    std::size_t inputLength_ = 0;
};

// Decodes the entities an address was escaped with for a web page, as "&amp;tr=" in a magnet.
bool DecodeAddressEntities(std::string& address) {
    if (address.find('&') == std::string::npos)
        return false;
    std::string decoded;
    decoded.reserve(address.size());
    bool changed = false;
    for (std::size_t i = 0; i < address.size();) {
        char c = 0;
        const std::size_t width = address[i] == '&' ? DecodeEntity(address, i, c) : 0;
        if (width != 0) {
            decoded += c;
            i += width;
            changed = true;
        } else {
            decoded += address[i++];
        }
    }
    if (changed)
        address = std::move(decoded);
    return changed;
}

}  // namespace

std::size_t SeparatorLength(std::string_view text, std::size_t at, unsigned& repairs) {
    std::size_t i = at;
    unsigned found = 0;
    for (const char wanted : {':', '/', '/'}) {
        if (i >= text.size())
            return 0;
        const Unescaped u = UnescapeAt(text, i);
        if (u.c != wanted || u.repair == kRepairHtmlEntities)
            return 0;
        found |= u.repair;
        i += u.width;
    }
    repairs |= found;
    return i - at;
}

SchemeStart MatchSchemeStart(std::string_view link) {
    for (const LinkScheme& scheme : kLinkSchemes) {
        const std::string_view name = scheme.name;
        if (link.size() < name.size())
            continue;
        bool sameName = true;
        bool sameCase = true;
        for (std::size_t i = 0; i < name.size() && sameName; ++i) {
            sameName = LowerAscii(link[i]) == name[i];
            sameCase = sameCase && link[i] == name[i];
        }
        unsigned repairs = sameCase ? 0u : unsigned{kRepairSchemeCase};
        const std::size_t separator = sameName ? SeparatorLength(link, name.size(), repairs) : 0;
        if (separator != 0)
            return {&scheme, name.size() + separator, repairs};
    }
    return {};
}

LinkReading ReadRepairedLink(std::string_view link) {
    const SchemeStart start = MatchSchemeStart(link);
    if (start.scheme == nullptr) {
        LinkReading reading;
        std::string unused;
        reading.outcome = UnwrapDownloadLinkBatch(link, unused).outcome;
        reading.inputLength = link.size();
        return reading;
    }
    const Payload payload = ReadPayload(link, start.length);
    const bool damaged = start.repairs != 0 || payload.repairs != 0 || !payload.gaps.empty();
    const unsigned repairs = start.repairs | payload.repairs;
    const std::string_view rest = link.substr(payload.end);
    const std::string prefix(start.scheme->prefix);
    const std::string padding(payload.padding, '=');

    Readings readings(start);
    // Strict's reading of the link as given comes first, so that it wins every tie.
    bool marked = false;
    if (start.repairs == 0)
        marked =
            payload.gaps.empty()
                ? readings.Try(std::string(link), payload.symbols, payload.padding,
                               payload.repairs == 0, 0, link.size())
                : readings.Try(std::string(link), payload.symbols.substr(0, payload.gaps[0].at), 0,
                               payload.firstRepairs == 0 && !payload.encodedAfterGap, 0,
                               payload.firstGap);

    // The symbols before the first gap alone, the text after it not part of the link.
    const unsigned firstRepairs = start.repairs | payload.firstRepairs;
    if (!payload.gaps.empty() && firstRepairs != 0) {
        const std::string first = payload.symbols.substr(0, payload.gaps.front().at);
        readings.Try(prefix + first + std::string(link.substr(payload.firstGap)), first, 0, true,
                     firstRepairs, payload.firstGap);
    }

    // The symbols with each space read as "+" and each line break as nothing, and with every
    // gap read as nothing.
    std::vector<std::pair<std::string, unsigned>> joined;
    if (payload.gaps.empty()) {
        joined.emplace_back(payload.symbols, repairs);
    } else {
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
            joined.emplace_back(std::move(plus), repairs | kRepairSpaceAsPlus |
                                                     (anyBreak ? kRepairWhitespaceDropped : 0u));
        joined.emplace_back(payload.symbols, repairs | kRepairWhitespaceDropped);
    }
    for (const auto& [symbols, used] : joined) {
        if (damaged)
            marked = readings.Try(prefix + symbols + padding + std::string(rest), symbols,
                                  payload.padding, true, used, link.size());
        // Symbols glued after an unpadded payload: a "/" an auto-linker added, a letter of
        // the text that follows it. Padding proves where a payload ends; markers, or else the
        // bits of the last symbol, tell whether the symbols end where the payload does.
        const bool suspect = start.scheme->trimEachEnd != 0 ? !marked : !EndsWhole(symbols);
        if (payload.padding == 0 && suspect) {
            for (std::size_t cut = 1; cut <= 3 && cut < symbols.size(); ++cut) {
                const std::string shorter = symbols.substr(0, symbols.size() - cut);
                readings.Try(prefix + shorter + std::string(rest), shorter, 0, true,
                             used | kRepairTrailingJunk, link.size());
            }
        }
    }

    LinkReading reading = readings.Take();
    if (DecodeAddressEntities(reading.address))
        reading.repairs |= kRepairAddressEntities;
    return reading;
}

}  // namespace linkdecode
