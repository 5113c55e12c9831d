// CTree: construction, the root element, clean-up, statistics and the small
// operations through which the program reaches the element hierarchy.
#include "tree/tree.h"

#include <algorithm>
#include <cstdio>

#include "elements/leaf.h"
#include "elements/segment.h"
#include "elements/subtree_walk.h"
#include "tree/tree_graphics.h"

CTree::CTree(CWind* w) : wind(w)
{
    for (Matrix4& m : shiverMatrices)
        m = identityMatrix();
    createRoot();
    zeroCounts();
    noModel = true;
}

void CTree::zeroCounts()
{
    elementCount = segmentCount = leafCount = matrixCount = maxDepth = materialCount = 0;
    vertexCount = normalCount = indexCount = triangleCount = texCoordCount = 0;
    nextVertex = nextTriangle = nextIndex = nextNormal = nextTexCoord = nextMaterial = 0;
    useFileMesh = false;
}

// A loaded model is cleaned up once, GL objects included; without one there
// are no model arrays or GL objects, only the root to free.
CTree::~CTree()
{
    if (!noModel)
        cleanup();
    destroyHierarchy();
}

CTreeElement* CTree::trunk() const { return root ? root->children[0] : nullptr; }

// A fresh root (CSegment::setUpAsRoot) in place of the old hierarchy.
void CTree::createRoot()
{
    segmentCount = 0;
    leafCount = 0;
    destroyHierarchy();
    root = new CSegment();
    rootChild = nullptr;
    root->setUpAsRoot(&rootChild);
}

void CTree::forEachElement(void (*visit)(CTreeElement*))
{
    if (root && rootChild)
        forEachPreOrder(rootChild, [visit](CTreeElement* element, CSegment*) { visit(element); });
}

// The elements under the root live in elementArena: they are destroyed in
// place here (the block itself is freed by releaseModel); the root is the
// one element made with new. Whatever lists the destroyed elements forgets
// them too, so that after a second 'P' record only the new hierarchy
// animates (the old one's matrix slots keep what the loader wrote) and its
// elements reuse the block.
void CTree::destroyHierarchy()
{
    if (!root)
        return;
    forEachElement([](CTreeElement* element) { element->~CTreeElement(); });
    rootChild = nullptr;
    delete root;
    root = nullptr;
    elementOrder.clear();
    physical.clear();
    std::fill(childSlots.begin(), childSlots.begin() + childSlotsUsed, nullptr);
    childSlotsUsed = 0;
    elementArenaUsed = 0;
}

// Frees a vector's storage, not just its contents.
template <typename T>
static void release(std::vector<T>& v)
{
    std::vector<T>().swap(v);
}

void CTree::releaseModel()
{
    destroyHierarchy();
    elementArena.reset();
    elementArenaSize = elementArenaUsed = 0;
    release(childSlots);
    release(elementOrder);
    childSlotsUsed = 0;
    if (treeGraphics && treeGraphics->contextCurrent()) {
        treeGraphics->deleteMaterialTextures(*this);
        if (glslAvailable) {
            treeGraphics->deleteMatrixTexture(*this);
            treeGraphics->cleanupStaticBuffers(*this);
        }
    }
    // Without a context the names mean nothing any more.
    vertexBuffer = indexBuffer = matrixTexture = 0;
    release(matrices);
    release(restInverseMatrices);
    release(restNormalMatrices);
    release(materials);
    release(materialFirstIndex);
    release(materialIndexCount);
    release(vertices);
    release(restPositions);
    release(normals);
    release(indices);
    release(triangles);
    release(texCoords);
    release(materialTextures);
    untexturedIndexCount = 0;
}

void CTree::cleanup()
{
    std::printf("CTree::cleanup() .. \n");
    releaseModel();
    noModel = true;
}

void CTree::printStatistics(const char* fileName)
{
    std::printf("Loaded model %s\n", fileName);
    std::printf("             %u tree elements\n", elementCount);
    std::printf("             %u branch segments\n", segmentCount);
    std::printf("             %u leaves\n", leafCount);
    std::printf("             %u vertices\n", vertexCount);
    std::printf("             %u texture coordinates\n", texCoordCount);
    std::printf("             %u normals\n", normalCount);
    std::printf("             %u triangles\n", triangleCount);
    std::printf("             %u materials\n", materialCount);
    std::printf("             %u recursion depth max\n", maxDepth);
}

void CTree::reset()
{
    stepRemainder = 0.0;
    physical.reset();
    if (!noModel && trunk())
        trunk()->resetToRest();
}

void CTree::applyAnimationLod()
{
    if (!noModel && root)
        root->applyAnimationLod();
}
