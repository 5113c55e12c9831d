// The glTF export read back with the tests' own GLB reader: the container's
// chunks and alignment, the JSON writer's escapes and numbers, and on real
// models the counts, the skin (one joint per element, weights summing to 1,
// the rest pose reproduced), the embedded textures, the animation channels
// against the simulated frames, and the refusals.
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "common/near.h"
#include "elements/tree_element.h"
#include "gltf/glb_reader.h"
#include "image/png_decoder.h"
#include "parameters/parameters.h"
#include "tools/gltf/json_writer.h"
#include "tools/gltf/pose_recorder.h"
#include "tools/gltf/tree_gltf.h"
#include "tree/tree.h"
#include "wind/wind.h"
#include "wind/wind_presets.h"

namespace {

const std::string kAssets = std::string(DOR_SOURCE_DIR) + "/assets/";

std::string tempPath(const std::string& name)
{
    return testing::TempDir() + "dor_gltf_" + std::to_string(getpid()) + "_" + name;
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

float floatAt(const std::vector<unsigned char>& bin, size_t at)
{
    float x;
    std::memcpy(&x, &bin[at], 4);
    return x;
}

// A tree loaded and reset as dor-sim does it, stepped and recorded.
struct ExportRun {
    CWind wind;
    std::unique_ptr<CTree> tree = std::make_unique<CTree>(&wind);
    std::unique_ptr<PoseRecorder> poses;
    GltfDocument document;
    std::string error;
    Glb glb;

    // Loads file; false if it does not load.
    bool load(const std::string& file, const char* preset = nullptr)
    {
        resetLiveParameters();
        if (preset)
            applyWindPreset(*findWindPreset(preset));
        std::fflush(stdout);
        return tree->load(file.c_str()) == 0 && !tree->noModel && (tree->reset(), true);
    }
    // steps of 1/stepRate s, sampled at sampleRate; the GLB written and read back.
    // afterStep, when given, changes the tree after each step, before it is
    // recorded.
    bool run(const std::string& file, int steps, double stepRate, double sampleRate,
             const std::function<void(CTree&, int)>& afterStep = {})
    {
        poses = std::make_unique<PoseRecorder>(*tree, sampleRate, stepRate, steps);
        poses->record(*tree, 0);
        for (int k = 1; k <= steps; ++k) {
            tree->animate(float(1.0 / stepRate));
            if (afterStep)
                afterStep(*tree, k);
            poses->record(*tree, k);
        }
        if (!buildTreeGltf(*tree, *poses, file, document, error))
            return false;
        const std::string path = tempPath("run.glb");
        return writeGlb(path, document.json, document.buffer.bytes, error) && readGlb(path, glb, error);
    }
    const Json& json() const { return glb.json; }
};

// The float components of accessor a (as laid in the BIN chunk).
std::vector<float> floatsOf(const Glb& glb, int64_t a)
{
    const Json& accessor = glb.json["accessors"][size_t(a)];
    const Json& view = glb.json["bufferViews"][size_t(accessor["bufferView"].integer())];
    static const std::map<std::string, int> width = {{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
    const size_t n = size_t(accessor["count"].integer()) * size_t(width.at(accessor["type"].text));
    const size_t start = size_t(view["byteOffset"].integer() + accessor["byteOffset"].integer());
    std::vector<float> out(n);
    for (size_t k = 0; k < n; ++k)
        out[k] = floatAt(glb.bin, start + 4 * k);
    return out;
}

TEST(GlbContainer, ChunksArePaddedToFourBytesAndTheLengthsAddUp)
{
    // JSON of 7 bytes and a buffer of 5: both need padding.
    const std::string path = tempPath("container.glb");
    std::string error;
    ASSERT_TRUE(writeGlb(path, "{\"a\":1}", {1, 2, 3, 4, 5}, error)) << error;
    Glb glb;
    ASSERT_TRUE(readGlb(path, glb, error)) << error;
    EXPECT_EQ(glb.magic, 0x46546C67u);
    EXPECT_EQ(glb.version, 2u);
    EXPECT_EQ(glb.length, 12u + 8 + 8 + 8 + 8);
    EXPECT_EQ(glb.jsonType, 0x4E4F534Au);
    EXPECT_EQ(glb.jsonLength, 8u);
    EXPECT_EQ(glb.jsonText, "{\"a\":1} ");  // padded with a space
    EXPECT_EQ(glb.binType, 0x004E4942u);
    EXPECT_EQ(glb.binLength, 8u);
    EXPECT_EQ(glb.bin, (std::vector<unsigned char>{1, 2, 3, 4, 5, 0, 0, 0}));
    EXPECT_EQ(glbFileSize(7, 5), uint64_t(glb.length));

    // Views start on 4-byte boundaries whatever came before.
    GlbBuffer buffer;
    const unsigned char three[3] = {9, 9, 9};
    EXPECT_EQ(buffer.addView(three, 3), 0u);
    EXPECT_EQ(buffer.addView(three, 1, GLTF_ARRAY_BUFFER), 1u);
    EXPECT_EQ(buffer.views[1].offset, 4u);
    EXPECT_EQ(buffer.views[1].target, GLTF_ARRAY_BUFFER);
    EXPECT_EQ(buffer.bytes, (std::vector<unsigned char>{9, 9, 9, 0, 9}));

    EXPECT_FALSE(writeGlb("/nonexistent/dir/x.glb", "{}", {}, error));
    EXPECT_EQ(error.rfind("ERROR", 0), 0u);
}

TEST(JsonWriter, EscapesStringsAndWritesNumbersThatReadBack)
{
    JsonWriter j;
    j.beginObject();
    j.member("quote", std::string("say \"hi\"\\ \n\t\x01 end"));
    j.member("utf8", std::string("gr\xC3\xBCn"));     // valid UTF-8 passes
    j.member("latin1", std::string("gr\xFCn"));       // not UTF-8: read as Latin-1
    j.member("short", std::string("\xC3"));           // a cut sequence is no UTF-8
    j.key("numbers");
    j.beginArray();
    const double numbers[] = {0.1, -1e-300, 1e300, double(0.1f), 3.0, -0.0, 123456789.0};
    for (double x : numbers)
        j.number(x);
    j.endArray();
    j.key("empty");
    j.beginArray();
    j.endArray();
    j.member("flag", false);
    j.endObject();
    ASSERT_TRUE(j.complete());

    Json v;
    std::string error;
    ASSERT_TRUE(parseJson(j.text(), v, error)) << error << ": " << j.text();
    EXPECT_EQ(v["quote"].text, "say \"hi\"\\ \n\t\x01 end");
    EXPECT_EQ(v["utf8"].text, "gr\xC3\xBCn");
    EXPECT_EQ(v["latin1"].text, "gr\xC3\xBCn");
    EXPECT_EQ(v["short"].text, "\xC3\x83");
    ASSERT_EQ(v["numbers"].size(), std::size(numbers));
    for (size_t k = 0; k < std::size(numbers); ++k)
        EXPECT_EQ(v["numbers"][k].number, numbers[k]) << k;
    EXPECT_EQ(v["empty"].size(), 0u);
    EXPECT_EQ(v["flag"].kind, Json::Bool);
    EXPECT_FALSE(v["flag"].boolean);
}

// The default model in the wind field, 1 s at 25 steps a second sampled at 30.
class DefaultModel : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        exported = new ExportRun;
        ASSERT_TRUE(exported->load(kAssets + "prunus_cerasifera_nigra_reduced32.tre", "gusty"));
        ASSERT_TRUE(exported->run(kAssets + "prunus_cerasifera_nigra_reduced32.tre", 25, 25.0, 30.0)) << exported->error;
    }
    static void TearDownTestSuite()
    {
        delete exported;
        exported = nullptr;
    }
    static ExportRun* exported;
};
ExportRun* DefaultModel::exported = nullptr;

TEST_F(DefaultModel, CountsAlignmentAndBuffersAreConsistent)
{
    const Glb& glb = exported->glb;
    const Json& j = glb.json;
    const CTree& tree = *exported->tree;
    EXPECT_EQ(j["asset"]["version"].text, "2.0");
    EXPECT_EQ(glb.jsonLength % 4, 0u);
    EXPECT_EQ(glb.binLength % 4, 0u);
    EXPECT_EQ(glb.jsonOffset % 4, 0u);
    EXPECT_EQ(glb.binOffset % 4, 0u);
    // The buffer is the BIN chunk, less its padding.
    ASSERT_EQ(j["buffers"].size(), 1u);
    EXPECT_FALSE(j["buffers"][0].has("uri"));
    const int64_t bufferLength = j["buffers"][0]["byteLength"].integer();
    EXPECT_LE(bufferLength, int64_t(glb.binLength));
    EXPECT_GT(bufferLength, int64_t(glb.binLength) - 4);

    for (const Json& view : j["bufferViews"].items) {
        EXPECT_EQ(view["byteOffset"].integer() % 4, 0);
        EXPECT_GE(view["byteLength"].integer(), 1);
        EXPECT_LE(view["byteOffset"].integer() + view["byteLength"].integer(), bufferLength);
    }
    static const std::map<std::string, int> width = {{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
    for (const Json& a : j["accessors"].items) {
        const Json& view = j["bufferViews"][size_t(a["bufferView"].integer())];
        const int component = a["componentType"].integer() == 5123 ? 2 : 4;
        EXPECT_EQ((view["byteOffset"].integer() + a["byteOffset"].integer()) % component, 0);
        EXPECT_LE(a["byteOffset"].integer() + a["count"].integer() * width.at(a["type"].text) * component,
                  view["byteLength"].integer());
    }

    // Nodes: one per element, then the mesh node; a scene of the trunk and the mesh.
    const size_t n = tree.elementOrder.size();
    ASSERT_EQ(j["nodes"].size(), n + 1);
    EXPECT_EQ(j["scenes"][0]["nodes"].size(), 2u);
    EXPECT_EQ(j["scenes"][0]["nodes"][0].integer(), 0);
    EXPECT_EQ(j["scenes"][0]["nodes"][1].integer(), int64_t(n));
    const Json& meshNode = j["nodes"][n];
    EXPECT_EQ(meshNode["skin"].integer(), 0);
    EXPECT_FALSE(meshNode.has("translation") || meshNode.has("rotation") || meshNode.has("matrix"));

    // Primitives: one per material with triangles, all of the viewer's triangles.
    const Json& primitives = j["meshes"][0]["primitives"];
    ASSERT_EQ(primitives.size(), 2u);
    EXPECT_EQ(j["materials"].size(), tree.materialCount);
    size_t triangles = 0;
    for (size_t p = 0; p < primitives.size(); ++p) {
        const Json& indices = j["accessors"][size_t(primitives[p]["indices"].integer())];
        EXPECT_EQ(indices["count"].integer(), tree.materialIndexCount[size_t(primitives[p]["material"].integer())]);
        triangles += size_t(indices["count"].integer()) / 3;
    }
    EXPECT_EQ(triangles, tree.triangleCount);

    // POSITION's bounds are those of its data.
    const Json& attributes = primitives[0]["attributes"];
    const Json& position = j["accessors"][size_t(attributes["POSITION"].integer())];
    const std::vector<float> p = floatsOf(glb, attributes["POSITION"].integer());
    ASSERT_EQ(p.size(), 3u * tree.vertexCount);
    for (int c = 0; c < 3; ++c) {
        float lo = p[c], hi = p[c];
        for (size_t i = c; i < p.size(); i += 3)
            lo = std::fmin(lo, p[i]), hi = std::fmax(hi, p[i]);
        EXPECT_EQ(position["min"][size_t(c)].number, lo) << c;
        EXPECT_EQ(position["max"][size_t(c)].number, hi) << c;
    }
    // Y up: the tree stands on the ground, about 7 units tall.
    EXPECT_TRUE(near(position["min"][1].number, 0.0, 0.05));
    EXPECT_GT(position["max"][1].number, 6.0);
}

TEST_F(DefaultModel, OneJointPerElementInTheElementHierarchyAndEachVertexBoundWhollyToItsElement)
{
    const Glb& glb = exported->glb;
    const Json& j = glb.json;
    const CTree& tree = *exported->tree;
    const size_t n = tree.elementOrder.size();
    const Json& skin = j["skins"][0];
    ASSERT_EQ(j["skins"].size(), 1u);
    ASSERT_EQ(skin["joints"].size(), n);
    std::set<std::string> names;
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(skin["joints"][i].integer(), int64_t(i));
        const Json& node = j["nodes"][i];
        EXPECT_EQ(node["extras"]["matrixIndex"].integer(), tree.elementOrder[i]->matrixIndex);
        names.insert(node["name"].text);
    }
    EXPECT_EQ(names.size(), n);
    // Every element is the child of its parent's node, once.
    std::vector<int> parentOf(n, -1);
    for (size_t i = 0; i < n; ++i)
        for (const Json& c : j["nodes"][i]["children"].items) {
            ASSERT_LT(size_t(c.integer()), n);
            EXPECT_EQ(parentOf[size_t(c.integer())], -1);
            parentOf[size_t(c.integer())] = int(i);
        }
    EXPECT_EQ(parentOf[0], -1);
    for (size_t i = 1; i < n; ++i) {
        ASSERT_GE(parentOf[i], 0) << i;
        EXPECT_EQ(tree.elementOrder[size_t(parentOf[i])], tree.elementOrder[i]->parent) << i;
    }

    const Json& attributes = j["meshes"][0]["primitives"][0]["attributes"];
    const Json& jointsAccessor = j["accessors"][size_t(attributes["JOINTS_0"].integer())];
    EXPECT_EQ(jointsAccessor["componentType"].integer(), 5123);
    const Json& jointsView = j["bufferViews"][size_t(jointsAccessor["bufferView"].integer())];
    const std::vector<float> weights = floatsOf(glb, attributes["WEIGHTS_0"].integer());
    ASSERT_EQ(weights.size(), 4u * tree.vertexCount);
    for (uint32_t v = 0; v < tree.vertexCount; ++v) {
        EXPECT_EQ(weights[4 * v] + weights[4 * v + 1] + weights[4 * v + 2] + weights[4 * v + 3], 1.0f) << v;
        EXPECT_EQ(weights[4 * v], 1.0f) << v;
        uint16_t joint;
        std::memcpy(&joint, &glb.bin[size_t(jointsView["byteOffset"].integer()) + 8 * v], 2);
        ASSERT_LT(joint, n);
        EXPECT_EQ(tree.elementOrder[joint]->matrixIndex, tree.vertices[v].matrixIndex) << v;
    }
}

// Joint world matrices (column-major, display axes) from the nodes' TRS,
// with the animation's values at sample k where there is a channel (k < 0:
// the rest pose).
std::vector<std::array<double, 16>> jointWorlds(const Glb& glb, size_t joints, int k)
{
    const Json& j = glb.json;
    std::vector<std::array<double, 4>> rotation(joints);
    std::vector<std::array<double, 3>> translation(joints);
    for (size_t i = 0; i < joints; ++i) {
        const Json& node = j["nodes"][i];
        for (int c = 0; c < 4; ++c)
            rotation[i][c] = node["rotation"][size_t(c)].number;
        for (int c = 0; c < 3; ++c)
            translation[i][c] = node["translation"][size_t(c)].number;
    }
    if (k >= 0 && j.has("animations")) {
        const Json& a = j["animations"][0];
        for (const Json& ch : a["channels"].items) {
            const std::vector<float> out =
                floatsOf(glb, a["samplers"][size_t(ch["sampler"].integer())]["output"].integer());
            const size_t node = size_t(ch["target"]["node"].integer());
            if (ch["target"]["path"].text == "rotation")
                for (int c = 0; c < 4; ++c)
                    rotation[node][c] = out[4 * size_t(k) + c];
            else
                for (int c = 0; c < 3; ++c)
                    translation[node][c] = out[3 * size_t(k) + c];
        }
    }
    std::vector<int> parentOf(joints, -1);
    for (size_t i = 0; i < joints; ++i)
        for (const Json& c : j["nodes"][i]["children"].items)
            parentOf[size_t(c.integer())] = int(i);
    std::vector<std::array<double, 16>> world(joints);
    for (size_t i = 0; i < joints; ++i) {  // parents come first
        const double x = rotation[i][0], y = rotation[i][1], z = rotation[i][2], w = rotation[i][3];
        const double L[16] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
                              2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
                              2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,
                              translation[i][0], translation[i][1], translation[i][2], 1};
        if (parentOf[i] < 0) {
            std::copy(L, L + 16, world[i].begin());
            continue;
        }
        const auto& P = world[size_t(parentOf[i])];
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                world[i][4 * c + r] = P[r] * L[4 * c] + P[4 + r] * L[4 * c + 1] + P[8 + r] * L[4 * c + 2] +
                                      P[12 + r] * L[4 * c + 3];
    }
    return world;
}

TEST_F(DefaultModel, TheSkinReproducesTheRestMeshAndTheAnimationTheSimulatedTips)
{
    const Glb& glb = exported->glb;
    const Json& j = glb.json;
    const CTree& tree = *exported->tree;
    const size_t n = tree.elementOrder.size();
    const std::vector<float> ibm = floatsOf(glb, j["skins"][0]["inverseBindMatrices"].integer());
    ASSERT_EQ(ibm.size(), 16 * n);
    const auto rest = jointWorlds(glb, n, -1);
    // joint world x inverse bind = identity at rest, for every joint.
    double worst = 0.0;
    for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r) {
                double s = 0.0;
                for (int k = 0; k < 4; ++k)
                    s += rest[i][4 * k + r] * ibm[16 * i + 4 * c + k];
                worst = std::fmax(worst, std::fabs(s - (r == c ? 1.0 : 0.0)));
            }
    EXPECT_LT(worst, 1e-5);

    // The last sample is t = 25 / 25 s, the last step: each joint's tip,
    // the node's origin plus its length along +Y, is dor-sim's probe tip,
    // model (x, y, z) = display (x, -z, y).
    ASSERT_EQ(exported->poses->times.size(), 31u);
    const auto last = jointWorlds(glb, n, 30);
    worst = 0.0;
    double moved = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const CTreeElement* e = tree.elementOrder[i];
        const auto& W = last[i];
        const double tip[3] = {W[12] + W[4] * e->length, W[13] + W[5] * e->length, W[14] + W[6] * e->length};
        const double model[3] = {tip[0], -tip[2], tip[1]};
        for (int r = 0; r < 3; ++r) {
            const double probe = e->modelTransform.m[r][3] + e->modelTransform.m[r][2] * e->length + tree.position[r];
            const double restTip = e->restModelTransform.m[r][3] + e->restModelTransform.m[r][2] * e->length;
            worst = std::fmax(worst, std::fabs(model[r] - probe));
            moved = std::fmax(moved, std::fabs(probe - restTip));
        }
    }
    EXPECT_LT(worst, 1e-4);
    EXPECT_GT(moved, 0.1);  // the wind moved the tree
}

