#pragma once

namespace Model::Automaton {

class TotalVolume;

// Turns a volume's cells into drawable geometry and draws it. Building geometry needs no GL
// context; only draw() and drawForPicking() issue GL calls.
class TotalVolumePainter {
public:
    explicit TotalVolumePainter(TotalVolume& volume);
    TotalVolumePainter(const TotalVolumePainter&) = delete;
    TotalVolumePainter& operator=(const TotalVolumePainter&) = delete;

    void rebuild();
    void draw(bool renderObjects, bool renderEdges);
    // The volume's bounding box, so a click anywhere on it picks the volume.
    void drawForPicking();

    bool isHidden() const { return hidden; }
    void setHidden(bool value) { hidden = value; }

private:
    TotalVolume& volume;
    bool hidden = false;
};

} // namespace Model::Automaton
