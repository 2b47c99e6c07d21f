// What Windows shows of the programs: their version resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "process_runner.h"

namespace {

struct VersionInfo {
    bool found = false;
    WORD major = 0, minor = 0, patch = 0;
    std::string product, productVersion, description, originalName;
};

std::string StringValue(std::vector<char>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) ||
        value == nullptr) {
        return "";
    }
    return std::string(value);
}

VersionInfo ReadVersionInfo(const std::string& path) {
    VersionInfo info;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return info;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return info;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length)) return info;
    info.found = true;
    info.major = HIWORD(fixed->dwFileVersionMS);
    info.minor = LOWORD(fixed->dwFileVersionMS);
    info.patch = HIWORD(fixed->dwFileVersionLS);
    info.product = StringValue(block, "ProductName");
    info.productVersion = StringValue(block, "ProductVersion");
    info.description = StringValue(block, "FileDescription");
    info.originalName = StringValue(block, "OriginalFilename");
    return info;
}

TEST(VersionResource, EveryProgramCarriesVersion1_0_0AndADescription) {
    for (const std::string program : {"Zenolt", "ZenoltDump", "ZenoltBatch", "ZenoltWatch", "ZenoltSession"}) {
        const VersionInfo info = ReadVersionInfo(ProgramDirectory() + program + ".exe");
        ASSERT_TRUE(info.found) << program;
        EXPECT_EQ(info.major, 1) << program;
        EXPECT_EQ(info.minor, 0) << program;
        EXPECT_EQ(info.patch, 0) << program;
        EXPECT_EQ(info.product, "Zenolt") << program;
        EXPECT_EQ(info.productVersion, "1.0.0") << program;
        EXPECT_EQ(info.originalName, program + ".exe");
        EXPECT_FALSE(info.description.empty()) << program;
    }
}

}  // namespace
