#include "scene/Camera.h"

#include "core/ApplicationLink.h"
#include "core/DataManager.h"
#include "core/InputManager.h"
#include "d3d9/D3D9.h"
#include "dinput/DInput.h"
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
// A follow this near its end moves the picture by less than a fifth of a pixel (a pixel is about 2 units at the
// follow's distance of 2000) and would take another 270 frames to end by itself: it ends at once, and the world's
// picture can be kept from then on.
constexpr float SETTLE_DISTANCE = 0.5f;
constexpr float GAME_OVER_SWING_LIMIT = 1570.7965f;
constexpr float GAME_OVER_SWING_RATE = 0.1f;

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
    D3DXMatrixIdentity(&m_view);
    D3DXMatrixIdentity(&m_projection);
    D3DXMatrixIdentity(&m_viewProjection);
    for (D3DXVECTOR3& corner : m_frustumCorners)
        corner = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    for (D3DXPLANE& plane : m_frustumPlanes)
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
    if (m_target) {
        InputManager* input = InputManager::Get();
        if (input->IsKeyDown(DIK_W))
            Zoom(-ZOOM_KEY_STEP, true);
        if (input->IsKeyDown(DIK_S))
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
    m_target = newTarget;
    if (m_target) {
        D3DXVECTOR3 first, second;
        m_target->GetOrientationAxes(first, second);
        D3DXVec3Cross(&m_up, &first, &second);
    }
}

void Camera::SetPreset(int preset)
{
    float c[3] = {0.0f, 0.0f, 0.0f};
    if (Terrain* terrain = Terrain::Current())
        terrain->Centre(c);
    const float back = preset == 2 ? 2500.0f : 3500.0f;
    SetEyeAndTarget(D3DXVECTOR3(c[0], c[1] + 1500.0f, c[2] - back), D3DXVECTOR3(c[0], c[1] + 1400.0f, c[2]));
}

// The follow factors are per frame, not per second, so the view settles faster at higher frame rates.
void Camera::FollowTarget()
{
    if (!m_target)
        return;
    const D3DXVECTOR3 aim = m_target->GetTargetPosition() + D3DXVECTOR3(0.0f, AIM_HEIGHT, 0.0f);
    const D3DXVECTOR3 toAim = aim - m_lookAt;
    if (D3DXVec3LengthSq(&toAim) < SETTLE_DISTANCE * SETTLE_DISTANCE)
        m_lookAt = aim;
    else
        m_lookAt += toAim * LOOK_AT_FOLLOW;
    const D3DXVECTOR3 wanted = m_lookAt - m_forward * m_currentDistance;
    m_eye.y = m_currentHeight;
    const float toWantedX = wanted.x - m_eye.x;
    const float toWantedZ = wanted.z - m_eye.z;
    if (toWantedX * toWantedX + toWantedZ * toWantedZ < SETTLE_DISTANCE * SETTLE_DISTANCE) {
        m_eye.x = wanted.x;
        m_eye.z = wanted.z;
    } else {
        m_eye.x += toWantedX * EYE_FOLLOW;
        m_eye.z += toWantedZ * EYE_FOLLOW;
    }
    if (Terrain* terrain = Terrain::Current()) {
        const float floor = terrain->HeightAt(m_eye.x, m_eye.z) + EYE_ABOVE_GROUND;
        if (!(floor < m_eye.y))
            m_eye.y = floor;
    }
}

void Camera::SetEyeAndTarget(const D3DXVECTOR3& newEye, const D3DXVECTOR3& newLookAt)
{
    m_target = nullptr;
    m_eye = newEye;
    m_lookAt = newLookAt;
    m_up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    UpdateViewMatrix();
}

void Camera::Zoom(float amount, bool relative)
{
    m_targetDistance = relative ? m_targetDistance + amount : amount;
    m_targetDistance = std::clamp(m_targetDistance, MIN_DISTANCE, MAX_DISTANCE);
}

void Camera::ResetZoom()
{
    m_targetDistance = START_DISTANCE;
    m_currentDistance = START_DISTANCE;
    m_currentHeight = START_HEIGHT;
}

// The end of a battle backs the view out until the zoom limit and turns slowly around the followed unit
// while that unit still aims at another.
void Camera::Orbit()
{
    Zoom(DataManager::Get()->GetFrameTime() * GAME_OVER_ZOOM_RATE, true);
    if (m_target && m_target->HasTargetOfItsOwn())
        MoveTo(m_eye, GAME_OVER_SWING_LIMIT, GAME_OVER_SWING_RATE);
}

bool Camera::MoveTo(const D3DXVECTOR3&, float limit, float rate)
{
    const float frameTime = DataManager::Get()->GetFrameTime();
    const float bound = rate * MAX_ORBIT_PER_FRAME;
    const float s = std::clamp(-(rate * frameTime * g_swingDirection), -bound, bound);
    D3DXMATRIX turn;
    D3DXMatrixRotationY(&turn, s);
    D3DXVec3TransformCoord(&m_forward, &m_forward, &turn);
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
    D3DXMatrixPerspectiveFovLH(&m_projection, FIELD_OF_VIEW, aspect, nearPlane, farPlane);
    if (IDirect3DDevice9* device = DataManager::Get()->GetDevice())
        device->SetTransform(D3DTS_PROJECTION, &m_projection);
    D3DXMatrixMultiply(&m_viewProjection, &m_view, &m_projection);
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
    D3DXVec3Normalize(&m_up, &m_up);
    D3DXMatrixLookAtLH(&m_view, &m_eye, &m_lookAt, &m_up);
    if (IDirect3DDevice9* device = DataManager::Get()->GetDevice())
        device->SetTransform(D3DTS_VIEW, &m_view);
    D3DXMatrixMultiply(&m_viewProjection, &m_view, &m_projection);
}

