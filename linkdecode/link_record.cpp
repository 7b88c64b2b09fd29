#include "linkdecode/link_record.h"

namespace linkdecode {

std::string_view OutcomeName(const LinkRecord& record) {
    if (record.tooLong)
        return "TooLong";
    switch (record.reading.outcome) {
        case UnwrapOutcome::Decoded:
            return "Decoded";
        case UnwrapOutcome::NotALink:
            return "NotALink";
        case UnwrapOutcome::Ignored:
            break;
    }
    return "Ignored";
}

}  // namespace linkdecode
