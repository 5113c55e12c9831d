# Imports DOR's glTF exports into Blender with its bundled importer and
# checks them against dor-sim's probes. Run by blender_check.sh:
#   blender -b --factory-startup --python-exit-code 1 --python blender_check.py -- \
#       FILE.glb PROBES.csv ELEMENTS SECONDS FPS [FILE.glb PROBES.csv ELEMENTS SECONDS FPS]...
# Per file: one armature with one bone per element (named e1 ... eN), one
# action from frame 0 to SECONDS x FPS, and at sampled frames the tip of
# every probed element (the CSV's p<N>_x,y,z columns, element N) where the
# evaluated pose puts it, within 0.5 % of the tree's height.
#
# Frames: the GLB's key times are seconds; the importer turns them into
# frames at the scene's frame rate, which is set to the export's rate (FPS)
# before the import, so frame f is t = f / FPS. A CSV row at time t is
# compared at that frame when t x FPS is a whole number (dor-sim's step rate
# may differ from the export's).
#
# Axes: the importer turns glTF's Y-up display space back into Blender's
# Z-up, (x, y, z) -> (x, -z, y); DOR's display space is model space turned by
# (x, y, z) -> (x, z, -y), so Blender's world space is DOR's model space and
# the probes' coordinates compare directly. The importer may reorient bones
# (its bone heuristics); with bone_heuristic='BLENDER' a bone keeps its glTF
# node's axes, so the element's axis is the bone's local +Y and its tip is
# the pose bone's world matrix applied to (0, length, 0), the length being
# the element's (the node's extras; Blender's bone length is the importer's
# guess for display).
import csv
import json
import math
import struct
import sys

import bpy
from mathutils import Vector

# The importer needs numpy. Debian 12's Blender 3.4 importer still uses
# numpy.bool, which numpy 1.24 removed; the builtin is what it means.
try:
    import numpy
except ImportError:
    print("FAIL: Blender's Python has no numpy, which its glTF importer needs "
          "(Debian package python3-numpy; tools/setup.sh installs it)")
    sys.exit(1)
if "bool" not in numpy.__dict__:
    numpy.bool = bool

TOLERANCE = 0.005  # of the tree's height


def glb_json(path):
    with open(path, "rb") as f:
        data = f.read()
    magic, version, length = struct.unpack_from("<III", data, 0)
    assert magic == 0x46546C67 and version == 2 and length == len(data), path
    chunk_length, chunk_type = struct.unpack_from("<II", data, 12)
    assert chunk_type == 0x4E4F534A, path
    return json.loads(data[20:20 + chunk_length])


def check(path, csv_path, elements, seconds, fps):
    failures = []
    doc = glb_json(path)
    lengths = {n["name"]: n["extras"]["length"] for n in doc["nodes"] if "extras" in n}
    position = doc["accessors"][doc["meshes"][0]["primitives"][0]["attributes"]["POSITION"]]
    height = position["max"][1] - position["min"][1]

    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.context.scene.render.fps = fps
    bpy.context.scene.render.fps_base = 1.0
    bpy.ops.import_scene.gltf(filepath=path, bone_heuristic="BLENDER")

    armatures = [o for o in bpy.data.objects if o.type == "ARMATURE"]
    if len(armatures) != 1:
        return [f"{len(armatures)} armatures, not 1"]
    armature = armatures[0]
    names = {b.name for b in armature.data.bones}
    wanted = {f"e{k}" for k in range(1, elements + 1)}
    if names != wanted:
        failures.append(f"{len(names)} bones for {elements} elements "
                        f"(missing {sorted(wanted - names)[:5]}, extra {sorted(names - wanted)[:5]})")
    actions = list(bpy.data.actions)
    last = seconds * fps
    if len(actions) != 1:
        failures.append(f"{len(actions)} actions, not 1")
    elif abs(actions[0].frame_range[0]) > 1e-3 or abs(actions[0].frame_range[1] - last) > 1e-3:
        failures.append(f"action spans frames {tuple(actions[0].frame_range)}, not (0, {last})")
    if failures:
        return failures

    with open(csv_path) as f:
        rows = list(csv.reader(f))
    header, rows = rows[0], [[float(x) for x in r] for r in rows[1:]]
    probes = [(c[1:-2], i) for i, c in enumerate(header) if c.startswith("p") and c.endswith("_x")]
    # Every whole frame that a row falls on, thinned to about 12 frames.
    frames = []
    for row in rows:
        f = row[0] * fps
        if abs(f - round(f)) < 1e-6:
            frames.append((int(round(f)), row))
    frames = frames[::max(1, len(frames) // 12)] + ([frames[-1]] if frames else [])
    if len(frames) < 2:
        return [f"fewer than 2 rows of {csv_path} on whole frames"]

    worst = 0.0
    moved = 0.0
    scene = bpy.context.scene
    first = {}
    for frame, row in frames:
        scene.frame_set(frame)
        for which, column in probes:
            name = "e" + which
            bone = armature.pose.bones[name]
            tip = armature.matrix_world @ bone.matrix @ Vector((0.0, lengths[name], 0.0))
            probe = Vector(row[column:column + 3])
            worst = max(worst, (tip - probe).length)
            first.setdefault(name, probe)
            moved = max(moved, (probe - first[name]).length)
    print(f"{path}: {len(names)} bones, frames 0 to {last:g}, {len(probes)} probes at {len(frames)} frames: "
          f"largest tip distance {worst:.3g} ({100 * worst / height:.3g} % of the height {height:.3g}), "
          f"largest probe motion {moved:.3g}")
    if not worst <= TOLERANCE * height:
        failures.append(f"a tip lies {worst:.3g} from its probe, more than {TOLERANCE:.1%} of {height:.3g}")
    # The comparison means something only if the tree moved.
    if not moved > 0.01 * height:
        failures.append(f"the probed tips moved only {moved:.3g}: no motion to compare")
    return failures


def main():
    args = sys.argv[sys.argv.index("--") + 1:]
    if not args or len(args) % 5:
        print("usage: blender -b --python blender_check.py -- FILE.glb PROBES.csv ELEMENTS SECONDS FPS...")
        sys.exit(2)
    failed = False
    for k in range(0, len(args), 5):
        path, csv_path = args[k], args[k + 1]
        elements, seconds, fps = int(args[k + 2]), float(args[k + 3]), int(args[k + 4])
        for failure in check(path, csv_path, elements, seconds, fps):
            print(f"FAIL {path}: {failure}")
            failed = True
    sys.exit(1 if failed else 0)


main()
