// The tree's glTF document. Nodes: one per element in file order (so a
// parent before its children; the trunk is the scene's root joint and
// carries the tree's 'P' position), then the mesh node. One mesh whose
// primitives are the tree's materials, drawn as the viewer draws them: the
// triangles of each material with triangles, or, without materials, all of
// them untextured; a vertex lies in its rest place (display axes, Y up,
// model units taken as metres) and is bound wholly to its element's joint.
// Accessors 0 to 4 are the vertex attributes, then the primitives' indices,
// the inverse bind matrices, the key times and one output per channel.
#include "tools/gltf/tree_gltf.h"

#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "elements/tree_element.h"
#include "image/png_decoder.h"
#include "tools/gltf/json_writer.h"
#include "tools/gltf/pose_recorder.h"
#include "tree/tree.h"

namespace {

constexpr int GLTF_UNSIGNED_SHORT = 5123;
constexpr int GLTF_UNSIGNED_INT = 5125;
constexpr int GLTF_FLOAT = 5126;
constexpr int GLTF_LINEAR = 9729;
constexpr int GLTF_REPEAT = 10497;

// The element's rest frame in display axes with the tree's 'P' position
// added: column-major, element frame -> scene.
void restSceneMatrix(const CTree& tree, const CTreeElement& e, double G[16])
{
    Matrix4 M = e.restModelTransform;
    for (int r = 0; r < 3; ++r)
        M.m[r][3] += tree.position[r];
    toDisplayMatrix(M, G);
}

// The texture file of a material: as named, from the working directory (as
// the viewer reads it), else beside the tree file. Empty when neither opens.
std::vector<unsigned char> textureBytes(const std::string& name, const std::string& treeFile)
{
    std::vector<unsigned char> bytes;
    if (name.empty())
        return bytes;
    loadFileBytes(name.c_str(), bytes);
    const size_t slash = treeFile.rfind('/');
    if (bytes.empty() && slash != std::string::npos && name[0] != '/')
        loadFileBytes((treeFile.substr(0, slash + 1) + name).c_str(), bytes);
    return bytes;
}

// One accessor of the document.
struct Accessor {
    uint32_t view;
    size_t byteOffset;
    int componentType;
    size_t count;
    const char* type;
    std::vector<double> min, max;  // written when not empty
};

void writeAccessor(JsonWriter& j, const Accessor& a)
{
    j.beginObject();
    j.member("bufferView", a.view);
    if (a.byteOffset)
        j.member("byteOffset", a.byteOffset);
    j.member("componentType", a.componentType);
    j.member("count", a.count);
    j.member("type", a.type);
    if (!a.min.empty()) {
        j.key("min");
        j.beginArray();
        for (double x : a.min)
            j.number(x);
        j.endArray();
        j.key("max");
        j.beginArray();
        for (double x : a.max)
            j.number(x);
        j.endArray();
    }
    j.endObject();
}

void writeNumbers(JsonWriter& j, const char* name, const double* x, int n)
{
    j.key(name);
    j.beginArray();
    for (int k = 0; k < n; ++k)
        j.number(x[k]);
    j.endArray();
}

bool finite3(const float* v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

}  // namespace

bool checkGltfExport(const CTree& tree, std::string& error)
{
    if (tree.elementOrder.size() > GLTF_MAX_JOINTS) {
        error = "ERROR: the tree has " + std::to_string(tree.elementOrder.size()) +
                " elements; a glTF export holds at most " + std::to_string(GLTF_MAX_JOINTS) +
                " (one skin's joints)";
        return false;
    }
    for (uint32_t i = 0; i < tree.vertexCount; ++i) {
        const Vertex& v = tree.vertices[i];
        if (!finite3(v.position) || !std::isfinite(v.texCoord[0]) || !std::isfinite(v.texCoord[1])) {
            error = "ERROR: vertex " + std::to_string(i) +
                    " has a position or texture coordinate that is no finite number; no glTF export";
            return false;
        }
    }
    return true;
}

bool buildTreeGltf(const CTree& tree, const PoseRecorder& poses, const std::string& treeFile,
                   GltfDocument& document, std::string& error)
{
    assert(!tree.noModel && !tree.elementOrder.empty() && tree.elementOrder[0] == tree.trunk());
    assert(tree.elementOrder.size() <= GLTF_MAX_JOINTS && poses.rest.size() == tree.elementOrder.size());
    if (poses.tooLarge) {
        error = "ERROR: the animation passed the 4 GiB (4294967295 bytes) a GLB file can hold; "
                "shorten the run or lower --gltf-fps";
        return false;
    }
    if (poses.notFinite) {
        error = "ERROR: the simulation gave frames that are no finite numbers; no glTF export";
        return false;
    }
    const size_t joints = tree.elementOrder.size();
    GlbBuffer& buffer = document.buffer;
    std::vector<Accessor> accessors;

    // Joint numbers by matrixIndex (the root, 0, has none).
    std::vector<int32_t> jointOf(size_t(tree.elementCount) + 1, -1);
    for (size_t i = 0; i < joints; ++i) {
        const CTreeElement* e = tree.elementOrder[i];
        assert(e->matrixIndex >= 1 && uint32_t(e->matrixIndex) <= tree.elementCount);
        jointOf[size_t(e->matrixIndex)] = int32_t(i);
    }

    // Rest frames (scene space) and their inverses, the inverse bind matrices.
    std::vector<double> restFrames(16 * joints);
    std::vector<float> inverseBind(16 * joints);
    for (size_t i = 0; i < joints; ++i) {
        double* G = &restFrames[16 * i];
        restSceneMatrix(tree, *tree.elementOrder[i], G);
        // Rigid: the inverse is (R^T, -R^T t).
        float* B = &inverseBind[16 * i];
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                B[4 * c + r] = float(G[4 * r + c]);
            B[4 * r + 3] = 0.0f;
            B[12 + r] = float(-(G[4 * r] * G[12] + G[4 * r + 1] * G[13] + G[4 * r + 2] * G[14]));
        }
        B[15] = 1.0f;
    }

