#include <gtest/gtest.h>

#include "common/automation.h"
#include "common/win_handle.h"

namespace velmora {
namespace {

class Automation : public ::testing::Test {
    ComApartment apartment_;
};

TEST_F(Automation, ReadsAndWritesPropertiesAndCallsMethodsByName) {
    AutomationObject regExp = AutomationObject::create(L"VBScript.RegExp");
    ASSERT_FALSE(regExp.empty());
    EXPECT_TRUE(regExp.put(L"pattern", Variant::fromWide(L"b+")));  // member names ignore letter case
    EXPECT_EQ(regExp.get(L"Pattern").toWide(), L"b+");
    std::optional<Variant> matches = regExp.call(L"Execute", {Variant::fromWide(L"abbbc")});
    ASSERT_TRUE(matches.has_value());
    AutomationObject collection = matches->toObject();
    EXPECT_EQ(collection.get(L"Count").toInt32(), 1);
    AutomationObject first = collection.get(L"Item", {Variant::fromInt(0)}).toObject();
    EXPECT_EQ(first.get(L"Value").toWide(), L"bbb");
    EXPECT_EQ(first.get(L"FirstIndex").toInt32(), 1);
}

TEST_F(Automation, FailuresAreSilentAndGiveEmptyValues) {
    EXPECT_TRUE(AutomationObject::create(L"No.Such.Object").empty());
    AutomationObject none;
    EXPECT_FALSE(none.call(L"Execute").has_value());
    EXPECT_TRUE(none.get(L"Pattern").empty());
    EXPECT_FALSE(none.put(L"Pattern", Variant::fromWide(L"x")));

    AutomationObject regExp = AutomationObject::create(L"VBScript.RegExp");
    EXPECT_FALSE(regExp.put(L"Singleline", Variant::fromBool(true)));
    EXPECT_FALSE(regExp.call(L"NoSuchMethod").has_value());
    AutomationObject collection = regExp.call(L"Execute", {Variant::fromWide(L"x")})->toObject();
    EXPECT_TRUE(collection.get(L"Item", {Variant::fromInt(5)}).empty());
}

TEST_F(Automation, CopiesShareTheObjectAndClearingReleasesOnlyOne) {
    AutomationObject a = AutomationObject::create(L"VBScript.RegExp");
    AutomationObject b = a;
    EXPECT_EQ(a.get(), b.get());
    a.clear();
    EXPECT_TRUE(a.empty());
    EXPECT_TRUE(b.put(L"Pattern", Variant::fromWide(L"still alive")));
}

TEST(VariantValues, ConvertAsTheirTypesAllow) {
    EXPECT_EQ(Variant::fromInt(-7).toInt32(), -7);
    EXPECT_EQ(Variant::fromWide(L"12.9").toInt32(), 12);
    EXPECT_EQ(Variant::fromWide(L"-12.9").toInt32(), -12);
    EXPECT_EQ(Variant::fromWide(L"not a number").toInt32(), 0);
    EXPECT_EQ(Variant::fromWide(L"1e20").toInt32(), INT32_MAX);
    EXPECT_TRUE(Variant::fromBool(true).toBool());
    EXPECT_EQ(Variant::fromInt(42).toWide(), L"42");

    const std::uint8_t raw[] = {0, 1, 2, 0xFF};
    const ByteBuffer bytes(raw, sizeof raw);
    EXPECT_EQ(Variant::fromBytes(bytes).toBytes(), bytes);
    EXPECT_TRUE(Variant::fromBytes(ByteBuffer()).toBytes().empty());
    EXPECT_TRUE(Variant::fromWide(L"text").toBytes().empty());

    Variant copy = Variant::fromText("\xD6\xD0\xB9\xFA");
    Variant second = copy;
    EXPECT_EQ(second.toWide(), L"\u4E2D\u56FD");
    EXPECT_EQ(second.toText(), Text("\xD6\xD0\xB9\xFA"));
}

TEST(WideText, UsesCodePage936WhateverTheSystemCodePage) {
    EXPECT_EQ(toWide("\xD6\xD0\xB9\xFA"), L"\u4E2D\u56FD");
    EXPECT_EQ(fromWide(L"\u4E2D\u56FD"), Text("\xD6\xD0\xB9\xFA"));
    EXPECT_EQ(toWide(""), L"");
    EXPECT_EQ(fromWide(L""), Text());
}

}  // namespace
}  // namespace velmora