TEST_F(DefaultModel, EveryMovingElementHasARotationChannelAndNoOriginMovesOnItsParent)
{
    const Json& j = exported->glb.json;
    const Json& a = j["animations"][0];
    ASSERT_EQ(j["animations"].size(), 1u);
    const size_t n = exported->tree->elementOrder.size();
    std::set<int64_t> rotated;
    for (const Json& ch : a["channels"].items) {
        EXPECT_EQ(ch["target"]["path"].text, "rotation");  // attachments do not slide here
        rotated.insert(ch["target"]["node"].integer());
        const Json& sampler = a["samplers"][size_t(ch["sampler"].integer())];
        EXPECT_EQ(sampler["interpolation"].text, "LINEAR");
        const Json& input = j["accessors"][size_t(sampler["input"].integer())];
        EXPECT_EQ(input["min"][0].number, 0.0);
        EXPECT_EQ(input["max"][0].number, double(float(1.0)));
        EXPECT_EQ(input["count"].integer(), 31);
    }
    EXPECT_EQ(rotated.size(), n);  // in the wind field everything moves

    // Keys are unit quaternions, each on the side of the one before.
    const std::vector<float> q = floatsOf(exported->glb, a["samplers"][0]["output"].integer());
    for (size_t k = 0; k + 4 <= q.size(); k += 4) {
        EXPECT_TRUE(near(q[k] * q[k] + q[k + 1] * q[k + 1] + q[k + 2] * q[k + 2] + q[k + 3] * q[k + 3], 1.0, 1e-6));
        if (k >= 4) {
            EXPECT_GT(q[k] * q[k - 4] + q[k + 1] * q[k - 3] + q[k + 2] * q[k - 2] + q[k + 3] * q[k - 1], 0.0f);
        }
    }
}

