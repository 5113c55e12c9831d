// CTree: one plant model and everything made from it: the element hierarchy
// under a root segment, the per-element matrices, the mesh, the materials and
// the GL objects built from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "elements/matrix4.h"
#include "tree/mesh_types.h"
#include "tree/physical_model.h"

class CWind;
class CSegment;
class CTreeElement;

class CTree {
public:
    explicit CTree(CWind* w);
    ~CTree();
    CTree(const CTree&) = delete;
    CTree& operator=(const CTree&) = delete;

    void createRoot();
    int load(const char* fileName);          // 0 success, 1 error
    int loadDataTre(const char* fileName);   // 0 success, 1 error
    void cleanup();
    void printStatistics(const char* fileName);
    // The animation of dt seconds (the viewer passes the frame time): the
    // classic model's one step, or, for the physical model and for the
    // classic one at a fixed rate, as many fixed steps as the time holds.
    void animate(float dt);
    // The classic model's step of dt seconds (the wind's clock included).
    void classicStep(float dt);
    // The tree in its rest pose: every element, the physical model's joints
    // and the fixed-rate remainder.
    void reset();
    void applyAnimationLod();
    void updateShiver();

    void generateSegmentMesh(CSegment* segment);
    void generateLeafMesh(CTreeElement* leaf);
    void computeMatrixTextureLayout();

    // Rendering (defined by the renderer, which links GL).
    void draw(int arg);
    void drawMesh(int arg);
    void setupStaticBuffers();
    void cleanupStaticBuffers();
    void setupMatrixTexture();
    void deleteMatrixTexture();
    void uploadMatrixTexture();
    void beginShaderDraw();
    void endShaderDraw();
    void loadMaterialTextures();
    void deleteMaterialTextures();

    // The trunk: the root's only child, null while no model is loaded.
    CTreeElement* trunk() const;

    // Mesh generation helpers: vertex i (and its parallel-array entries) for
    // element e; a triangle appended at nextTriangle / nextIndex.
    void setVertex(uint32_t i, const float p[3], const float n[3], const float st[2], int32_t e);
    void addTriangle(uint32_t a, uint32_t b, uint32_t c, int32_t material);
    // matrixTexCoord of a vertex of element e: the centre of the first of the
    // four texels holding matrix e in the matrix texture.
    void matrixTexCoordOf(int32_t e, float st[2]) const;
    // Calls visit on every element under the root (not the root), parents
    // before their children; visit may destroy the element it is given.
    void forEachElement(void (*visit)(CTreeElement*));
    // Destroys the root and every element under it (no message) and empties
    // elementOrder and the used childSlots with them.
    void destroyHierarchy();
    // Releases the elements, the model arrays and the GL objects (no message).
    void releaseModel();
    // Every count of the model and every append position 0, useFileMesh
    // false: a new tree, the start of a load and a refused load.
    void zeroCounts();

    uint32_t elementCount = 0;          // 'S' and 'L' records in the file
    uint32_t segmentCount = 0;          // segments made since the last root creation
    uint32_t leafCount = 0;             // leaves made since the last root creation
    uint32_t matrixCount = 0;           // elementCount + 1
    std::vector<float> matrices;        // matrixCapacity x 16 floats, display space, column-major
    std::vector<float> restInverseMatrices;  // matrixCount x 16, only while loading
    std::vector<float> restNormalMatrices;   // matrixCount x 16, only while loading
    uint32_t maxDepth = 0;
    uint32_t materialCount = 0;
    std::vector<Material> materials;
    std::vector<uint32_t> materialFirstIndex;
    std::vector<uint32_t> materialIndexCount;
    uint32_t vertexCount = 0;
    std::vector<Vertex> vertices;
    std::vector<float> restPositions;   // vertexCount x 3
    uint32_t normalCount = 0;
    std::vector<float> normals;         // vertexCount x 3
    uint32_t indexCount = 0;
    std::vector<uint32_t> indices;      // grouped by material after loading
    uint32_t triangleCount = 0;
    std::vector<Triangle> triangles;
    uint32_t texCoordCount = 0;
    std::vector<float> texCoords;       // texCoordCount x 2
    uint32_t nextVertex = 0, nextTriangle = 0, nextIndex = 0;
    uint32_t nextNormal = 0, nextTexCoord = 0, nextMaterial = 0;
    bool useFileMesh = false;
    bool noModel = true;
    uint32_t vertexBuffer = 0, indexBuffer = 0;  // GL buffer names
    uint32_t matrixTexture = 0;                  // GL texture name
    std::vector<uint32_t> materialTextures;      // GL texture names, per material
    int32_t matrixTexWidth = 0, matrixTexHeight = 0, matrixTexRows = 0, matrixCapacity = 0;
    float texelStep = 0.0f;                      // 1 / matrixTexWidth
    int32_t lightPosLocation = -1, fXOffsetLocation = -1;
    int32_t diffuseTexLocation = -1, matrixTexLocation = -1;
    Matrix4 shiverMatrices[16];                  // leaf k uses entry matrixIndex & 15
    float shiverPhase = 0.0f;
    CWind* wind = nullptr;                       // not owned
    CSegment* root = nullptr;                    // owned
    float position[3] = {0, 0, 0};               // 'P' record, model space

    // When materialCount is 0 the whole index list (in triangle order) is one
    // group drawn without a texture, and this is indexCount; otherwise 0.
    uint32_t untexturedIndexCount = 0;
    // Material of the generated triangles: segments 0; leaves 1 when the
    // file has two materials or more, else 0.
    int32_t segmentMaterial = 0, leafMaterial = 0;

    // Element storage of the loaded model, sized by the counting pass: the
    // segments and leaves are built in file order in one block, so that a
    // pre-order walk reads memory front to back; childSlots holds every
    // segment's children array, rootChild the root's one slot.
    // A large block is aligned to, and sized in, 2 MiB huge pages and asks
    // the kernel to back it with them: an animation step walks the whole
    // block, and with 4 KiB pages nearly every element costs a TLB miss
    // (expensive under virtualisation). The block is freed with std::free.
    struct FreeBlock {
        void operator()(std::byte* p) const { std::free(p); }
    };
    std::unique_ptr<std::byte[], FreeBlock> elementArena;
    size_t elementArenaSize = 0, elementArenaUsed = 0;
    std::vector<CTreeElement*> childSlots;
    // Every element under the root in file order, so a parent before its
    // children: an animation step runs over it forwards and backwards.
    std::vector<CTreeElement*> elementOrder;
    size_t childSlotsUsed = 0;
    CTreeElement* rootChild = nullptr;

    // The physical model's bodies, built at its first step after a load.
    CPhysicalModel physical;
    // Seconds of frame time not yet stepped at the fixed rate (less than
    // one step), carried to the next frame.
    double stepRemainder = 0.0;
    // The bending model the tree last animated with: a change resets it.
    int activeBendingModel = 0;
};
