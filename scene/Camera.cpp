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
constexpr float FIELD_OF_VIEW = 0.7853982f;
constexpr float ASPECT = 1.3333334f;
constexpr float LAYOUT_WIDTH = 1024.0f;
constexpr float NEAR_PLANE = 200.0f;
constexpr float FAR_PLANE = 40000.0f;
constexpr float ZOOM_SPEED = 3000.0f;
constexpr float ZOOM_DEAD_BAND = 1.1f;
constexpr float HEIGHT_PER_DISTANCE = 0.5f;
constexpr float KEY_ORBIT_INPUT = 1.5f;
constexpr float MAX_ORBIT_PER_FRAME = 0.25f;
constexpr float GAME_OVER_ZOOM_RATE = 2500.0f;

constexpr float ZOOM_KEY_STEP = 50.0f;
constexpr float AIM_HEIGHT = 100.0f;
constexpr float LOOK_AT_FOLLOW = 0.025f;
constexpr float EYE_FOLLOW = 0.25f;
constexpr float EYE_ABOVE_GROUND = 100.0f;
constexpr float GAME_OVER_SWING_LIMIT = 1570.7965f;
constexpr float GAME_OVER_SWING_RATE = 0.1f;

constexpr int KEY_W = 0x11;
constexpr int KEY_S = 0x1F;
constexpr int KEY_A = 0x1E;
constexpr int KEY_D = 0x20;

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
        if (input->IsKeyDown(KEY_W))
            Zoom(-ZOOM_KEY_STEP, true);
        if (input->IsKeyDown(KEY_S))
            Zoom(ZOOM_KEY_STEP, true);
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
    const D3DXVECTOR3 aim = target->GetTargetPosition() + D3DXVECTOR3(0.0f, AIM_HEIGHT, 0.0f);
    lookAt += (aim - lookAt) * LOOK_AT_FOLLOW;
    const D3DXVECTOR3 wanted = lookAt - forward * currentDistance;
    eye.y = currentHeight;
    eye.x += (wanted.x - eye.x) * EYE_FOLLOW;
    eye.z += (wanted.z - eye.z) * EYE_FOLLOW;
    if (Terrain* terrain = DataManager::Get()->GetTerrain()) {
        const float floor = terrain->HeightAt(eye.x, eye.z) + EYE_ABOVE_GROUND;
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
    targetDistance = std::clamp(targetDistance, MIN_DISTANCE, MAX_DISTANCE);
}

void Camera::ResetZoom()
{
    targetDistance = START_DISTANCE;
    currentDistance = START_DISTANCE;
    currentHeight = START_HEIGHT;
}

// The end of a battle backs the view out until the zoom limit and turns slowly around the followed unit
// while that unit still aims at another.
void Camera::Orbit()
{
    Zoom(DataManager::Get()->GetFrameTime() * GAME_OVER_ZOOM_RATE, true);
    if (target && target->HasTargetOfItsOwn())
        MoveTo(eye, GAME_OVER_SWING_LIMIT, GAME_OVER_SWING_RATE);
}

bool Camera::MoveTo(const D3DXVECTOR3&, float limit, float rate)
{
    const float frameTime = DataManager::Get()->GetFrameTime();
    const float bound = rate * MAX_ORBIT_PER_FRAME;
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
    D3DXMatrixPerspectiveFovLH(&projection, FIELD_OF_VIEW, aspect, nearPlane, farPlane);
    if (IDirect3DDevice9* device = DataManager::Get()->GetDevice())
        device->SetTransform(D3DTS_PROJECTION, &projection);
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
}

void Camera::SetProjection()
{
    SetProjectionMatrix(ASPECT, NEAR_PLANE, FAR_PLANE);
}

void Camera::SetProjectionFov(float width, float height, float nearPlane, float farPlane)
{
    // An empty rectangle has no shape of its own: the game's aspect, rather than a matrix of infinities.
    SetProjectionMatrix(height > 0.0f && width > 0.0f ? width / height : ASPECT, nearPlane, farPlane);
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
    const float step = DataManager::Get()->GetFrameTime() * ZOOM_SPEED;
    const float d = targetDistance - currentDistance;
    if (d < -ZOOM_DEAD_BAND * step)
        currentDistance -= step;
    else if (d > ZOOM_DEAD_BAND * step)
        currentDistance += step;
    currentHeight = currentDistance * HEIGHT_PER_DISTANCE;
}

void Camera::HandleMouseFollow()
{
    InputManager* input = InputManager::Get();
    const bool keyA = input->IsKeyDown(KEY_A);
    const bool keyD = input->IsKeyDown(KEY_D);
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
        orbitInput *= LAYOUT_WIDTH / static_cast<float>(backBufferWidth);
    if (keyA)
        orbitInput = -KEY_ORBIT_INPUT;
    else if (keyD)
        orbitInput = KEY_ORBIT_INPUT;

    const float frameTime = DataManager::Get()->GetFrameTime();
    const float bound = orbitRate * MAX_ORBIT_PER_FRAME;
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