TEST_F(DefaultModel, TexturesAreThePngFilesAndTheLeavesACutOut)
{
    const Glb& glb = exported->glb;
    const Json& j = glb.json;
    ASSERT_EQ(j["images"].size(), 2u);
    for (size_t m = 0; m < 2; ++m) {
        const Json& material = j["materials"][m];
        const int64_t texture = material["pbrMetallicRoughness"]["baseColorTexture"]["index"].integer();
        const Json& image = j["images"][size_t(j["textures"][size_t(texture)]["source"].integer())];
        EXPECT_EQ(image["mimeType"].text, "image/png");
        const Json& view = j["bufferViews"][size_t(image["bufferView"].integer())];
        std::vector<unsigned char> file;
        loadFileBytes((kAssets + exported->tree->materials[m].textureFile).c_str(), file);
        ASSERT_FALSE(file.empty());
        ASSERT_EQ(size_t(view["byteLength"].integer()), file.size());
        EXPECT_TRUE(std::equal(file.begin(), file.end(), glb.bin.begin() + view["byteOffset"].integer()));
        EXPECT_TRUE(material["doubleSided"].boolean);
    }
    EXPECT_FALSE(j["materials"][0].has("alphaMode"));  // bark: opaque
    EXPECT_EQ(j["materials"][1]["alphaMode"].text, "MASK");
}