    // The drawn triangles, per primitive (a material, or all without one).
    struct Primitive {
        int material;  // -1: the default material
        std::vector<uint32_t> indices;
    };
    std::vector<Primitive> primitives;
    size_t onGround = 0;
    auto addGroup = [&](int material, uint32_t first, uint32_t count) {
        assert(size_t(first) + count <= tree.indices.size());
        Primitive p{material, {}};
        for (uint32_t k = first; k + 3 <= first + count; k += 3) {
            const uint32_t a = tree.indices[k], b = tree.indices[k + 1], c = tree.indices[k + 2];
            // A vertex of the root (element 0) is the viewer's static ground,
            // which has no joint.
            if (tree.vertices[a].matrixIndex == 0 || tree.vertices[b].matrixIndex == 0 ||
                tree.vertices[c].matrixIndex == 0) {
                ++onGround;
                continue;
            }
            p.indices.insert(p.indices.end(), {a, b, c});
        }
        if (!p.indices.empty())
            primitives.push_back(std::move(p));
    };
    if (tree.materialCount == 0)
        addGroup(-1, 0, tree.untexturedIndexCount);
    for (uint32_t m = 0; m < tree.materialCount; ++m)
        if (tree.materialIndexCount[m] > 0)
            addGroup(int(m), tree.materialFirstIndex[m], tree.materialIndexCount[m]);
    if (onGround > 0)
        document.warnings.push_back("WARNING: " + std::to_string(onGround) +
                                    " triangles bound to the tree's root (element 0) are left out of the glTF file");

