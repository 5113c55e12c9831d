# Renders a DOR glTF export as Blender imports it: the picture of
# docs/export.md.
#   blender -b --factory-startup --python tools/gltf/blender_render.py -- FILE.glb FRAME FPS OUT.png
# Imports FILE with Blender's own glTF importer at FPS frames a second, goes
# to FRAME, and renders the tree with the Workbench engine (textures and
# their cut-outs as imported) from a camera in front of it, with the
# armature's bones drawn over it. Needs an OpenGL context: run it under
# xvfb-run where there is no display.
import math
import sys

import bpy
from mathutils import Vector

import numpy  # Debian 12's Blender 3.4 importer still uses numpy.bool
if "bool" not in numpy.__dict__:
    numpy.bool = bool

path, frame, fps, out = sys.argv[sys.argv.index("--") + 1:]
bpy.ops.wm.read_factory_settings(use_empty=True)
scene = bpy.context.scene
scene.render.fps = int(fps)
bpy.ops.import_scene.gltf(filepath=path, bone_heuristic="BLENDER")
scene.frame_set(int(frame))

# The tree's extent at this frame, from the evaluated (skinned) mesh.
mesh = next(o for o in scene.objects if o.type == "MESH")
evaluated = mesh.evaluated_get(bpy.context.evaluated_depsgraph_get())
corners = [evaluated.matrix_world @ Vector(c) for c in evaluated.bound_box]
low = Vector([min(c[k] for c in corners) for k in range(3)])
high = Vector([max(c[k] for c in corners) for k in range(3)])
centre, size = (low + high) / 2, (high - low).length

camera = bpy.data.objects.new("camera", bpy.data.cameras.new("camera"))
scene.collection.objects.link(camera)
camera.data.lens = 50
direction = Vector((0.0, -1.0, 0.25)).normalized()
camera.location = centre + direction * size * 1.25
camera.rotation_euler = (-direction).to_track_quat("-Z", "Y").to_euler()
scene.camera = camera

sun = bpy.data.objects.new("sun", bpy.data.lights.new("sun", "SUN"))
scene.collection.objects.link(sun)
sun.data.energy = 4.0
sun.rotation_euler = (math.radians(50), 0.0, math.radians(-30))

scene.view_settings.view_transform = "Standard"
scene.render.engine = "BLENDER_EEVEE"
scene.eevee.taa_render_samples = 16
world = bpy.data.worlds.new("world")
scene.world = world
world.use_nodes = True
world.node_tree.nodes["Background"].inputs["Color"].default_value = (0.75, 0.8, 0.88, 1.0)
world.node_tree.nodes["Background"].inputs["Strength"].default_value = 1.0
scene.render.resolution_x, scene.render.resolution_y = 800, 800
scene.render.image_settings.file_format = "PNG"
scene.render.filepath = out
bpy.ops.render.render(write_still=True)