TEST(PoseRecorder, SamplesBetweenStepsAreInterpolatedAndOnStepsExact)
{
    // twig: steps at 10 a second, samples at 4 a second over 1 s: 0, 0.25,
    // 0.5, 0.75, 1; 0.5 and 1 fall on steps 5 and 10, 0.25 between 2 and 3.
    ExportRun r;
    ASSERT_TRUE(r.load(kAssets + "twig.tre", "storm"));
    PoseRecorder poses(*r.tree, 4.0, 10.0, 10);
    EXPECT_EQ(poses.times, (std::vector<float>{0.0f, 0.25f, 0.5f, 0.75f, 1.0f}));
    std::vector<LocalPose> at2, at3, at5;
    poses.record(*r.tree, 0);
    for (int k = 1; k <= 10; ++k) {
        r.tree->animate(0.1f);
        poses.record(*r.tree, k);
        if (k == 2 || k == 3 || k == 5)
            (k == 2 ? at2 : k == 3 ? at3 : at5) = {PoseRecorder::currentPose(*r.tree, 2)};
    }
    ASSERT_FALSE(poses.tracks[2].rotations.empty());
    const float* keys = poses.tracks[2].rotations.data();
    // On a step: that step's pose (up to the sign).
    const Quaternion q5 = at5[0].rotation;
    const double s5 = keys[8] * q5.x + keys[9] * q5.y + keys[10] * q5.z + keys[11] * q5.w;
    EXPECT_TRUE(near(std::fabs(s5), 1.0, 1e-6));
    // Between: halfway from step 2 to step 3.
    const Quaternion mid = slerp(at2[0].rotation, at3[0].rotation, 0.5);
    const double s = keys[4] * mid.x + keys[5] * mid.y + keys[6] * mid.z + keys[7] * mid.w;
    EXPECT_TRUE(near(std::fabs(s), 1.0, 1e-6));
    // and not simply one of the two steps.
    const Quaternion q2 = at2[0].rotation;
    EXPECT_LT(std::fabs(keys[4] * q2.x + keys[5] * q2.y + keys[6] * q2.z + keys[7] * q2.w), 1.0 - 1e-9);
}

