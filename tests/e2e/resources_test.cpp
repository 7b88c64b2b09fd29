// The resources as another program reads them from Veltrun.exe: version block, icon group,
// string and dialog templates.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "resource.h"
#include "scoped_win.h"
#include "veltrun_session.h"

namespace e2e {
namespace {

constexpr WORD kChineseSimplified = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

std::vector<char> VersionBlock() {
    const std::string exe = VeltrunExePath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !::GetFileVersionInfoA(exe.c_str(), 0, size, block.data())) {
        block.clear();
    }
    return block;
}

TEST(Resources, FixedVersionInfo) {
    std::vector<char> block = VersionBlock();
    ASSERT_FALSE(block.empty()) << "no version resource";
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    // 1.0.0.1 in both, although the FileVersion text ends in 2.
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, 4u);
    EXPECT_EQ(fixed->dwFileType, 1u);
}

struct VersionString {
    const char* name;
    const char* value;  // null: free text, which must not be empty
};

const VersionString kVersionStrings[] = {
    {"Comments", ""},
    {"CompanyName", ""},
    {"FileDescription", "Veltrun Microsoft 基础类应用程序"},
    {"FileVersion", "1, 0, 0, 2"},
    {"InternalName", "Veltrun"},
    {"LegalCopyright", nullptr},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "Veltrun.EXE"},
    {"PrivateBuild", ""},
    {"ProductName", "Veltrun 应用程序"},
    {"ProductVersion", "1, 0, 0, 1"},
    {"SpecialBuild", ""},
};

TEST(Resources, VersionStringsInTheChineseBlockAndItsTranslation) {
    std::vector<char> block = VersionBlock();
    ASSERT_FALSE(block.empty());

    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u) << "one language and code page pair";
    EXPECT_EQ(translation[0], 0x0804);
    EXPECT_EQ(translation[1], 0x04B0);

    for (const VersionString& row : kVersionStrings) {
        SCOPED_TRACE(row.name);
        const std::string path = std::string("\\StringFileInfo\\080404b0\\") + row.name;
        char* value = nullptr;
        UINT chars = 0;
        ASSERT_TRUE(
            ::VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &chars))
            << "missing";
        const std::string text =
            chars == 0 ? std::string() : std::string(value, strnlen(value, chars));
        if (row.value != nullptr) {
            EXPECT_EQ(text, row.value);
        } else {
            EXPECT_NE(text, "");
        }
    }
}

// The program's file opened as data, not run.
class ExeResources : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(library_.Get(), nullptr); }
    // The bytes of resource `name` of `type` in the Chinese (Simplified) language, empty if none.
    std::string Resource(LPCSTR type, LPCSTR name) const {
        HRSRC found = ::FindResourceExA(module_, type, name, kChineseSimplified);
        HGLOBAL loaded = found != nullptr ? ::LoadResource(module_, found) : nullptr;
        const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
        return data == nullptr
                   ? std::string()
                   : std::string(static_cast<const char*>(data), ::SizeofResource(module_, found));
    }

    const win32::ScopedLibrary library_{
        ::LoadLibraryExA(VeltrunExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)};
    const HMODULE module_ = library_.Get();
};

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

TEST_F(ExeResources, IconGroupHoldsA32And16PixelSixteenColourImage) {
    const std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(IDR_MAIN_ICON));
    ASSERT_GE(group.size(), sizeof(GroupIconHeader));
    GroupIconHeader header;
    std::memcpy(&header, group.data(), sizeof(header));
    EXPECT_EQ(header.type, 1);
    ASSERT_EQ(header.count, 2);
    ASSERT_EQ(group.size(), sizeof(header) + 2 * sizeof(GroupIconEntry));

    std::vector<int> sizes;
    for (int i = 0; i < header.count; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data() + sizeof(header) + i * sizeof(entry), sizeof(entry));
        SCOPED_TRACE("image " + std::to_string(entry.width));
        sizes.push_back(entry.width);
        EXPECT_EQ(entry.height, entry.width);
        EXPECT_EQ(entry.colorCount, 16);

        // The image itself: a 4-bit bitmap of that size (height counts the mask too).
        const std::string image = Resource(RT_ICON, MAKEINTRESOURCEA(entry.id));
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(image.size(), entry.bytesInRes);
        BITMAPINFOHEADER bitmap;
        std::memcpy(&bitmap, image.data(), sizeof(bitmap));
        EXPECT_EQ(bitmap.biWidth, entry.width);
        EXPECT_EQ(bitmap.biHeight, 2 * entry.height);
        EXPECT_EQ(bitmap.biBitCount, 4);
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
}

TEST_F(ExeResources, AboutMenuStringAndDialogTemplatesInChinese) {
    char text[64] = {};
    EXPECT_GT(::LoadStringA(module_, IDS_ABOUT_MENU, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "关于我(&A)...");

    // Template 102 is an extended one (signature 0xFFFF, version 1), template 100 a classic one.
    const std::string main = Resource(RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN_DIALOG));
    ASSERT_GE(main.size(), 4u);
    EXPECT_EQ(main.substr(0, 4), std::string("\x01\x00\xFF\xFF", 4));
#pragma pack(push, 1)
    struct {
        WORD version, signature;
        DWORD helpId, exStyle, style;
        WORD count;
        short x, y, cx, cy;
    } extended;
#pragma pack(pop)
    ASSERT_GE(main.size(), sizeof(extended));
    std::memcpy(&extended, main.data(), sizeof(extended));
    EXPECT_EQ(extended.style, 0x90C800C0u);
    EXPECT_EQ(extended.exStyle, 0x00040000u);
    EXPECT_EQ(extended.count, 6);
    EXPECT_EQ(extended.x, 0);
    EXPECT_EQ(extended.y, 0);
    EXPECT_EQ(extended.cx, 320);
    EXPECT_EQ(extended.cy, 200);
    const std::string about = Resource(RT_DIALOG, MAKEINTRESOURCEA(IDD_ABOUT_BOX));
    ASSERT_GE(about.size(), sizeof(DLGTEMPLATE));
    DLGTEMPLATE classic;
    std::memcpy(&classic, about.data(), sizeof(classic));
    EXPECT_EQ(classic.style, 0x80C800C0u);
    EXPECT_EQ(classic.cdit, 5);
    EXPECT_EQ(classic.x, 0);
    EXPECT_EQ(classic.y, 0);
    EXPECT_EQ(classic.cx, 235);
    EXPECT_EQ(classic.cy, 55);
}

}  // namespace
}  // namespace e2e
