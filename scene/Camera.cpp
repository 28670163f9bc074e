#include "scene/Camera.h"

#include "core/ApplicationLink.h"
#include "core/DataManager.h"
#include "core/InputManager.h"
#include "d3d9/D3D9.h"
#include "scene/CameraTarget.h"
#include "scene/Terrain.h"
#include "win32/Win32.h"

#include <algorithm>
#include <memory>

namespace {
constexpr float kFieldOfView = 0.7853982f;
constexpr float kAspect = 1.3333334f;
constexpr float kLayoutWidth = 1024.0f;
constexpr float kNearPlane = 200.0f;
constexpr float kFarPlane = 40000.0f;
constexpr float kZoomSpeed = 3000.0f;
constexpr float kZoomDeadBand = 1.1f;
constexpr float kHeightPerDistance = 0.5f;
constexpr float kKeyOrbitInput = 1.5f;
constexpr float kMaxOrbitPerFrame = 0.25f;
constexpr float kGameOverZoomRate = 2500.0f;

constexpr float kZoomKeyStep = 50.0f;
constexpr float kAimHeight = 100.0f;
constexpr float kLookAtFollow = 0.025f;
constexpr float kEyeFollow = 0.25f;
constexpr float kEyeAboveGround = 100.0f;
constexpr float kGameOverSwingLimit = 1570.7965f;
constexpr float kGameOverSwingRate = 0.1f;

constexpr int kKeyW = 0x11;
constexpr int kKeyS = 0x1F;
constexpr int kKeyA = 0x1E;
constexpr int kKeyD = 0x20;

// The swing of MoveTo is shared by every call site.
float g_swingDirection = 2.0f;
float g_swingAngle = 0.0f;

std::unique_ptr<Camera>& Instance()
{
    static std::unique_ptr<Camera> instance;
    return instance;
}
} // namespace

Camera::Camera()
{
    D3DXMatrixIdentity(&view);
    D3DXMatrixIdentity(&projection);
    D3DXMatrixIdentity(&viewProjection);
    const D3DXVECTOR3 corners[8] = {
        {-1.0f, -1.0f, 0.0f}, {1.0f, -1.0f, 0.0f}, {-1.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 0.0f},
        {-1.0f, -1.0f, 1.0f}, {1.0f, -1.0f, 1.0f}, {-1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f},
    };
    for (int i = 0; i < 8; ++i) {
        clipCorners[i] = corners[i];
        frustumCorners[i] = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    }
    for (D3DXPLANE& plane : frustumPlanes)
        plane = D3DXPLANE(0.0f, 0.0f, 0.0f, 0.0f);
}

Camera* Camera::Get()
{
    auto& instance = Instance();
    if (!instance)
        instance.reset(new Camera());
    return instance.get();
}

void Camera::ResetForTests()
{
    Instance().reset();
    g_swingDirection = 2.0f;
    g_swingAngle = 0.0f;
}

void Camera::Update()
{
    if (target) {
        InputManager* input = InputManager::Get();
        if (input->IsKeyDown(kKeyW))
            Zoom(-kZoomKeyStep, true);
        if (input->IsKeyDown(kKeyS))
            Zoom(kZoomKeyStep, true);
        HandleMouseFollow();
        FollowTarget();
    }
    UpdateZoom();
    UpdateViewMatrix();
    UpdateFrustum();
}

void Camera::SetTarget(const CameraTarget* newTarget)
{
    target = newTarget;
    if (target) {
        D3DXVECTOR3 first, second;
        target->GetOrientationAxes(first, second);
        D3DXVec3Cross(&up, &first, &second);
    }
}

void Camera::SetPreset(int preset)
{
    float c[3] = {0.0f, 0.0f, 0.0f};
    if (Terrain* terrain = DataManager::Get()->GetTerrain())
        terrain->Centre(c);
    const float back = preset == 2 ? 2500.0f : 3500.0f;
    SetEyeAndTarget(D3DXVECTOR3(c[0], c[1] + 1500.0f, c[2] - back), D3DXVECTOR3(c[0], c[1] + 1400.0f, c[2]));
}

// The follow factors are per frame, not per second, so the view settles faster at higher frame rates.
void Camera::FollowTarget()
{
    if (!target)
        return;
    const D3DXVECTOR3 aim = target->GetTargetPosition() + D3DXVECTOR3(0.0f, kAimHeight, 0.0f);
    lookAt += (aim - lookAt) * kLookAtFollow;
    const D3DXVECTOR3 wanted = lookAt - forward * currentDistance;
    eye.y = currentHeight;
    eye.x += (wanted.x - eye.x) * kEyeFollow;
    eye.z += (wanted.z - eye.z) * kEyeFollow;
    if (Terrain* terrain = DataManager::Get()->GetTerrain()) {
        const float floor = terrain->HeightAt(eye.x, eye.z) + kEyeAboveGround;
        if (!(floor < eye.y))
            eye.y = floor;
    }
}

void Camera::SetEyeAndTarget(const D3DXVECTOR3& newEye, const D3DXVECTOR3& newLookAt)
{
    target = nullptr;
    eye = newEye;
    lookAt = newLookAt;
    up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    UpdateViewMatrix();
}

void Camera::Zoom(float amount, bool relative)
{
    targetDistance = relative ? targetDistance + amount : amount;
    targetDistance = std::clamp(targetDistance, kMinDistance, kMaxDistance);
}

void Camera::ResetZoom()
{
    targetDistance = kStartDistance;
    currentDistance = kStartDistance;
    currentHeight = kStartHeight;
}