TEST(PoseRecorder, StillElementsGetNoTrack)
{
    // Without wind nothing leaves its rest frame: no channel at all, and no
    // animation in the file.
    ExportRun r;
    ASSERT_TRUE(r.load(kAssets + "twig.tre"));
    windVelocity = 0.0f;
    ASSERT_TRUE(r.run(kAssets + "twig.tre", 20, 25.0, 30.0)) << r.error;
    for (const JointTrack& t : r.poses->tracks)
        EXPECT_TRUE(t.rotations.empty() && t.translations.empty());
    EXPECT_EQ(r.document.channels, 0u);
    EXPECT_FALSE(r.json().has("animations"));
}

TEST(PoseRecorder, AnOriginThatMovesOnItsParentGetsATranslationChannel)
{
    // No model of today slides an element along its parent; one that does
    // (here the twig's leaf, moved by hand 0.01 units a step along its
    // parent's axis) gets a translation channel beside its rotation.
    ExportRun r;
    ASSERT_TRUE(r.load(kAssets + "twig.tre", "storm"));
    CTreeElement* leaf = r.tree->elementOrder[2];
    ASSERT_EQ(leaf->matrixIndex, 3);
    const int steps = 10;
    ASSERT_TRUE(r.run(kAssets + "twig.tre", steps, 25.0, 25.0, [&](CTree&, int k) {
        for (int row = 0; row < 3; ++row)
            leaf->modelTransform.m[row][3] += 0.01 * k * leaf->parent->modelTransform.m[row][2];
    })) << r.error;
    const Json& j = r.json();
    const Json& a = j["animations"][0];
    int translations = 0;
    for (const Json& ch : a["channels"].items) {
        if (ch["target"]["path"].text != "translation")
            continue;
        ++translations;
        EXPECT_EQ(ch["target"]["node"].integer(), 2);
        const std::vector<float> t = floatsOf(r.glb, a["samplers"][size_t(ch["sampler"].integer())]["output"].integer());
        ASSERT_EQ(t.size(), 3u * (steps + 1));
        // Along the parent's axis, display +Y, from the rest offset.
        for (int k = 0; k <= steps; ++k) {
            EXPECT_TRUE(near(t[3 * k + 1] - t[1], 0.01 * k, 1e-6)) << k;
            EXPECT_TRUE(near(t[3 * k], t[0], 1e-6) && near(t[3 * k + 2], t[2], 1e-6)) << k;
        }
        EXPECT_EQ(t[1], float(j["nodes"][2]["translation"][1].number));  // the rest offset first
    }
    EXPECT_EQ(translations, 1);
    // The last key puts the leaf's tip where the moved frame has it.
    const auto world = jointWorlds(r.glb, 3, steps);
    const double display[3] = {world[2][12] + world[2][4], world[2][13] + world[2][5], world[2][14] + world[2][6]};
    const double model[3] = {display[0], -display[2], display[1]};
    for (int row = 0; row < 3; ++row)
        EXPECT_TRUE(near(model[row], leaf->modelTransform.m[row][3] + leaf->modelTransform.m[row][2], 1e-5)) << row;
}

