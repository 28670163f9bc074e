#pragma once

#include "d3dx9/D3DX9Math.h"
#include "win32/Win32.h"

class CameraTarget;
class Terrain;

// Owns the view and projection of the 3-D scene and the frustum planes that culling reads.
class Camera
{
public:
    static constexpr float MIN_DISTANCE = 650.0f;
    static constexpr float MAX_DISTANCE = 2500.0f;
    static constexpr float START_DISTANCE = 2000.0f;
    static constexpr float START_HEIGHT = 1250.0f;

    static Camera* Get();
    // Tests start from a freshly built camera (and fresh shared swing values).
    static void ResetForTests();

    void Update();
    // Follows the given target (null: stays where the last placement put it).
    void SetTarget(const CameraTarget* target);
    const CameraTarget* GetTarget() const { return m_target; }
    // The view over the terrain centre: 0 and 1 from farther back, 2 closer.
    void SetPreset(int preset);
    void FollowTarget();
    void SetEyeAndTarget(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt);
    void Zoom(float amount, bool relative);
    void ResetZoom();
    void Orbit();
    bool MoveTo(const D3DXVECTOR3& point, float limit, float rate);
    void SetProjection();
    void SetProjectionFov(float width, float height, float nearPlane, float farPlane);
    void Refresh();
    void UpdateViewMatrix();
    void UpdateFrustum();
    // The part of the view that culling keeps, in the projection's x and y: -1 to 1 across the whole view,
    // y upwards.
    struct CullBounds {
        float left = -1.0f;
        float right = 1.0f;
        float bottom = -1.0f;
        float top = 1.0f;
    };
    // While only a rectangle of the picture is drawn (a scissor rectangle, rows counted from the top of a view
    // of width x height pixels), whatever lies wholly outside it is culled as if it were outside the view.
    void NarrowCulling(const RECT& rect, UINT width, UINT height);
    void WidenCulling();
    const CullBounds& GetCullBounds() const { return m_cullBounds; }
    void UpdateZoom();
    void HandleMouseFollow();

    const D3DXVECTOR3& GetEye() const { return m_eye; }
    const D3DXVECTOR3& GetLookAt() const { return m_lookAt; }
    const D3DXVECTOR3& GetForward() const { return m_forward; }
    const D3DXMATRIX& GetView() const { return m_view; }
    const D3DXMATRIX& GetProjection() const { return m_projection; }
    const D3DXMATRIX& GetViewProjection() const { return m_viewProjection; }
    const D3DXPLANE* GetFrustumPlanes() const { return m_frustumPlanes; }
    const D3DXVECTOR3* GetFrustumCorners() const { return m_frustumCorners; }
    float GetTargetDistance() const { return m_targetDistance; }
    float GetCurrentDistance() const { return m_currentDistance; }
    float GetCurrentHeight() const { return m_currentHeight; }

private:
    Camera();
    void SetProjectionMatrix(float aspect, float nearPlane, float farPlane);

    D3DXVECTOR3 m_eye{0.0f, 200.0f, -1000.0f};
    D3DXVECTOR3 m_lookAt{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_up{0.0f, 1.0f, 0.0f};
    D3DXVECTOR3 m_forward{0.0f, 0.0f, 1.0f};
    D3DXMATRIX m_view;
    D3DXMATRIX m_projection;
    D3DXMATRIX m_viewProjection;
    D3DXVECTOR3 m_frustumCorners[8];
    CullBounds m_cullBounds;
    D3DXPLANE m_frustumPlanes[6];
    float m_targetDistance = START_DISTANCE;
    float m_currentDistance = START_DISTANCE;
    float m_currentHeight = START_HEIGHT;
    float m_orbitRate = 0.5f;
    const CameraTarget* m_target = nullptr;
    long m_anchorX = 0;
    long m_anchorY = 0;
};
