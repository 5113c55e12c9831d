// dor-grow's generator: deterministic per seed, sized as asked, and every
// preset's output (with and without its own mesh) passes the project's
// loader, with the file mesh landing in the elements' frames as built.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "common/near.h"
#include "elements/segment.h"
#include "tools/grow/tree_generator.h"
#include "tools/tool_files.h"

namespace {

GrowOptions optionsFor(int elements, uint64_t seed, bool mesh)
{
    GrowOptions o;
    o.targetElements = elements;
    o.seed = seed;
    o.mesh = mesh;
    return o;
}

}  // namespace

TEST(Grow, SameSeedSameFileOtherSeedOtherTree)
{
    ScratchDir dir;
    const CSpecies& species = *findSpecies("prunus_cerasifera_nigra");
    std::string error;
    ASSERT_TRUE(saveTre(growTree(species, optionsFor(1500, 42, true)), dir.file("a.tre"), error));
    ASSERT_TRUE(saveTre(growTree(species, optionsFor(1500, 42, true)), dir.file("b.tre"), error));
    ASSERT_TRUE(saveTre(growTree(species, optionsFor(1500, 43, true)), dir.file("c.tre"), error));
    const std::string a = readText(dir.file("a.tre"));
    EXPECT_GT(a.size(), 1000u);
    EXPECT_EQ(a, readText(dir.file("b.tre")));
    EXPECT_NE(a, readText(dir.file("c.tre")));
}

TEST(Grow, ElementCountFollowsTheTarget)
{
    for (const CSpecies& species : speciesPresets()) {
        for (int target : {800, 4000}) {
            SCOPED_TRACE(species.name + " " + std::to_string(target));
            TreFile tree = growTree(species, optionsFor(target, 5, false));
            EXPECT_TRUE(near(double(tree.elements.size()), target, 0.05));
        }
    }
}

// Pre-order, one top-level element, a stem's next segment first among its
// segment's children, sizes for the default camera, no straight-down
// direction (whose rotation the viewer cannot build).
TEST(Grow, HierarchyAndShapeFitTheViewer)
{
    for (const CSpecies& species : speciesPresets()) {
        SCOPED_TRACE(species.name);
        TreFile tree = growTree(species, optionsFor(3000, 11, false));
        std::vector<int> parents;
        std::string error;
        ASSERT_TRUE(computeParents(tree, parents, error)) << error;
        std::vector<ElementFrame> frames = elementFrames(tree, parents);
        const double top = modelTop(tree, parents);
        EXPECT_GT(top, 6.0);
        EXPECT_LT(top, 10.5);
        EXPECT_EQ(tree.elements[0].attach, 1.0);
        std::vector<int> firstChild(tree.elements.size(), -1);
        for (size_t k = 0; k < tree.elements.size(); ++k) {
            const TreElement& e = tree.elements[k];
            EXPECT_TRUE(near(length(e.direction), 1.0, 1e-9));
            EXPECT_GT(e.direction.z, -0.996);
            EXPECT_GE(e.attach, 0.0);
            EXPECT_LE(e.attach, 1.0);
            EXPECT_LT(std::fabs(frames[k].origin.x), 4.5);
            EXPECT_LT(std::fabs(frames[k].origin.y), 4.5);
            if (!e.leaf) {
                EXPECT_GE(e.diameter, species.minDiameter);
                EXPECT_GT(e.length, 0.0);
            }
            int p = parents[k];
            if (p >= 0 && firstChild[size_t(p)] < 0)
                firstChild[size_t(p)] = int(k);
            // Only the next segment of a stem hangs at the very end of its
            // parent, and it comes first.
            if (p >= 0 && !e.leaf && e.attach == 1.0) {
                EXPECT_EQ(firstChild[size_t(p)], int(k));
            }
        }
    }
}

// Every preset, with and without its mesh, across seeds and sizes.
TEST(Grow, EveryPresetPassesTheLoader)
{
    ScratchDir dir;
    for (const CSpecies& species : speciesPresets()) {
        for (uint64_t seed : {1u, 2u}) {
            for (int target : {150, 2500}) {
                for (bool mesh : {false, true}) {
                    SCOPED_TRACE(species.name + " seed " + std::to_string(seed) + " size " +
                                 std::to_string(target) + (mesh ? " mesh" : ""));
                    TreFile tree = growTree(species, optionsFor(target, seed, mesh));
                    std::string error;
                    const std::string path = dir.file("t.tre");
                    ASSERT_TRUE(saveTre(tree, path, error)) << error;
                    LoadedTree loaded(path);
                    ASSERT_EQ(loaded.status, 0);
                    const CTree& t = *loaded.tree;
                    size_t leaves = 0;
                    for (const TreElement& e : tree.elements)
                        leaves += e.leaf;
                    EXPECT_EQ(t.elementCount, tree.elements.size());
                    EXPECT_EQ(t.leafCount, leaves);
                    EXPECT_EQ(t.segmentCount, tree.elements.size() - leaves);
                    EXPECT_EQ(t.materialCount, 2u);
                    EXPECT_EQ(t.useFileMesh, mesh);
                    if (mesh) {
                        EXPECT_EQ(t.vertexCount, tree.vertices.size());
                        EXPECT_EQ(t.triangleCount, tree.faces.size());
                        EXPECT_EQ(t.materialIndexCount[1], 6 * leaves);
                    }
                }
            }
        }
    }
}

// The mesh is written in model space; the loader moves it into each
// element's rest frame. A cylinder's base ring must then lie at height 0 of
// its element at the segment's radius, its top ring at the segment's length,
// and a leaf card must start at its element's origin.
TEST(Grow, FileMeshLandsInTheElementFrames)
{
    ScratchDir dir;
    GrowOptions o = optionsFor(600, 3, true);
    o.meshSides = 12;
    TreFile tree = growTree(*findSpecies("salix_babylonica"), o);
    std::string error;
    ASSERT_TRUE(saveTre(tree, dir.file("w.tre"), error));
    LoadedTree loaded(dir.file("w.tre"));
    ASSERT_EQ(loaded.status, 0);
    const CTree& t = *loaded.tree;
    ASSERT_EQ(t.vertexCount, tree.vertices.size());
    for (size_t i = 0; i < tree.vertices.size(); ++i) {
        const TreVertex& v = tree.vertices[i];
        const TreElement& e = tree.elements[size_t(v.element - 1)];
        const float* p = &t.restPositions[3 * i];  // element frame, display axes: y along the element
        ASSERT_EQ(t.vertices[i].matrixIndex, v.element);
        const double radial = std::hypot(double(p[0]), double(p[2]));
        if (e.leaf) {
            if (v.t == 1.0) {  // the card's base edge, across the leaf's origin
                EXPECT_TRUE(near(p[1], 0.0, 1e-3));
                EXPECT_TRUE(near(radial, 0.5 * e.leafWidth, 1e-3));
            }
        } else if (v.t == 0.0) {
            EXPECT_TRUE(near(p[1], 0.0, 1e-3)) << "vertex " << i;
            EXPECT_TRUE(near(radial, 0.5 * e.diameter, 1e-3)) << "vertex " << i;
        } else {
            EXPECT_TRUE(near(p[1], e.length, 1e-3)) << "vertex " << i;
            EXPECT_TRUE(near(radial, 0.5 * e.tipDiameter, 1e-3)) << "vertex " << i;
        }
    }
}
