// The frames every element shares: its rest frames built on the parent's at
// load time, the copy of the rest state into the current one, and the frame
// propagation that ends every animation step.
#include "elements/tree_element.h"

#include <cmath>

#include "wind/wind.h"

// The file direction as a unit vector. A zero or non-finite direction has no
// meaning; it is read as +Z (the parent's axis direction in model space).
static Vec3 unitDirection(Vec3 v)
{
    const double x = v.x, y = v.y, z = v.z;
    const double len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 0.0) || !std::isfinite(len))
        return {0.0f, 0.0f, 1.0f};
    const double inv = 1.0 / len;
    return {static_cast<float>(x * inv), static_cast<float>(y * inv), static_cast<float>(z * inv)};
}

void CTreeElement::initialiseFrames()
{
    const CTreeElement& P = *parent;
    modelDirection = unitDirection(modelDirection);
    // The file direction seen from the parent's rest frame. The parent's
    // rest model rotation is the product of the rest local rotations down
    // the chain (the same products the animation step forms), so that
    //   restModelRotation = P.restModelRotation restLocalRotation
    // takes +Z onto the file direction and equals, twist included, the frame
    // the first step after a reset rebuilds. (The shortest rotation onto the
    // file direction would differ from the chain by a twist about the axis
    // from depth 2 on, turning the rest directions of the levels below.)
    restDirection = transformPoint(P.restModelRotationInverse, modelDirection);
    restLocalRotation = RotationZTo(restDirection);
    restLocalRotationInverse = transpose(restLocalRotation);
    restModelRotation = P.restModelRotation * restLocalRotation;
    restModelRotationInverse = transpose(restModelRotation);
    // The element starts h model units up its parent's axis.
    const double h = P.length * attachPosition;
    restLocalTransform = Translate(0.0, 0.0, h) * restLocalRotation;
    restLocalTransformInverse =
        restLocalRotationInverse * Translate(0.0, 0.0, static_cast<float>(-h));
    restModelTransform = P.restModelTransform * restLocalTransform;
    restModelTransformInverse = restLocalTransformInverse * P.restModelTransformInverse;
    copyRestState();
}

void CTreeElement::copyRestState()
{
    direction = restDirection;
    localRotation = restLocalRotation;
    modelTransform = restModelTransform;
    windVector = Vec3{};
    windForce = Vec3{};
    dampingForce = Vec3{};
    restorationForce = Vec3{};
    backpropForce = Vec3{};
    totalForce = Vec3{};
}

// The point is modelTransform (0, 0, h): the axis column times h plus the
// origin column (the other columns meet zeros), as transformPoint gives it.
Vec3 CTreeElement::windAlongAxis(float h, const float treeOrigin[3]) const
{
    if (!wind)
        return {};
    const double z = h;
    const Matrix4& M = modelTransform;
    return wind->windAt({float(M.m[0][2] * z + M.m[0][3]) + treeOrigin[0], float(M.m[1][2] * z + M.m[1][3]) + treeOrigin[1],
                         float(M.m[2][2] * z + M.m[2][3]) + treeOrigin[2]});
}

Matrix4 CTreeElement::modelRotation() const
{
    Matrix4 r = modelTransform;
    r.m[0][3] = r.m[1][3] = r.m[2][3] = 0.0;
    return r;
}

Matrix4 CTreeElement::localTransform() const
{
    if (!parent)
        return modelTransform;
    return liftedAlongZ(localRotation, static_cast<float>(parent->length * attachPosition));
}

void CTreeElement::propagateFrames()
{
    modelTransform = parent->modelTransform * localTransform();
    if (modelMatrix)
        toDisplayMatrix(modelTransform, modelMatrix);
}