    // Vertex attributes, in the rest pose.
    const size_t n = tree.vertexCount;
    const bool hasMesh = !primitives.empty();
    if (hasMesh) {
        std::vector<float> positions(3 * n), normals(3 * n), texCoords(2 * n), weights(4 * n, 0.0f);
        std::vector<uint16_t> jointIndices(4 * n, 0);
        double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
        size_t badNormals = 0;
        for (size_t i = 0; i < n; ++i) {
            const Vertex& v = tree.vertices[i];
            const int32_t joint = v.matrixIndex >= 1 && uint32_t(v.matrixIndex) <= tree.elementCount
                                      ? jointOf[size_t(v.matrixIndex)]
                                      : -1;
            // A ground vertex (in no drawn triangle) keeps its file place.
            static const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
            const double* G = joint >= 0 ? &restFrames[16 * size_t(joint)] : identity;
            double nrm[3], len2 = 0.0;
            for (int r = 0; r < 3; ++r) {
                const float p = float(G[r] * v.position[0] + G[4 + r] * v.position[1] + G[8 + r] * v.position[2] +
                                      G[12 + r]);
                positions[3 * i + r] = p;
                lo[r] = std::fmin(lo[r], p);
                hi[r] = std::fmax(hi[r], p);
                nrm[r] = G[r] * v.normal[0] + G[4 + r] * v.normal[1] + G[8 + r] * v.normal[2];
                len2 += nrm[r] * nrm[r];
            }
            // glTF wants unit normals; a file's zero normal points up instead.
            const double len = std::sqrt(len2);
            if (!(len > 1e-12) || !std::isfinite(len)) {
                ++badNormals;
                nrm[0] = 0.0, nrm[1] = 1.0, nrm[2] = 0.0;
            } else {
                for (double& c : nrm)
                    c /= len;
            }
            for (int r = 0; r < 3; ++r)
                normals[3 * i + r] = float(nrm[r]);
            texCoords[2 * i] = v.texCoord[0];
            texCoords[2 * i + 1] = v.texCoord[1];
            jointIndices[4 * i] = uint16_t(joint >= 0 ? joint : 0);
            weights[4 * i] = 1.0f;
        }
        if (badNormals > 0)
            document.warnings.push_back("WARNING: " + std::to_string(badNormals) +
                                        " vertices without a usable normal get the normal (0, 1, 0)");
        accessors.push_back({buffer.addView(positions.data(), 4 * positions.size(), GLTF_ARRAY_BUFFER), 0,
                             GLTF_FLOAT, n, "VEC3", {lo[0], lo[1], lo[2]}, {hi[0], hi[1], hi[2]}});
        accessors.push_back({buffer.addView(normals.data(), 4 * normals.size(), GLTF_ARRAY_BUFFER), 0,
                             GLTF_FLOAT, n, "VEC3", {}, {}});
        accessors.push_back({buffer.addView(texCoords.data(), 4 * texCoords.size(), GLTF_ARRAY_BUFFER), 0,
                             GLTF_FLOAT, n, "VEC2", {}, {}});
        accessors.push_back({buffer.addView(jointIndices.data(), 2 * jointIndices.size(), GLTF_ARRAY_BUFFER), 0,
                             GLTF_UNSIGNED_SHORT, n, "VEC4", {}, {}});
        accessors.push_back({buffer.addView(weights.data(), 4 * weights.size(), GLTF_ARRAY_BUFFER), 0,
                             GLTF_FLOAT, n, "VEC4", {}, {}});
        for (const Primitive& p : primitives) {
            accessors.push_back({buffer.addView(p.indices.data(), 4 * p.indices.size(), GLTF_ELEMENT_ARRAY_BUFFER),
                                 0, GLTF_UNSIGNED_INT, p.indices.size(), "SCALAR", {}, {}});
            document.triangles += p.indices.size() / 3;
        }
    } else {
        document.warnings.push_back("WARNING: the tree has no drawn triangle; the glTF file holds its joints alone");
    }
    const size_t inverseBindAccessor = accessors.size();
    accessors.push_back({buffer.addView(inverseBind.data(), 4 * inverseBind.size()), 0, GLTF_FLOAT, joints,
                         "MAT4", {}, {}});

    // The textures: the files' bytes as they are; a texture with any pixel
    // not fully opaque is a cut-out (the leaves).
    struct Texture {
        int image = -1;  // -1: none
        bool cutOut = false;
    };
    std::vector<Texture> textures(tree.materialCount);
    std::vector<uint32_t> imageViews;
    std::vector<std::string> imageNames;
    for (uint32_t m = 0; m < tree.materialCount; ++m) {
        if (tree.materialIndexCount[m] == 0)
            continue;
        const std::string& name = tree.materials[m].textureFile;
        const std::vector<unsigned char> bytes = textureBytes(name, treeFile);
        std::vector<unsigned char> rgba;
        if (bytes.empty()) {
            document.warnings.push_back("ERROR: texture '" + name + "' of material " + std::to_string(m) +
                                        " is not in the working directory nor beside " + treeFile +
                                        "; the material is exported without it");
            continue;
        }
        const int failed = decodePngImage(bytes, rgba);
        if (failed) {
            document.warnings.push_back("ERROR: texture '" + name + "' of material " + std::to_string(m) +
                                        " does not decode (PNG error " + std::to_string(failed) +
                                        "); the material is exported without it");
            continue;
        }
        Texture& t = textures[m];
        for (size_t k = 3; k < rgba.size() && !t.cutOut; k += 4)
            t.cutOut = rgba[k] < 255;
        t.image = int(imageViews.size());
        imageViews.push_back(buffer.addView(bytes.data(), bytes.size()));
        imageNames.push_back(name);
    }