TEST(Quaternion, OfRotationsAtEveryAngleAndSlerpOnTheShorterArc)
{
    // A turn by angle a about a unit axis, for angles near 0, pi/2 and pi
    // (each branch of the conversion).
    const double axis[3] = {0.48, -0.6, 0.64};
    for (double a : {1e-9, 0.3, 1.5707963, 3.0, 3.14159265}) {
        const double c = std::cos(a), s = std::sin(a), t = 1 - c, x = axis[0], y = axis[1], z = axis[2];
        const double R[3][3] = {{c + t * x * x, t * x * y - s * z, t * x * z + s * y},
                                {t * x * y + s * z, c + t * y * y, t * y * z - s * x},
                                {t * x * z - s * y, t * y * z + s * x, c + t * z * z}};
        Quaternion q = quaternionOf(R);
        if (q.w < 0)
            q = negated(q);
        EXPECT_TRUE(near(q.w, std::cos(a / 2), 1e-12)) << a;
        EXPECT_TRUE(near(q.x, x * std::sin(a / 2), 1e-12)) << a;
        EXPECT_TRUE(near(q.y, y * std::sin(a / 2), 1e-12)) << a;
        EXPECT_TRUE(near(q.z, z * std::sin(a / 2), 1e-12)) << a;
    }
    // Halfway between a turn of 0.2 and of 0.6 about Z is 0.4, also when the
    // second is given with the other sign.
    const Quaternion a{0, 0, std::sin(0.1), std::cos(0.1)}, b{0, 0, std::sin(0.3), std::cos(0.3)};
    for (const Quaternion& bb : {b, negated(b)}) {
        const Quaternion m = slerp(a, bb, 0.5);
        EXPECT_TRUE(near(std::fabs(m.z), std::sin(0.2), 1e-12));
        EXPECT_TRUE(near(std::fabs(m.w), std::cos(0.2), 1e-12));
    }
}

