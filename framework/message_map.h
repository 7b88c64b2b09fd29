#pragma once

#include <windows.h>

#include <type_traits>

// Message maps: each class with handlers owns one static table binding window messages and
// control notifications to its member functions. A message is looked up in the class's own table
// in declaration order, then in its base class's table, and so on up to CCmdTarget.

class CCmdTarget;

namespace afx {

// Calls one handler of `target` with the message's parameters and returns the message's result.
using HandlerThunk = LRESULT (*)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);

struct MessageMapEntry {
    UINT message;  // 0 ends a table
    UINT code;     // WM_COMMAND only: notification code, 0 for menus, accelerators and BN_CLICKED
    UINT id;       // WM_COMMAND only: id of the control or command
    HandlerThunk call;
};

struct MessageMap {
    const MessageMap* base;          // the base class's map, null at the root
    const MessageMapEntry* entries;  // ends with an entry whose message is 0
};

// Returns the first entry of `map`, then of its bases in turn, that handles `message`; for
// WM_COMMAND the entry must also carry `code` and `id`, which other messages ignore. Returns
// null when no table handles it (and for a null `map`).
const MessageMapEntry* FindMessageEntry(const MessageMap* map, UINT message, UINT code, UINT id);

template <class F>
struct MemberOf;
template <class T, class R, class... Args>
struct MemberOf<R (T::*)(Args...)> {
    using type = T;
};

// Adapters from the thunk's shape to each handler signature the maps use.
template <auto F>
LRESULT CallVoid(CCmdTarget& target, WPARAM, LPARAM) {
    using T = typename MemberOf<decltype(F)>::type;
    (static_cast<T&>(target).*F)();
    return 0;
}

template <auto F>
LRESULT CallSysCommand(CCmdTarget& target, WPARAM wParam, LPARAM lParam) {
    using T = typename MemberOf<decltype(F)>::type;
    (static_cast<T&>(target).*F)(static_cast<UINT>(wParam), lParam);
    return 0;
}

template <auto F>
LRESULT CallQueryDragIcon(CCmdTarget& target, WPARAM, LPARAM) {
    using T = typename MemberOf<decltype(F)>::type;
    return reinterpret_cast<LRESULT>((static_cast<T&>(target).*F)());
}

template <auto F>
LRESULT CallMessage(CCmdTarget& target, WPARAM wParam, LPARAM lParam) {
    using T = typename MemberOf<decltype(F)>::type;
    return (static_cast<T&>(target).*F)(wParam, lParam);
}

}  // namespace afx

// The root of every class with a message map; its own table is empty.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Returns the message map of the object's most derived class.
    virtual const afx::MessageMap* GetMessageMap() const;

    // Runs the handler that the object's map chain holds for the command `nID` with notification
    // `nCode` and returns true; returns false, doing nothing, when there is none.
    virtual bool OnCmdMsg(UINT nID, UINT nCode);

protected:
    // Returns the table of this very class (not of a derived one).
    static const afx::MessageMap* GetThisMessageMap();
};

// Declares a class's message map; put it at the end of the class body.
#define DECLARE_MESSAGE_MAP()                                \
protected:                                                   \
    static const ::afx::MessageMap* GetThisMessageMap();     \
                                                             \
public:                                                      \
    const ::afx::MessageMap* GetMessageMap() const override; \
                                                             \
private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                     \
    const ::afx::MessageMap* theClass::GetMessageMap() const {     \
        return GetThisMessageMap();                                \
    }                                                              \
    const ::afx::MessageMap* theClass::GetThisMessageMap() {       \
        using ThisClass = theClass;                                \
        using TheBaseClass = baseClass;                            \
        static_assert(std::is_base_of_v<TheBaseClass, ThisClass>); \
        static const ::afx::MessageMapEntry kEntries[] = {
#define END_MESSAGE_MAP()                                                                \
    { 0, 0, 0, nullptr }                                                                 \
    }                                                                                    \
    ;                                                                                    \
    static const ::afx::MessageMap kMap = {TheBaseClass::GetThisMessageMap(), kEntries}; \
    return &kMap;                                                                        \
    }

#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, 0, static_cast<UINT>(id), &::afx::CallVoid<&ThisClass::memberFxn>},
#define ON_CONTROL(code, id, memberFxn)                          \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), \
     &::afx::CallVoid<&ThisClass::memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_MESSAGE(message, memberFxn) \
    {static_cast<UINT>(message), 0, 0, &::afx::CallMessage<&ThisClass::memberFxn>},
#define ON_WM_SYSCOMMAND() {WM_SYSCOMMAND, 0, 0, &::afx::CallSysCommand<&ThisClass::OnSysCommand>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, &::afx::CallVoid<&ThisClass::OnPaint>},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, &::afx::CallQueryDragIcon<&ThisClass::OnQueryDragIcon>},
