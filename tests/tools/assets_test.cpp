// The committed models and textures: every model loads, the default model is
// the cherry plum of the expected size, every texture a model names is there
// and decodes, and the default model sways under the default wind without
// folding.
#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "image/png_decoder.h"
#include "tools/tool_files.h"

namespace {

const std::filesystem::path assets = std::filesystem::path(DOR_SOURCE_DIR) / "assets";

std::vector<std::string> committedModels()
{
    std::vector<std::string> models;
    for (const auto& entry : std::filesystem::directory_iterator(assets))
        if (entry.path().extension() == ".tre")
            models.push_back(entry.path().string());
    return models;
}

}  // namespace

TEST(Assets, EveryModelLoadsAndItsTexturesDecode)
{
    std::vector<std::string> models = committedModels();
    EXPECT_GE(models.size(), 6u);  // the default, one per preset, a mesh model, the twig
    std::set<std::string> textures;
    bool fileMesh = false, generatedMesh = false;
    for (const std::string& model : models) {
        SCOPED_TRACE(model);
        LoadedTree loaded(model);
        ASSERT_EQ(loaded.status, 0);
        const CTree& t = *loaded.tree;
        EXPECT_GT(t.elementCount, 0u);
        EXPECT_EQ(t.segmentCount + t.leafCount, t.elementCount);
        (t.useFileMesh ? fileMesh : generatedMesh) = true;
        for (const Material& m : t.materials)
            textures.insert(m.textureFile);
    }
    EXPECT_TRUE(fileMesh);
    EXPECT_TRUE(generatedMesh);
    for (const std::string& name : textures) {
        SCOPED_TRACE(name);
        std::vector<unsigned char> bytes, rgba;
        loadFileBytes((assets / name).string().c_str(), bytes);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(decodePngImage(bytes, rgba), 0);
        EXPECT_EQ(rgba.size(), size_t(pngWidth()) * pngHeight() * 4);
    }
}

TEST(Assets, DefaultModelIsTheCherryPlum)
{
    LoadedTree loaded((assets / "prunus_cerasifera_nigra_reduced32.tre").string());
    ASSERT_EQ(loaded.status, 0);
    const CTree& t = *loaded.tree;
    EXPECT_GE(t.elementCount, 2000u);
    EXPECT_LE(t.elementCount, 20000u);
    ASSERT_EQ(t.materialCount, 2u);
    EXPECT_EQ(t.materials[0].textureFile, "prunus_cerasifera_nigra_bark.png");
    EXPECT_EQ(t.materials[1].textureFile, "prunus_cerasifera_nigra_leaf.png");
    Sway sway = measureSway(*loaded.tree);
    EXPECT_TRUE(sway.finite);
    EXPECT_GT(sway.tipTravel, 0.05);
    EXPECT_LT(sway.largestBend, 30.0);
}
