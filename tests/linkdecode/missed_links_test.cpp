#include "linkdecode/missed_links.h"

#include <gtest/gtest.h>

#include <string>

#include "linkdecode/repairs.h"

namespace linkdecode {
namespace {

TEST(MissedLinkCounter, CountsWhatOnlyRepairFindsWhereverThePiecesAreCut) {
    const struct {
        std::string text;
        std::size_t count;
        unsigned repairs;
    } cases[] = {
        {"thunder://QUFh qqdl://eA== nothing else", 0, 0},
        {"a Thunder://QUFh b QQDL://eA==", 2, kRepairSchemeCase},
        {"?url=qqdl%3A%2F%2FeA%3D%3D x=thunder%253A%252F%252FQUFh", 2, kRepairPercentEscapes},
        {"\"qqdl:\\/\\/eA==\" Qqdl%3A//eA==", 2,
         kRepairJsonEscapes | kRepairSchemeCase | kRepairPercentEscapes},
        // An unpadded link goes on across a line break over a run of payload bytes, whole or in
        // pieces: what follows is part of it, not a link of its own.
        {"Qqdl://eA\nqqdl%3A%2F%2FeAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA==\n", 1, kRepairSchemeCase},
        {"thunder&#58;//QUFh thunder: //QUFh", 0, 0},
    };
    MissedLinkCounter counter;
    for (const auto& c : cases) {
        // Whole, and cut in two at every byte.
        for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
            counter.Feed(std::string_view(c.text).substr(0, cut));
            counter.Feed(std::string_view(c.text).substr(cut));
            const MissedLinks missed = counter.Finish();
            EXPECT_EQ(missed.count, c.count) << c.text << " cut at " << cut;
            EXPECT_EQ(missed.repairs, c.repairs) << c.text << " cut at " << cut;
        }
    }
}

}  // namespace
}  // namespace linkdecode
