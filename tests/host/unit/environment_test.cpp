#include <gtest/gtest.h>

#include "launcher/environment.h"

namespace zorv {
namespace {

TEST(Environment, ExpansionKeepsUndefinedReferences) {
    auto lookup = [](const std::wstring& name, std::wstring& value) {
        if (name != L"A") return false;
        value = L"1";
        return true;
    };
    EXPECT_EQ(ExpandReferences(L"%A%-%B%-%A%", lookup), L"1-%B%-1");
    EXPECT_EQ(ExpandReferences(L"%B%A%", lookup), L"%B1");
    EXPECT_EQ(ExpandReferences(L"100% sure", lookup), L"100% sure");
    EXPECT_EQ(ExpandReferences(L"%%", lookup), L"%%");
    EXPECT_EQ(ExpandReferences(std::wstring(200000, L'x') + L"%A%", lookup), std::wstring(200000, L'x') + L"1");
}

}  // namespace
}  // namespace zorv