TEST(GltfExport, RefusesMoreElementsThanOneSkinHoldsAndNonFiniteVertices)
{
    // A trunk with leaves: 65536 elements fit, 65537 do not.
    for (int leaves : {65535, 65536}) {
        std::string text = "P 0 0 0\nS 1 0.1 0 0 1 1 " + std::to_string(leaves) + " 1\n";
        for (int k = 0; k < leaves; ++k)
            text += "L 1 0 1 1 " + std::to_string(k + 2) + "\n";
        const std::string path = tempPath("many.tre");
        writeText(path, text);
        ExportRun r;
        ASSERT_TRUE(r.load(path));
        std::string error;
        const bool fits = checkGltfExport(*r.tree, error);
        EXPECT_EQ(fits, leaves + 1 <= 65536) << leaves;
        if (!fits) {
            EXPECT_EQ(error.rfind("ERROR", 0), 0u);
            EXPECT_NE(error.find("65536"), std::string::npos) << error;
        }
    }
    // A file vertex beyond float range.
    const std::string path = tempPath("far.tre");
    writeText(path, "P 0 0 0\nS 2 0.2 0 0 1 1 0 1\nV 0 0 0 1\nV 1e39 0 0 1\nV 0 0 2 1\n"
                    "N 0 -1 0\nN 0 -1 0\nN 0 -1 0\nT 0 0\nT 1 0\nT 0 1\nF 0 1 2 0\n");
    ExportRun r;
    ASSERT_TRUE(r.load(path));
    std::string error;
    EXPECT_FALSE(checkGltfExport(*r.tree, error));
    EXPECT_NE(error.find("ERROR: vertex 1"), std::string::npos) << error;
}

