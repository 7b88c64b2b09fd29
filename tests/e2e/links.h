#pragma once

#include <string>

#include "linkdecode/reference_encoder.h"

// Download links built from known addresses with an encoder of the tests' own, so the expected
// address never comes from the program's decoder.
namespace e2e {

inline std::string ThunderLink(const std::string& address) {
    return "thunder://" + linkdecode::testing::EncodeBase64("AA" + address + "ZZ");
}

inline std::string FlashGetLink(const std::string& address) {
    return "flashget://" + linkdecode::testing::EncodeBase64("[FLASHGET]" + address + "[FLASHGET]");
}

inline std::string QqdlLink(const std::string& address) {
    return "qqdl://" + linkdecode::testing::EncodeBase64(address);
}

// What the program must say about a pasted text that holds "/" but is no link.
constexpr char kWarningText[] = "您粘贴的内容不是迅雷/快车/旋风的下载地址!!!";
constexpr char kWarningCaption[] = "错误提示";

}  // namespace e2e
