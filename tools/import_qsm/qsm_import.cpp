// Reading, checking and converting quantitative structure models (see
// qsm_import.h).
#include "tools/import_qsm/qsm_import.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "tools/grow/tree_mesh.h"

namespace {

std::string lineText(int line) { return "line " + std::to_string(line); }

// The lines of `text` without their line ends (LF or CR LF).
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string trim(const std::string& s)
{
    size_t a = 0, b = s.size();
    while (a < b && (std::isspace((unsigned char)s[a]) || s[a] == '"'))
        ++a;
    while (b > a && (std::isspace((unsigned char)s[b - 1]) || s[b - 1] == '"'))
        --b;
    return s.substr(a, b - a);
}

std::vector<std::string> splitOn(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, separator))
        fields.push_back(trim(field));
    if (!line.empty() && line.back() == separator)
        fields.push_back("");
    // A separator at the end of the line adds no column.
    while (!fields.empty() && fields.back().empty())
        fields.pop_back();
    return fields;
}

bool isBlank(const std::string& line) { return trim(line).empty(); }

// A finite real, the whole field.
bool parseReal(const std::string& field, double& value)
{
    if (field.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtod(field.c_str(), &end);
    return errno == 0 && end == field.c_str() + field.size() && std::isfinite(value);
}

// A real with an integral value (exports may write 12 or 12.0).
bool parseInteger(const std::string& field, long long& value)
{
    double v = 0.0;
    if (!parseReal(field, v) || v != std::floor(v) || std::fabs(v) > 1e15)
        return false;
    value = (long long)v;
    return true;
}

bool fieldError(std::string& error, int line, const std::string& column, const std::string& field,
                const char* what)
{
    error = lineText(line) + ": column " + column + " is not " + what + ": '" + field + "'";
    return false;
}

// The hierarchy checks shared by both formats, on rows whose parent and
// extension rows are within range: no cycle, one root, parents before their
// children, extensions that are children of the cylinder naming them.
bool checkHierarchy(const std::vector<QsmCylinder>& c, std::string& error)
{
    if (c.empty()) {
        error = "no cylinders in the file";
        return false;
    }
    // Cycles: follow parents; meeting a cylinder of the current walk again
    // closes a loop.
    std::vector<int> state(c.size(), 0);  // 0 unseen, 1 on the current walk, 2 leads to a root
    for (size_t i = 0; i < c.size(); ++i) {
        std::vector<int> walk;
        int k = int(i);
        while (k >= 0 && state[size_t(k)] == 0) {
            state[size_t(k)] = 1;
            walk.push_back(k);
            k = c[size_t(k)].parent;
        }
        if (k >= 0 && state[size_t(k)] == 1) {
            error = lineText(c[size_t(k)].line) + ": the parents form a cycle (cylinder is its own ancestor)";
            return false;
        }
        for (int w : walk)
            state[size_t(w)] = 2;
    }
    int root = -1;
    for (size_t i = 0; i < c.size(); ++i) {
        if (c[i].parent >= 0)
            continue;
        if (root >= 0) {
            error = lineText(c[i].line) + ": several roots (cylinders without a parent on " +
                    lineText(c[size_t(root)].line) + " and " + lineText(c[i].line) + ")";
            return false;
        }
        root = int(i);
    }
    for (size_t i = 0; i < c.size(); ++i) {
        if (c[i].parent > int(i)) {
            error = lineText(c[i].line) + ": the parent (" + lineText(c[size_t(c[i].parent)].line) +
                    ") comes after its child";
            return false;
        }
        if (c[i].extension >= 0 && c[size_t(c[i].extension)].parent != int(i)) {
            error = lineText(c[i].line) + ": the extension (" + lineText(c[size_t(c[i].extension)].line) +
                    ") does not name this cylinder as its parent";
            return false;
        }
    }
    return true;
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Checks one cylinder against the limits of qsm_import.h and makes its axis
// unit. Within them every derived quantity stays finite: the attachment
// fraction (a coordinate difference of at most 2e8 over a length of at least
// 1e-6) and the axis length (components of at most 1e8).
bool checkShape(QsmCylinder& cylinder, std::string& error)
{
    if (!(cylinder.radius > 0.0) || !(cylinder.length > 0.0)) {
        error = lineText(cylinder.line) + ": radius and length must be positive";
        return false;
    }
    for (double size : {cylinder.radius, cylinder.length})
        if (size < qsmMinSize || size > qsmMaxSize) {
            error = lineText(cylinder.line) + ": radius and length must lie within " + number(qsmMinSize) +
                    " to " + number(qsmMaxSize) + " m, not " + number(size);
            return false;
        }
    for (Vec3d v : {cylinder.start, cylinder.axis})
        for (double x : {v.x, v.y, v.z})
            if (!(std::fabs(x) <= qsmMaxCoordinate)) {
                error = lineText(cylinder.line) + ": coordinate " + number(x) + " beyond the limit of " +
                        number(qsmMaxCoordinate) + " m";
                return false;
            }
    if (!(length(cylinder.axis) > 1e-12)) {
        error = lineText(cylinder.line) + ": the axis has no direction";
        return false;
    }
    cylinder.axis = normalise(cylinder.axis);
    return true;
}

}  // namespace

bool parseTreeQsm(const std::string& text, std::vector<QsmCylinder>& cylinders, std::string& error)
{
    static const char* const names[15] = {"radius", "length", "startX", "startY", "startZ",
                                          "axisX", "axisY", "axisZ", "parent_ID", "extension_ID",
                                          "added", "UnmodRadius", "branch_ID", "BranchOrder",
                                          "PositionInBranch_ID"};
    cylinders.clear();
    std::vector<std::string> lines = splitLines(text);
    std::vector<std::pair<long long, long long>> links;  // 1-based parent and extension, 0 none
    for (size_t n = 0; n < lines.size(); ++n) {
        const int line = int(n + 1);
        if (isBlank(lines[n]))
            continue;
        std::vector<std::string> f = splitOn(lines[n], '\t');
        if (f.size() < 15) {
            error = lineText(line) + ": " + std::to_string(f.size()) +
                    " columns, 15 expected (tab-separated TreeQSM cylinder data)";
            return false;
        }
        double v[15] = {};
        for (int k = 0; k < 15; ++k)
            if (!parseReal(f[size_t(k)], v[k]))
                return fieldError(error, line, std::to_string(k + 1) + " (" + names[k] + ")", f[size_t(k)],
                                  "a number");
        long long parent = 0, extension = 0;
        if (!parseInteger(f[8], parent) || parent < 0)
            return fieldError(error, line, "9 (parent_ID)", f[8], "a row number or 0");
        if (!parseInteger(f[9], extension) || extension < 0)
            return fieldError(error, line, "10 (extension_ID)", f[9], "a row number or 0");
        QsmCylinder c;
        c.radius = v[0];
        c.length = v[1];
        c.start = {v[2], v[3], v[4]};
        c.axis = {v[5], v[6], v[7]};
        c.line = line;
        if (!checkShape(c, error))
            return false;
        cylinders.push_back(c);
        links.push_back({parent, extension});
    }
    const long long rows = (long long)cylinders.size();
    for (size_t i = 0; i < cylinders.size(); ++i) {
        if (links[i].first > rows || links[i].second > rows) {
            error = lineText(cylinders[i].line) + ": parent or extension row beyond the " +
                    std::to_string(rows) + " cylinders";
            return false;
        }
        cylinders[i].parent = int(links[i].first) - 1;
        cylinders[i].extension = int(links[i].second) - 1;
    }
    return checkHierarchy(cylinders, error);
}

bool parseSimpleForest(const std::string& text, std::vector<QsmCylinder>& cylinders, std::string& error)
{
    cylinders.clear();
    std::vector<std::string> lines = splitLines(text);
    size_t first = 0;
    while (first < lines.size() && isBlank(lines[first]))
        ++first;
    if (first == lines.size()) {
        error = "no header row (SimpleForest CSV)";
        return false;
    }
    // Columns by name, in any order and case.
    std::vector<std::string> header = splitOn(lines[first], ',');
    auto column = [&](const std::string& name) {
        for (size_t k = 0; k < header.size(); ++k) {
            std::string h = header[k], n = name;
            std::transform(h.begin(), h.end(), h.begin(), ::tolower);
            std::transform(n.begin(), n.end(), n.begin(), ::tolower);
            if (h == n)
                return int(k);
        }
        return -1;
    };
    static const char* const required[10] = {"ID", "parentID", "startX", "startY", "startZ",
                                             "endX", "endY", "endZ", "radius", "length"};
    int index[10];
    for (int k = 0; k < 10; ++k) {
        index[k] = column(required[k]);
        if (index[k] < 0) {
            error = lineText(int(first + 1)) + ": the header has no column '" + required[k] + "'";
            return false;
        }
    }
    const int segmentColumn = column("segmentID");

    // Row of every ID: looked up once per row, so the import stays linear in
    // the rows (a scan per row took seconds at 200 000 rows).
    std::unordered_map<long long, size_t> rowOfId;
    std::vector<long long> parentIds, segments;
    for (size_t n = first + 1; n < lines.size(); ++n) {
        const int line = int(n + 1);
        if (isBlank(lines[n]))
            continue;
        std::vector<std::string> f = splitOn(lines[n], ',');
        if (f.size() < header.size()) {
            error = lineText(line) + ": " + std::to_string(f.size()) + " columns, " +
                    std::to_string(header.size()) + " expected (as in the header)";
            return false;
        }
        double v[10] = {};
        for (int k = 0; k < 10; ++k)
            if (!parseReal(f[size_t(index[k])], v[k]))
                return fieldError(error, line, required[k], f[size_t(index[k])], "a number");
        long long id = 0, parentId = 0, segment = -1;
        if (!parseInteger(f[size_t(index[0])], id))
            return fieldError(error, line, "ID", f[size_t(index[0])], "an integer");
        if (!parseInteger(f[size_t(index[1])], parentId))
            return fieldError(error, line, "parentID", f[size_t(index[1])], "an integer");
        if (segmentColumn >= 0 && !parseInteger(f[size_t(segmentColumn)], segment))
            return fieldError(error, line, "segmentID", f[size_t(segmentColumn)], "an integer");
        QsmCylinder c;
        c.start = {v[2], v[3], v[4]};
        c.axis = Vec3d{v[5], v[6], v[7]} - c.start;
        c.radius = v[8];
        c.length = v[9];
        c.line = line;
        if (!checkShape(c, error))
            return false;
        auto [known, added] = rowOfId.emplace(id, cylinders.size());
        if (!added) {
            error = lineText(line) + ": ID " + std::to_string(id) + " already used on " +
                    lineText(cylinders[known->second].line);
            return false;
        }
        cylinders.push_back(c);
        parentIds.push_back(parentId);
        segments.push_back(segment);
    }
    // Parent rows by ID (-1 is the root's), then each cylinder's extension:
    // its first child in the same segment.
    for (size_t i = 0; i < cylinders.size(); ++i) {
        if (parentIds[i] == -1)
            continue;
        auto it = rowOfId.find(parentIds[i]);
        if (it == rowOfId.end()) {
            error = lineText(cylinders[i].line) + ": parentID " + std::to_string(parentIds[i]) +
                    " names no cylinder";
            return false;
        }
        cylinders[i].parent = int(it->second);
    }
    for (size_t i = 0; i < cylinders.size(); ++i) {
        int p = cylinders[i].parent;
        if (p >= 0 && segmentColumn >= 0 && segments[i] == segments[size_t(p)] &&
            cylinders[size_t(p)].extension < 0)
            cylinders[size_t(p)].extension = int(i);
    }
    return checkHierarchy(cylinders, error);
}

// The elements at scale `scale` (model units per metre).
static TreFile buildModel(const std::vector<QsmCylinder>& c, const QsmImportOptions& options, double scale)
{
    std::vector<std::vector<int>> children(c.size());
    int root = 0;
    for (size_t i = 0; i < c.size(); ++i) {
        if (c[i].parent < 0)
            root = int(i);
        else
            children[size_t(c[i].parent)].push_back(int(i));
    }
    for (size_t i = 0; i < c.size(); ++i) {
        auto& list = children[i];
        auto it = std::find(list.begin(), list.end(), c[i].extension);
        if (it != list.end())
            std::rotate(list.begin(), it, it + 1);
    }

    TreFile model;
    const int leaves = std::max(0, options.leavesPerTip);
    std::vector<int> stack{root};
    while (!stack.empty()) {
        const QsmCylinder& cyl = c[size_t(stack.back())];
        const int k = stack.back();
        stack.pop_back();
        TreElement e;
        e.length = cyl.length * scale;
        e.diameter = std::max(options.minDiameter, 2.0 * cyl.radius * scale);
        e.tipDiameter = e.diameter;
        e.direction = cyl.axis;
        if (cyl.parent < 0) {
            e.attach = 1.0;  // the trunk stands on the ground point
        } else {
            const QsmCylinder& p = c[size_t(cyl.parent)];
            e.attach = std::clamp(dot(cyl.start - p.start, p.axis) / p.length, 0.0, 1.0);
        }
        const bool tip = children[size_t(k)].empty();
        e.childCount = uint32_t(tip ? leaves : int(children[size_t(k)].size()));
        model.elements.push_back(e);
        if (tip) {
            // Leaves around the tip, spread along it, 50 degrees off its axis.
            const Vec3d u = anyPerpendicular(cyl.axis), w = cross(cyl.axis, u);
            for (int j = 0; j < leaves; ++j) {
                double azimuth = 2.3999632 * (j + k);  // 137.5 degrees apart
                Vec3d radial = u * std::cos(azimuth) + w * std::sin(azimuth);
                TreElement leaf;
                leaf.leaf = true;
                leaf.direction = normalise(cyl.axis * 0.643 + radial * 0.766);
                leaf.attach = 0.3 + 0.65 * (j + 0.5) / leaves;
                leaf.leafLength = options.leafSize;
                leaf.leafWidth = 0.55 * options.leafSize;
                model.elements.push_back(leaf);
            }
        }
        for (auto it = children[size_t(k)].rbegin(); it != children[size_t(k)].rend(); ++it)
            stack.push_back(*it);
    }
    return model;
}

bool convertQsm(const std::vector<QsmCylinder>& cylinders, const QsmImportOptions& options, TreFile& model,
                std::string& error)
{
    if (!checkHierarchy(cylinders, error))
        return false;
    double scale = 1.0;
    if (options.height > 0.0) {
        TreFile metres = buildModel(cylinders, options, 1.0);
        std::vector<int> parents;
        if (!computeParents(metres, parents, error))
            return false;
        double top = modelTop(metres, parents);
        if (!(top > 0.0)) {
            error = "the tree has no height above its base; cannot scale it";
            return false;
        }
        scale = options.height / top;
    }
    // A tree scaled from a tiny height (a nearly flat scan) or to a tiny one
    // would give sizes that the viewer cannot draw sensibly.
    for (const QsmCylinder& c : cylinders) {
        const double size[2] = {c.length * scale, std::max(options.minDiameter, 2.0 * c.radius * scale)};
        for (int k = 0; k < 2; ++k)
            if (!(size[k] >= qsmMinModelSize && size[k] <= qsmMaxModelSize)) {
                error = lineText(c.line) + ": at " + number(scale) + " model units per metre the cylinder's " +
                        (k == 0 ? "length" : "diameter") + " would be " + number(size[k]) +
                        " units, outside " + number(qsmMinModelSize) + " to " + number(qsmMaxModelSize);
                return false;
            }
    }
    model = buildModel(cylinders, options, scale);
    model.comments = {"imported by dor-import-qsm from " + std::to_string(cylinders.size()) +
                      " cylinders, " + std::to_string(scale) + " model units per metre"};
    model.materials = barkAndLeafMaterials(options.barkTexture, options.leafTexture);
    if (options.mesh)
        addFileMesh(model, options.meshSides, 0, 1);
    return true;
}

bool importQsmFile(const std::string& input, const std::string& format, const QsmImportOptions& options,
                   const std::string& output, std::string& error)
{
    std::ifstream in(input, std::ios::binary);
    if (!in) {
        error = "cannot open " + input;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string kind = format;
    if (kind.empty()) {
        bool csv = input.size() >= 4 && input.compare(input.size() - 4, 4, ".csv") == 0;
        kind = csv ? "simpleforest" : "treeqsm";
    }
    std::vector<QsmCylinder> cylinders;
    bool parsed = kind == "simpleforest" ? parseSimpleForest(text.str(), cylinders, error)
                  : kind == "treeqsm"    ? parseTreeQsm(text.str(), cylinders, error)
                                         : (error = "unknown format '" + kind + "'", false);
    if (!parsed) {
        error = input + ": " + error;
        return false;
    }
    TreFile model;
    if (!convertQsm(cylinders, options, model, error)) {
        error = input + ": " + error;
        return false;
    }
    return saveTre(model, output, error);
}
