#include "linkdecode/repairs.h"

namespace linkdecode {

void AppendRepairList(unsigned repairs, RepairText text, std::string_view separator,
                      std::string& out) {
    std::string_view between;
    for (const LinkRepairInfo& info : kLinkRepairs) {
        if ((repairs & info.repair) == 0)
            continue;
        out.append(between).append(text == RepairText::Id ? info.id : info.description);
        between = separator;
    }
}

}  // namespace linkdecode
