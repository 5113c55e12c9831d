// PoseRecorder: the animation of a tree as glTF wants it. After every step
// of a run it takes each element's frame relative to its parent (display
// axes), and keeps them at a fixed sample rate, interpolating between the
// steps where the two rates differ. An element keeps a track only once it
// has moved away from its rest frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "elements/matrix4.h"
#include "tools/gltf/quaternion.h"

class CTree;

// An element's frame relative to its parent's, in display axes (Y up).
struct LocalPose {
    Quaternion rotation;
    double translation[3] = {0, 0, 0};  // model units
};

// The display-axes form of the rigid frame M (element frame -> parent frame).
LocalPose localPoseOf(const Matrix4& M);
// The frame F relative to the parent frame P, both element frame -> the same
// space: P^-1 F in display axes.
LocalPose localPoseOf(const Matrix4& P, const Matrix4& F);

struct JointTrack {
    // Empty while the element has not moved; then one entry per sample
    // (samples before the first move hold the rest value).
    std::vector<float> rotations;     // x, y, z, w per sample, unit
    std::vector<float> translations;  // x, y, z per sample, model units
};

class PoseRecorder {
public:
    // For a run of `steps` steps at stepRate steps per second, sampled at
    // sampleRate per second from 0 to the last step's time.
    PoseRecorder(const CTree& tree, double sampleRate, double stepRate, long long steps);

    // The tree after `step` steps; called for 0 (the rest pose right after
    // the reset), 1, 2, ... in turn.
    void record(const CTree& tree, long long step);

    // The frame of element elementOrder[i] relative to its parent's, in the
    // rest pose and as the step left it. The trunk's parent frame is the
    // scene's: the trunk's frame includes the tree's 'P' position.
    static LocalPose restPose(const CTree& tree, size_t i);
    static LocalPose currentPose(const CTree& tree, size_t i);

    double sampleRate, stepRate;
    long long steps;
    std::vector<float> times;         // seconds, one per sample
    std::vector<LocalPose> rest;      // per element, in elementOrder
    std::vector<JointTrack> tracks;   // per element, in elementOrder
    size_t samplesTaken = 0;
    uint64_t trackBytes = 0;          // bytes of all tracks
    // The tracks stopped growing because they passed the largest GLB file
    // (they were emptied), or a pose was not finite (the run blew up).
    bool tooLarge = false;
    bool notFinite = false;

private:
    void store(size_t i, size_t sample, const LocalPose& pose);

    std::vector<LocalPose> previous;  // the poses after the previous step
    long long lastStep = -1;
};
