#include "framework/message_map.h"

namespace afx {

const MessageMapEntry* FindMessageEntry(const MessageMap* map, UINT message, UINT code, UINT id) {
    for (; map != nullptr; map = map->base) {
        for (const MessageMapEntry* entry = map->entries; entry->message != 0; ++entry) {
            if (entry->message != message) {
                continue;
            }
            if (message != WM_COMMAND || (entry->code == code && entry->id == id)) {
                return entry;
            }
        }
    }
    return nullptr;
}

}  // namespace afx

const afx::MessageMap* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

const afx::MessageMap* CCmdTarget::GetThisMessageMap() {
    static const afx::MessageMapEntry kEntries[] = {{0, 0, 0, nullptr}};
    static const afx::MessageMap kMap = {nullptr, kEntries};
    return &kMap;
}

bool CCmdTarget::OnCmdMsg(UINT nID, UINT nCode) {
    const afx::MessageMapEntry* entry =
        afx::FindMessageEntry(GetMessageMap(), WM_COMMAND, nCode, nID);
    if (entry == nullptr) {
        return false;
    }
    entry->call(*this, MAKEWPARAM(nID, nCode), 0);
    return true;
}
