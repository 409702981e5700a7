// Connection strings built from their parts.
#include <gtest/gtest.h>

#include "vornoledb/helper.h"

TEST(Helper, BuildsTheDocumentedExample) {
    std::wstring s;
    ASSERT_TRUE(VornOleDbHelper::FormatConnectString(s, L"C:\\data\\plant.mdb", nullptr, nullptr,
                                                     L"Microsoft.ACE.OLEDB.12.0",
                                                     L"Jet OLEDB:Engine Type=5", nullptr));
    EXPECT_EQ(
        L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=C:\\data\\plant.mdb;Jet OLEDB:Engine "
        L"Type=5;",
        s);
}

TEST(Helper, MissingRequiredPartsLeaveTheResultAlone) {
    std::wstring s = L"unchanged";
    EXPECT_FALSE(
        VornOleDbHelper::FormatConnectString(s, nullptr, nullptr, nullptr, L"P", nullptr, nullptr));
    EXPECT_FALSE(
        VornOleDbHelper::FormatConnectString(s, L"D", nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(L"unchanged", s);
}

TEST(Helper, EmptyAndNullUserAndPassword) {
    std::wstring s;
    ASSERT_TRUE(VornOleDbHelper::FormatConnectString(s, L"", L"", nullptr, L"", nullptr, nullptr));
    EXPECT_EQ(L"Provider=;Data Source=;User ID=;", s);
    ASSERT_TRUE(VornOleDbHelper::FormatConnectString(s, L"d.db", L"admin", L"p'w;d", L"P", nullptr,
                                                     nullptr));
    EXPECT_EQ(L"Provider=P;Data Source=d.db;User ID=admin;Password=p'w;d;", s);
}

TEST(Helper, PropertyTextsRunTogetherAndOnlyTheEndIsClosed) {
    std::wstring s;
    ASSERT_TRUE(
        VornOleDbHelper::FormatConnectString(s, L"x", nullptr, nullptr, L"P", L"A=1", L"B=2"));
    EXPECT_EQ(L"Provider=P;Data Source=x;A=1B=2;", s);
    ASSERT_TRUE(
        VornOleDbHelper::FormatConnectString(s, L"x", nullptr, nullptr, L"P", L"A=1;", nullptr));
    EXPECT_EQ(L"Provider=P;Data Source=x;A=1;", s);
    ASSERT_TRUE(
        VornOleDbHelper::FormatConnectString(s, L"x", nullptr, nullptr, L"P", nullptr, L"B=2"));
    EXPECT_EQ(L"Provider=P;Data Source=x;B=2;", s);
}

TEST(Helper, WideValuesBeyondAsciiAndLongValues) {
    std::wstring s;
    std::wstring longPath(5000, L'a');
    ASSERT_TRUE(VornOleDbHelper::FormatConnectString(s, longPath.c_str(), nullptr, nullptr, L"P",
                                                     nullptr, nullptr));
    EXPECT_EQ(L"Provider=P;Data Source=" + longPath + L";", s);
    ASSERT_TRUE(VornOleDbHelper::FormatConnectString(s, L"/d/Umsätze 😀.db", nullptr, nullptr, L"P",
                                                     nullptr, nullptr));
    EXPECT_EQ(L"Provider=P;Data Source=/d/Umsätze 😀.db;", s);
}
