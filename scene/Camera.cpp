#include "scene/Camera.h"

#include "core/ApplicationLink.h"
#include "core/DataManager.h"
#include "core/InputManager.h"
#include "d3d9/D3D9.h"
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

// Following a unit comes with the units on the board; without a target the camera stays where the
// last placement put it and only eases its zoom.
void Camera::Update()
{
    UpdateZoom();
    UpdateViewMatrix();
    UpdateFrustum();
}

void Camera::SetEyeAndTarget(const D3DXVECTOR3& newEye, const D3DXVECTOR3& newLookAt)
{
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

// The end of a battle backs the view out until the zoom limit. The slow turn around the followed unit
// joins this once the camera follows units.
void Camera::Orbit()
{
    Zoom(DataManager::Get()->GetFrameTime() * kGameOverZoomRate, true);
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
    SetCursorPos(static_cast<int>(anchorX), static_cast<int>(anchorY));
}