    // The animation: one shared key time accessor, one output per channel.
    size_t timeAccessor = 0;
    struct Channel {
        size_t joint;
        const char* path;
        size_t accessor;
    };
    std::vector<Channel> channels;
    size_t rotationFloats = 0, translationFloats = 0;
    for (const JointTrack& t : poses.tracks) {
        rotationFloats += t.rotations.size();
        translationFloats += t.translations.size();
    }
    if (rotationFloats > 0 || translationFloats > 0) {
        const size_t samples = poses.times.size();
        timeAccessor = accessors.size();
        accessors.push_back({buffer.addView(poses.times.data(), 4 * samples), 0, GLTF_FLOAT, samples, "SCALAR",
                             {poses.times.front()}, {poses.times.back()}});
        // One view of all rotation keys and one of all translation keys,
        // the tracks in joint order; each channel's accessor an offset in it.
        buffer.bytes.reserve(buffer.bytes.size() + 4 * (rotationFloats + translationFloats) + 8);
        uint32_t rotationView = 0, translationView = 0;
        if (rotationFloats > 0) {
            rotationView = buffer.addView(nullptr, 0);
            for (const JointTrack& t : poses.tracks)
                buffer.appendToView(t.rotations.data(), 4 * t.rotations.size());
        }
        if (translationFloats > 0) {
            translationView = buffer.addView(nullptr, 0);
            for (const JointTrack& t : poses.tracks)
                buffer.appendToView(t.translations.data(), 4 * t.translations.size());
        }
        size_t rotationAt = 0, translationAt = 0;
        for (size_t i = 0; i < joints; ++i) {
            const JointTrack& t = poses.tracks[i];
            if (!t.rotations.empty()) {
                channels.push_back({i, "rotation", accessors.size()});
                accessors.push_back({rotationView, rotationAt, GLTF_FLOAT, samples, "VEC4", {}, {}});
                rotationAt += 4 * t.rotations.size();
            }
            if (!t.translations.empty()) {
                channels.push_back({i, "translation", accessors.size()});
                accessors.push_back({translationView, translationAt, GLTF_FLOAT, samples, "VEC3", {}, {}});
                translationAt += 4 * t.translations.size();
            }
        }
    }

    // The children of every joint, in file order.
    std::vector<std::vector<uint32_t>> children(joints);
    for (size_t i = 1; i < joints; ++i) {
        const CTreeElement* parent = tree.elementOrder[i]->parent;
        assert(parent && parent->matrixIndex >= 1);
        children[size_t(jointOf[size_t(parent->matrixIndex)])].push_back(uint32_t(i));
    }

    JsonWriter j;
    j.beginObject();
    j.key("asset");
    j.beginObject();
    j.member("version", "2.0");
    j.member("generator", "DOR dor-sim");
    j.endObject();
    j.member("scene", 0);
    j.key("scenes");
    j.beginArray();
    j.beginObject();
    j.key("nodes");
    j.beginArray();
    j.integer(0);
    if (hasMesh)
        j.integer(int64_t(joints));
    j.endArray();
    j.endObject();
    j.endArray();

    j.key("nodes");
    j.beginArray();
    for (size_t i = 0; i < joints; ++i) {
        const CTreeElement* e = tree.elementOrder[i];
        const LocalPose& r = poses.rest[i];
        j.beginObject();
        j.member("name", "e" + std::to_string(e->matrixIndex));
        const double q[4] = {r.rotation.x, r.rotation.y, r.rotation.z, r.rotation.w};
        writeNumbers(j, "rotation", q, 4);
        writeNumbers(j, "translation", r.translation, 3);
        if (!children[i].empty()) {
            j.key("children");
            j.beginArray();
            for (uint32_t c : children[i])
                j.integer(c);
            j.endArray();
        }
        // What the node stands for: the element's number in the tree file
        // and its length along the node's +Y axis (model units).
        j.key("extras");
        j.beginObject();
        j.member("matrixIndex", int64_t(e->matrixIndex));
        j.member("length", e->length);
        j.endObject();
        j.endObject();
    }
    if (hasMesh) {
        j.beginObject();
        j.member("name", "tree");
        j.member("mesh", 0);
        j.member("skin", 0);
        j.endObject();
    }
    j.endArray();

    j.key("skins");
    j.beginArray();
    j.beginObject();
    j.member("inverseBindMatrices", inverseBindAccessor);
    j.member("skeleton", 0);
    j.key("joints");
    j.beginArray();
    for (size_t i = 0; i < joints; ++i)
        j.integer(int64_t(i));
    j.endArray();
    j.endObject();
    j.endArray();