TEST(GltfExport, AMissingTextureLeavesItsMaterialUntexturedAndAZeroNormalPointsUp)
{
    // twig's own mesh, one material naming a file that is not there, another
    // a file beside the tree that is no PNG, and one normal of zero length.
    const std::string path = tempPath("bare.tre");
    const std::string garbage = tempPath("garbage.png");
    writeText(garbage, "not a PNG file, but long enough to be read as one: 0123456789");
    const std::string garbageName = garbage.substr(garbage.rfind('/') + 1);
    writeText(path, "P 0 0 0\nM bark\ntex no_such_texture.png\na 0 0 0\nb 0 0 0\nc 0 0 0\nd 0 0 0\ne 1\n"
                    "M other\ntex " + garbageName + "\na 0 0 0\nb 0 0 0\nc 0 0 0\nd 0 0 0\ne 1\n"
                    "S 2 0.2 0 0 1 1 0 1\nV 0 0 0 1\nV 0.1 0 0 1\nV 0 0 2 1\n"
                    "N 0 -1 0\nN 0 0 0\nN 0 -1 0\nT 0 0\nT 1 0\nT 0 1\nF 0 1 2 0\nF 0 2 1 1\n");
    ExportRun r;
    ASSERT_TRUE(r.load(path));
    ASSERT_TRUE(r.run(path, 2, 25.0, 25.0)) << r.error;
    const Json& j = r.json();
    EXPECT_EQ(j["materials"].size(), 2u);
    EXPECT_FALSE(j["materials"][0]["pbrMetallicRoughness"].has("baseColorTexture"));
    EXPECT_FALSE(j["materials"][1]["pbrMetallicRoughness"].has("baseColorTexture"));
    EXPECT_FALSE(j.has("images") || j.has("textures"));
    ASSERT_EQ(r.document.warnings.size(), 3u);
    const std::string lines =
        r.document.warnings[0] + "\n" + r.document.warnings[1] + "\n" + r.document.warnings[2];
    EXPECT_NE(lines.find("ERROR: texture '" + garbageName + "' of material 1 does not decode (PNG error 28)"),
              std::string::npos) << lines;
    EXPECT_NE(lines.find("ERROR: texture 'no_such_texture.png' of material 0 is not in the working directory "
                         "nor beside " + path),
              std::string::npos) << lines;
    EXPECT_NE(lines.find("WARNING: 1 vertices without a usable normal"), std::string::npos) << lines;
    const std::vector<float> normals =
        floatsOf(r.glb, j["meshes"][0]["primitives"][0]["attributes"]["NORMAL"].integer());
    EXPECT_EQ(normals[3], 0.0f);
    EXPECT_EQ(normals[4], 1.0f);
    EXPECT_EQ(normals[5], 0.0f);
    // The others are the file's (0, -1, 0) in model axes: display (0, 0, 1).
    EXPECT_TRUE(near(normals[2], 1.0, 1e-6));
}

}  // namespace
