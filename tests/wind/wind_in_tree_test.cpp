// The field in the animation step: the tree's step advances the wind by its
// own time, and with the field on every element samples its own point, so
// two leaves on one twig feel different winds.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "elements/leaf.h"
#include "parameters/parameters.h"
#include "tree/tree.h"
#include "wind/wind.h"

namespace {

const std::string kModel = std::string(DOR_SOURCE_DIR) + "/assets/prunus_cerasifera_nigra_reduced32.tre";

class WindInTree : public ::testing::Test {
protected:
    void SetUp() override { resetLiveParameters(); }
    void TearDown() override { resetLiveParameters(); }
};

// Leaves by parent: the first two leaves found on one segment.
std::pair<const CTreeElement*, const CTreeElement*> twoLeavesOnOneTwig(const CTree& tree)
{
    std::map<const CTreeElement*, const CTreeElement*> firstLeaf;
    for (const CTreeElement* e : tree.elementOrder) {
        if (!dynamic_cast<const CLeaf*>(e))
            continue;
        auto found = firstLeaf.find(e->parent);
        if (found != firstLeaf.end())
            return {found->second, e};
        firstLeaf[e->parent] = e;
    }
    return {nullptr, nullptr};
}

TEST_F(WindInTree, TheStepAdvancesTheWindByItsTime)
{
    CWind wind;
    CTree tree(&wind);
    ASSERT_EQ(tree.load(kModel.c_str()), 0);
    tree.reset();
    for (int k = 0; k < 10; ++k)
        tree.animate(0.05f);
    EXPECT_NEAR(wind.time, 0.5, 1e-6);
    tree.cleanup();
}

TEST_F(WindInTree, WithTheFieldOnLeavesOfOneTwigFeelDifferentWinds)
{
    for (int field : {0, 1}) {
        windTurbulence = field;
        CWind wind;
        CTree tree(&wind);
        ASSERT_EQ(tree.load(kModel.c_str()), 0);
        tree.reset();
        for (int k = 0; k < 5; ++k)
            tree.animate(0.04f);
        const auto [a, b] = twoLeavesOnOneTwig(tree);
        ASSERT_TRUE(a && b);
        // The wind in the common parent's frame: the same vector for a
        // uniform wind, two samples of the field otherwise.
        if (field)
            EXPECT_NE(a->windVector.x, b->windVector.x);
        else
            EXPECT_EQ(a->windVector.x, b->windVector.x);
        tree.cleanup();
    }
}

}  // namespace
