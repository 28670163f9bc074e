#pragma once

class Camera;
class Hex;
class HexGrid;

// The opening fly-over of a battle: the camera shows the first army's deployment zone, then the second's, then
// the first turn is asked for. The session owns one and does what a frame of it asks.
class FlyOver
{
public:
    // What one frame of the fly-over asks of its owner.
    struct Frame {
        // The zone whose shot starts this frame (0 for none) and the index of the player deployed there.
        int newZone = 0;
        int playerIndex = 0;
        // Whether the camera turns about the zone's centre this frame.
        bool steers = false;
        bool turnDue = false;
    };

    void Begin() { m_active = true; }
    // A turn handed to a unit ends it.
    void Stop() { m_active = false; }
    // Back to before the battle: not running, no zone shown.
    void Reset();
    // Finds the centre of a zone when its shot starts.
    Frame Advance(float seconds, HexGrid* grid);
    void Steer(Camera& camera) const;

    bool IsActive() const { return m_active; }
    float GetClock() const { return m_clock; }
    // The zone is a deployment hex type (the first army's or the second's).
    bool IsZoneShotStarted(int zone) const;
    // Null when the level has no hex of the zone being shown.
    const Hex* GetZoneCentre() const { return m_zoneCentre; }

private:
    bool m_active = false;
    float m_clock = 0.0f;
    bool m_firstZoneStarted = false;
    bool m_secondZoneStarted = false;
    const Hex* m_zoneCentre = nullptr;
};
