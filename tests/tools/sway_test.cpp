// The presets under the default wind: the trunk's top sways visibly, no
// segment folds over, nothing blows up; and a tree large enough for its
// elements to live in a huge-page block.
#include <gtest/gtest.h>

#include <cstdint>

#include "tools/grow/species.h"
#include "tools/grow/tree_generator.h"
#include "tools/tool_files.h"

TEST(GrownTreeSway, EveryPresetSwaysWithoutFolding)
{
    ScratchDir dir;
    for (const CSpecies& species : speciesPresets()) {
        SCOPED_TRACE(species.name);
        GrowOptions options;
        options.targetElements = 3000;
        options.seed = 7;
        std::string error;
        const std::string path = dir.file(species.name + ".tre");
        ASSERT_TRUE(saveTre(growTree(species, options), path, error)) << error;
        LoadedTree loaded(path);
        ASSERT_EQ(loaded.status, 0);
        Sway sway = measureSway(*loaded.tree);
        std::printf("%s: top travels %.3f, largest bend %.1f degrees\n", species.name.c_str(),
                    sway.tipTravel, sway.largestBend);
        EXPECT_TRUE(sway.finite);
        EXPECT_GT(sway.tipTravel, 0.05);
        EXPECT_LT(sway.largestBend, 30.0);
    }
}

// A tree whose elements take more than 8 MiB gets a block aligned to huge
// pages; it loads whole, sways like the small ones, and is freed again (the
// sanitizer build checks the allocation and its release).
TEST(GrownTreeSway, LargeTreeLivesInAHugePageBlock)
{
    ScratchDir dir;
    GrowOptions options;
    options.targetElements = 12000;
    options.seed = 3;
    const TreFile file = growTree(*findSpecies("prunus_cerasifera_nigra"), options);
    std::string error;
    const std::string path = dir.file("large.tre");
    ASSERT_TRUE(saveTre(file, path, error)) << error;
    LoadedTree loaded(path);
    ASSERT_EQ(loaded.status, 0);
    const CTree& tree = *loaded.tree;
    ASSERT_GT(tree.elementArenaSize, size_t(8) << 20);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(tree.elementArena.get()) % (size_t(2) << 20), 0u);
    EXPECT_EQ(tree.elementArenaUsed, tree.elementArenaSize);
    EXPECT_EQ(tree.elementOrder.size(), tree.elementCount);
    const Sway sway = measureSway(*loaded.tree, 50);
    EXPECT_TRUE(sway.finite);
    EXPECT_GT(sway.tipTravel, 0.01);
    EXPECT_LT(sway.largestBend, 30.0);
}
