// CTree: one plant model and everything made from it: the element hierarchy
// under a root segment, the per-element matrices, the mesh, the materials and
// the GL objects built from them.
#pragma once

#include <cstdint>
#include <vector>

#include "elements/matrix4.h"
#include "tree/mesh_types.h"

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
    void animate();
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
};
