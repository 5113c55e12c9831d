// The glTF 2.0 document of a tree: its rest-pose mesh bound to a skin of one
// joint per element, one material per tree material with its PNG, and the
// recorded animation.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/gltf/glb_writer.h"

class CTree;
class PoseRecorder;

// The most joints one skin can index: JOINTS_0 holds unsigned 16-bit numbers.
constexpr size_t GLTF_MAX_JOINTS = 65536;

// Whether tree can be exported (before a run): false with the ERROR line in
// error when it has more elements than one skin holds or a mesh value that
// is not a finite number.
bool checkGltfExport(const CTree& tree, std::string& error);

struct GltfDocument {
    std::string json;
    GlbBuffer buffer;
    std::vector<std::string> warnings;  // WARNING and ERROR lines that did not stop the export
    size_t joints = 0, channels = 0, triangles = 0;
};

// The document of tree, loaded from treeFile (whose folder is the second
// place a texture is looked for, after the working directory), animated as
// poses recorded it. False with the ERROR line in error when the animation
// did not fit or blew up.
bool buildTreeGltf(const CTree& tree, const PoseRecorder& poses, const std::string& treeFile,
                   GltfDocument& document, std::string& error);
