// Writer of the "tre" text format and the hierarchy helpers of TreFile.
#include "tools/grow/tre_file.h"

#include "image/regular_file.h"

#include <algorithm>
#include <cmath>

std::vector<TreMaterial> barkAndLeafMaterials(const std::string& barkTexture, const std::string& leafTexture)
{
    TreMaterial bark, leaves;
    bark.label = "bark";
    bark.textureFile = barkTexture;
    leaves.label = "leaves";
    leaves.textureFile = leafTexture;
    return {bark, leaves};
}

bool computeParents(const TreFile& file, std::vector<int>& parents, std::string& error)
{
    parents.assign(file.elements.size(), -1);
    // Open segments: position and children still to come.
    std::vector<std::pair<int, uint32_t>> open;
    for (size_t k = 0; k < file.elements.size(); ++k) {
        if (k > 0 && open.empty()) {
            error = "more than one top-level element (element " + std::to_string(k + 1) + ")";
            return false;
        }
        if (!open.empty()) {
            parents[k] = open.back().first;
            if (--open.back().second == 0)
                open.pop_back();
        }
        const TreElement& e = file.elements[k];
        // A parent leaves the stack as soon as its last child is placed: what
        // follows belongs to that child's subtree or to an older ancestor.
        if (!e.leaf && e.childCount > 0)
            open.push_back({int(k), e.childCount});
    }
    if (!open.empty()) {
        error = "segment " + std::to_string(open.back().first + 1) + " announces more children than follow";
        return false;
    }
    return true;
}

std::vector<ElementFrame> elementFrames(const TreFile& file, const std::vector<int>& parents)
{
    const size_t n = file.elements.size();
    std::vector<ElementFrame> frames(n);
    for (size_t k = 0; k < n; ++k) {
        const TreElement& e = file.elements[k];
        const int p = parents[k];
        const ElementFrame rootFrame = {Vec3d{0, 0, -1}, Vec3d{0, 0, 1}};
        const ElementFrame& parent = p < 0 ? rootFrame : frames[size_t(p)];
        const double parentLength = p < 0 ? 1.0 : file.elements[size_t(p)].length;
        frames[k].origin = parent.origin + parent.axis * (parentLength * e.attach);
        frames[k].axis = normalise(e.direction);
    }
    return frames;
}

double modelTop(const TreFile& file, const std::vector<int>& parents)
{
    std::vector<ElementFrame> frames = elementFrames(file, parents);
    double top = 0.0;
    for (size_t k = 0; k < file.elements.size(); ++k) {
        const TreElement& e = file.elements[k];
        if (!e.leaf)
            top = std::max(top, (frames[k].origin + frames[k].axis * e.length).z);
    }
    return top;
}

bool writeTre(const TreFile& file, std::FILE* out)
{
    // Every line stays well below the reader's 255 characters: comments are
    // cut, numbers have at most 7 significant digits.
    for (const std::string& c : file.comments)
        std::fprintf(out, "# %.200s\n", c.c_str());
    std::fprintf(out, "P %.7g %.7g %.7g\n", file.position.x, file.position.y, file.position.z);
    for (const TreMaterial& m : file.materials) {
        std::fprintf(out, "M %.60s\n", m.label.c_str());
        std::fprintf(out, "texture %.200s\n", m.textureFile.c_str());
        static const char* const labels[4] = {"ambient", "diffuse", "specular", "emission"};
        for (int i = 0; i < 4; ++i)
            std::fprintf(out, "%s %.4g %.4g %.4g\n", labels[i], m.triples[i][0], m.triples[i][1],
                         m.triples[i][2]);
        std::fprintf(out, "shininess %.4g\n", m.scalar);
    }
    for (size_t k = 0; k < file.elements.size(); ++k) {
        const TreElement& e = file.elements[k];
        const unsigned index = unsigned(k + 1);
        if (e.leaf)
            std::fprintf(out, "L %.6g %.6g %.6g %.6g %u\n", e.direction.x, e.direction.y,
                         e.direction.z, e.attach, index);
        else
            std::fprintf(out, "S %.6g %.6g %.6g %.6g %.6g %.6g %u %u\n", e.length, e.diameter,
                         e.direction.x, e.direction.y, e.direction.z, e.attach, e.childCount, index);
    }
    // All 'V' records first, then all 'N', then all 'T', so that every 'V'
    // comes before the 'N' and 'T' of the same rank.
    for (const TreVertex& v : file.vertices)
        std::fprintf(out, "V %.6g %.6g %.6g %d\n", v.position.x, v.position.y, v.position.z, v.element);
    for (const TreVertex& v : file.vertices)
        std::fprintf(out, "N %.4g %.4g %.4g\n", v.normal.x, v.normal.y, v.normal.z);
    for (const TreVertex& v : file.vertices)
        std::fprintf(out, "T %.5g %.5g\n", v.s, v.t);
    for (const TreFace& f : file.faces)
        std::fprintf(out, "F %u %u %u %d\n", f.a, f.b, f.c, f.material);
    return std::ferror(out) == 0;
}

bool saveTre(const TreFile& file, const std::string& path, std::string& error)
{
    return writeFileAtomically(path, error, [&](std::FILE* out) { return writeTre(file, out); });
}

