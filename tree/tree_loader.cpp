// The tree file loader: the extension check, a counting pass that sizes every
// array, a structure pass that refuses a malformed file before anything is
// allocated for it, a parsing pass that fills the arrays and builds the
// elements, and the post-processing that prepares the model for animation
// and drawing.
//
// A file that breaks the format's structure (no 'P' before the first
// element, not exactly one top-level element, a segment announcing more
// children than follow, an element index outside 1..N or used twice, a
// vertex bound to an element outside 0..N, a triangle vertex number not
// below the vertex count, a material block cut short, an element field out
// of range) is refused as a whole with one "ERROR: file:line: ..." line; the
// tree is then left empty.
#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "elements/leaf.h"
#include "elements/segment.h"
#include "image/regular_file.h"
#include "tree/line_reader.h"
#include "tree/number_text.h"
#include "tree/tree.h"
#include "tree/tree_graphics.h"

// Largest magnitude accepted in an element field (length, diameter,
// direction, attachment): keeps every frame finite.
constexpr double maxElementValue = 1e9;
// Largest counts accepted, so that every size fits the 32-bit counts.
constexpr uint64_t maxElements = uint64_t(1) << 24;
constexpr uint64_t maxMeshRecords = uint64_t(1) << 28;

int CTree::load(const char* fileName)
{
    if (!fileName) {
        std::printf("ERROR: input file must be of type 'tre' !\n");
        return 1;
    }
    const char* dot = std::strrchr(fileName, '.');
    const char* extension = dot ? dot + 1 : fileName;
    if (std::strcmp(extension, "tre") != 0) {
        std::printf("ERROR: input file must be of type 'tre' !\n");
        return 1;
    }
    return loadDataTre(fileName);
}

namespace {

// Start of field k of a record: right after the first blank found at or
// after the start of field k - 1 (field 0 is the letter). Null when there is
// no such blank: the field is missing and reads as 0.
struct Fields {
    static constexpr int maxFields = 9;
    const char* start[maxFields];
    const char* end;

    Fields(const char* line, const char* lineEnd, int count) : end(lineEnd)
    {
        start[0] = line;
        for (int k = 1; k < count; ++k) {
            const char* previous = start[k - 1];
            const char* blank =
                previous ? static_cast<const char*>(std::memchr(previous, ' ', end - previous))
                         : nullptr;
            start[k] = blank ? blank + 1 : nullptr;
        }
    }
    double real(int k) const { return start[k] ? parseReal(start[k], end) : 0.0; }
    int integer(int k) const { return start[k] ? parseInt(start[k], end) : 0; }
};

// The file's own mesh is used when it is complete: triangles, and as many
// normals and texture coordinates as vertices.
bool fileMeshComplete(const CTree& t)
{
    return t.triangleCount > 0 && t.vertexCount > 0 && t.vertexCount == t.normalCount &&
           t.vertexCount == t.texCoordCount;
}

// The passes over one open file: counting, structure, parsing.
class TreeFileReader {
public:
    TreeFileReader(CTree& t, std::FILE* file, const char* name) : tree(t), lines(file), fileName(name)
    {
    }

    int countRecords();
    int checkStructure();
    int allocate();
    int parseRecords();

private:
    int fail(const char* format, ...);
    int fail(unsigned long line, const char* format, ...);
    int checkElement(char kind, const Fields& f);
    int readMaterial();
    int readElement(char kind, const char* line, const char* end);
    int readVertex(const Fields& f);
    bool inRange(double value) const { return std::fabs(value) <= maxElementValue; }

    CTree& tree;
    LineReader lines;
    const char* fileName;
    CSegment* current = nullptr;     // the segment whose children come next
    bool seenPosition = false;       // a 'P' record was read
    uint32_t elementsRead = 0;

