// The presets under the default wind: the trunk's top sways visibly, no
// segment folds over, nothing blows up.
#include <gtest/gtest.h>

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
