#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/batch_unwrap.h"
#include "linkdecode/link_unwrap.h"

namespace linkdecode::testing {

// The dialog's functions and the batch path behind one shape, so that a table of cases runs on
// both. The batch side keeps one buffer across calls, as the tool does, so a result that leaves
// stale bytes behind shows.
struct DecodePath {
    const char* name;
    std::string (*decode)(const std::string& text);
    UnwrapResult (*unwrap)(const std::string& pasted);
};

inline std::string DecodeByBatch(const std::string& text) {
    static std::string bytes;
    DecodeBase64Batch(text, bytes);
    return bytes;
}

inline UnwrapResult UnwrapByBatch(const std::string& pasted) {
    static std::string address;
    const UnwrapOutcome outcome = UnwrapDownloadLinkBatch(pasted, address).outcome;
    return {outcome, address};
}

inline const DecodePath kDecodePaths[] = {
    {"Dialog", DecodeBase64Text, UnwrapDownloadLink},
    {"Batch", DecodeByBatch, UnwrapByBatch},
};

inline void PrintTo(const DecodePath& path, std::ostream* os) {
    *os << path.name;
}

// The test name of a case run on a path: "<case>_<path>".
template <typename Case>
std::string CaseOnPathName(const ::testing::TestParamInfo<std::tuple<Case, DecodePath>>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
}

}  // namespace linkdecode::testing