    // The structure pass's picture of the hierarchy, without elements: the
    // segments still waiting for children, innermost last.
    struct OpenSegment {
        int32_t index;
        uint32_t childCount, attached;
    };
    std::vector<OpenSegment> open;
    uint32_t topLevelAttached = 0;   // complete elements under the current root
    bool topLevelSeen = false;       // an element came after the last 'P'
    std::vector<unsigned char> indexUsed;  // per element index, 1 once read
};

int TreeFileReader::fail(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::printf("ERROR: %s:%lu: ", fileName, lines.lineNumber);
    std::vprintf(format, args);
    std::printf("\n");
    va_end(args);
    return 1;
}

int TreeFileReader::fail(unsigned long line, const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::printf("ERROR: %s:%lu: ", fileName, line);
    std::vprintf(format, args);
    std::printf("\n");
    va_end(args);
    return 1;
}

// Counting pass: the number of every record kind, so that every array is
// allocated once at its final size.
int TreeFileReader::countRecords()
{
    uint64_t elements = 0, segments = 0, leaves = 0, vertices = 0, normals = 0, texCoords = 0,
             triangles = 0, materials = 0;
    const char* line;
    size_t length;
    while (lines.next(line, length)) {
        if (length == 0)
            continue;
        switch (static_cast<unsigned char>(line[0])) {
        case 0xFF:
            goto counted;  // end of data
        case 'S': ++elements; ++segments; break;
        case 'L': ++elements; ++leaves; break;
        case 'V': ++vertices; break;
        case 'N': ++normals; break;
        case 'T': ++texCoords; break;
        case 'F': ++triangles; break;
        case 'M': {
            ++materials;
            const unsigned long blockLine = lines.lineNumber;
            for (int i = 0; i < 6; ++i)
                if (!lines.next(line, length))
                    return fail(blockLine, "material block cut short by the end of the file");
            break;
        }
        default: break;
        }
    }
counted:
    if (elements > maxElements)
        return fail("more than %llu tree elements", static_cast<unsigned long long>(maxElements));
    if (vertices > maxMeshRecords || normals > maxMeshRecords || texCoords > maxMeshRecords ||
        triangles > maxMeshRecords || materials > maxMeshRecords)
        return fail("more than %llu mesh records of one kind",
                    static_cast<unsigned long long>(maxMeshRecords));
    tree.elementCount = static_cast<uint32_t>(elements);
    tree.segmentCount = static_cast<uint32_t>(segments);
    tree.leafCount = static_cast<uint32_t>(leaves);
    tree.vertexCount = static_cast<uint32_t>(vertices);
    tree.normalCount = static_cast<uint32_t>(normals);
    tree.texCoordCount = static_cast<uint32_t>(texCoords);
    tree.triangleCount = static_cast<uint32_t>(triangles);
    tree.materialCount = static_cast<uint32_t>(materials);
    return 0;
}

static void setIdentity(float* slot)
{
    for (int i = 0; i < 16; ++i)
        slot[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

// A block of at least size bytes (at least one), freed with std::free. From
// 8 MiB on (about 7 000 elements, past the caches) it is aligned to and
// rounded up to 2 MiB, and the kernel is asked to back it with huge pages (a
// hint: where it has none, the block works with ordinary pages); the
// rounding then wastes at most a fifth of the block.
static std::byte* allocateElementBlock(size_t size)
{
    const size_t hugePage = size_t(2) << 20;
    if (size < 4 * hugePage)
        return static_cast<std::byte*>(std::malloc(std::max<size_t>(size, 1)));
    if (size > SIZE_MAX - hugePage)
        return nullptr;
    const size_t rounded = (size + hugePage - 1) / hugePage * hugePage;
    void* block = std::aligned_alloc(hugePage, rounded);
#ifdef MADV_HUGEPAGE
    if (block)
        madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return static_cast<std::byte*>(block);
}

// The structure pass: every rule of the format that refuses a file, checked
// against the final counts before anything is allocated for them, so that a
// refused file costs no more memory than a few bytes per line (the index
// table and the segments waiting for children). The parsing pass that
// follows can then trust the structure.
int TreeFileReader::checkStructure()
{
    const CTree& t = tree;
    const bool fileMesh = fileMeshComplete(t);
    try {
        indexUsed.assign(static_cast<size_t>(t.elementCount) + 1, 0);
    } catch (const std::bad_alloc&) {
        return fail("not enough memory for %u tree elements", t.elementCount);
    }
    lines.rewind();
    const char* line;
    size_t length;
    while (lines.next(line, length)) {
        if (length == 0)
            continue;
        const unsigned char kind = static_cast<unsigned char>(line[0]);
        if (kind == 0xFF)
            break;
        // Only the records checked here are read, up to their line's end or
        // a NUL byte; the others are passed over unread.
        const bool read = kind == 'S' || kind == 'L' || (fileMesh && (kind == 'V' || kind == 'F'));
        const void* nul = read ? std::memchr(line, 0, length) : nullptr;
        const char* end = nul ? static_cast<const char*>(nul) : line + length;
        switch (kind) {
        case 'M':
            for (int i = 0; i < 6; ++i)
                if (!lines.next(line, length))
                    break;  // the counting pass has refused a short block
            break;
        case 'P':
            if (!open.empty())
                return fail("segment %d announces %u children, only %u follow", open.back().index,
                            open.back().childCount, open.back().attached);
            seenPosition = true;
            topLevelSeen = false;
            topLevelAttached = 0;
            break;
        case 'S':
            if (checkElement('S', Fields(line, end, 9)))
                return 1;
            break;
        case 'L':
            if (checkElement('L', Fields(line, end, 6)))
                return 1;
            break;
        case 'V':
            if (fileMesh) {
                const double element = Fields(line, end, 5).real(4);
                if (!(element > -1.0 && element < t.elementCount + 1.0))
                    return fail("vertex bound to element %g outside 0..%u", element, t.elementCount);
            }
            break;
        case 'F':
            if (fileMesh) {
                const Fields f(line, end, 5);
                for (int k = 1; k <= 3; ++k)
                    if (static_cast<uint32_t>(f.integer(k)) >= t.vertexCount)
                        return fail("triangle vertex %d not below the vertex count %u", f.integer(k),
                                    t.vertexCount);
            }
            break;
        default: break;
        }
    }
    if (!seenPosition || !topLevelSeen)
        return fail("no tree element in the file");
    if (!open.empty())
        return fail("segment %d announces %u children, only %u follow", open.back().index,
                    open.back().childCount, open.back().attached);
    std::vector<unsigned char>().swap(indexUsed);
    std::vector<OpenSegment>().swap(open);
    elementsRead = 0;
    seenPosition = false;
    return 0;
}

// One 'S' or 'L' record of the structure pass: its place in the hierarchy,
// its values and its index. Mirrors the attaching of the parsing pass: an
// element completes when it has no children to wait for, and completes every
// waiting ancestor whose last child it was.
int TreeFileReader::checkElement(char kind, const Fields& f)
{
    const CTree& t = tree;
    if (!seenPosition)
        return fail("no 'P' record before the first element");
    if (open.empty() && topLevelAttached >= 1)
        return fail("more than one top-level element");
    const bool isSegment = kind == 'S';
    // S length diameter dx dy dz attach children index; L dx dy dz attach index.
    const int first = isSegment ? 3 : 1;
    for (int k = 1; k < first + 4; ++k)
        if (!inRange(f.real(k)))
            return fail("element value out of range");
    const uint32_t children = isSegment ? static_cast<uint32_t>(f.integer(7)) : 0;
    const int index = f.integer(isSegment ? 8 : 5);
    if (index < 1 || static_cast<uint32_t>(index) > t.elementCount)
        return fail("element index %d outside 1..%u", index, t.elementCount);
    if (indexUsed[index])
        return fail("element index %d used twice", index);
    indexUsed[index] = 1;
    ++elementsRead;
    const uint32_t following = t.elementCount - elementsRead;
    if (children > following)
        return fail("segment announces %u children, only %u elements follow", children, following);
    topLevelSeen = true;
    if (children > 0) {
        open.push_back({index, children, 0});
        return 0;
    }
    for (;;) {
        if (open.empty()) {
            ++topLevelAttached;
            return 0;
        }
        OpenSegment& parent = open.back();
        if (++parent.attached < parent.childCount)
            return 0;
        open.pop_back();
    }
}

int TreeFileReader::allocate()
{
    CTree& t = tree;
    t.matrixCount = t.elementCount + 1;
    t.computeMatrixTextureLayout();
    try {
        t.matrices.assign(static_cast<size_t>(t.matrixCapacity) * 16, 0.0f);
        t.restInverseMatrices.assign(static_cast<size_t>(t.matrixCount) * 16, 0.0f);
        t.restNormalMatrices.assign(static_cast<size_t>(t.matrixCount) * 16, 0.0f);
        setIdentity(t.matrices.data());
        setIdentity(t.restInverseMatrices.data());
        setIdentity(t.restNormalMatrices.data());

        // The file's own mesh when it is complete, else one generated from
        // the elements: a leaf is a quad (4 vertices, 2 triangles), a segment
        // an 8-sided cylinder (16 vertices, 16 triangles).
        if (fileMeshComplete(t)) {
            t.useFileMesh = true;
        } else {
            t.triangleCount = 2 * t.leafCount + 16 * t.segmentCount;
            t.vertexCount = t.normalCount = t.texCoordCount = 4 * t.leafCount + 16 * t.segmentCount;
        }
        t.indexCount = 3 * t.triangleCount;
        t.segmentMaterial = 0;
        t.leafMaterial = t.materialCount >= 2 ? 1 : 0;
        t.vertices.assign(t.vertexCount, Vertex{});
        t.restPositions.assign(static_cast<size_t>(t.vertexCount) * 3, 0.0f);
        t.normals.assign(static_cast<size_t>(t.vertexCount) * 3, 0.0f);
        t.texCoords.assign(static_cast<size_t>(t.texCoordCount) * 2, 0.0f);
        t.triangles.assign(t.triangleCount, Triangle{});
        t.indices.assign(t.indexCount, 0u);
        t.materials.assign(t.materialCount, Material{});
        t.materialFirstIndex.assign(t.materialCount, 0u);
        t.materialIndexCount.assign(t.materialCount, 0u);

        // The elements, in file order, in one block; every segment's children
        // array in one table (each element fills at most one slot).
        t.elementArenaSize =
            t.segmentCount * sizeof(CSegment) + t.leafCount * sizeof(CLeaf);
        t.elementArena.reset(allocateElementBlock(t.elementArenaSize));
        if (!t.elementArena)
            throw std::bad_alloc();
        t.elementArenaUsed = 0;
        t.childSlots.assign(t.elementCount, nullptr);
        t.elementOrder.clear();
        t.elementOrder.reserve(t.elementCount);
        t.childSlotsUsed = 0;
    } catch (const std::bad_alloc&) {
        return fail("not enough memory for %u tree elements", t.elementCount);
    }
    return 0;
}

// The six lines of a material block, each starting with a label word.
int TreeFileReader::readMaterial()
{
    const unsigned long blockLine = lines.lineNumber;
    if (tree.nextMaterial >= tree.materialCount)
        return fail("the file changed while it was read");
    Material& material = tree.materials[tree.nextMaterial];
    for (int i = 0; i < 6; ++i) {
        const char* line;
        size_t length;
        if (!lines.next(line, length))
            return fail(blockLine, "material block cut short by the end of the file");
        const char* nul = static_cast<const char*>(std::memchr(line, 0, length));
        const char* end = nul ? nul : line + length;
        const Fields f(line, end, 4);
        if (i == 0)
            material.textureFile = f.start[1] ? std::string(f.start[1], end) : std::string();
        else if (i <= 4)
            for (int k = 0; k < 3; ++k)
                material.triples[i - 1][k] = static_cast<float>(f.real(k + 1));
        else
            material.scalar = static_cast<float>(f.real(1));
    }
    ++tree.nextMaterial;
    return 0;
}

int TreeFileReader::readElement(char kind, const char* line, const char* end)
{
    CTree& t = tree;
    // The structure pass has checked the file; what is checked here keeps
    // the arrays safe should the file have changed since.
    if (!seenPosition || !current || (current->depth == 0 && current->attachedCount >= 1))
        return fail("the file changed while it was read");
    CSegment& P = *current;

    const bool isSegment = kind == 'S';
    const Fields f(line, end, isSegment ? 9 : 6);
    // S length diameter dx dy dz attach children index; L dx dy dz attach index.
    const int first = isSegment ? 3 : 1;
    const double length = isSegment ? f.real(1) : 1.0;
    const double diameter = isSegment ? f.real(2) : 0.0;
    const double dx = f.real(first), dy = f.real(first + 1), dz = f.real(first + 2);
    const double attach = f.real(first + 3);
    const uint32_t children = isSegment ? static_cast<uint32_t>(f.integer(7)) : 0;
    const int index = f.integer(isSegment ? 8 : 5);
    const size_t size = isSegment ? sizeof(CSegment) : sizeof(CLeaf);
    if (!inRange(length) || !inRange(diameter) || !inRange(dx) || !inRange(dy) || !inRange(dz) ||
        !inRange(attach) || index < 1 || static_cast<uint32_t>(index) > t.elementCount ||
        children > t.childSlots.size() - t.childSlotsUsed ||
        t.elementArenaUsed + size > t.elementArenaSize)
        return fail("the file changed while it was read");
    ++elementsRead;

    // Attach: the new element fills the parent's next child slot.
    void* place = t.elementArena.get() + t.elementArenaUsed;
    t.elementArenaUsed += size;
    CTreeElement* element;
    CSegment* segment = nullptr;
    if (isSegment) {
        segment = new (place) CSegment(t.wind);
        segment->length = length;
        segment->diameter = diameter;
        segment->childCount = children;
        segment->attachedCount = 0;
        if (children > 0) {
            segment->children = t.childSlots.data() + t.childSlotsUsed;
            t.childSlotsUsed += children;
        }
        element = segment;
        ++t.segmentCount;
    } else {
        element = new (place) CLeaf(t.wind);
        element->length = 1.0;
        ++t.leafCount;
    }
    P.children[P.attachedCount] = element;
    t.elementOrder.push_back(element);
    element->modelDirection = Vec3{static_cast<float>(dx), static_cast<float>(dy), static_cast<float>(dz)};
    element->attachPosition = attach;
    element->matrixIndex = index;
    element->parent = &P;
    element->depth = P.depth + 1;
    if (element->depth > t.maxDepth)
        t.maxDepth = element->depth;
    element->modelMatrix = t.matrices.data() + 16 * static_cast<size_t>(index);
    element->restInverseMatrix = t.restInverseMatrices.data() + 16 * static_cast<size_t>(index);
    element->restNormalMatrix = t.restNormalMatrices.data() + 16 * static_cast<size_t>(index);
    element->initialise();
    if (segment) {
        t.generateSegmentMesh(segment);
    } else {
        t.generateLeafMesh(element);
        static_cast<CLeaf*>(element)->shiverMatrix = &t.shiverMatrices[index & 15];
    }

    // A segment with children takes them next; a complete element completes
    // every ancestor whose last child it was, up to the root.
    if (segment && children > 0) {
        current = segment;
        return 0;
    }
    CSegment* parent = &P;
    ++parent->attachedCount;
    while (parent->attachedCount == parent->childCount && parent->depth != 0) {
        parent = static_cast<CSegment*>(parent->parent);
        ++parent->attachedCount;
    }
    current = parent;
    return 0;
}

// A vertex: position (display axes) and its element; its matrix texture
// coordinate addresses that element's matrix. The normal and the texture
// coordinate are left as they are (zero, or what an earlier 'N' or 'T' of
// the same rank wrote).
int TreeFileReader::readVertex(const Fields& f)
{
    CTree& t = tree;
    if (t.nextVertex >= t.vertexCount)
        return fail("the file changed while it was read");
    const double element = f.real(4);
    if (!(element > -1.0 && element < t.elementCount + 1.0))
        return fail("the file changed while it was read");
    const int32_t e = static_cast<int32_t>(element);
    const uint32_t i = t.nextVertex++;
    Vertex& v = t.vertices[i];
    const Vec3 p = toDisplay({static_cast<float>(f.real(1)), static_cast<float>(f.real(2)),
                              static_cast<float>(f.real(3))});
    v.position[0] = t.restPositions[3 * i] = p.x;
    v.position[1] = t.restPositions[3 * i + 1] = p.y;
    v.position[2] = t.restPositions[3 * i + 2] = p.z;
    v.matrixIndex = e;
    t.matrixTexCoordOf(e, v.matrixTexCoord);
    return 0;
}

int TreeFileReader::parseRecords()
{
    CTree& t = tree;
    lines.rewind();
    current = t.root;
    const char* line;
    size_t length;
    while (lines.next(line, length)) {
        if (length == 0)
            continue;
        const unsigned char kind = static_cast<unsigned char>(line[0]);
        if (kind == 0xFF)
            break;
        // The record ends at its line's end or at a NUL byte, whichever comes first.
        const char* end = line + length;
        switch (kind) {
        case 'S':
        case 'L':
        case 'V':
        case 'N':
        case 'T':
        case 'F':
        case 'P':
            if (const void* nul = std::memchr(line, 0, length))
                end = static_cast<const char*>(nul);
            break;
        case 'M':
            if (readMaterial())
                return 1;
            continue;
        default:
            continue;
        }
        switch (kind) {
        case 'P': {
            if (seenPosition && current && current->depth != 0)
                return fail("the file changed while it was read");
            const Fields f(line, end, 4);
            for (int k = 0; k < 3; ++k)
                t.position[k] = static_cast<float>(f.real(k + 1));
            t.createRoot();
            current = t.root;
            seenPosition = true;
            break;
        }
        case 'S':
        case 'L':
            if (readElement(static_cast<char>(kind), line, end))
                return 1;
            break;
        case 'V':
            if (t.useFileMesh && readVertex(Fields(line, end, 5)))
                return 1;
            break;
        case 'N':
            if (t.useFileMesh) {
                if (t.nextNormal >= t.normalCount)
                    return fail("the file changed while it was read");
                const Fields f(line, end, 4);
                // To display space, made unit; a zero normal stays zero.
                const double model[3] = {f.real(1), f.real(2), f.real(3)};
                double n[3];
                toDisplay(model, n);
                const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                const uint32_t i = t.nextNormal++;
                for (int k = 0; k < 3; ++k) {
                    const float value =
                        (len > 0.0 && std::isfinite(len)) ? static_cast<float>(n[k] / len) : 0.0f;
                    t.vertices[i].normal[k] = t.normals[3 * i + k] = value;
                }
            }
            break;
        case 'T':
            if (t.useFileMesh) {
                if (t.nextTexCoord >= t.texCoordCount)
                    return fail("the file changed while it was read");
                const Fields f(line, end, 3);
                const uint32_t i = t.nextTexCoord++;
                for (int k = 0; k < 2; ++k)
                    t.vertices[i].texCoord[k] = t.texCoords[2 * i + k] =
                        static_cast<float>(f.real(k + 1));
            }
            break;
        case 'F':
            if (t.useFileMesh) {
                if (t.nextTriangle >= t.triangleCount)
                    return fail("the file changed while it was read");
                const Fields f(line, end, 5);
                uint32_t corner[3];
                for (int k = 0; k < 3; ++k) {
                    corner[k] = static_cast<uint32_t>(f.integer(k + 1));
                    if (corner[k] >= t.vertexCount)
                        return fail("the file changed while it was read");
                }
                t.addTriangle(corner[0], corner[1], corner[2], f.integer(4));
            }
            break;
        }
    }
    if (!t.root || !t.rootChild || current != t.root || elementsRead != t.elementCount)
        return fail("the file changed while it was read");
    return 0;
}

} // namespace

// Moves the file's mesh into element space: each vertex by the rest inverse
// transform of its element, each normal by the rest inverse rotation (both
// column-major display matrices; the normal is not renormalised).
static void meshToElementSpace(CTree& t)
{
    for (uint32_t i = 0; i < t.vertexCount; ++i) {
        Vertex& v = t.vertices[i];
        const float* M = t.restInverseMatrices.data() + 16 * static_cast<size_t>(v.matrixIndex);
        const float* R = t.restNormalMatrices.data() + 16 * static_cast<size_t>(v.matrixIndex);
        const float p[3] = {v.position[0], v.position[1], v.position[2]};
        const float n[3] = {v.normal[0], v.normal[1], v.normal[2]};
        for (int r = 0; r < 3; ++r) {
            v.position[r] = t.restPositions[3 * i + r] =
                M[r] * p[0] + M[4 + r] * p[1] + M[8 + r] * p[2] + M[12 + r];
            v.normal[r] = t.normals[3 * i + r] =
                R[r] * n[0] + R[4 + r] * n[1] + R[8 + r] * n[2] + R[12 + r];
        }
    }
}

// The index list grouped by material, groups in material order, triangles
// in their own order within a group; triangles of no material (number not
// in 0..materialCount-1) follow the groups and are not drawn. Without any
// material the list stays in triangle order as one untextured group.
static void groupByMaterial(CTree& t)
{
    if (t.materialCount == 0) {
        t.untexturedIndexCount = t.indexCount;
        return;
    }
    std::vector<uint32_t> next(t.materialCount + 1, 0);
    auto group = [&](const Triangle& tri) -> uint32_t {
        return (tri.material >= 0 && static_cast<uint32_t>(tri.material) < t.materialCount)
                   ? static_cast<uint32_t>(tri.material)
                   : t.materialCount;
    };
    for (const Triangle& tri : t.triangles)
        next[group(tri)] += 3;
    uint32_t q = 0;
    for (uint32_t m = 0; m <= t.materialCount; ++m) {
        const uint32_t count = next[m];
        if (m < t.materialCount) {
            t.materialFirstIndex[m] = q;
            t.materialIndexCount[m] = count;
        }
        next[m] = q;
        q += count;
    }
    for (const Triangle& tri : t.triangles) {
        uint32_t& at = next[group(tri)];
        t.indices[at++] = tri.vertex[0];
        t.indices[at++] = tri.vertex[1];
        t.indices[at++] = tri.vertex[2];
    }
}

int CTree::loadDataTre(const char* fileName)
{
    std::printf("loadDataTre() .. \n");
    // Textures and buffers made below must belong to the viewport's context.
    if (treeGraphics)
        treeGraphics->makeViewportCurrent();
    if (!noModel)
        cleanup();
    // A directory or a device is no tree file: it cannot be opened as one.
    std::FILE* file = openRegularFile(fileName);
    if (!file) {
        std::printf("Invalid filename: %s\n", fileName);
        std::fflush(stdout);
        return 1;
    }
    zeroCounts();
    int failed;
    {
        TreeFileReader reader(*this, file, fileName);
        try {
            failed = reader.countRecords() || reader.checkStructure() || reader.allocate() ||
                     reader.parseRecords();
        } catch (const std::bad_alloc&) {
            std::printf("ERROR: %s: not enough memory\n", fileName);
            failed = 1;
        }
    }
    std::fclose(file);
    if (failed) {
        // Refused: nothing of the file stays, as after a file that cannot be opened.
        releaseModel();
        zeroCounts();
        noModel = true;
        std::fflush(stdout);
        return 1;
    }

    root->computeHeight();
    root->applyAnimationLod();
    if (useFileMesh && vertexCount > 0)
        meshToElementSpace(*this);
    std::vector<float>().swap(restInverseMatrices);
    std::vector<float>().swap(restNormalMatrices);
    forEachElement([](CTreeElement* element) {
        element->restInverseMatrix = element->restNormalMatrix = nullptr;
    });
    groupByMaterial(*this);

    if (treeGraphics && treeGraphics->contextCurrent()) {
        treeGraphics->loadMaterialTextures(*this);
        if (glslAvailable) {
            treeGraphics->setupStaticBuffers(*this);
            treeGraphics->setupMatrixTexture(*this);
        }
        treeGraphics->finish();
    }
    printStatistics(fileName);
    noModel = false;
    return 0;
}