void Camera::UpdateFrustum()
{
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &m_viewProjection))
        return;
    // Corner i: x at the right when bit 0 is set, y at the top for bit 1, z at the far plane for bit 2.
    const CullBounds& b = m_cullBounds;
    for (int i = 0; i < 8; ++i) {
        const D3DXVECTOR3 clip(i & 1 ? b.right : b.left, i & 2 ? b.top : b.bottom, i & 4 ? 1.0f : 0.0f);
        D3DXVec3TransformCoord(&m_frustumCorners[i], &clip, &inverse);
    }
    const D3DXVECTOR3* c = m_frustumCorners;
    D3DXPlaneFromPoints(&m_frustumPlanes[0], &c[0], &c[1], &c[2]);
    D3DXPlaneFromPoints(&m_frustumPlanes[1], &c[6], &c[7], &c[5]);
    D3DXPlaneFromPoints(&m_frustumPlanes[2], &c[2], &c[6], &c[4]);
    D3DXPlaneFromPoints(&m_frustumPlanes[3], &c[7], &c[3], &c[5]);
    D3DXPlaneFromPoints(&m_frustumPlanes[4], &c[2], &c[3], &c[6]);
    D3DXPlaneFromPoints(&m_frustumPlanes[5], &c[1], &c[0], &c[4]);
}

void Camera::NarrowCulling(const RECT& rect, UINT width, UINT height)
{
    if (width == 0 || height == 0)
        return;
    // A pixel's margin all round, so that rounding cannot cull what covers a pixel at the rectangle's edge.
    const auto across = [](LONG pixel, UINT size) {
        return std::clamp(2.0f * static_cast<float>(pixel) / static_cast<float>(size) - 1.0f, -1.0f, 1.0f);
    };
    m_cullBounds.left = across(rect.left - 1, width);
    m_cullBounds.right = across(rect.right + 1, width);
    m_cullBounds.top = -across(rect.top - 1, height);
    m_cullBounds.bottom = -across(rect.bottom + 1, height);
    UpdateFrustum();
}

void Camera::WidenCulling()
{
    m_cullBounds = CullBounds{};
    UpdateFrustum();
}

void Camera::UpdateZoom()
{
    const float step = DataManager::Get()->GetFrameTime() * ZOOM_SPEED;
    const float d = m_targetDistance - m_currentDistance;
    if (d < -ZOOM_DEAD_BAND * step)
        m_currentDistance -= step;
    else if (d > ZOOM_DEAD_BAND * step)
        m_currentDistance += step;
    m_currentHeight = m_currentDistance * HEIGHT_PER_DISTANCE;
}

void Camera::HandleMouseFollow()
{
    InputManager* input = InputManager::Get();
    const bool keyA = input->IsKeyDown(DIK_A);
    const bool keyD = input->IsKeyDown(DIK_D);
    const bool dragging = input->IsBindingDown("RBUTTON");
    POINT cursor{0, 0};
    GetCursorPos(&cursor);
    if (!keyA && !keyD && !dragging) {
        m_anchorX = cursor.x;
        m_anchorY = cursor.y;
        return;
    }

    // The pointer moves in back-buffer pixels; counted in the 1024-wide layout, the same stretch of the screen
    // turns the view as far at every back-buffer size.
    float orbitInput = static_cast<float>(m_anchorX - cursor.x);
    const ApplicationLink* application = DataManager::Get()->GetApplication();
    const UINT backBufferWidth = application ? application->GetPresentParameters().BackBufferWidth : 0;
    if (backBufferWidth > 0)
        orbitInput *= LAYOUT_WIDTH / static_cast<float>(backBufferWidth);
    if (keyA)
        orbitInput = -KEY_ORBIT_INPUT;
    else if (keyD)
        orbitInput = KEY_ORBIT_INPUT;

    const float frameTime = DataManager::Get()->GetFrameTime();
    const float bound = m_orbitRate * MAX_ORBIT_PER_FRAME;
    const float angle = std::clamp(-(frameTime * m_orbitRate * orbitInput), -bound, bound);
    D3DXMATRIX turn;
    D3DXMatrixRotationY(&turn, angle);
    D3DXVec3TransformCoord(&m_forward, &m_forward, &turn);
    // Where the pointer cannot be put back, the next frame measures from where it is now, so a drag turns
    // by its motion instead of by its distance from where it began.
    if (!SetCursorPos(static_cast<int>(m_anchorX), static_cast<int>(m_anchorY))) {
        m_anchorX = cursor.x;
        m_anchorY = cursor.y;
    }
}