    if (hasMesh) {
        j.key("meshes");
        j.beginArray();
        j.beginObject();
        j.member("name", "tree");
        j.key("primitives");
        j.beginArray();
        for (size_t p = 0; p < primitives.size(); ++p) {
            j.beginObject();
            j.key("attributes");
            j.beginObject();
            j.member("POSITION", 0);
            j.member("NORMAL", 1);
            j.member("TEXCOORD_0", 2);
            j.member("JOINTS_0", 3);
            j.member("WEIGHTS_0", 4);
            j.endObject();
            j.member("indices", 5 + p);
            if (primitives[p].material >= 0)
                j.member("material", primitives[p].material);
            j.endObject();
        }
        j.endArray();
        j.endObject();
        j.endArray();
    }

    if (tree.materialCount > 0) {
        j.key("materials");
        j.beginArray();
        std::vector<int> textureOf(tree.materialCount, -1);
        int textureCount = 0;
        for (uint32_t m = 0; m < tree.materialCount; ++m) {
            j.beginObject();
            j.member("name", "material " + std::to_string(m) + " (" + tree.materials[m].textureFile + ")");
            j.key("pbrMetallicRoughness");
            j.beginObject();
            if (textures[m].image >= 0) {
                textureOf[m] = textureCount++;
                j.key("baseColorTexture");
                j.beginObject();
                j.member("index", textureOf[m]);
                j.endObject();
            }
            // Bark and leaves: no metal, fully rough.
            j.member("metallicFactor", 0.0);
            j.member("roughnessFactor", 1.0);
            j.endObject();
            if (textures[m].cutOut)
                j.member("alphaMode", "MASK");
            // The viewer draws both faces: leaves are single cards, branches open tubes.
            j.member("doubleSided", true);
            j.endObject();
        }
        j.endArray();
        if (!imageViews.empty()) {
            j.key("textures");
            j.beginArray();
            for (uint32_t m = 0; m < tree.materialCount; ++m) {
                if (textures[m].image < 0)
                    continue;
                j.beginObject();
                j.member("sampler", 0);
                j.member("source", textures[m].image);
                j.endObject();
            }
            j.endArray();
            j.key("images");
            j.beginArray();
            for (size_t k = 0; k < imageViews.size(); ++k) {
                j.beginObject();
                j.member("name", imageNames[k]);
                j.member("bufferView", imageViews[k]);
                j.member("mimeType", "image/png");
                j.endObject();
            }
            j.endArray();
            // The viewer's: linear filters, no mipmaps, repeat.
            j.key("samplers");
            j.beginArray();
            j.beginObject();
            j.member("magFilter", GLTF_LINEAR);
            j.member("minFilter", GLTF_LINEAR);
            j.member("wrapS", GLTF_REPEAT);
            j.member("wrapT", GLTF_REPEAT);
            j.endObject();
            j.endArray();
        }
    }

    if (!channels.empty()) {
        j.key("animations");
        j.beginArray();
        j.beginObject();
        j.member("name", "wind");
        j.key("samplers");
        j.beginArray();
        for (const Channel& c : channels) {
            j.beginObject();
            j.member("input", timeAccessor);
            j.member("output", c.accessor);
            j.member("interpolation", "LINEAR");
            j.endObject();
        }
        j.endArray();
        j.key("channels");
        j.beginArray();
        for (size_t k = 0; k < channels.size(); ++k) {
            j.beginObject();
            j.member("sampler", k);
            j.key("target");
            j.beginObject();
            j.member("node", channels[k].joint);
            j.member("path", channels[k].path);
            j.endObject();
            j.endObject();
        }
        j.endArray();
        j.endObject();
        j.endArray();
    }

    j.key("accessors");
    j.beginArray();
    for (const Accessor& a : accessors)
        writeAccessor(j, a);
    j.endArray();

    j.key("bufferViews");
    j.beginArray();
    for (const BufferView& v : buffer.views) {
        j.beginObject();
        j.member("buffer", 0);
        if (v.offset)
            j.member("byteOffset", v.offset);
        j.member("byteLength", v.length);
        if (v.target)
            j.member("target", v.target);
        j.endObject();
    }
    j.endArray();

    j.key("buffers");
    j.beginArray();
    j.beginObject();
    j.member("byteLength", buffer.bytes.size());
    j.endObject();
    j.endArray();
    j.endObject();
    assert(j.complete());

    document.json = j.text();
    document.joints = joints;
    document.channels = channels.size();
    return true;
}
