// The live-parameter table: every global starts at its row's default, and
// names, values and resets go through the rows.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "parameters/parameters.h"

namespace {

// The value of a numeric parameter, whatever its type.
double valueOf(const LiveParameter& p)
{
    switch (p.type) {
    case ParameterType::Flag:
    case ParameterType::Int:
        return *static_cast<const int*>(p.value);
    case ParameterType::Float:
        return *static_cast<const float*>(p.value);
    case ParameterType::Double:
        return *static_cast<const double*>(p.value);
    default:
        return 0.0;
    }
}

bool isNumber(const LiveParameter& p) { return p.type != ParameterType::Text && p.type != ParameterType::Rotation; }

class ParameterTable : public ::testing::Test {
protected:
    void TearDown() override { resetLiveParameters(); }
};

// Runs first in this executable: nothing has written a parameter yet.
TEST_F(ParameterTable, AtProgramStartEveryGlobalHoldsItsDefault)
{
    for (size_t i = 0; i < liveParameterCount; ++i) {
        const LiveParameter& p = liveParameters[i];
        if (isNumber(p)) {
            EXPECT_EQ(valueOf(p), p.defaultValue) << p.name;
            EXPECT_LE(p.minimum, p.defaultValue) << p.name;
            EXPECT_GE(p.maximum, p.defaultValue) << p.name;
        }
    }
    EXPECT_STREQ(treeFileName, "prunus_cerasifera_nigra_reduced32.tre");
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(windRotation[i], i % 5 == 0 ? 1.0f : 0.0f);
    // A few rows as documented for the viewer.
    EXPECT_EQ(windVelocity, 4.0f);
    EXPECT_EQ(dampingScale, 4.0f);
    EXPECT_EQ(bendMaxForward, 200);
    EXPECT_EQ(cameraDistance, 16.0);
    EXPECT_EQ(cameraHeight, 5.0);
}

TEST_F(ParameterTable, RowsAreFoundByNameAndByAddressAndNamesAreUnique)
{
    for (size_t i = 0; i < liveParameterCount; ++i) {
        const LiveParameter& p = liveParameters[i];
        EXPECT_EQ(findLiveParameter(p.name), &p) << p.name;
        EXPECT_EQ(liveParameterAt(p.value), &p) << p.name;
        EXPECT_NE(std::strlen(p.meaning), 0u) << p.name;
    }
    EXPECT_EQ(findLiveParameter("windvelocity"), nullptr);  // names are case-sensitive
    EXPECT_EQ(findLiveParameter(""), nullptr);
    EXPECT_EQ(findLiveParameter(nullptr), nullptr);
    EXPECT_EQ(liveParameterAt(&liveParameterCount), nullptr);
}

TEST_F(ParameterTable, ValuesAreSetFromTextWithinTheirRange)
{
    EXPECT_TRUE(setLiveParameter(*findLiveParameter("windVelocity"), "12.5"));
    EXPECT_EQ(windVelocity, 12.5f);
    EXPECT_TRUE(setLiveParameter(*findLiveParameter("shiverApply"), "1"));
    EXPECT_EQ(shiverApply, 1);
    EXPECT_TRUE(setLiveParameter(*findLiveParameter("bendEveryNthForward"), "3"));
    EXPECT_EQ(bendEveryNthForward, 3);
    EXPECT_TRUE(setLiveParameter(*findLiveParameter("cameraDistance"), "-2.25e1"));
    EXPECT_EQ(cameraDistance, -22.5);
    EXPECT_TRUE(setLiveParameter(*findLiveParameter("treeFileName"), "other.tre"));
    EXPECT_STREQ(treeFileName, "other.tre");
    EXPECT_TRUE(setLiveParameter(*findLiveParameter("windRotation"), "0,1,0,0,-1,0,0,0,0,0,1,0,0,0,0,1"));
    EXPECT_EQ(windRotation[1], 1.0f);
    EXPECT_EQ(windRotation[4], -1.0f);
    EXPECT_EQ(windRotation[0], 0.0f);
}

TEST_F(ParameterTable, BadTextLeavesTheParameterAsItWas)
{
    const LiveParameter& wind = *findLiveParameter("windVelocity");
    for (const char* bad : {"", "fast", "4 m/s", "4,0", "101", "-0.5", "nan", "inf", "1e400"})
        EXPECT_FALSE(setLiveParameter(wind, bad)) << bad;
    EXPECT_EQ(windVelocity, 4.0f);
    const LiveParameter& flag = *findLiveParameter("shiverApply");
    for (const char* bad : {"2", "0.5", "-1", "yes"})
        EXPECT_FALSE(setLiveParameter(flag, bad)) << bad;
    EXPECT_EQ(shiverApply, 0);
    EXPECT_FALSE(setLiveParameter(*findLiveParameter("bendEveryNthForward"), "0"));  // below 1
    EXPECT_FALSE(setLiveParameter(*findLiveParameter("bendMaxForward"), "2.5"));
    EXPECT_EQ(bendMaxForward, 200);
    EXPECT_FALSE(setLiveParameter(*findLiveParameter("treeFileName"), std::string(300, 'a').c_str()));
    EXPECT_STREQ(treeFileName, DEFAULT_TREE_FILE_NAME);
    const LiveParameter& rotation = *findLiveParameter("windRotation");
    for (const char* bad : {"1,0,0", "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1,0", "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,",
                            "1,0,0,0,0,1,0,0,0,0,1,0,0,0,x,1", ",1,0,0,0,0,1,0,0,0,0,1,0,0,0,0"})
        EXPECT_FALSE(setLiveParameter(rotation, bad)) << bad;
    EXPECT_EQ(windRotation[0], 1.0f);
    EXPECT_EQ(windRotation[1], 0.0f);
    EXPECT_FALSE(setLiveParameter(wind, nullptr));
}

TEST_F(ParameterTable, ResetsRestoreEveryRowsDefault)
{
    for (size_t i = 0; i < liveParameterCount; ++i) {
        const LiveParameter& p = liveParameters[i];
        if (isNumber(p)) {
            const std::string other = p.maximum == p.defaultValue ? "0" : std::to_string(p.maximum);
            ASSERT_TRUE(setLiveParameter(p, other.c_str())) << p.name;
        }
    }
    std::strcpy(treeFileName, "x.tre");
    windRotation[3] = 7.0f;
    resetLiveParameter(*liveParameterAt(&windVelocity));
    EXPECT_EQ(windVelocity, 4.0f);
    EXPECT_NE(dampingScale, 4.0f);  // one row only
    resetLiveParameters();
    for (size_t i = 0; i < liveParameterCount; ++i) {
        if (isNumber(liveParameters[i])) {
            EXPECT_EQ(valueOf(liveParameters[i]), liveParameters[i].defaultValue) << liveParameters[i].name;
        }
    }
    EXPECT_STREQ(treeFileName, DEFAULT_TREE_FILE_NAME);
    EXPECT_EQ(windRotation[3], 0.0f);
}

}  // namespace