// The end of a battle backs the view out until the zoom limit and turns slowly around the followed unit
// while that unit still aims at another.
void Camera::Orbit()
{
    Zoom(DataManager::Get()->GetFrameTime() * kGameOverZoomRate, true);
    if (target && target->HasTargetOfItsOwn())
        MoveTo(eye, kGameOverSwingLimit, kGameOverSwingRate);
}

bool Camera::MoveTo(const D3DXVECTOR3&, float limit, float rate)
{
    const float frameTime = DataManager::Get()->GetFrameTime();
    const float bound = rate * kMaxOrbitPerFrame;
    const float s = std::clamp(-(rate * frameTime * g_swingDirection), -bound, bound);
    D3DXMATRIX turn;
    D3DXMatrixRotationY(&turn, s);
    D3DXVec3TransformCoord(&forward, &forward, &turn);
    g_swingAngle += s;
    if (g_swingAngle > limit || g_swingAngle < -limit) {
        g_swingAngle = 0.0f;
        g_swingDirection = -g_swingDirection;
        return true;
    }
    return false;
}

void Camera::SetProjectionMatrix(float aspect, float nearPlane, float farPlane)
{
    D3DXMatrixPerspectiveFovLH(&projection, kFieldOfView, aspect, nearPlane, farPlane);
    if (IDirect3DDevice9* device = DataManager::Get()->GetDevice())
        device->SetTransform(D3DTS_PROJECTION, &projection);
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
}

void Camera::SetProjection()
{
    SetProjectionMatrix(kAspect, kNearPlane, kFarPlane);
}

void Camera::SetProjectionFov(float width, float height, float nearPlane, float farPlane)
{
    // An empty rectangle has no shape of its own: the game's aspect, rather than a matrix of infinities.
    SetProjectionMatrix(height > 0.0f && width > 0.0f ? width / height : kAspect, nearPlane, farPlane);
}

void Camera::Refresh()
{
    SetProjection();
    UpdateViewMatrix();
}

void Camera::UpdateViewMatrix()
{
    D3DXVec3Normalize(&up, &up);
    D3DXMatrixLookAtLH(&view, &eye, &lookAt, &up);
    if (IDirect3DDevice9* device = DataManager::Get()->GetDevice())
        device->SetTransform(D3DTS_VIEW, &view);
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
}

void Camera::UpdateFrustum()
{
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &viewProjection))
        return;
    for (int i = 0; i < 8; ++i)
        D3DXVec3TransformCoord(&frustumCorners[i], &clipCorners[i], &inverse);
    const D3DXVECTOR3* c = frustumCorners;
    D3DXPlaneFromPoints(&frustumPlanes[0], &c[0], &c[1], &c[2]);
    D3DXPlaneFromPoints(&frustumPlanes[1], &c[6], &c[7], &c[5]);
    D3DXPlaneFromPoints(&frustumPlanes[2], &c[2], &c[6], &c[4]);
    D3DXPlaneFromPoints(&frustumPlanes[3], &c[7], &c[3], &c[5]);
    D3DXPlaneFromPoints(&frustumPlanes[4], &c[2], &c[3], &c[6]);
    D3DXPlaneFromPoints(&frustumPlanes[5], &c[1], &c[0], &c[4]);
}

void Camera::UpdateZoom()
{
    const float step = DataManager::Get()->GetFrameTime() * kZoomSpeed;
    const float d = targetDistance - currentDistance;
    if (d < -kZoomDeadBand * step)
        currentDistance -= step;
    else if (d > kZoomDeadBand * step)
        currentDistance += step;
    currentHeight = currentDistance * kHeightPerDistance;
}

void Camera::HandleMouseFollow()
{
    InputManager* input = InputManager::Get();
    const bool keyA = input->IsKeyDown(kKeyA);
    const bool keyD = input->IsKeyDown(kKeyD);
    const bool dragging = input->IsBindingDown("RBUTTON");
    POINT cursor{0, 0};
    GetCursorPos(&cursor);
    if (!keyA && !keyD && !dragging) {
        anchorX = cursor.x;
        anchorY = cursor.y;
        return;
    }

    // The pointer moves in back-buffer pixels; counted in the 1024-wide layout, the same stretch of the screen
    // turns the view as far at every back-buffer size.
    float orbitInput = static_cast<float>(anchorX - cursor.x);
    const ApplicationLink* application = DataManager::Get()->GetApplication();
    const UINT backBufferWidth = application ? application->GetPresentParameters().BackBufferWidth : 0;
    if (backBufferWidth > 0)
        orbitInput *= kLayoutWidth / static_cast<float>(backBufferWidth);
    if (keyA)
        orbitInput = -kKeyOrbitInput;
    else if (keyD)
        orbitInput = kKeyOrbitInput;

    const float frameTime = DataManager::Get()->GetFrameTime();
    const float bound = orbitRate * kMaxOrbitPerFrame;
    const float angle = std::clamp(-(frameTime * orbitRate * orbitInput), -bound, bound);
    D3DXMATRIX turn;
    D3DXMatrixRotationY(&turn, angle);
    D3DXVec3TransformCoord(&forward, &forward, &turn);
    // Where the pointer cannot be put back, the next frame measures from where it is now, so a drag turns
    // by its motion instead of by its distance from where it began.
    if (!SetCursorPos(static_cast<int>(anchorX), static_cast<int>(anchorY))) {
        anchorX = cursor.x;
        anchorY = cursor.y;
    }
}
