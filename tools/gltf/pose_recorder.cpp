// The local frames: P^-1 F of two rigid model-space frames (rotation
// transposed, translation rotated back), carried into display axes by the
// one axis change (toDisplayMatrix), the rotation made a unit quaternion.
// Samples at k / sampleRate seconds; a sample between two steps is the slerp
// of their rotations and the linear mix of their translations.
#include "tools/gltf/pose_recorder.h"

#include <cassert>
#include <cmath>

#include "elements/tree_element.h"
#include "tools/gltf/glb_writer.h"
#include "tree/tree.h"

namespace {

// A rotation closer than this to the rest rotation (radians), or a
// translation closer than this to the rest translation (model units), is no
// move: rounding, not motion.
constexpr double stillAngle = 1e-6;
constexpr double stillDistance = 1e-6;

bool finite(const LocalPose& p)
{
    return std::isfinite(p.rotation.x) && std::isfinite(p.rotation.y) && std::isfinite(p.rotation.z) &&
           std::isfinite(p.rotation.w) && std::isfinite(p.translation[0]) && std::isfinite(p.translation[1]) &&
           std::isfinite(p.translation[2]);
}

// The frame F shifted by the tree's 'P' position.
Matrix4 shifted(Matrix4 F, const float position[3])
{
    for (int r = 0; r < 3; ++r)
        F.m[r][3] += position[r];
    return F;
}

}  // namespace

LocalPose localPoseOf(const Matrix4& M)
{
    double G[16];
    toDisplayMatrix(M, G);
    double R[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            R[r][c] = G[4 * c + r];
    LocalPose pose;
    pose.rotation = quaternionOf(R);
    for (int r = 0; r < 3; ++r)
        pose.translation[r] = G[12 + r];
    return pose;
}

LocalPose localPoseOf(const Matrix4& P, const Matrix4& F)
{
    Matrix4 L;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            L.m[r][c] = P.m[0][r] * F.m[0][c] + P.m[1][r] * F.m[1][c] + P.m[2][r] * F.m[2][c];
        L.m[r][3] = P.m[0][r] * (F.m[0][3] - P.m[0][3]) + P.m[1][r] * (F.m[1][3] - P.m[1][3]) +
                    P.m[2][r] * (F.m[2][3] - P.m[2][3]);
    }
    return localPoseOf(L);
}

LocalPose PoseRecorder::restPose(const CTree& tree, size_t i)
{
    const CTreeElement* e = tree.elementOrder[i];
    if (i == 0)
        return localPoseOf(shifted(e->restModelTransform, tree.position));
    return localPoseOf(e->restLocalTransform);
}

LocalPose PoseRecorder::currentPose(const CTree& tree, size_t i)
{
    const CTreeElement* e = tree.elementOrder[i];
    if (i == 0)
        return localPoseOf(shifted(e->modelTransform, tree.position));
    return localPoseOf(e->parent->modelTransform, e->modelTransform);
}

PoseRecorder::PoseRecorder(const CTree& tree, double sampleRate, double stepRate, long long steps)
    : sampleRate(sampleRate), stepRate(stepRate), steps(steps)
{
    assert(sampleRate > 0.0 && stepRate > 0.0 && steps >= 0);
    // Every sample time up to the last step's, a hair of rounding allowed.
    const double last = double(steps) / stepRate;
    const long long count = (long long)std::floor(last * sampleRate + 1e-9) + 1;
    times.resize(size_t(count));
    for (long long k = 0; k < count; ++k)
        times[size_t(k)] = float(double(k) / sampleRate);
    const size_t n = tree.elementOrder.size();
    rest.resize(n);
    for (size_t i = 0; i < n; ++i)
        rest[i] = restPose(tree, i);
    tracks.resize(n);
    previous = rest;
}

void PoseRecorder::store(size_t i, size_t sample, const LocalPose& pose)
{
    if (!finite(pose)) {
        notFinite = true;
        return;
    }
    JointTrack& track = tracks[i];
    const LocalPose& r = rest[i];
    const size_t samples = times.size();

    Quaternion q = pose.rotation;
    if (track.rotations.empty()) {
        // Against the rest rotation, on the same side of the sphere.
        const Quaternion& a = r.rotation;
        if (dot(q, a) < 0.0)
            q = negated(q);
        const double d = std::sqrt((q.x - a.x) * (q.x - a.x) + (q.y - a.y) * (q.y - a.y) +
                                   (q.z - a.z) * (q.z - a.z) + (q.w - a.w) * (q.w - a.w));
        // |q - a| is half the angle between them, for small angles.
        if (2.0 * d > stillAngle) {
            track.rotations.resize(4 * samples);
            for (size_t k = 0; k < sample; ++k) {
                float* out = &track.rotations[4 * k];
                out[0] = float(a.x), out[1] = float(a.y), out[2] = float(a.z), out[3] = float(a.w);
            }
            trackBytes += 16 * samples;
        }
    } else if (sample > 0) {
        // Each key on the side of the previous one: the shorter arc between keys.
        const float* p = &track.rotations[4 * (sample - 1)];
        if (q.x * p[0] + q.y * p[1] + q.z * p[2] + q.w * p[3] < 0.0)
            q = negated(q);
    }
    if (!track.rotations.empty()) {
        float* out = &track.rotations[4 * sample];
        out[0] = float(q.x), out[1] = float(q.y), out[2] = float(q.z), out[3] = float(q.w);
    }

    if (track.translations.empty()) {
        double d2 = 0.0;
        for (int k = 0; k < 3; ++k)
            d2 += (pose.translation[k] - r.translation[k]) * (pose.translation[k] - r.translation[k]);
        if (std::sqrt(d2) > stillDistance) {
            track.translations.resize(3 * samples);
            for (size_t k = 0; k < sample; ++k)
                for (int c = 0; c < 3; ++c)
                    track.translations[3 * k + c] = float(r.translation[c]);
            trackBytes += 12 * samples;
        }
    }
    if (!track.translations.empty())
        for (int c = 0; c < 3; ++c)
            track.translations[3 * sample + c] = float(pose.translation[c]);

    if (trackBytes > GLB_MAX_BYTES) {
        tooLarge = true;
        tracks.assign(tracks.size(), JointTrack{});
    }
}

void PoseRecorder::record(const CTree& tree, long long step)
{
    assert(step == lastStep + 1 && "steps in turn");
    lastStep = step;
    const size_t n = rest.size();
    std::vector<LocalPose> current(n);
    for (size_t i = 0; i < n; ++i)
        current[i] = currentPose(tree, i);
    // The samples up to this step's time, in steps: k stepRate / sampleRate.
    while (samplesTaken < times.size() && !tooLarge) {
        const double at = double(samplesTaken) * stepRate / sampleRate;
        if (at > double(step) + 1e-9)
            break;
        const double s = at - double(step - 1);  // 0 at the previous step, 1 at this one
        for (size_t i = 0; i < n; ++i) {
            if (step == 0 || s >= 1.0 - 1e-9) {
                store(i, samplesTaken, current[i]);
            } else {
                LocalPose mixed;
                mixed.rotation = slerp(previous[i].rotation, current[i].rotation, s);
                for (int c = 0; c < 3; ++c)
                    mixed.translation[c] =
                        (1.0 - s) * previous[i].translation[c] + s * current[i].translation[c];
                store(i, samplesTaken, mixed);
            }
        }
        ++samplesTaken;
    }
    previous.swap(current);
}
