#include "linkdecode/link_record.h"

namespace linkdecode {

std::string_view OutcomeName(const LinkRecord& record) {
    if (record.tooLong)
        return "TooLong";
    return ReadOutcomeRow(record.reading.outcome).name;
}

}  // namespace linkdecode
